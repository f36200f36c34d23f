// A print job with a page callback. Start() starts the job, then calls
// PrinterExpose once for each page, with the page already started, until it
// returns false, and ends the job. The canvas is the printable area in device
// units with its origin at the bottom left.
//
// CUPS printers are driven through QPrinter; the built-in file printer and
// print-to-file write a PDF through QPdfWriter (the built-in printer's file
// appears in its output folder when the job ends).
#pragma once
#include <QFont>
#include <QRawFont>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/print/font.h"
#include "platform/print/geometry.h"
#include "platform/print/printing_device.h"

class QFile;
class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class QPrinter;
class QPdfWriter;

namespace print {
class PdfTextWriter;
}

namespace print {

// Device capabilities (the classic index values).
enum DeviceCap { HORZRES = 8, VERTRES = 10, LOGPIXELSX = 88, LOGPIXELSY = 90, PHYSICALWIDTH = 110,
                 PHYSICALHEIGHT = 111, PHYSICALOFFSETX = 112, PHYSICALOFFSETY = 113 };
int GetDeviceCaps(const QPaintDevice* device, int index);

class Printer {
 public:
  // nullptr or an invalid device: the default printer.
  explicit Printer(const std::string& jobName, const PrintingDevice* device = nullptr);
  virtual ~Printer();
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  bool IsValid() const { return device_ != nullptr; }
  // A job that draws only through TextPrint and TextPrintAt may say so: its
  // PDF output (built-in printer, print to file) is then written directly,
  // many times faster than through the paint engine.
  void SetTextOnly(bool on) { textOnly_ = on; }
  // Runs the job. Pages before fromPage are laid out but not printed; the job
  // stops after toPage (0: no limit). False when the job could not be started
  // or not be completed.
  bool Start(int fromPage = 1, int toPage = 0);
  // One page; true when more pages follow.
  virtual bool PrinterExpose(int pageNumber) { return false; }

  BoundingBox CanvasArea() const;
  Dimension SizeText(const std::string& text) const;
  // Draws text with the bottom left of its cell at `at`.
  void TextPrint(const std::string& text, Point at);
  // Draws characters each at its own x, all on the line whose cell bottom is
  // y: one positioned glyph run, as exact as one call per character.
  void TextPrintAt(const std::u32string& chars, const std::vector<int>& xs, int y);
  void SetFont(const Font& font);
  const Font& GetFont() const { return font_; }
  // The device context: the printer or PDF device (nullptr when not valid).
  QPaintDevice* Handle() const;

  const std::string& JobName() const { return jobName_; }
  const std::string& PrinterName() const { return printerName_; }
  // The PDF written for the built-in printer or print-to-file ("" for CUPS).
  const std::string& OutputFile() const { return outputFile_; }
  int PagesPrinted() const { return pagesPrinted_; }

 private:
  struct RunFont {
    QFont qfont;       // at its reference size
    QRawFont raw;
    double scaleX = 1, scaleY = 1;
    double descent = 0;  // of the reference size
    double height = 0;
    std::map<std::string, Dimension> sizes;   // SizeText of texts measured before
    std::vector<int64_t> glyphOf;             // by character (BMP): glyph index, -1 while unknown
  };
  // Glyph indexes of the characters; false when one has no single glyph.
  bool GlyphsOf(const RunFont& rf, const std::u32string& chars, std::vector<quint32>& glyphs) const;
  const RunFont& CurrentRunFont() const;
  double BaselineOf(int y) const;
  bool RunTextOnly(const std::string& path, int fromPage, int toPage);

  std::string jobName_;
  std::string printerName_;
  std::string outputFile_;
  std::string partFile_;
  std::unique_ptr<QPrinter> qprinter_;
  std::unique_ptr<QFile> pdfFile_;
  std::unique_ptr<QPdfWriter> pdf_;
  QPagedPaintDevice* device_ = nullptr;
  QPainter* painter_ = nullptr;   // the page being drawn while Start runs
  PdfTextWriter* text_ = nullptr;  // instead of the painter for text-only PDF jobs
  bool textOnly_ = false;
  Font font_;
  mutable const RunFont* runFont_ = nullptr;
  // Fonts already prepared for this device: layouts switch between a few.
  mutable std::vector<std::pair<Font, std::unique_ptr<RunFont>>> runFonts_;
  int pagesPrinted_ = 0;
  mutable Dimension canvas_;
};

}  // namespace print
