#include "platform/print/pdf_text_writer.h"

#include <QByteArray>
#include <QtEndian>
#include <zlib.h>

#include <cmath>
#include <cstring>

namespace print {

namespace {

constexpr int kCatalog = 1, kPages = 2, kResources = 3, kInfo = 4;

// A number with at most three decimals, without trailing zeros.
std::string Num(double v) {
  long long milli = std::llround(v * 1000);
  std::string s;
  if (milli < 0) s += '-', milli = -milli;
  s += std::to_string(milli / 1000);
  if (int frac = int(milli % 1000)) {
    char digits[4] = {char('0' + frac / 100), char('0' + frac / 10 % 10), char('0' + frac % 10), 0};
    int n = 3;
    while (digits[n - 1] == '0') --n;
    s += '.';
    s.append(digits, size_t(n));
  }
  return s;
}

// Six decimals, for the character spacing (a fraction of an em).
std::string Num6(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", v);
  return buf;
}

std::string Hex4(quint32 v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", unsigned(v & 0xFFFF));
  return buf;
}

std::string PdfString(const std::string& utf8) {
  // UTF-16BE with a byte-order mark, as a hex string.
  QString s = QString::fromStdString(utf8);
  std::string out = "<FEFF";
  for (QChar c : s) out += Hex4(c.unicode());
  return out + ">";
}

// The font file rebuilt from the tables of the face, as PDF embeds a TrueType font.
std::string TrueTypeFile(const QRawFont& font) {
  static const char* const tags[] = {"OS/2", "cmap", "cvt ", "fpgm", "glyf", "head", "hhea",
                                     "hmtx", "loca", "maxp", "name", "post", "prep"};
  std::vector<std::pair<std::string, QByteArray>> tables;
  for (const char* tag : tags) {
    QByteArray t = font.fontTable(tag);
    if (!t.isEmpty()) tables.emplace_back(tag, t);
  }
  const uint16_t n = uint16_t(tables.size());
  uint16_t power = 1, log2 = 0;
  while (power * 2 <= n) power *= 2, ++log2;
  std::string out;
  auto u16 = [&](uint16_t v) { out += char(v >> 8), out += char(v & 0xFF); };
  auto u32 = [&](uint32_t v) { u16(uint16_t(v >> 16)), u16(uint16_t(v & 0xFFFF)); };
  u32(0x00010000);
  u16(n);
  u16(uint16_t(power * 16));
  u16(log2);
  u16(uint16_t(n * 16 - power * 16));
  uint32_t offset = 12 + 16u * n;
  for (auto& [tag, data] : tables) {
    if (tag == "head" && data.size() >= 12) std::memset(data.data() + 8, 0, 4);   // checkSumAdjustment
    uint32_t sum = 0;
    for (qsizetype i = 0; i < data.size(); i += 4) {
      uint32_t word = 0;
      for (int k = 0; k < 4; ++k) word = (word << 8) | (i + k < data.size() ? uint8_t(data[i + k]) : 0);
      sum += word;
    }
    out += tag;
    u32(sum);
    u32(offset);
    u32(uint32_t(data.size()));
    offset += uint32_t((data.size() + 3) & ~3);
  }
  for (auto& [tag, data] : tables) {
    out.append(data.constData(), size_t(data.size()));
    out.append(size_t((4 - data.size() % 4) % 4), '\0');
  }
  return out;
}

int16_t S16(const QByteArray& t, int at) { return t.size() >= at + 2 ? qFromBigEndian<qint16>(t.constData() + at) : 0; }
uint16_t U16(const QByteArray& t, int at) { return t.size() >= at + 2 ? qFromBigEndian<quint16>(t.constData() + at) : 0; }

}  // namespace

PdfTextWriter::PdfTextWriter(double pageWidthPt, double pageHeightPt, double originXPt, double originYPt, int dpi)
    : width_(pageWidthPt), height_(pageHeightPt), originX_(originXPt), originY_(originYPt), unit_(72.0 / dpi) {
  offsets_.assign(4, 0);   // catalog, page tree, resources, info
}

PdfTextWriter::~PdfTextWriter() {
  if (file_) std::fclose(file_);
  if (deflater_) deflateEnd(deflater_.get());
}

bool PdfTextWriter::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  const char header[] = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  ok_ = std::fwrite(header, 1, sizeof header - 1, file_) == sizeof header - 1;
  offset_ = sizeof header - 1;
  return ok_;
}

int PdfTextWriter::NewObject() {
  offsets_.push_back(0);
  return int(offsets_.size());
}

void PdfTextWriter::BeginObject(int id) {
  offsets_[size_t(id - 1)] = offset_;
  std::string head = std::to_string(id) + " 0 obj\n";
  ok_ = ok_ && std::fwrite(head.data(), 1, head.size(), file_) == head.size();
  offset_ += head.size();
}

void PdfTextWriter::WriteStream(int id, const std::string& data, const std::string& extraDict, bool compress) {
  const std::string* body = &data;
  std::string filter;
  if (compress) {
    // One compressor and one buffer for every stream of the document: a
    // fresh compressor per page costs more than the compressing.
    if (!deflater_) {
      deflater_ = std::make_unique<z_stream>();
      std::memset(deflater_.get(), 0, sizeof(z_stream));
      if (deflateInit(deflater_.get(), 1) != Z_OK) deflater_.reset();
    } else {
      deflateReset(deflater_.get());
    }
    const uLong bound = deflater_ ? deflateBound(deflater_.get(), uLong(data.size())) : 0;
    if (packed_.size() < bound) packed_.resize(bound);
    if (deflater_) {
      deflater_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
      deflater_->avail_in = uInt(data.size());
      deflater_->next_out = reinterpret_cast<Bytef*>(packed_.data());
      deflater_->avail_out = uInt(packed_.size());
      if (deflate(deflater_.get(), Z_FINISH) == Z_STREAM_END) {
        packedLength_ = deflater_->total_out;
        body = nullptr;
        filter = " /Filter /FlateDecode";
      }
    }
  }
  const char* bytes = body ? body->data() : packed_.data();
  const size_t length = body ? body->size() : packedLength_;
  BeginObject(id);
  std::string head = "<< /Length " + std::to_string(length) + filter + extraDict + " >>\nstream\n";
  const char tail[] = "\nendstream\nendobj\n";
  ok_ = ok_ && std::fwrite(head.data(), 1, head.size(), file_) == head.size();
  ok_ = ok_ && std::fwrite(bytes, 1, length, file_) == length;
  ok_ = ok_ && std::fwrite(tail, 1, sizeof tail - 1, file_) == sizeof tail - 1;
  offset_ += head.size() + length + sizeof tail - 1;
}

void PdfTextWriter::NewPage() {
  EndPage();
  pageOpen_ = true;
  charSpacing_ = 0;   // every page starts with the default text state
  content_.clear();
  if (content_.capacity() < (1 << 18)) content_.reserve(1 << 18);
}

void PdfTextWriter::EndPage() {
  if (!pageOpen_) return;
  pageOpen_ = false;
  const int contents = NewObject();
  WriteStream(contents, content_);
  const int page = NewObject();
  BeginObject(page);
  std::string text = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Num(width_) + " " + Num(height_) +
                     "] /Resources 3 0 R /Contents " + std::to_string(contents) + " 0 R >>\nendobj\n";
  ok_ = ok_ && std::fwrite(text.data(), 1, text.size(), file_) == text.size();
  offset_ += text.size();
  pages_.push_back(page);
}

PdfTextWriter::EmbeddedFont& PdfTextWriter::FontFor(const QRawFont& font) {
  for (auto& f : fonts_)
    if (f.raw.familyName() == font.familyName() && f.raw.styleName() == font.styleName()) return f;
  EmbeddedFont f;
  f.raw = font;
  f.firstObject = NewObject();
  for (int i = 1; i < 5; ++i) NewObject();
  fonts_.push_back(std::move(f));
  return fonts_.back();
}

void PdfTextWriter::Glyphs(const QRawFont& font, double scaleX, double scaleY, const std::vector<quint32>& glyphs,
                           const std::vector<double>& xs, double baseline) {
  if (!pageOpen_ || glyphs.empty()) return;
  EmbeddedFont& f = FontFor(font);
  const size_t index = size_t(&f - fonts_.data());
  const double px = font.pixelSize();
  // The em in points, across and up.
  const double emX = px * scaleX * unit_, emY = px * scaleY * unit_;
  // Advances of glyphs not seen before (asking the face loads each glyph).
  QList<quint32> unknown;
  for (quint32 g : glyphs) {
    if (g >= f.advances.size()) f.advances.resize(size_t(g) + 1, -1);
    if (f.advances[g] < 0) unknown.append(g);
  }
  if (!unknown.isEmpty()) {
    QList<QPointF> found = font.advancesForGlyphIndexes(unknown);
    for (qsizetype i = 0; i < unknown.size(); ++i) {
      f.advances[unknown[i]] = found.value(i).x();
      f.widths[unknown[i]] = int(std::lround(found.value(i).x() * 1000 / px));
    }
  }
  std::string& c = content_;
  c += "BT /F";
  c += std::to_string(index + 1);
  c += " 1 Tf ";
  c += Num(emX);
  c += " 0 0 ";
  c += Num(emY);
  c += ' ';
  c += Num(originX_ + xs[0] * unit_);
  c += ' ';
  c += Num(originY_ + baseline * unit_);
  c += " Tm ";
  // Characters one step apart need no adjustment between them: the step
  // goes into the character spacing (in ems of the text matrix).
  const double unitsPerEm = px * scaleX;
  double spacing = 0;
  if (glyphs.size() >= 2 && xs[1] > xs[0]) spacing = (xs[1] - xs[0] - f.advances[glyphs[0]] * scaleX) / unitsPerEm;
  if (std::abs(spacing - charSpacing_) > 1e-6) {
    c += Num6(spacing);
    c += " Tc ";
    charSpacing_ = spacing;
  }
  c += "[(";
  double pen = xs[0];   // device units
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const quint32 g = glyphs[i];
    if (i > 0) {
      // Move from where the last glyph left the pen to this glyph's place.
      double gap = (xs[i] - pen) / unitsPerEm * 1000;
      if (std::abs(gap) > 0.0005) {
        c += ") ";
        c += Num(-gap);
        c += " (";
      }
    }
    // Two bytes a glyph in a literal string; the bytes that a string gives
    // a meaning to are escaped.
    for (const unsigned char b : {static_cast<unsigned char>(g >> 8), static_cast<unsigned char>(g & 0xFF)}) {
      switch (b) {
        case '(': c += "\\("; break;
        case ')': c += "\\)"; break;
        case '\\': c += "\\\\"; break;
        case '\r': c += "\\r"; break;
        case '\n': c += "\\n"; break;
        default: c += char(b);
      }
    }
    pen = xs[i] + f.advances[g] * scaleX + charSpacing_ * unitsPerEm;
  }
  c += ")] TJ ET\n";
}

void PdfTextWriter::WriteFont(const EmbeddedFont& f, const std::string& resourceName) {
  const int type0 = f.firstObject, cid = type0 + 1, descriptor = type0 + 2, file = type0 + 3, toUnicode = type0 + 4;
  std::string base;
  for (QChar ch : f.raw.familyName() + f.raw.styleName())
    if (ch.isLetterOrNumber() && ch.unicode() < 128) base += char(ch.unicode());
  if (base.empty()) base = "Font";
  const QByteArray head = f.raw.fontTable("head"), hhea = f.raw.fontTable("hhea");
  const double perEm = U16(head, 18) ? U16(head, 18) : 1000;
  auto em = [&](int v) { return std::to_string(int(std::lround(v * 1000.0 / perEm))); };

  std::string widths = "[";
  for (auto [g, w] : f.widths) widths += std::to_string(g) + " [" + std::to_string(w) + "] ";
  widths += "]";
  auto put = [&](int id, const std::string& dict) {
    BeginObject(id);
    std::string text = dict + "\nendobj\n";
    ok_ = ok_ && std::fwrite(text.data(), 1, text.size(), file_) == text.size();
    offset_ += text.size();
  };
  put(type0, "<< /Type /Font /Subtype /Type0 /BaseFont /" + base + " /Encoding /Identity-H /DescendantFonts [" +
                 std::to_string(cid) + " 0 R] /ToUnicode " + std::to_string(toUnicode) + " 0 R >>");
  put(cid, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + base +
               " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
               std::to_string(descriptor) + " 0 R /CIDToGIDMap /Identity /W " + widths + " >>");
  put(descriptor, "<< /Type /FontDescriptor /FontName /" + base + " /Flags 32 /FontBBox [" + em(S16(head, 36)) + " " +
                      em(S16(head, 38)) + " " + em(S16(head, 40)) + " " + em(S16(head, 42)) + "] /ItalicAngle 0 /Ascent " +
                      em(S16(hhea, 4)) + " /Descent " + em(S16(hhea, 6)) + " /CapHeight " + em(S16(hhea, 4)) +
                      " /StemV 80 /FontFile2 " + std::to_string(file) + " 0 R >>");
  const std::string ttf = TrueTypeFile(f.raw);
  WriteStream(file, ttf, " /Length1 " + std::to_string(ttf.size()));

  // Glyph -> Unicode, found through the face's own character map.
  std::map<quint32, char32_t> unicode;
  for (char32_t ch = 0x20; ch < 0x2600; ++ch) {
    if (ch >= 0xD800 && ch < 0xE000) continue;
    const QChar q = QChar(char16_t(ch));
    quint32 g = 0;
    int n = 1;
    if (f.raw.glyphIndexesForChars(&q, 1, &g, &n) && n == 1 && g && f.widths.count(g) && !unicode.count(g)) unicode[g] = ch;
  }
  std::string cmap =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n/CIDSystemInfo << /Registry (Adobe) /Ordering "
      "(UCS) /Supplement 0 >> def\n/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n1 begincodespacerange\n<0000> "
      "<FFFF>\nendcodespacerange\n";
  std::vector<std::pair<quint32, char32_t>> pairs(unicode.begin(), unicode.end());
  for (size_t i = 0; i < pairs.size(); i += 100) {
    size_t n = std::min<size_t>(100, pairs.size() - i);
    cmap += std::to_string(n) + " beginbfchar\n";
    for (size_t k = i; k < i + n; ++k) cmap += "<" + Hex4(pairs[k].first) + "> <" + Hex4(pairs[k].second) + ">\n";
    cmap += "endbfchar\n";
  }
  cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
  WriteStream(toUnicode, cmap);
  (void)resourceName;
}

bool PdfTextWriter::Finish(const std::string& title) {
  if (!file_) return false;
  if (pages_.empty() && !pageOpen_) NewPage();
  EndPage();
  std::string fontsDict;
  for (size_t i = 0; i < fonts_.size(); ++i) {
    WriteFont(fonts_[i], "F" + std::to_string(i + 1));
    fontsDict += "/F" + std::to_string(i + 1) + " " + std::to_string(fonts_[i].firstObject) + " 0 R ";
  }
  auto put = [&](int id, const std::string& dict) {
    BeginObject(id);
    std::string text = dict + "\nendobj\n";
    ok_ = ok_ && std::fwrite(text.data(), 1, text.size(), file_) == text.size();
    offset_ += text.size();
  };
  put(kResources, "<< /Font << " + fontsDict + ">> /ProcSet [/PDF /Text] >>");
  std::string kids;
  for (int p : pages_) kids += std::to_string(p) + " 0 R ";
  put(kPages, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages_.size()) + " >>");
  put(kCatalog, "<< /Type /Catalog /Pages 2 0 R >>");
  put(kInfo, "<< /Title " + PdfString(title) + " /Creator (KWPRINT) /Producer (KWPRINT) >>");
  std::string xref = "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
  for (uint64_t o : offsets_) {
    char line[24];
    std::snprintf(line, sizeof line, "%010llu 00000 n \n", static_cast<unsigned long long>(o));
    xref += line;
  }
  xref += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root 1 0 R /Info 4 0 R >>\nstartxref\n" +
          std::to_string(offset_) + "\n%%EOF\n";
  ok_ = ok_ && std::fwrite(xref.data(), 1, xref.size(), file_) == xref.size();
  ok_ = std::fclose(file_) == 0 && ok_;
  file_ = nullptr;
  return ok_;
}

}  // namespace print
