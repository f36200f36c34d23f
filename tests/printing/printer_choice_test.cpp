// Printer enumeration and printer choice against the private cupsd, and the
// text-file printer on its PDF queue.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "cups/capture.h"
#include "platform/gui/message_box.h"
#include "platform/gui/print_dialog.h"
#include "platform/print/pdf_words.h"
#include "platform/runtime/error.h"
#include "platform/spool/spooler.h"
#include "printing/file_printer.h"
#include "printing/printer_choice.h"
#include "printing/printer_globals.h"
#include "printing/printers_enum.h"
#include "printing/raw_data_to_printer.h"
#include "support/work_dir.h"

namespace {

// Adds a capture queue to the private cupsd for the length of a test.
class ExtraQueue {
 public:
  explicit ExtraQueue(const std::string& name, const std::string& description = "extra") : name_(name) {
    std::string cmd = "lpadmin -p '" + name + "' -E -v 'capture:" + testcups::CupsDir() + "out/" + name + "' -D '" +
                      description + "' >/dev/null 2>&1";
    ok_ = std::system(cmd.c_str()) == 0;
  }
  ~ExtraQueue() { std::system(("lpadmin -x '" + name_ + "' >/dev/null 2>&1").c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string name_;
  bool ok_ = false;
};

// Records the general codes of the errors raised while it lives.
class ErrorRecorder {
 public:
  ErrorRecorder() {
    old_ = rt::SetErrorBlock(rt::CodeBlock([this](const std::vector<rt::Value>& a) -> rt::Value {
      codes.push_back(std::dynamic_pointer_cast<rt::Error>(a.at(0).AsObject())->GenCode);
      return rt::Value(false);
    }));
  }
  ~ErrorRecorder() { rt::SetErrorBlock(old_); }
  std::vector<uint32_t> codes;

 private:
  rt::Value old_;
};

// No spooler and no built-in printer while it lives.
class NoPrinters {
 public:
  NoPrinters() { spool::SetBuiltInPrinterEnabled(false); }
  ~NoPrinters() { spool::SetBuiltInPrinterEnabled(true); }

 private:
  testcups::NoSpooler noSpooler_;
};

size_t IndexOf(const PrintersEnum& e, const std::string& name) {
  for (size_t i = 1; i <= e.NumOfPrinters(); ++i)
    if (e.PrinterName(i) == name) return i;
  return 0;
}

}  // namespace

TEST(PrintersEnum, LevelTwoCarriesTheSpoolersProperties) {
  gui::ScopedScriptedBoxes boxes;
  PrintersEnum e;
  EXPECT_EQ(e.Level(), 2);
  ASSERT_GE(e.NumOfPrinters(), 3u);
  const size_t raw = IndexOf(e, "rawcap"), pdf = IndexOf(e, "pdfcap"), own = IndexOf(e, spool::kBuiltInPrinter);
  ASSERT_TRUE(raw && pdf && own);
  EXPECT_EQ(own, e.NumOfPrinters());   // the built-in printer comes last
  EXPECT_EQ(e.PortName(raw), "capture:" + testcups::CupsDir() + "out/rawcap");
  EXPECT_EQ(e.PrinterDriverPort(raw), e.PortName(raw));
  EXPECT_EQ(e.Comment(raw), "Raw capture queue");
  EXPECT_EQ(e.Location(raw), "test spooler");
  EXPECT_FALSE(e.DriverName(raw).empty());
  EXPECT_EQ(e.Description(raw), "rawcap," + e.DriverName(raw) + ",Raw capture queue");
  EXPECT_EQ(e.Flags(raw), 0u);
  EXPECT_EQ(e.Status(raw), 0u);
  EXPECT_EQ(e.Jobs(raw), 0u);
  EXPECT_TRUE(e.Attributes(pdf) & spool::kAttrDefault);
  EXPECT_FALSE(e.Attributes(raw) & spool::kAttrDefault);
  EXPECT_EQ(e.DataType(raw), "");
  EXPECT_EQ(e.DevMode(raw), nullptr);
  EXPECT_EQ(e.PortName(own), "file:" + spool::OutputFolder());
  EXPECT_EQ(e.PrinterName(), e.PrinterName(1));
  EXPECT_TRUE(boxes->shown().empty());
}

TEST(PrintersEnum, LevelOneFillsItsOwnListsOnly) {
  gui::ScopedScriptedBoxes boxes;
  ErrorRecorder errors;
  PrintersEnum e(1);
  EXPECT_EQ(e.Level(), 1);
  ASSERT_GE(e.NumOfPrinters(), 3u);
  const size_t raw = IndexOf(e, "rawcap");
  ASSERT_TRUE(raw);
  EXPECT_NE(e.Flags(raw), 0u);
  EXPECT_EQ(e.Comment(raw), "Raw capture queue");
  EXPECT_EQ(e.Description(raw).rfind("rawcap,", 0), 0u);
  EXPECT_EQ(e.DriverName(1), "");
  EXPECT_EQ(e.Attributes(1), 0u);
  EXPECT_EQ(e.Location(1), "");
  EXPECT_TRUE(errors.codes.empty());
  EXPECT_EQ(e.PortName(1), "");   // no port list at level 1: an array-access error
  EXPECT_EQ(errors.codes, std::vector<uint32_t>{rt::EG_BOUND});
  // Any level but 1 is level 2.
  for (int level : {0, 2, 3, -1}) {
    e.Refresh(level);
    EXPECT_EQ(e.Level(), 2);
    EXPECT_EQ(e.PortName(IndexOf(e, "rawcap")), "capture:" + testcups::CupsDir() + "out/rawcap");
  }
  EXPECT_TRUE(boxes->shown().empty());
}

TEST(PrintersEnum, IndexOutsideTheListIsAnArrayAccessError) {
  ErrorRecorder errors;
  PrintersEnum e;
  const size_t n = e.NumOfPrinters();
  EXPECT_EQ(e.PrinterName(n + 1), "");
  EXPECT_EQ(e.Jobs(0), 0u);
  EXPECT_EQ(e.Comment(n + 5), "");
  EXPECT_EQ(errors.codes, (std::vector<uint32_t>{rt::EG_BOUND, rt::EG_BOUND, rt::EG_BOUND}));
}

TEST(PrintersEnum, NoPrinterAtAllGivesEmptyListsAndNoMessage) {
  gui::ScopedScriptedBoxes boxes;
  NoPrinters none;
  for (int level : {1, 2}) {
    PrintersEnum e(level);
    EXPECT_EQ(e.NumOfPrinters(), 0u);
    ErrorRecorder errors;
    EXPECT_EQ(e.PrinterName(), "");
    EXPECT_EQ(errors.codes, std::vector<uint32_t>{rt::EG_BOUND});
  }
  EXPECT_TRUE(boxes->shown().empty());
}

TEST(PrintersEnum, RefreshShowsANewPrinterAndManyPrintersAreListedWhole) {
  PrintersEnum e;
  const uint32_t before = e.NumOfPrinters();
  EXPECT_EQ(IndexOf(e, "added"), 0u);
  {
    // Well over 3 KB of printer data.
    std::vector<std::unique_ptr<ExtraQueue>> queues;
    const std::string longText(200, 'd');
    for (int i = 0; i < 15; ++i) {
      queues.push_back(std::make_unique<ExtraQueue>("many" + std::to_string(i), longText));
      ASSERT_TRUE(queues.back()->ok());
    }
    ExtraQueue added("added", "");
    ASSERT_TRUE(added.ok());
    EXPECT_EQ(IndexOf(e, "added"), 0u);   // the snapshot does not follow
    e.Refresh();
    EXPECT_EQ(e.NumOfPrinters(), before + 16);
    const size_t i = IndexOf(e, "added");
    ASSERT_NE(i, 0u);
    // An empty comment leaves the description ending in a comma.
    EXPECT_EQ(e.Comment(i), "");
    EXPECT_EQ(e.Description(i), "added," + e.DriverName(i) + ",");
    for (int k = 0; k < 15; ++k) EXPECT_EQ(e.Comment(IndexOf(e, "many" + std::to_string(k))), longText);
  }
  e.Refresh();
  EXPECT_EQ(e.NumOfPrinters(), before);
  EXPECT_EQ(IndexOf(e, "added"), 0u);
}

TEST(PrintersEnum, MemoryFailureIsShownInGerman) {
  gui::ScopedScriptedBoxes boxes;
  PrintersEnum e(2, []() -> std::vector<spool::PrinterRecord> { throw std::bad_alloc(); });
  EXPECT_EQ(e.NumOfPrinters(), 0u);
  ASSERT_EQ(boxes->shown().size(), 1u);
  EXPECT_EQ(boxes->shown()[0].text,
            "Die Reservierung von Arbeitsspeicher ist fehlgeschlage (1) !\r\nBeenden Sie das Programm sofort !");
  EXPECT_EQ(boxes->shown()[0].title, "PrintersEnum:Refresh =>MemAlloc ptrBuff 1");
  EXPECT_EQ(boxes->shown()[0].buttons, gui::MB_OK);
}

TEST(PrinterChoice, DefaultPrinterBlocksAreTheCallers) {
  HDEVMODE a = KwGetDefaultPrinter();
  HDEVMODE b = KwGetDefaultPrinter();
  ASSERT_TRUE(a && b);
  EXPECT_NE(a.get(), b.get());   // two calls, two blocks
  EXPECT_STREQ(a->dmDeviceName, "pdfcap");
  EXPECT_EQ(DeviceNameOf(*b), "pdfcap");
  NoPrinters none;
  EXPECT_EQ(KwGetDefaultPrinter(), nullptr);
}

TEST(PrinterChoice, PrintDialogGivesTheChosenPrinterOrNothing) {
  gui::ScopedScriptedPrintDialogs dialogs;
  dialogs->Cancel();
  EXPECT_EQ(KwPrintDialog(), nullptr);
  dialogs->Choose("rawcap");
  HDEVMODE chosen = KwPrintDialog();
  ASSERT_TRUE(chosen);
  EXPECT_STREQ(chosen->dmDeviceName, "rawcap");
  ASSERT_EQ(dialogs->shown().size(), 2u);
  EXPECT_EQ(dialogs->shown()[1].owner, nullptr);   // owned by the topmost window
  EXPECT_FALSE(dialogs->shown()[1].pageNumbers);
  EXPECT_FALSE(dialogs->shown()[1].selection);
  dialogs->Choose("");   // "print to file": the built-in printer
  EXPECT_EQ(DeviceNameOf(*KwPrintDialog()), spool::kBuiltInPrinter);
}

TEST(PrinterChoice, LongPrinterNamesAreCutInTheRecordButStillPrint) {
  testsupport::TempWorkDir dir;
  const std::string longName = "a_queue_with_a_name_of_forty_characters";
  ASSERT_EQ(longName.size(), 39u);
  ExtraQueue queue(longName);
  ASSERT_TRUE(queue.ok());
  gui::ScopedScriptedPrintDialogs dialogs;
  dialogs->Choose(longName);
  gnPrnInfoCalls = 1;
  gcPrinterName = "pdfcap";
  HDEVMODE block = LookUpPrinter(false, nullptr);
  ASSERT_TRUE(block);
  EXPECT_EQ(std::string(block->dmDeviceName), longName.substr(0, 31));
  EXPECT_EQ(gcPrinterName, longName);
  dir.Write("job.prn", "raw\f");
  int fd = open(dir.File("job.prn").c_str(), O_RDONLY);
  EXPECT_TRUE(RawDataToPrinter(gcPrinterName, "Zozadodeded nyomtatás", fd));
  close(fd);
  std::string arrived;
  ASSERT_TRUE(testcups::WaitForJob(longName, spool::LastJob().jobId, &arrived));
  EXPECT_EQ(arrived, "raw\f");
  gcPrinterName.clear();
  gnPrnInfoCalls = 0;
}

TEST(PrinterChoice, LookUpTakesTheDefaultOnceAndTheDialogsChoiceLater) {
  gui::ScopedScriptedPrintDialogs dialogs;
  struct Step {
    const char* what;
    bool lDefault;
    std::string dialogAnswer;   // "-" = cancel
    std::string nameBefore;
    bool gotBlock;
    std::string nameAfter;
  };
  const Step steps[] = {
      {"first call, no name: the default printer", true, "", "", true, "pdfcap"},
      {"dialog cancelled: name unchanged", false, "-", "pdfcap", false, "pdfcap"},
      {"dialog, the same printer", false, "pdfcap", "pdfcap", true, "pdfcap"},
      {"dialog, another printer", false, "rawcap", "pdfcap", true, "rawcap"},
      {"dialog, back to the first", false, "pdfcap", "rawcap", true, "pdfcap"},
  };
  gnPrnInfoCalls = 0;
  gcPrinterName.clear();
  int calls = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    EXPECT_EQ(gcPrinterName, s.nameBefore);
    if (!s.lDefault) {
      if (s.dialogAnswer == "-") dialogs->Cancel();
      else dialogs->Choose(s.dialogAnswer);
    }
    HDEVMODE block = LookUpPrinter(s.lDefault, nullptr);
    EXPECT_EQ(block != nullptr, s.gotBlock);
    EXPECT_EQ(gnPrnInfoCalls, ++calls);
    EXPECT_EQ(gcPrinterName, s.nameAfter);
  }
  // A name from the settings file is kept on the first call.
  gnPrnInfoCalls = 0;
  gcPrinterName = "rawcap";
  EXPECT_TRUE(LookUpPrinter(true, nullptr));
  EXPECT_EQ(gcPrinterName, "rawcap");
  // No default printer: nothing, the name stays.
  {
    NoPrinters none;
    gnPrnInfoCalls = 0;
    gcPrinterName.clear();
    EXPECT_EQ(LookUpPrinter(true, nullptr), nullptr);
    EXPECT_EQ(gcPrinterName, "");
  }
  gnPrnInfoCalls = 0;
  gcPrinterName.clear();
}

TEST(PrinterChoice, SetDefaultPrinterChangesTheSpoolersDefault) {
  HDEVMODE current = KwGetDefaultPrinter();
  ASSERT_TRUE(current);
  EXPECT_TRUE(SetDefaultPrinter("rawcap", current.get()));
  EXPECT_EQ(DeviceNameOf(*KwGetDefaultPrinter()), "rawcap");
  EXPECT_FALSE(SetDefaultPrinter("nincs-ilyen", nullptr));
  EXPECT_FALSE(SetDefaultPrinter(spool::kBuiltInPrinter, nullptr));   // CUPS has a default
  EXPECT_EQ(DeviceNameOf(*KwGetDefaultPrinter()), "rawcap");
  EXPECT_TRUE(SetDefaultPrinter("pdfcap", nullptr));
  EXPECT_EQ(DeviceNameOf(*KwGetDefaultPrinter()), "pdfcap");
}

TEST(FilePrinterCups, JobOnTheDefaultPrinterArrivesAsPdf) {
  testsupport::TempWorkDir dir;
  const std::string out = testcups::CupsDir() + "out/pdfcap";
  std::set<std::string> before;
  for (const auto& e : std::filesystem::directory_iterator(out)) before.insert(e.path().filename());
  dir.Write("U0001.PRN", "Elso sor\r\n  masodik\r\n\fharmadik\r\n");
  print::PrintingDevice notValid("nincs-ilyen");   // not a printer: the default one
  FilePrinter printer(dir.File("U0001.PRN"), &notValid, "Zozadodeded nyomtatás");
  ASSERT_TRUE(printer.IsValid());
  EXPECT_EQ(printer.PrinterName(), "pdfcap");
  ASSERT_TRUE(printer.Start());
  std::string arrived;
  for (int i = 0; i < 500 && arrived.empty(); ++i) {
    for (const auto& e : std::filesystem::directory_iterator(out)) {
      std::string name = e.path().filename();
      if (!before.count(name) && name[0] != '.') arrived = e.path();
    }
    if (arrived.empty()) usleep(20000);
  }
  ASSERT_FALSE(arrived.empty());
  EXPECT_EQ(testpdf::PageCount(arrived), 2);
  EXPECT_NE(testpdf::LayoutText(arrived, 1).find("Elso sor"), std::string::npos);
  EXPECT_NE(testpdf::LayoutText(arrived, 1).find("masodik"), std::string::npos);
  EXPECT_NE(testpdf::LayoutText(arrived, 2).find("harmadik"), std::string::npos);
}

TEST(PrinterChoice, QtPrintDialogIsShownModalAndAnswers) {
  // The real dialog, closed by a timer as an operator would: accepted, it
  // gives the printer it showed (the default one); rejected, nothing.
  ASSERT_NE(dynamic_cast<gui::QtPrintDialogs*>(&gui::PrintDialogs()), nullptr);
  for (bool accept : {true, false}) {
    SCOPED_TRACE(accept ? "accepted" : "cancelled");
    bool seen = false;
    QTimer::singleShot(200, [&] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        seen = true;
        if (accept) dialog->accept();
        else dialog->reject();
      }
    });
    HDEVMODE chosen = KwPrintDialog();
    EXPECT_TRUE(seen);
    if (accept) {
      ASSERT_TRUE(chosen);
      EXPECT_EQ(DeviceNameOf(*chosen), "pdfcap");
    } else {
      EXPECT_EQ(chosen, nullptr);
    }
  }
}

TEST(PrinterChoice, WithoutASpoolerTheBuiltInPrinterIsTheDefault) {
  testcups::NoSpooler none;
  HDEVMODE def = KwGetDefaultPrinter();
  ASSERT_TRUE(def);
  EXPECT_EQ(DeviceNameOf(*def), spool::kBuiltInPrinter);
  EXPECT_TRUE(SetDefaultPrinter(spool::kBuiltInPrinter, def.get()));
  EXPECT_FALSE(SetDefaultPrinter("pdfcap", def.get()));   // not reachable now
  PrintersEnum e;
  ASSERT_EQ(e.NumOfPrinters(), 1u);
  EXPECT_EQ(e.PrinterName(1), spool::kBuiltInPrinter);
  EXPECT_TRUE(e.Attributes(1) & spool::kAttrDefault);
}
