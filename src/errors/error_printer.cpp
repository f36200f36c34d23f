#include "error_printer.h"

#include "platform/runtime/international.h"

namespace errors {

namespace {
// Family codes of the two fonts: 7 the caption's, 5 (swiss) the text's.
constexpr int kCaptionFamily = 7;
constexpr int kTextFamily = print::FONTSWISS;
}  // namespace

print::Font ErrorPrinter::CaptionFont() {
  print::Font f(kCaptionFamily, 16.0, "Arial");
  f.SetBold(true);
  return f;
}

print::Font ErrorPrinter::TextFont() { return print::Font(kTextFamily, 10.0, "Arial"); }

ErrorPrinter::ErrorPrinter(std::string cCaption, std::string cMessage, std::vector<std::string> aStack,
                           const print::PrintingDevice* device)
    : print::Printer(cCaption, device),
      cCaption_(std::move(cCaption)),
      cMessage_(std::move(cMessage)),
      aStack_(std::move(aStack)) {}

bool ErrorPrinter::PrinterExpose(int) {
  const print::BoundingBox canvas = CanvasArea();
  const int x = canvas.Left() - 1;
  int y = canvas.Top() - 1;

  SetFont(CaptionFont());
  int h = SizeText("TestText").Height;
  y -= 2 * h;
  TextPrint(cCaption_, print::Point(x, y));

  SetFont(TextFont());
  h = SizeText("TestText").Height;
  y -= 2 * h;
  TextPrint(rt::DToC(rt::Today()) + " - " + rt::TimeText(), print::Point(x, y));

  const int step = static_cast<int>(h * 1.1);
  y -= h + 2;
  // Every line of the text, the last one also when it lacks its CR LF.
  for (size_t p = 0; p < cMessage_.size();) {
    size_t end = cMessage_.find("\r\n", p);
    TextPrint(cMessage_.substr(p, end == std::string::npos ? std::string::npos : end - p), print::Point(x, y));
    y -= step;
    p = end == std::string::npos ? cMessage_.size() : end + 2;
  }
  y -= h;
  for (const auto& line : aStack_) {
    TextPrint(line, print::Point(x, y));
    y -= step;
  }
  return false;
}

}  // namespace errors
