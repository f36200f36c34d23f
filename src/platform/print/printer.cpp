#include "platform/print/printer.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QPrinter>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "platform/print/pdf_text_writer.h"
#include "platform/spool/spooler.h"

namespace print {

namespace {

constexpr int kDefaultDpi = 1200;
const QMarginsF kMarginsMm(5, 5, 5, 5);

QPageLayout LayoutFor(const PrintingDevice& d) {
  return QPageLayout(QPageSize(QPageSize::A4),
                     d.Orientation() == DMORIENT_LANDSCAPE ? QPageLayout::Landscape : QPageLayout::Portrait,
                     kMarginsMm, QPageLayout::Millimeter);
}

}  // namespace

int GetDeviceCaps(const QPaintDevice* device, int index) {
  if (!device) return 0;
  const auto* paged = dynamic_cast<const QPagedPaintDevice*>(device);
  const int dpiX = device->logicalDpiX(), dpiY = device->logicalDpiY();
  switch (index) {
    case HORZRES: return device->width();
    case VERTRES: return device->height();
    case LOGPIXELSX: return dpiX;
    case LOGPIXELSY: return dpiY;
    case PHYSICALWIDTH:
      return paged ? int(std::lround(paged->pageLayout().fullRect(QPageLayout::Inch).width() * dpiX)) : device->width();
    case PHYSICALHEIGHT:
      return paged ? int(std::lround(paged->pageLayout().fullRect(QPageLayout::Inch).height() * dpiY)) : device->height();
    case PHYSICALOFFSETX:
      return paged ? int(std::lround(paged->pageLayout().margins(QPageLayout::Inch).left() * dpiX)) : 0;
    case PHYSICALOFFSETY:
      return paged ? int(std::lround(paged->pageLayout().margins(QPageLayout::Inch).top() * dpiY)) : 0;
    default: return 0;
  }
}

Printer::Printer(const std::string& jobName, const PrintingDevice* device) : jobName_(jobName) {
  PrintingDevice chosen = device && device->IsValid() ? *device : PrintingDevice();
  if (!chosen.IsValid()) return;
  const int dpi = chosen.Resolution() > 0 ? chosen.Resolution() : kDefaultDpi;
  if (!chosen.OutputFile().empty() || spool::IsBuiltIn(chosen.Device())) {
    // The PDF file is opened when the job starts; the built-in printer's
    // file name is only reserved then.
    outputFile_ = chosen.OutputFile();
    printerName_ = chosen.Device();
    pdfFile_ = std::make_unique<QFile>();
    pdf_ = std::make_unique<QPdfWriter>(pdfFile_.get());
    pdf_->setResolution(dpi);
    pdf_->setPageLayout(LayoutFor(chosen));
    pdf_->setTitle(QString::fromStdString(jobName_));
    pdf_->setCreator(QStringLiteral("KWPRINT"));
    device_ = pdf_.get();
    return;
  }
  qprinter_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  qprinter_->setPrinterName(QString::fromStdString(chosen.Device()));
  // Qt falls back to PDF output silently when it does not find the queue.
  if (!qprinter_->isValid() || qprinter_->outputFormat() != QPrinter::NativeFormat ||
      qprinter_->printerName().toStdString() != chosen.Device()) {
    qprinter_.reset();
    return;
  }
  qprinter_->setResolution(dpi);
  qprinter_->setFullPage(false);
  qprinter_->setPageLayout(LayoutFor(chosen));
  qprinter_->setDocName(QString::fromStdString(jobName_));
  printerName_ = chosen.Device();
  device_ = qprinter_.get();
}

Printer::~Printer() = default;

QPaintDevice* Printer::Handle() const { return device_; }

bool Printer::Start(int fromPage, int toPage) {
  if (!device_ || painter_) return false;
  if (fromPage < 1) fromPage = 1;
  std::string finalPath;
  if (pdf_) {
    finalPath = outputFile_;
    if (finalPath.empty()) {
      finalPath = spool::ReserveOutputFile("pdf");
      if (finalPath.empty()) return false;
      outputFile_ = finalPath;
      partFile_ = finalPath + ".part";
    }
    pdfFile_->setFileName(QString::fromStdString(partFile_.empty() ? finalPath : partFile_));
    if (!pdfFile_->open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  }
  if (textOnly_ && qprinter_) {
    // The spooler gets the PDF that the text writer makes, as it would get
    // the paint engine's.
    char temp[] = "/tmp/rv-print-XXXXXX.pdf";
    int fd = mkstemps(temp, 4);
    if (fd < 0) return false;
    close(fd);
    bool ok = RunTextOnly(temp, fromPage, toPage);
    ok = ok && spool::SubmitFile(printerName_, temp, jobName_) > 0;
    std::remove(temp);
    return ok;
  }
  if (textOnly_ && pdf_) {
    pdfFile_->close();
    bool ok = RunTextOnly(partFile_.empty() ? finalPath : partFile_, fromPage, toPage);
    if (!partFile_.empty()) {
      // A job that failed leaves no half-written file behind.
      ok = ok && std::rename(partFile_.c_str(), finalPath.c_str()) == 0;
      if (!ok) std::remove(partFile_.c_str());
      partFile_.clear();
    }
    return ok;
  }
  QPainter painter;
  if (!painter.begin(device_)) {
    if (pdfFile_) pdfFile_->close();
    return false;
  }
  // Pages before the range are laid out on a scratch picture.
  QPicture scratch;
  QPainter scratchPainter;
  pagesPrinted_ = 0;
  for (int page = 1; toPage <= 0 || page <= toPage; ++page) {
    const bool printed = page >= fromPage;
    if (printed) {
      if (pagesPrinted_ > 0) device_->newPage();
      painter_ = &painter;
      ++pagesPrinted_;
    } else {
      scratch = QPicture();
      scratchPainter.begin(&scratch);
      painter_ = &scratchPainter;
    }
    painter_->setFont(CurrentRunFont().qfont);
    bool more = PrinterExpose(page);
    if (!printed) scratchPainter.end();
    if (!more) break;
  }
  painter_ = nullptr;
  bool ok = painter.end();
  if (pdfFile_) {
    pdfFile_->close();
    ok = ok && pdfFile_->error() == QFileDevice::NoError;
    if (!partFile_.empty()) {
      // A job that failed leaves no half-written file behind.
      ok = ok && std::rename(partFile_.c_str(), finalPath.c_str()) == 0;
      if (!ok) std::remove(partFile_.c_str());
      partFile_.clear();
    }
  }
  return ok;
}

bool Printer::RunTextOnly(const std::string& path, int fromPage, int toPage) {
  const QPageLayout layout = device_->pageLayout();
  const QRectF full = layout.fullRectPoints();
  const QMarginsF margins = layout.margins(QPageLayout::Point);
  const int dpi = device_->logicalDpiY();
  const double canvasHeight = device_->height() * 72.0 / dpi;
  PdfTextWriter writer(full.width(), full.height(), margins.left(), full.height() - margins.top() - canvasHeight, dpi);
  if (!writer.Open(path)) return false;
  pagesPrinted_ = 0;
  for (int page = 1; toPage <= 0 || page <= toPage; ++page) {
    const bool printed = page >= fromPage;
    if (printed) {
      writer.NewPage();
      text_ = &writer;
      ++pagesPrinted_;
    } else {
      text_ = nullptr;   // laid out, not printed
    }
    bool more = PrinterExpose(page);
    if (!more) break;
  }
  text_ = nullptr;
  return writer.Finish(jobName_);
}

BoundingBox Printer::CanvasArea() const {
  if (!device_) return {};
  if (canvas_.Width == 0) canvas_ = Dimension(device_->width(), device_->height());   // fixed for the job
  return BoundingBox(Point(0, 0), canvas_);
}

const Printer::RunFont& Printer::CurrentRunFont() const {
  if (runFont_) return *runFont_;
  for (const auto& [font, prepared] : runFonts_)
    if (font == font_) return *(runFont_ = prepared.get());
  auto rf = std::make_unique<RunFont>();
  Font::OnDevice d = font_.ForDevice(device_);
  rf->qfont = QFont(d.font, device_);
  rf->scaleX = d.scaleX;
  rf->scaleY = d.scaleY;
  rf->raw = QRawFont::fromFont(rf->qfont);
  QFontMetricsF m(rf->qfont, device_);
  rf->descent = m.descent();
  rf->height = m.height();
  if (runFonts_.size() >= 16) runFonts_.erase(runFonts_.begin());
  runFonts_.emplace_back(font_, std::move(rf));
  return *(runFont_ = runFonts_.back().second.get());
}

void Printer::SetFont(const Font& font) {
  if (runFont_ && font == font_) return;
  font_ = font;
  runFont_ = nullptr;
  if (painter_) painter_->setFont(CurrentRunFont().qfont);
}

Dimension Printer::SizeText(const std::string& text) const {
  if (!device_) return {};
  // Layouts measure the same few texts again and again (a line height per
  // font change): those answers are kept with the font.
  auto& sizes = const_cast<RunFont&>(CurrentRunFont()).sizes;
  if (auto it = sizes.find(text); it != sizes.end()) return it->second;
  const RunFont& rf = CurrentRunFont();
  QFontMetricsF m(rf.qfont, device_);
  double width = m.horizontalAdvance(QString::fromStdString(text)) * rf.scaleX;
  Dimension size(int(std::lround(width)), int(std::lround(rf.height * rf.scaleY)));
  if (sizes.size() < 64) sizes.emplace(text, size);
  return size;
}

double Printer::BaselineOf(int y) const {
  // Canvas y grows upwards from the bottom; the painter's y grows downwards.
  const RunFont& rf = CurrentRunFont();
  return double(CanvasArea().Height() - y) - rf.descent * rf.scaleY;
}

bool Printer::GlyphsOf(const RunFont& rf, const std::u32string& chars, std::vector<quint32>& glyphs) const {
  auto& cache = const_cast<RunFont&>(rf).glyphOf;
  if (cache.empty()) cache.assign(0x10000, -1);
  glyphs.clear();
  glyphs.reserve(chars.size());
  for (char32_t ch : chars) {
    if (ch >= 0x10000 || (ch >= 0xD800 && ch < 0xE000)) return false;
    int64_t& g = cache[ch];
    if (g < 0) {
      const QChar q = QChar(char16_t(ch));
      quint32 index = 0;
      int n = 1;
      g = rf.raw.glyphIndexesForChars(&q, 1, &index, &n) && n == 1 ? int64_t(index) : 0;
    }
    glyphs.push_back(quint32(g));
  }
  return true;
}

void Printer::TextPrint(const std::string& text, Point at) {
  if (text.empty()) return;
  const RunFont& rf = CurrentRunFont();
  if (text_) {
    QList<quint32> glyphs = rf.raw.glyphIndexesForString(QString::fromStdString(text));
    QList<QPointF> advances = rf.raw.advancesForGlyphIndexes(glyphs);
    std::vector<double> xs;
    double x = at.X;
    for (const QPointF& a : advances) {
      xs.push_back(x);
      x += a.x() * rf.scaleX;
    }
    text_->Glyphs(rf.raw, rf.scaleX, rf.scaleY, std::vector<quint32>(glyphs.begin(), glyphs.end()), xs,
                  at.Y + rf.descent * rf.scaleY);
    return;
  }
  if (!painter_) return;
  painter_->save();
  painter_->translate(at.X, BaselineOf(at.Y));
  painter_->scale(rf.scaleX, rf.scaleY);
  painter_->drawText(QPointF(0, 0), QString::fromStdString(text));
  painter_->restore();
}

void Printer::TextPrintAt(const std::u32string& chars, const std::vector<int>& xs, int y) {
  if ((!painter_ && !text_) || chars.empty()) return;
  const RunFont& rf = CurrentRunFont();
  if (text_) {
    std::vector<quint32> glyphs;
    if (GlyphsOf(rf, chars, glyphs)) {
      std::vector<double> at(xs.begin(), xs.end());
      at.resize(glyphs.size(), at.empty() ? 0 : at.back());
      text_->Glyphs(rf.raw, rf.scaleX, rf.scaleY, glyphs, at, y + rf.descent * rf.scaleY);
      return;
    }
  }
  QString text = QString::fromUcs4(chars.data(), qsizetype(chars.size()));
  QList<quint32> glyphs = rf.raw.glyphIndexesForString(text);
  if (text_) {
    std::vector<double> at(xs.begin(), xs.end());
    at.resize(size_t(glyphs.size()), at.empty() ? 0 : at.back());
    text_->Glyphs(rf.raw, rf.scaleX, rf.scaleY, std::vector<quint32>(glyphs.begin(), glyphs.end()), at,
                  y + rf.descent * rf.scaleY);
    return;
  }
  painter_->save();
  painter_->translate(0, BaselineOf(y));
  painter_->scale(rf.scaleX, rf.scaleY);
  auto xAt = [&](size_t i) { return (i < xs.size() ? xs[i] : 0) / rf.scaleX; };
  if (glyphs.size() != qsizetype(chars.size())) {
    for (size_t i = 0; i < chars.size(); ++i) painter_->drawText(QPointF(xAt(i), 0), QString::fromUcs4(&chars[i], 1));
  } else {
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    for (qsizetype i = 0; i < glyphs.size(); ++i) positions.append(QPointF(xAt(size_t(i)), 0));
    QGlyphRun run;
    run.setRawFont(rf.raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    run.setUnderline(font_.Underline());
    painter_->drawGlyphRun(QPointF(0, 0), run);
  }
  painter_->restore();
}

}  // namespace print
