#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "platform/gui/dialog_window.h"

namespace {
// A dialog of the main dialog's template with operations of its own.
class Probe : public gui::DialogWindow {
 public:
  Probe() : gui::DialogWindow(nullptr, "MainDialog") { RegisterOperation("PB3", [this] { ++started; }); }
  int Dispatch(const gui::Event& e) override {
    events.push_back(e);
    return gui::DialogWindow::Dispatch(e);
  }
  void FocusChange(QWidget* gained, QWidget*) override { lastFocus = gained; }
  int started = 0;
  std::vector<gui::Event> events;
  QWidget* lastFocus = nullptr;
};
}  // namespace

TEST(DialogWindow, BuildsControlsFromItsTemplateInDialogUnits) {
  Probe dlg;
  ASSERT_TRUE(dlg.IsValid());
  EXPECT_EQ(dlg.Template().controls.size(), 31u);
  gui::Control* se1 = dlg.GetControl("SE1");
  ASSERT_NE(se1, nullptr);
  EXPECT_EQ(dlg.GetControlById(104), se1);
  EXPECT_EQ(dlg.GetControl("NOPE"), nullptr);
  // SE1 stands at 5,76 with a width of 237 dialog units.
  EXPECT_EQ(se1->Widget()->x(), dlg.UnitsToPixelsX(5));
  EXPECT_EQ(se1->Widget()->y(), dlg.UnitsToPixelsY(76));
  EXPECT_EQ(se1->Widget()->width(), dlg.UnitsToPixelsX(237));
  EXPECT_EQ(dlg.width(), dlg.UnitsToPixelsX(277));
  // Four horizontal units are one average character of the template's font.
  QFontMetrics fm(dlg.font());
  double average = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0;
  EXPECT_NEAR(dlg.UnitsToPixelsX(400) / 100.0, average, 1.0);

  gui::DialogWindow missing(nullptr, "NoSuchTemplate");
  EXPECT_FALSE(missing.IsValid());
  EXPECT_TRUE(missing.Controls().empty());
}

TEST(DialogWindow, ButtonsRunTheOperationOfTheirNameOrOpenTheDialogClass) {
  Probe dlg;
  qobject_cast<QPushButton*>(dlg.GetControl("PB3")->Widget())->click();
  EXPECT_EQ(dlg.started, 1);
  int opened = 0;
  gui::RegisterDialogClass("HelpAbout", [&](gui::DialogWindow* owner) { opened += owner == &dlg; });
  qobject_cast<QPushButton*>(dlg.GetControl("HelpAbout")->Widget())->click();
  EXPECT_EQ(opened, 1);
  EXPECT_FALSE(dlg.Invoke("PB4")) << "a button without an operation does nothing";
}

TEST(DialogWindow, TimersArriveAsTimerEventsInDispatch) {
  Probe dlg;
  dlg.SetTimer(100, 10);
  EXPECT_TRUE(dlg.TimerActive(100));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.events.empty(); }, 2000));
  ASSERT_FALSE(dlg.events.empty());
  EXPECT_EQ(dlg.events[0].message, gui::WM_TIMER);
  EXPECT_EQ(dlg.events[0].wParam, 100u);
  dlg.KillTimer(100);
  EXPECT_FALSE(dlg.TimerActive(100));
}

TEST(DialogWindow, FocusChangesReachTheDialogAndStopWhenItIsDestroyed) {
  auto dlg = std::make_unique<Probe>();
  dlg->show();
  QApplication::setActiveWindow(dlg.get());
  QWidget* edit = dlg->GetControl("SE1")->Widget();
  edit->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(dlg->lastFocus, edit);
  dlg.reset();  // the focused control goes with the dialog: no call into the destroyed subclass
  QApplication::processEvents();
}
