#include "pickers.h"

#include <QFileDialog>
#include <QStringList>

namespace gui {

namespace {
std::unique_ptr<PickerService>& Current() {
  static std::unique_ptr<PickerService> service = std::make_unique<QtPickers>();
  return service;
}
}  // namespace

PickerService& Pickers() { return *Current(); }

std::unique_ptr<PickerService> SetPickerService(std::unique_ptr<PickerService> service) {
  auto previous = std::move(Current());
  Current() = service ? std::move(service) : std::make_unique<QtPickers>();
  return previous;
}

std::optional<std::string> QtPickers::Pick(QWidget* owner, const PickerRequest& r) {
  QFileDialog dialog(owner, QString::fromStdString(r.title), QString::fromStdString(r.startFolder));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (r.folder) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
  } else {
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList filters;
    for (const auto& [description, pattern] : r.filters)
      filters << QString::fromStdString(description + " (" + pattern + ")");
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
  }
  if (!r.acceptLabel.empty()) dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(r.acceptLabel));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> ScriptedPickers::Pick(QWidget*, const PickerRequest& request) {
  requests_.push_back(request);
  if (answers_.empty()) return std::nullopt;
  auto a = answers_.front();
  answers_.pop_front();
  return a;
}

}  // namespace gui
