// The German error handler: its text, its rules, the box without a window,
// the dialog with its buttons, and the printed page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "errors/def_error.h"
#include "errors/error_printer.h"
#include "errors/w_def_error.h"
#include "errors/w_error_dialog.h"
#include "platform/gui/message_box.h"
#include "platform/print/printing_device.h"
#include "platform/runtime/international.h"
#include "platform/spool/spooler.h"
#include "platform/print/pdf_words.h"
#include "support/work_dir.h"

using namespace rt;
using namespace errors;

namespace {

std::shared_ptr<Error> MakeError(uint32_t gencode, bool canDefault = true) {
  auto e = std::make_shared<Error>();
  e->GenCode = gencode;
  e->CanDefault = canDefault;
  return e;
}

class WDefErrorTest : public testing::Test {
 protected:
  void SetUp() override {
    oldBlock_ = SetErrorBlock(WDefErrorBlock());
    SetNetErr(false);
  }
  void TearDown() override {
    SetErrorBlock(oldBlock_);
    SetNetErr(false);
  }
  testsupport::TempWorkDir dir_;
  gui::ScopedScriptedBoxes boxes_;
  Value oldBlock_;
};

// Presses a button of the modal dialog as soon as it runs.
void PressWhenShown(const char* buttonName) {
  QTimer::singleShot(0, [buttonName] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    auto* b = modal->findChild<QPushButton*>(buttonName);
    ASSERT_NE(b, nullptr);
    b->click();
  });
}

// The printer of the tests: the built-in file printer, with CUPS out of reach.
print::PrintingDevice& BuiltInPrinter() {
  static print::PrintingDevice* device = [] {
    setenv("CUPS_SERVER", "/nonexistent/cups.sock", 1);
    return new print::PrintingDevice(spool::kBuiltInPrinter);
  }();
  return *device;
}

}  // namespace

TEST(WErrorMessage, LinesFollowTheirConditionsInGerman) {
  const std::string sixty = "/srv/data/very/long/folder/name/for/testing/FORM_TABLE.DBF_X";
  struct Case {
    const char* name;
    std::function<void(Error&)> fill;
    std::string text;
  };
  const Case cases[] = {
      {"GenCode 0 with a one-word description", [](Error& e) { e.Description = "Boom"; },
       "Fehler-Code:  Boom\r\nBeschreibung: Boom\r\n"},
      {"a warning", [](Error& e) { e.Severity = 1; e.GenCode = 21; }, "Warnung :  OPEN ERROR\r\n"},
      {"a general code with a description",
       [](Error& e) { e.GenCode = 21; e.Description = "Datei fehlt"; },
       "Fehler-Code:  OPEN ERROR\r\nDatei fehlt\r\nBeschreibung: Datei fehlt\r\n"},
      {"a 60-character file name is cut to 40", [&](Error& e) { e.GenCode = 21; e.FileName = sixty; },
       "Fehler-Code:  OPEN ERROR\r\nDatei-Name: " + sixty.substr(0, 40) + "\r\n"},
      {"every line",
       [](Error& e) {
         e.GenCode = 33; e.SubSystem = "DBFCDX"; e.SubCode = 1021; e.SubCodeText = "falscher Typ";
         e.Operation = "FieldPut"; e.FuncSym = Symbol("FieldPut"); e.FileName = "FORM.DBF";
         e.Arg = "abc"; e.ArgType = 7; e.ArgNum = 2; e.ArgTypeReq = 1;
       },
       "Fehler-Code:  DATA TYPE ERROR\r\nSubsystem: DBFCDX\r\nFehler-Subcode: 1021 (falscher Typ)\r\n"
       "Vorgang: FieldPut\r\nFunktion: FIELDPUT\r\nDatei-Name: FORM.DBF\r\nArgument: abc\r\nTyp: STRING\r\n"
       "Nummer Argument: 2\r\nErforderlicher Typ: LONGINT\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Error e;
    c.fill(e);
    EXPECT_EQ(WErrorMessage(e), c.text);
  }
}

TEST_F(WDefErrorTest, NetworkRuleCountsOnlyTheSharingViolation) {
  struct Case { uint32_t gen, os; bool canDefault, silent; };
  const Case cases[] = {{21, 32, true, true}, {40, 0, true, true}, {21, 33, true, false}, {21, 32, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.gen << "/" << c.os << "/" << c.canDefault);
    boxes_->clear();
    SetNetErr(false);
    auto e = MakeError(c.gen, c.canDefault);
    e->OsCode = c.os;
    boxes_->Answer(gui::IDRETRY);
    e->Throw();
    EXPECT_EQ(NetErr(), c.silent);
    EXPECT_EQ(boxes_->shown().size(), c.silent ? 0u : 1u);
  }
}

namespace wchain {
[[gnu::noinline]] void After() { asm volatile(""); }
[[gnu::noinline]] void Raise(int depth) {
  if (depth > 1) {
    Raise(depth - 1);
    After();
    return;
  }
  auto e = MakeError(21);
  e->Severity = 1;
  e->SubstituteType = 18;
  e->Throw();
  After();
}
}  // namespace wchain

TEST_F(WDefErrorTest, WithoutAWindowARetryCancelBoxShowsTextAndTwentyStackLevels) {
  ASSERT_EQ(QApplication::activeWindow(), nullptr);
  boxes_->Answer(gui::IDRETRY);
  wchain::Raise(25);
  ASSERT_EQ(boxes_->shown().size(), 1u);
  const auto& box = boxes_->shown()[0];
  EXPECT_EQ(box.title, "Warnung");
  EXPECT_EQ(box.buttons, gui::MB_RETRYCANCEL);
  EXPECT_EQ(box.defaultAnswer, gui::IDCANCEL);
  EXPECT_EQ(box.icon, gui::BoxIcon::Error);
  EXPECT_TRUE(box.taskModal);
  // A pointer substitute makes the warning read as an error.
  const std::string head = "Fehler-Code:  OPEN ERROR\n\n\nAufruf-Reihenfolge: \n";
  ASSERT_EQ(box.text.substr(0, head.size()), head) << box.text;
  std::string rest = box.text.substr(head.size());
  size_t lines = 0;
  for (size_t p = 0; p <= rest.size(); ++lines) {
    size_t n = rest.find('\n', p);
    std::string line = rest.substr(p, n == std::string::npos ? std::string::npos : n - p);
    EXPECT_EQ(line.rfind("wchain::Raise (Zeile: ", 0), 0u) << line;
    p = n == std::string::npos ? rest.size() + 1 : n + 1;
  }
  EXPECT_EQ(lines, 20u);

  // Its log record: no application line, the German text and the stack.
  std::string log = dir_.Read("ZXERROR.LOG");
  EXPECT_EQ(log.find("Application: "), std::string::npos);
  EXPECT_NE(log.find("Error message:\r\n--------------\r\nFehler-Code:  OPEN ERROR\r\nAufruf-Reihenfolge: \r\nwchain::Raise (Zeile: "),
            std::string::npos) << log;
}

TEST_F(WDefErrorTest, TheBoxAlwaysOffersRetryAndCancelBreaksToTheRecoveryPoint) {
  auto e = MakeError(20, false);  // nothing allowed, still retry is offered
  boxes_->Answer(gui::IDRETRY);
  EXPECT_TRUE(e->Throw().AsLogic());
  boxes_->Answer(gui::IDCANCEL);
  Value got = Protected([&] { e->Throw(); });
  EXPECT_EQ(got.AsObject(), e);
  EXPECT_EQ(boxes_->shown().size(), 2u);
}

TEST_F(WDefErrorTest, CancelWithoutARecoveryPointEndsWithGenCodeAfterClosingTheWorkAreas) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto quit = [] {
    SetCloseAllWorkAreas([] { std::fputs("work areas closed\n", stderr); });
    gui::ScopedScriptedBoxes boxes;
    boxes->Answer(gui::IDCANCEL);
    MakeError(23)->Throw();
  };
  EXPECT_EXIT(quit(), testing::ExitedWithCode(23), "work areas closed");
}

TEST(WErrorDialog, ButtonsTextsAndEnablingFollowTheArguments) {
  struct Case { uint32_t nDefault, nRetry, nBreak; bool ignore, retry; const char* cancel; };
  const Case cases[] = {
      {0, 0, 0x80000000, false, false, "Programm abbrechen"},
      {1, 2, 0x80000003, true, true, "Abbrechen"},
      {1, 1, 0x80000001, true, false, "Programm abbrechen"},
      {2, 2, 3, false, true, "Abbrechen"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nDefault << "/" << c.nRetry << "/" << c.nBreak);
    Array stack = {Value("Aufruf-Reihenfolge: "), Value("Start (Zeile: 12)")};
    WErrorDialog d(Value("Fehler-Code:  OPEN ERROR\r\nDatei-Name: FORM.DBF\r\n"), Value("Fehler"), Value(stack),
                   c.nDefault, c.nRetry, c.nBreak);
    ASSERT_TRUE(d.IsValid());
    EXPECT_EQ(d.Caption(), "Fehler");
    EXPECT_EQ(d.GetControlById(100)->Text(), "Fehler-Code:  OPEN ERROR\nDatei-Name: FORM.DBF\n");
    EXPECT_EQ(d.GetControlById(101)->Text(), "Aufruf-Reihenfolge: \nStart (Zeile: 12)\n");
    EXPECT_EQ(d.GetControl("IgnoreButton")->Text(), "Ignorieren");
    EXPECT_EQ(d.GetControl("IgnoreButton")->IsEnabled(), c.ignore);
    EXPECT_EQ(d.GetControl("RetryButton")->Text(), "Wiederholen");
    EXPECT_EQ(d.GetControl("RetryButton")->IsEnabled(), c.retry);
    EXPECT_EQ(d.GetControl("PrintButton")->Text(), "Drucken");
    EXPECT_TRUE(d.GetControl("PrintButton")->IsEnabled());
    EXPECT_EQ(d.GetControl("CancelButton")->Text(), c.cancel);
    EXPECT_EQ(d.focusWidget(), d.GetControl("CancelButton")->Widget());
  }
  // Without a message, caption or stack the template's texts stay.
  WErrorDialog bare(Value(), Value(int32_t(5)), Value(), 0, 0, 0);
  EXPECT_EQ(bare.Caption(), "Fehler");
  EXPECT_EQ(bare.GetControlById(100)->Text(), "Der folgende Fehler ist aufgetreten:");
  EXPECT_EQ(bare.GetControlById(101)->Text(), "");
}

TEST(WErrorDialog, EachButtonEndsTheModalDialogWithItsChoiceAndClosingLeavesZero) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"IgnoreButton", 1}, {"RetryButton", 2}, {"CancelButton", 3}};
  for (auto [button, choice] : cases) {
    SCOPED_TRACE(button);
    WErrorDialog d(Value("x\r\n"), Value("Fehler"), Value(Array{}), 1, 2, 3);
    PressWhenShown(button);
    d.Show();
    EXPECT_EQ(d.Choice(), choice);
  }
  WErrorDialog closed(Value("x\r\n"), Value("Fehler"), Value(Array{}), 1, 2, 3);
  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  closed.Show();
  EXPECT_EQ(closed.Choice(), 0u);
}

TEST_F(WDefErrorTest, WithAnActiveWindowTheDialogDecides) {
  QWidget main;
  main.show();
  QApplication::setActiveWindow(&main);
  ASSERT_EQ(QApplication::activeWindow(), &main);
  auto e = MakeError(21);
  e->CanRetry = true;
  e->CanSubstitute = true;
  e->SubstituteType = 7;
  PressWhenShown("RetryButton");
  EXPECT_TRUE(e->Throw().AsLogic());
  QApplication::setActiveWindow(&main);  // the closed dialog took the activation along
  PressWhenShown("IgnoreButton");
  Value v = e->Throw();
  EXPECT_TRUE(v.IsString());
  EXPECT_EQ(v.AsString(), "");

  // Closed through its window frame: no choice, so the error breaks out.
  QApplication::setActiveWindow(&main);
  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  Value got = Protected([&] { e->Throw(); });
  EXPECT_EQ(got.AsObject(), e);

  EXPECT_TRUE(boxes_->shown().empty());
  main.hide();
  QApplication::setActiveWindow(nullptr);
}

TEST(ErrorPrinter, PrintsCaptionDateTextAndStackOnOnePage) {
  testsupport::TempWorkDir dir;
  spool::SetOutputFolder("");
  SetInternational(Symbol("WINDOWS"));
  ASSERT_TRUE(BuiltInPrinter().IsValid());
  ErrorPrinter p("Fehler", "Fehler-Code:  OPEN ERROR\r\nDatei-Name: FORM.DBF\r\nletzte Zeile",
                 {"Aufruf-Reihenfolge: ", "Start (Zeile: 12)"}, &BuiltInPrinter());
  ASSERT_TRUE(p.IsValid());
  ASSERT_TRUE(p.Start());
  auto pages = testpdf::Words(p.OutputFile());
  ASSERT_EQ(pages.size(), 1u);
  // Words grouped into lines from top to bottom.
  std::vector<std::string> lines;
  double lastY = -1;
  for (const auto& w : pages[0]) {
    if (lines.empty() || w.yMin > lastY + 2) lines.push_back(w.text);
    else lines.back() += " " + w.text;
    lastY = w.yMin;
  }
  ASSERT_EQ(lines.size(), 7u) << testing::PrintToString(lines);
  EXPECT_EQ(lines[0], "Fehler");
  EXPECT_EQ(lines[1], DToC(Today()) + " - " + lines[1].substr(lines[1].size() - 8));
  EXPECT_EQ(lines[2], "Fehler-Code: OPEN ERROR");
  EXPECT_EQ(lines[3], "Datei-Name: FORM.DBF");
  EXPECT_EQ(lines[4], "letzte Zeile");
  EXPECT_EQ(lines[5], "Aufruf-Reihenfolge:");
  EXPECT_EQ(lines[6], "Start (Zeile: 12)");
  // The caption is the larger font, and lines go down the page.
  EXPECT_GT(pages[0][0].yMax - pages[0][0].yMin, pages[0].back().yMax - pages[0].back().yMin);
  SetInternational(Symbol("COMPATIBLE"));
}

TEST(WErrorDialog, ThePrintButtonPrintsAndLeavesTheDialogOpen) {
  testsupport::TempWorkDir dir;
  spool::SetOutputFolder("");
  WErrorDialog::SetPrintDevice(&BuiltInPrinter());
  WErrorDialog d(Value("Fehler-Code:  OPEN ERROR"), Value("Fehler"), Value(Array{Value("Start (Zeile: 3)")}), 1, 2, 3);
  QTimer::singleShot(0, [] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    modal->findChild<QPushButton*>("PrintButton")->click();
    EXPECT_TRUE(modal->isVisible());
    modal->findChild<QPushButton*>("CancelButton")->click();
  });
  d.Show();
  WErrorDialog::SetPrintDevice(nullptr);
  EXPECT_EQ(d.Choice(), 3u);
  std::vector<std::string> pdfs;
  for (const auto& f : std::filesystem::directory_iterator(dir.File("KWPRINT-OUT"))) pdfs.push_back(f.path());
  ASSERT_EQ(pdfs.size(), 1u);
  auto pages = testpdf::Words(pdfs[0]);
  ASSERT_EQ(pages.size(), 1u);
  std::string all;
  for (const auto& w : pages[0]) all += w.text + " ";
  // The message lacked its line end: its only line is printed all the same.
  EXPECT_NE(all.find("Fehler-Code: OPEN ERROR Start (Zeile: 3)"), std::string::npos) << all;
}

TEST(WErrorDialog, WithoutAnyPrinterPrintingDoesNothingAndTheDialogStaysOpen) {
  testsupport::TempWorkDir dir;
  setenv("CUPS_SERVER", "/nonexistent/cups.sock", 1);
  spool::SetBuiltInPrinterEnabled(false);
  ErrorPrinter none("Fehler", "x\r\n", {});
  EXPECT_FALSE(none.IsValid());
  WErrorDialog d(Value("Fehler-Code:  OPEN ERROR\r\n"), Value("Fehler"), Value(Array{}), 1, 2, 3);
  bool openAfterPrint = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    modal->findChild<QPushButton*>("PrintButton")->click();
    openAfterPrint = modal->isVisible();
    modal->findChild<QPushButton*>("RetryButton")->click();
  });
  d.Show();
  spool::SetBuiltInPrinterEnabled(true);
  EXPECT_TRUE(openAfterPrint);
  EXPECT_EQ(d.Choice(), 2u);
  EXPECT_FALSE(dir.Exists("KWPRINT-OUT"));
}
