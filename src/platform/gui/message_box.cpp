#include "message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace gui {

namespace {
std::unique_ptr<MessageBoxService>& Current() {
  static std::unique_ptr<MessageBoxService> service = std::make_unique<QtMessageBoxes>();
  return service;
}

std::vector<std::pair<QMessageBox::StandardButton, int>> StandardSet(int buttons) {
  switch (buttons) {
    case MB_OKCANCEL: return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
      return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL: return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default: return {{QMessageBox::Ok, IDOK}};
  }
}
}  // namespace

MessageBoxService& MessageBoxes() { return *Current(); }

std::unique_ptr<MessageBoxService> SetMessageBoxService(std::unique_ptr<MessageBoxService> service) {
  auto previous = std::move(Current());
  Current() = service ? std::move(service) : std::make_unique<QtMessageBoxes>();
  return previous;
}

int QtMessageBoxes::Show(const MessageBoxRequest& r) {
  QMessageBox box;
  box.setWindowTitle(QString::fromStdString(r.title));
  box.setText(QString::fromStdString(r.text));
  switch (r.icon) {
    case BoxIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
    case BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
    case BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    default: break;
  }
  box.setWindowModality(r.taskModal ? Qt::ApplicationModal : Qt::WindowModal);
  std::vector<std::pair<QAbstractButton*, int>> answers;
  if (!r.customButtons.empty()) {
    for (const auto& [caption, answer] : r.customButtons) {
      auto* b = box.addButton(QString::fromStdString(caption), QMessageBox::ActionRole);
      answers.emplace_back(b, answer);
      if (answer == r.defaultAnswer) box.setDefaultButton(static_cast<QPushButton*>(b));
    }
    box.setEscapeButton(answers.back().first);  // Escape answers like the last button
  } else {
    for (auto [std, answer] : StandardSet(r.buttons)) {
      auto* b = box.addButton(std);
      answers.emplace_back(b, answer);
      if (answer == r.defaultAnswer) box.setDefaultButton(static_cast<QPushButton*>(b));
    }
  }
  box.exec();
  for (auto [b, answer] : answers)
    if (box.clickedButton() == b) return answer;
  // Closed without a button: the answer of Escape (Cancel/No) or the only button.
  return answers.size() == 1 ? answers[0].second : (r.buttons == MB_YESNO ? IDNO : IDCANCEL);
}

int ScriptedMessageBoxes::Show(const MessageBoxRequest& request) {
  shown_.push_back(request);
  if (!answers_.empty()) {
    int a = answers_.front();
    answers_.pop_front();
    return a;
  }
  if (request.defaultAnswer) return request.defaultAnswer;
  if (!request.customButtons.empty()) return request.customButtons.front().second;
  return StandardSet(request.buttons).front().second;
}

ScopedScriptedBoxes::ScopedScriptedBoxes() {
  auto boxes = std::make_unique<ScriptedMessageBoxes>();
  boxes_ = boxes.get();
  previous_ = SetMessageBoxService(std::move(boxes));
}

ScopedScriptedBoxes::~ScopedScriptedBoxes() { SetMessageBoxService(std::move(previous_)); }

}  // namespace gui
