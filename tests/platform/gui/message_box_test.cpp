#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "platform/gui/message_box.h"

namespace {
// Shows a real Qt box and presses a key in it as soon as it is up.
int ShowAndPress(const gui::MessageBoxRequest& r, Qt::Key key, std::string* title = nullptr) {
  QTimer::singleShot(0, [=] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      if (title) *title = box->windowTitle().toStdString();
      QTest::keyClick(box, key);
    }
  });
  return gui::QtMessageBoxes().Show(r);
}
}  // namespace

TEST(QtMessageBoxes, AnswersWithTheButtonsOfTheRequest) {
  gui::MessageBoxRequest yesNo;
  yesNo.text = "Folytatja?";
  yesNo.title = "Kérdés";
  yesNo.icon = gui::BoxIcon::Question;
  yesNo.buttons = gui::MB_YESNO;
  std::string title;
  EXPECT_EQ(ShowAndPress(yesNo, Qt::Key_Escape, &title), gui::IDNO);
  EXPECT_EQ(title, "Kérdés");

  gui::MessageBoxRequest custom;
  custom.text = "Open error";
  custom.title = "ERROR";
  custom.customButtons = {{"Default", 1}, {"Retry", 2}, {"Quit", 3}};
  custom.defaultAnswer = 1;
  EXPECT_EQ(ShowAndPress(custom, Qt::Key_Return), 1);
  EXPECT_EQ(ShowAndPress(custom, Qt::Key_Escape), 3) << "Escape answers like the last button, never Retry";
}

TEST(ScriptedMessageBoxes, RecordsAndAnswersAsToldThenByDefault) {
  gui::ScriptedMessageBoxes boxes;
  boxes.Answer(gui::IDNO);
  gui::MessageBoxRequest r;
  r.title = "Kérdés";
  r.buttons = gui::MB_YESNO;
  EXPECT_EQ(boxes.Show(r), gui::IDNO);
  EXPECT_EQ(boxes.Show(r), gui::IDYES);
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[1].title, "Kérdés");
}
