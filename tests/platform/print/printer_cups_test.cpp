// The page printer on CUPS queues of the private cupsd: what Qt sends arrives
// as a PDF on the capture queue.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <set>

#include "cups/capture.h"
#include "platform/print/pdf_words.h"
#include "platform/print/printer.h"
#include "platform/spool/spooler.h"
#include "support/work_dir.h"

using namespace print;

namespace {

std::set<std::string> Files(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename());
  return names;
}

class OnePage : public Printer {
 public:
  using Printer::Printer;
  bool PrinterExpose(int) override {
    SetFont(Font(FONTMODERN, Dimension(GetDeviceCaps(Handle(), LOGPIXELSX) / 10, GetDeviceCaps(Handle(), LOGPIXELSY) / 6), "Courier New"));
    TextPrint("Szia vilag", Point(0, CanvasArea().Top() - 500));
    return false;
  }
};

}  // namespace

TEST(PrinterCups, PageJobArrivesAsPdfOnTheQueue) {
  testsupport::TempWorkDir dir;
  ASSERT_TRUE(spool::CupsReachable());
  PrintingDevice queue("pdfcap");
  ASSERT_TRUE(queue.IsValid());
  const std::string out = testcups::CupsDir() + "out/pdfcap";
  auto before = Files(out);
  OnePage job("Zozadodeded nyomtatás", &queue);
  ASSERT_TRUE(job.IsValid());
  EXPECT_EQ(job.PrinterName(), "pdfcap");
  EXPECT_GE(GetDeviceCaps(job.Handle(), LOGPIXELSX), 300);
  ASSERT_TRUE(job.Start());
  std::string arrived;
  for (int i = 0; i < 300 && arrived.empty(); ++i) {
    for (const auto& name : Files(out))
      if (!before.count(name) && name[0] != '.') arrived = out + "/" + name;
    if (arrived.empty()) usleep(20000);
  }
  ASSERT_FALSE(arrived.empty());
  auto pages = testpdf::Words(arrived);
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].size(), 2u);
  EXPECT_EQ(pages[0][0].text, "Szia");
  EXPECT_EQ(pages[0][1].text, "vilag");
}

TEST(PrinterCups, DefaultPrinterIsTheSpoolersDefault) {
  PrintingDevice def;
  EXPECT_TRUE(def.IsValid());
  EXPECT_EQ(def.Device(), "pdfcap");
}

TEST(PrinterCups, UnknownQueueIsNotValid) {
  PrintingDevice missing("nincs-ilyen");
  EXPECT_FALSE(missing.IsValid());
  OnePage job("x", &missing);   // falls back to the default printer
  EXPECT_TRUE(job.IsValid());
  EXPECT_EQ(job.PrinterName(), "pdfcap");
}
