// The page printer on real devices: PDF files through QPdfWriter, the
// built-in file printer, and CUPS queues of the private cupsd.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QPaintDevice>
#include <cmath>
#include <filesystem>

#include "cups/capture.h"
#include "platform/gui/print_dialog.h"
#include "platform/print/pdf_words.h"
#include "platform/print/printer.h"
#include "platform/spool/spooler.h"
#include "support/work_dir.h"

using namespace print;

namespace {

// A job that runs a list of pages, each a function drawing on the printer.
class ScriptedJob : public Printer {
 public:
  using Printer::Printer;
  std::vector<std::function<void(ScriptedJob&)>> pages;
  std::vector<int> exposed;
  bool PrinterExpose(int page) override {
    exposed.push_back(page);
    if (size_t(page) <= pages.size()) pages[page - 1](*this);
    return size_t(page) < pages.size();
  }
};

// Points of a canvas x in device units (the left margin is 5 mm).
double XPoints(int x, int dpi) { return 5 / 25.4 * 72 + x * 72.0 / dpi; }

}  // namespace

TEST(PrintFont, CellFontsHaveTheirCellOnTheDevice) {
  testsupport::TempWorkDir dir;
  struct Case { int dpi; double cpi, lpi; };
  const Case cases[] = {{300, 10, 6}, {300, 16.5, 6}, {600, 10, 6}, {600, 16.5, 6}, {600, 4, 6},
                        {600, 9, 6}, {1200, 10, 6}, {1200, 16.5, 6}, {1200, 6, 8}};
  for (const Case& c : cases) {
    PrintingDevice file = PrintingDevice::ToFile(dir.File("cell.pdf"));
    file.SetResolution(c.dpi);
    Printer printer("cell", &file);
    ASSERT_TRUE(printer.IsValid());
    ASSERT_EQ(GetDeviceCaps(printer.Handle(), LOGPIXELSX), c.dpi);
    ASSERT_EQ(GetDeviceCaps(printer.Handle(), LOGPIXELSY), c.dpi);
    Dimension cell(int(c.dpi / c.cpi), int(c.dpi / c.lpi));
    Font font(FONTMODERN, cell, "Courier New");
    Font::OnDevice onDevice = font.ForDevice(printer.Handle());
    QFontMetricsF m(QFont(onDevice.font, printer.Handle()), printer.Handle());
    SCOPED_TRACE(testing::Message() << c.dpi << " dpi, " << c.cpi << " cpi, " << c.lpi << " lpi");
    EXPECT_NEAR(m.height() * onDevice.scaleY, cell.Height, 0.01);
    for (QChar ch : QStringLiteral("0W.iM"))
      EXPECT_NEAR(m.horizontalAdvance(ch) * onDevice.scaleX, cell.Width, 0.01) << QString(ch).toStdString();
    printer.SetFont(font);
    EXPECT_EQ(printer.SizeText("TestText"), Dimension(8 * cell.Width, cell.Height));
  }
}

// Both ways to a PDF: the paint engine, and the direct writer of text-only jobs.
TEST(Printer, PdfPagesCarryTextWhereItWasPut) {
  for (bool textOnly : {false, true}) {
  SCOPED_TRACE(textOnly ? "text only" : "paint engine");
  testsupport::TempWorkDir dir;
  const int dpi = 600;
  PrintingDevice file = PrintingDevice::ToFile(dir.File("out.pdf"));
  file.SetResolution(dpi);
  ScriptedJob job("Proba", &file);
  job.SetTextOnly(textOnly);
  ASSERT_TRUE(job.IsValid());
  const BoundingBox canvas = job.CanvasArea();
  // A4 less 5 mm on every side.
  EXPECT_NEAR(canvas.Width(), (210 - 10) / 25.4 * dpi, 5);
  EXPECT_NEAR(canvas.Height(), (297 - 10) / 25.4 * dpi, 5);
  EXPECT_EQ(canvas.Origin, Point(0, 0));
  const Dimension cell(60, 100);
  job.pages.push_back([&](ScriptedJob& p) {
    p.SetFont(Font(FONTMODERN, cell, "Courier New"));
    p.TextPrint("Elso", Point(0, canvas.Top() - cell.Height));             // top line
    p.TextPrintAt(U"AB", {600, 1200}, canvas.Top() - 3 * cell.Height);       // two columns apart
    p.TextPrint("Lent", Point(120, 0));                                      // bottom line
  });
  job.pages.push_back([&](ScriptedJob& p) { p.TextPrintAt(U"Árvíztűrő", {0, 60, 120, 180, 240, 300, 360, 420, 480}, 1000); });
  ASSERT_TRUE(job.Start());
  EXPECT_EQ(job.exposed, (std::vector<int>{1, 2}));
  ASSERT_EQ(testpdf::PageCount(dir.File("out.pdf")), 2);
  auto pages = testpdf::Words(dir.File("out.pdf"));
  ASSERT_EQ(pages.size(), 2u);
  auto find = [&](int page, const std::string& text) -> const testpdf::Word* {
    for (const auto& w : pages[page]) if (w.text == text) return &w;
    return nullptr;
  };
  const double top = 5 / 25.4 * 72, bottom = (297 - 5) / 25.4 * 72, lineH = 100 * 72.0 / dpi;
  const auto* first = find(0, "Elso");
  ASSERT_TRUE(first);
  EXPECT_NEAR(first->xMin, XPoints(0, dpi), 0.5);
  EXPECT_NEAR(first->yMin, top, lineH * 0.3);
  EXPECT_NEAR(first->xMax - first->xMin, 4 * 60 * 72.0 / dpi, 0.5);  // four cells wide
  const auto* a = find(0, "A");
  const auto* b = find(0, "B");
  ASSERT_TRUE(a && b);
  EXPECT_NEAR(a->xMin, XPoints(600, dpi), 0.5);
  EXPECT_NEAR(b->xMin, XPoints(1200, dpi), 0.5);
  EXPECT_NEAR(a->yMin, top + 2 * lineH, lineH * 0.3);
  const auto* low = find(0, "Lent");
  ASSERT_TRUE(low);
  EXPECT_NEAR(low->yMax, bottom, lineH * 0.3);
  EXPECT_NEAR(low->xMin, XPoints(120, dpi), 0.5);
  ASSERT_FALSE(pages[1].empty());
  EXPECT_EQ(pages[1][0].text, "Árvíztűrő");
  }
}

TEST(Printer, PageRangeSkipsPagesBeforeAndStopsAfter) {
  for (bool textOnly : {false, true}) {
  SCOPED_TRACE(textOnly ? "text only" : "paint engine");
  testsupport::TempWorkDir dir;
  PrintingDevice file = PrintingDevice::ToFile(dir.File("range.pdf"));
  ScriptedJob job("range", &file);
  job.SetTextOnly(textOnly);
  for (int i = 1; i <= 5; ++i)
    job.pages.push_back([i](ScriptedJob& p) {
      p.SetFont(Font(FONTMODERN, Dimension(120, 200), "Courier New"));
      p.TextPrint("Page" + std::to_string(i), Point(0, 1000));
    });
  ASSERT_TRUE(job.Start(2, 3));
  EXPECT_EQ(job.exposed, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(job.PagesPrinted(), 2);
  auto pages = testpdf::Words(dir.File("range.pdf"));
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].at(0).text, "Page2");
  EXPECT_EQ(pages[1].at(0).text, "Page3");
  }
}

TEST(Printer, BuiltInPrinterWritesOnePdfPerJobIntoItsFolder) {
  testsupport::TempWorkDir dir;
  spool::SetOutputFolder("");
  PrintingDevice builtIn(spool::kBuiltInPrinter);
  ASSERT_TRUE(builtIn.IsValid());
  for (int n = 1; n <= 2; ++n) {
    ScriptedJob job("job " + std::to_string(n), &builtIn);
    job.pages.push_back([n](ScriptedJob& p) {
      p.SetFont(Font(FONTMODERN, Dimension(120, 200), "Courier New"));
      p.TextPrint("Job" + std::to_string(n), Point(0, 500));
    });
    ASSERT_TRUE(job.Start());
    EXPECT_EQ(job.OutputFile(), dir.path() + "KWPRINT-OUT/job-0000000" + std::to_string(n) + ".pdf");
    auto pages = testpdf::Words(job.OutputFile());
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].at(0).text, "Job" + std::to_string(n));
  }
  // Nothing half-written is left behind.
  for (const auto& e : std::filesystem::directory_iterator(dir.path() + "KWPRINT-OUT"))
    EXPECT_EQ(e.path().extension(), ".pdf") << e.path();
}

TEST(PrintingDevice, ValidOnlyForPrintersTheSpoolerKnows) {
  EXPECT_FALSE(PrintingDevice("no such printer").IsValid());
  EXPECT_FALSE(PrintingDevice("").IsValid());
  EXPECT_TRUE(PrintingDevice(spool::kBuiltInPrinter).IsValid());
  Printer none("x", nullptr);
  EXPECT_TRUE(none.IsValid());   // the default printer, never nothing
  spool::SetBuiltInPrinterEnabled(false);
  EXPECT_FALSE(PrintingDevice(spool::kBuiltInPrinter).IsValid());
  spool::SetBuiltInPrinterEnabled(true);
}

TEST(PrintingDevice, SetupTakesThePrinterChosenInTheDialog) {
  gui::ScopedScriptedPrintDialogs dialogs;
  PrintingDevice device(spool::kBuiltInPrinter);
  dialogs->Cancel();
  EXPECT_FALSE(device.Setup());
  EXPECT_EQ(device.Device(), spool::kBuiltInPrinter);
  dialogs->Choose("no such printer");
  EXPECT_FALSE(device.Setup());
  EXPECT_EQ(device.Device(), spool::kBuiltInPrinter);
  ASSERT_EQ(dialogs->shown().size(), 2u);
  EXPECT_EQ(dialogs->shown()[0].printerName, spool::kBuiltInPrinter);
}

TEST(Printer, TextOnlyPdfCarriesEveryCharacter) {
  // Every printable ASCII character and the Hungarian letters, whatever
  // glyph numbers the face gives them.
  testsupport::TempWorkDir dir;
  std::u32string all;
  for (char32_t c = 0x21; c < 0x7F; ++c) all += c;
  const std::u32string hungarian = U"áéíóöőúüűÁÉÍÓÖŐÚÜŰ";
  PrintingDevice file = PrintingDevice::ToFile(dir.File("chars.pdf"));
  file.SetResolution(600);
  ScriptedJob job("chars", &file);
  job.SetTextOnly(true);
  job.pages.push_back([&](ScriptedJob& p) {
    p.SetFont(Font(FONTMODERN, Dimension(30, 100), "Courier New"));
    for (const std::u32string* line : std::initializer_list<const std::u32string*>{&all, &hungarian}) {
      std::vector<int> xs;
      for (size_t i = 0; i < line->size(); ++i) xs.push_back(int(i) * 29);
      p.TextPrintAt(*line, xs, line == &all ? 5000 : 4800);
    }
  });
  ASSERT_TRUE(job.Start());
  auto pages = testpdf::Words(dir.File("chars.pdf"));
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].size(), 2u);
  EXPECT_EQ(pages[0][0].text, QString::fromUcs4(all.data(), qsizetype(all.size())).toStdString());
  EXPECT_EQ(pages[0][1].text, QString::fromUcs4(hungarian.data(), qsizetype(hungarian.size())).toStdString());
  EXPECT_NEAR(pages[0][0].xMax - pages[0][0].xMin, (93 * 29 + 30) * 72.0 / 600, 0.5);
}

TEST(PrintingDevice, LandscapeTurnsTheCanvas) {
  testsupport::TempWorkDir dir;
  PrintingDevice portrait = PrintingDevice::ToFile(dir.File("p.pdf"));
  PrintingDevice landscape = PrintingDevice::ToFile(dir.File("l.pdf"));
  landscape.SetOrientation(DMORIENT_LANDSCAPE);
  EXPECT_EQ(landscape.Orientation(), DMORIENT_LANDSCAPE);
  Printer p("p", &portrait), l("l", &landscape);
  EXPECT_GT(p.CanvasArea().Height(), p.CanvasArea().Width());
  EXPECT_GT(l.CanvasArea().Width(), l.CanvasArea().Height());
  EXPECT_EQ(l.CanvasArea().Width(), p.CanvasArea().Height());
}
