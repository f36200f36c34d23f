#include "platform/gui/print_dialog.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>

namespace gui {

namespace {
std::unique_ptr<PrintDialogService>& Current() {
  static std::unique_ptr<PrintDialogService> service = std::make_unique<QtPrintDialogs>();
  return service;
}

QWidget* TopWindow() {
  if (QWidget* w = QApplication::activeWindow()) return w;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) return w;
  return nullptr;
}
}  // namespace

PrintDialogService& PrintDialogs() { return *Current(); }

std::unique_ptr<PrintDialogService> SetPrintDialogService(std::unique_ptr<PrintDialogService> service) {
  std::unique_ptr<PrintDialogService> previous = std::move(Current());
  Current() = service ? std::move(service) : std::make_unique<QtPrintDialogs>();
  return previous;
}

PrintDialogResult QtPrintDialogs::Show(const PrintDialogRequest& request) {
  QPrinter printer(QPrinter::HighResolution);
  if (!request.printerName.empty()) printer.setPrinterName(QString::fromStdString(request.printerName));
  QPrintDialog dialog(&printer, request.owner ? request.owner : TopWindow());
  QAbstractPrintDialog::PrintDialogOptions options = dialog.options();
  options.setFlag(QAbstractPrintDialog::PrintPageRange, request.pageNumbers);
  options.setFlag(QAbstractPrintDialog::PrintSelection, request.selection);
  dialog.setOptions(options);
  PrintDialogResult result;
  if (dialog.exec() != QDialog::Accepted) return result;
  result.accepted = true;
  if (printer.outputFormat() == QPrinter::NativeFormat) result.printerName = printer.printerName().toStdString();
  else result.outputFile = printer.outputFileName().toStdString();
  result.orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
  return result;
}

PrintDialogResult ScriptedPrintDialogs::Show(const PrintDialogRequest& request) {
  shown_.push_back(request);
  if (answers_.empty()) return {};
  PrintDialogResult r = answers_.front();
  answers_.pop_front();
  return r;
}

void ScriptedPrintDialogs::Choose(const std::string& printerName) {
  PrintDialogResult r;
  r.accepted = true;
  r.printerName = printerName;
  answers_.push_back(r);
}

void ScriptedPrintDialogs::Cancel() { answers_.push_back({}); }

ScopedScriptedPrintDialogs::ScopedScriptedPrintDialogs() {
  auto owned = std::make_unique<ScriptedPrintDialogs>();
  dialogs_ = owned.get();
  previous_ = SetPrintDialogService(std::move(owned));
}

ScopedScriptedPrintDialogs::~ScopedScriptedPrintDialogs() { SetPrintDialogService(std::move(previous_)); }

}  // namespace gui
