// Prints a plain-text file like a line printer: fixed pitch at 10 characters
// per inch (16.5 condensed) and 6 lines per inch in "Courier New". A form
// feed ends the page, "{" and "}" switch condensed mode on and off, a line
// holding "#" is a heading in wide letters, a line whose third character is
// a box-drawing line (OEM codes 196, 205) becomes an underline, and the text
// is converted from the OEM code page (CP852) before it is drawn.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/print/printer.h"

class FilePrinter : public print::Printer {
 public:
  // The device is used only when it is valid; otherwise the default printer.
  // An empty job name becomes the file name.
  FilePrinter(const std::string& fileName, const print::PrintingDevice* device = nullptr,
              const std::string& jobName = "");
  ~FilePrinter() override;

  // True when the printer could be set up and the file exists.
  bool IsValid() const { return Valid; }
  // Opens the file (no other process may have it open) and runs the job;
  // false when the file could not be opened or the job failed.
  bool Start(int fromPage = 1, int toPage = 0);
  bool PrinterExpose(int pageNumber) override;
  // Rebuilds the font and the page metrics; a value missing or not above 0
  // keeps the last one.
  void SetFontSize(std::optional<double> charsPerInch = std::nullopt, std::optional<double> linesPerInch = std::nullopt);
  const std::string& FontName() const { return FontFace; }
  std::string FontName(const std::string& name);           // returns the previous name
  uint32_t PageLenAdjust() const { return LinesToDrop; }
  uint32_t PageLenAdjust(uint32_t lines);                   // returns the previous value
  uint32_t HorizontalResolution() const { return PixelsPerInchX; }
  uint32_t VerticalResolution() const { return PixelsPerInchY; }
  void Destroy();

  // Page metrics in device units, as the layout uses them.
  uint32_t GetLinesPerPage() const { return LinesPerPage; }
  uint32_t GetLineHeight() const { return LineHeight; }
  uint32_t GetCharAdvance() const { return CharAdvance; }
  uint32_t GetCanvasTop() const { return CanvasTop; }
  print::Dimension GetFontDimension() const { return FontDimension; }

 private:
  class LineSource;
  void DrawHeading(const std::u32string& line, int margin, int y);
  void DrawTextLine(const std::u32string& line, int margin, int y, bool& condensed);

  bool Valid = false;
  print::Dimension FontDimension;
  std::string JobFileName;
  std::string PendingLine;
  std::string FontFace;
  int JobFileHandle = -1;
  std::unique_ptr<LineSource> Lines;
  uint32_t CanvasTop = 0;
  uint32_t LineHeight = 0;
  uint32_t LinesPerPage = 0;
  double CharsPerInch = 10;
  double LinesPerInch = 10;
  uint32_t PixelsPerInchX = 0;
  uint32_t PixelsPerInchY = 0;
  uint32_t LinesToDrop = 0;   // PageLenAdjust
  uint32_t CharAdvance = 0;
};
