#include "message_boxes.h"

#include "platform/gui/message_box.h"

namespace {
int Box(const std::string& text, const char* title, gui::BoxIcon icon, int buttons) {
  gui::MessageBoxRequest r;
  r.text = text;
  r.title = title;
  r.icon = icon;
  r.buttons = buttons;
  r.taskModal = true;
  return gui::MessageBoxes().Show(r);
}
}  // namespace

bool ErrBox(const std::string& text) {
  Box(text, "Hiba", gui::BoxIcon::Error, gui::MB_OK);
  return true;
}

bool MsgBox(const std::string& text) {
  Box(text, "Üzenet", gui::BoxIcon::Information, gui::MB_OK);
  return true;
}

bool AskBox(const std::string& text) {
  return Box(text, "Kérdés", gui::BoxIcon::Question, gui::MB_YESNO) == gui::IDYES;
}
