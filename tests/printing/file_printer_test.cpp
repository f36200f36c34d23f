// The text-file printer on real PDFs: every character where the line-printer
// layout puts it, checked with pdftotext.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "cups/capture.h"
#include "platform/print/pdf_words.h"
#include "platform/runtime/codepage.h"
#include "platform/runtime/error.h"
#include "platform/runtime/strings.h"
#include "platform/spool/spooler.h"
#include "printing/file_printer.h"
#include "printing/printer_globals.h"
#include "support/work_dir.h"

namespace {

constexpr int kDpi = 600;
constexpr double kPt = 72.0 / kDpi;           // points per device unit
constexpr double kMargin = 5 / 25.4 * 72;     // page margin in points
constexpr int kLineHeight = kDpi / 6;         // 100
constexpr int kAdvance = kDpi / 10 - 1;       // 59

// A word as the layout sees it: page and line (1-based), x in device units
// from the left of the canvas, width in device units.
struct Placed {
  int page;
  int line;
  double x;
  double width;
  std::string text;
};

std::vector<Placed> Layout(const std::string& pdf) {
  std::vector<Placed> out;
  auto pages = testpdf::Words(pdf);
  for (size_t p = 0; p < pages.size(); ++p)
    for (const auto& w : pages[p]) {
      double mid = (w.yMin + w.yMax) / 2 - kMargin;
      out.push_back({int(p) + 1, int(std::floor(mid / (kLineHeight * kPt))) + 1, (w.xMin - kMargin) / kPt,
                     (w.xMax - w.xMin) / kPt, w.text});
    }
  return out;
}

// Prints `content` to a PDF at 600 dpi and returns where its words landed.
struct Printed {
  bool started = false;
  int pages = 0;
  std::vector<Placed> words;
};

Printed Print(const testsupport::TempWorkDir& dir, const std::string& content, int leftMargin = 2) {
  dir.Write("job.txt", content);
  std::filesystem::remove(dir.File("job.pdf"));
  print::PrintingDevice file = print::PrintingDevice::ToFile(dir.File("job.pdf"));
  file.SetResolution(kDpi);
  gnFileLeftMargin = leftMargin;
  Printed result;
  {
    FilePrinter printer(dir.File("job.txt"), &file, "Proba");
    EXPECT_TRUE(printer.IsValid());
    result.started = printer.Start();
  }
  gnFileLeftMargin = 0;
  result.pages = testpdf::PageCount(dir.File("job.pdf"));
  result.words = Layout(dir.File("job.pdf"));
  return result;
}

// The x of a 10-cpi column (0-based) after the margin.
double Column(int col, int margin = 2) { return (margin + col) * kAdvance; }

std::string Lines(std::initializer_list<std::string> lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

const Placed* Find(const Printed& p, const std::string& text) {
  for (const auto& w : p.words)
    if (w.text == text) return &w;
  return nullptr;
}

}  // namespace

TEST(FilePrinter, CharactersStandAtTheirColumnAndLine) {
  testsupport::TempWorkDir dir;
  struct Case {
    int setting;   // gnFileLeftMargin
    int margin;    // columns it gives
  };
  for (Case c : {Case{1, 1}, Case{2, 2}, Case{0, 2}, Case{5, 2}}) {
    SCOPED_TRACE(testing::Message() << "gnFileLeftMargin " << c.setting);
    Printed p = Print(dir, Lines({"ABC", "  DEF", "", "X  Y", std::string(70, ' ') + "END"}), c.setting);
    ASSERT_TRUE(p.started);
    ASSERT_EQ(p.pages, 1);
    struct Want {
      const char* text;
      int line, col;
    };
    for (Want w : {Want{"ABC", 1, 0}, Want{"DEF", 2, 2}, Want{"X", 4, 0}, Want{"Y", 4, 3}, Want{"END", 5, 70}}) {
      const Placed* got = Find(p, w.text);
      ASSERT_TRUE(got) << w.text;
      EXPECT_EQ(got->page, 1) << w.text;
      EXPECT_EQ(got->line, w.line) << w.text;
      EXPECT_NEAR(got->x, Column(w.col, c.margin), 2) << w.text;
    }
    // Three characters one advance apart: the word is two advances plus one glyph wide.
    EXPECT_NEAR(Find(p, "ABC")->width, 2 * kAdvance + kDpi / 10, 3);
    EXPECT_EQ(p.words.size(), 5u);
  }
}

TEST(FilePrinter, FormFeedsEndPagesAndTheNextPageStartsWithABlankLine) {
  testsupport::TempWorkDir dir;
  struct Want {
    int page, line;
    std::string text;
  };
  struct Case {
    const char* what;
    std::string content;
    int pages;
    std::vector<Want> words;
  };
  std::string full;   // exactly one page of lines
  const int perPage = int(((297 - 10) / 25.4 * kDpi) / kLineHeight);
  for (int i = 1; i <= perPage; ++i) full += "L" + std::to_string(i) + "\r\n";
  const Case cases[] = {
      {"empty file: one empty page", "", 1, {}},
      {"text, form feed, more text on the last line", "A\r\nB\fC", 2, {{1, 1, "A"}, {1, 2, "B"}, {2, 2, "C"}}},
      {"form feed at the start of a line", "A\r\n\fX\r\nY\r\n", 2, {{1, 1, "A"}, {2, 2, "X"}, {2, 3, "Y"}}},
      {"last line holds only a form feed", "A\r\n\f\r\n", 1, {{1, 1, "A"}}},
      {"last line holds only a form feed, no CR LF", "A\r\n\f", 1, {{1, 1, "A"}}},
      {"form feed with the line end after it", "A\f\r\nB\r\n", 2, {{1, 1, "A"}, {2, 3, "B"}}},
      {"two form feeds in a row", "A\f\fB", 3, {{1, 1, "A"}, {3, 2, "B"}}},
      {"lines exactly fill the page: an empty last page", full, 2,
       {{1, 1, "L1"}, {1, perPage, "L" + std::to_string(perPage)}}},
      {"one line more than a page", full + "NEXT\r\n", 2, {{1, 1, "L1"}, {2, 1, "NEXT"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Printed p = Print(dir, c.content);
    ASSERT_TRUE(p.started);
    EXPECT_EQ(p.pages, c.pages);
    for (const Want& w : c.words) {
      const Placed* got = Find(p, w.text);
      ASSERT_TRUE(got) << w.text;
      EXPECT_EQ(got->page, w.page) << w.text;
      EXPECT_EQ(got->line, w.line) << w.text;
      EXPECT_NEAR(got->x, Column(0), 2) << w.text;
    }
    EXPECT_EQ(p.words.size(), c.content == full ? size_t(perPage) : c.content == full + "NEXT\r\n" ? size_t(perPage + 1) : c.words.size());
  }
}

TEST(FilePrinter, HeadingsAreWideAndCentred) {
  testsupport::TempWorkDir dir;
  struct Case {
    const char* what;
    std::string line;
    std::string word;    // what pdftotext reads
    double cpi;
    int columns;         // centred in; 0 = not centred
  };
  const std::string sixty(60, 'H');
  const Case cases[] = {
      {"eight letters: 4 cpi in 28 columns", "ABCD#EFGH", "ABCDEFGH", 4, 28},
      {"fifteen letters: 4 cpi", "#ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNO", 4, 28},
      {"sixteen letters: 6 cpi in 46 columns", "#ABCDEFGHIJKLMNOP}", "ABCDEFGHIJKLMNOP", 6, 46},
      {"blanks around are trimmed first", "   #TITLE#   ", "TITLE", 4, 28},
      {"sixty letters: 9 cpi, not centred", sixty + "#", sixty, 9, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Printed p = Print(dir, Lines({"before", c.line, "after"}));
    const Placed* h = Find(p, c.word);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->line, 2);
    const int cell = int(kDpi / c.cpi);
    const int margin = 2 * (cell - 1);   // two columns of the heading font's advance
    const size_t n = c.word.size();
    const int free = c.columns ? c.columns - int(n) : 0;
    EXPECT_NEAR(h->x, margin + (free / 2) * cell, 3);
    EXPECT_NEAR(h->width, n * cell, 0.02 * n * cell);
    // The lines around stay at 10 cpi.
    EXPECT_NEAR(Find(p, "after")->width, 4 * kAdvance + kDpi / 10, 3);
    EXPECT_NEAR(Find(p, "after")->x, Column(0), 2);
  }
}

TEST(FilePrinter, CondensedModeLastsToItsEndOrTheEndOfThePage) {
  testsupport::TempWorkDir dir;
  const int condensed = int(kDpi / 16.5) - 1;   // 35
  Printed p = Print(dir, Lines({"{SMALL", "STILL", "BA}CK NORMAL", "AA{BB}CC"}) + "\f" + Lines({"PAGE2"}));
  ASSERT_EQ(p.pages, 2);
  auto width = [&](const std::string& w) { return Find(p, w)->width; };
  ASSERT_TRUE(Find(p, "SMALL") && Find(p, "STILL") && Find(p, "PAGE2"));
  EXPECT_NEAR(width("SMALL"), 4 * condensed + kDpi / 16.5, 3);
  EXPECT_NEAR(width("STILL"), 4 * condensed + kDpi / 16.5, 3);
  EXPECT_NEAR(Find(p, "SMALL")->x, Column(0), 2);   // the margin stays at 10 cpi
  // "{" and "}" take no column: "BA" condensed, then "CK" normal.
  const Placed* back = Find(p, "BACK");
  ASSERT_TRUE(back);
  EXPECT_NEAR(back->width, 2 * condensed + kAdvance + kDpi / 10, 3);
  const Placed* normal = Find(p, "NORMAL");
  ASSERT_TRUE(normal);
  EXPECT_NEAR(normal->x, Column(0) + 2 * condensed + 3 * kAdvance, 3);   // B A, then C K and a blank
  EXPECT_NEAR(normal->width, 5 * kAdvance + kDpi / 10, 3);
  // Within a line: AA normal, BB condensed, CC normal, all one word.
  const Placed* mixed = Find(p, "AABBCC");
  ASSERT_TRUE(mixed);
  EXPECT_NEAR(mixed->width, 2 * kAdvance + 2 * condensed + kAdvance + kDpi / 10, 3);
  // The next page starts normal.
  EXPECT_EQ(Find(p, "PAGE2")->page, 2);
  EXPECT_NEAR(width("PAGE2"), 4 * kAdvance + kDpi / 10, 3);
}

TEST(FilePrinter, SeparatorLinesBecomeUnderscores) {
  testsupport::TempWorkDir dir;
  const std::string single = "  " + std::string(10, '\xc4');          // 196: the whole line
  const std::string dbl = "ab\xcd\xcd x\xcd";                         // 205: only those characters
  const std::string notThird = "\xc4\xc4x\xc4";                        // 196 not third: kept
  Printed p = Print(dir, Lines({single, dbl, notThird}));
  const Placed* s = Find(p, std::string(12, '_'));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->line, 1);
  EXPECT_NEAR(s->x, Column(0), 2);   // the two leading columns included
  const Placed* d = Find(p, "ab__");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->line, 2);
  ASSERT_TRUE(Find(p, "x_"));
  const Placed* kept = Find(p, "──x─");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->line, 3);
}

TEST(FilePrinter, OemTextIsPrintedInUnicode) {
  testsupport::TempWorkDir dir;
  const std::string text = "Árvíztűrő tükörfúrógép ÁRVÍZTŰRŐ";
  const std::string oem = rt::ToCodePage(text, rt::CodePage::Oem852);
  ASSERT_EQ(oem.size(), rt::CharLen(text));
  Printed p = Print(dir, Lines({oem}));
  ASSERT_EQ(p.words.size(), 3u);
  EXPECT_EQ(p.words[0].text, "Árvíztűrő");
  EXPECT_EQ(p.words[1].text, "tükörfúrógép");
  EXPECT_EQ(p.words[2].text, "ÁRVÍZTŰRŐ");
  EXPECT_NEAR(p.words[1].x, Column(10), 2);
}

TEST(FilePrinter, MetricsFollowTheDeviceResolution) {
  testsupport::TempWorkDir dir;
  dir.Write("job.txt", "x\r\n");
  struct Case {
    int dpi;
    print::Dimension cell;
    uint32_t advance;
  };
  for (Case c : {Case{300, {30, 50}, 29}, Case{600, {60, 100}, 59}, Case{1200, {120, 200}, 119}}) {
    SCOPED_TRACE(c.dpi);
    print::PrintingDevice file = print::PrintingDevice::ToFile(dir.File("m.pdf"));
    file.SetResolution(c.dpi);
    FilePrinter printer(dir.File("job.txt"), &file);
    ASSERT_TRUE(printer.IsValid());
    EXPECT_EQ(printer.HorizontalResolution(), uint32_t(c.dpi));
    EXPECT_EQ(printer.VerticalResolution(), uint32_t(c.dpi));
    EXPECT_EQ(printer.GetFontDimension(), c.cell);
    EXPECT_EQ(printer.GetLineHeight(), uint32_t(c.cell.Height));
    EXPECT_EQ(printer.GetCharAdvance(), c.advance);
    EXPECT_EQ(printer.GetCanvasTop(), uint32_t(printer.CanvasArea().Top()));
    EXPECT_EQ(printer.GetLinesPerPage(), uint32_t(printer.CanvasArea().Height()) / c.cell.Height);
    printer.SetFontSize(16.5, 8);
    EXPECT_EQ(printer.GetFontDimension(), print::Dimension(int(c.dpi / 16.5), c.dpi / 8));
    EXPECT_EQ(printer.GetCharAdvance(), uint32_t(c.dpi / 16.5) - 1);
    printer.SetFontSize();   // keeps both
    EXPECT_EQ(printer.GetFontDimension(), print::Dimension(int(c.dpi / 16.5), c.dpi / 8));
    EXPECT_EQ(printer.FontName(), "Courier New");
    EXPECT_EQ(printer.FontName("Liberation Mono"), "Courier New");
    EXPECT_EQ(printer.FontName(), "Liberation Mono");
  }
}

TEST(FilePrinter, PageLenAdjustShortensThePageAndTooMuchEndsTheJob) {
  testsupport::TempWorkDir dir;
  std::string text;
  for (int i = 1; i <= 30; ++i) text += "R" + std::to_string(i) + "\r\n";
  dir.Write("job.txt", text);
  print::PrintingDevice file = print::PrintingDevice::ToFile(dir.File("a.pdf"));
  file.SetResolution(kDpi);
  {
    FilePrinter printer(dir.File("job.txt"), &file);
    const uint32_t fits = printer.GetLinesPerPage();
    EXPECT_EQ(printer.PageLenAdjust(fits - 10), 0u);   // takes effect at the next SetFontSize
    EXPECT_EQ(printer.GetLinesPerPage(), fits);
    ASSERT_TRUE(printer.Start());
    EXPECT_EQ(printer.GetLinesPerPage(), 10u);
  }
  auto words = Layout(dir.File("a.pdf"));
  // Thirty lines fill three pages exactly; the fourth finds the end at once.
  EXPECT_EQ(testpdf::PageCount(dir.File("a.pdf")), 4);
  ASSERT_EQ(words.size(), 30u);
  EXPECT_EQ(words[10].text, "R11");
  EXPECT_EQ(words[10].page, 2);
  EXPECT_EQ(words[10].line, 1);

  // Taking off every line, or more: no page can hold a line; the job ends
  // at once instead of running for ever. More than fit is a numeric overflow.
  std::vector<uint32_t> gencodes;
  rt::Value old = rt::SetErrorBlock(rt::CodeBlock([&](const std::vector<rt::Value>& a) -> rt::Value {
    gencodes.push_back(std::dynamic_pointer_cast<rt::Error>(a.at(0).AsObject())->GenCode);
    return rt::Value(false);
  }));
  for (uint32_t extra : {0u, 1u}) {
    SCOPED_TRACE(extra);
    gencodes.clear();
    print::PrintingDevice out = print::PrintingDevice::ToFile(dir.File("b.pdf"));
    out.SetResolution(kDpi);
    FilePrinter printer(dir.File("job.txt"), &out);
    printer.PageLenAdjust(printer.GetLinesPerPage() + extra);
    ASSERT_TRUE(printer.Start());
    EXPECT_EQ(printer.GetLinesPerPage(), 0u);
    EXPECT_EQ(printer.PagesPrinted(), 1);
    EXPECT_EQ(gencodes, extra ? std::vector<uint32_t>{rt::EG_OVERFLOW} : std::vector<uint32_t>{});
  }
  rt::SetErrorBlock(old);
}

TEST(FilePrinter, ValidOnlyWithAFileAndAPrinter) {
  testsupport::TempWorkDir dir;
  dir.Write("job.txt", "x\r\n");
  print::PrintingDevice file = print::PrintingDevice::ToFile(dir.File("v.pdf"));
  EXPECT_TRUE(FilePrinter(dir.File("job.txt"), &file).IsValid());
  EXPECT_FALSE(FilePrinter(dir.File("missing.txt"), &file).IsValid());
  EXPECT_FALSE(FilePrinter("", &file).IsValid());
  EXPECT_FALSE(FilePrinter(dir.path(), &file).IsValid());   // a folder
  // A missing file prints nothing.
  FilePrinter missing(dir.File("missing.txt"), &file);
  EXPECT_FALSE(missing.Start());
  EXPECT_FALSE(std::filesystem::exists(dir.File("v.pdf")));
  // No printer at all.
  {
    testcups::NoSpooler noSpooler;
    spool::SetBuiltInPrinterEnabled(false);
    print::PrintingDevice none("nowhere");
    EXPECT_FALSE(FilePrinter(dir.File("job.txt"), &none).IsValid());
    EXPECT_FALSE(FilePrinter(dir.File("job.txt")).IsValid());
    spool::SetBuiltInPrinterEnabled(true);
  }
}

TEST(FilePrinter, FileOpenElsewhereIsNotPrinted) {
  testsupport::TempWorkDir dir;
  dir.Write("job.txt", "busy\r\n");
  print::PrintingDevice file = print::PrintingDevice::ToFile(dir.File("busy.pdf"));
  FilePrinter printer(dir.File("job.txt"), &file);
  ASSERT_TRUE(printer.IsValid());
  int other = open(dir.File("job.txt").c_str(), O_RDONLY);   // the producer still has it open
  ASSERT_GE(other, 0);
  EXPECT_FALSE(printer.Start());
  EXPECT_FALSE(std::filesystem::exists(dir.File("busy.pdf")));
  close(other);
  EXPECT_TRUE(printer.Start());
  EXPECT_EQ(testpdf::Words(dir.File("busy.pdf")).at(0).at(0).text, "busy");
}

TEST(FilePrinter, BuiltInPrinterGetsTheJobAsPdf) {
  testsupport::TempWorkDir dir;
  spool::SetOutputFolder("");
  dir.Write("job.txt", Lines({"Elso oldal"}) + "\f" + Lines({"Masodik"}));
  print::PrintingDevice builtIn(spool::kBuiltInPrinter);
  FilePrinter printer(dir.File("job.txt"), &builtIn, "Zozadodeded nyomtatás");
  ASSERT_TRUE(printer.Start());
  ASSERT_EQ(printer.OutputFile().rfind(dir.path() + "KWPRINT-OUT/job-", 0), 0u);
  EXPECT_EQ(testpdf::PageCount(printer.OutputFile()), 2);
  EXPECT_NE(testpdf::LayoutText(printer.OutputFile(), 2).find("Masodik"), std::string::npos);
  EXPECT_NE(testpdf::RunCommand("pdfinfo '" + printer.OutputFile() + "'").find("Zozadodeded nyomtatás"), std::string::npos);
}
