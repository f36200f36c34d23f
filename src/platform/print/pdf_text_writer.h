// A PDF writer for pages that hold only text: each run of glyphs goes out as
// one positioned text string, and the fonts are embedded whole. Much faster
// than a general paint engine for line-printer jobs, and it keeps memory flat:
// each page is written out as soon as it ends.
#pragma once
#include <QRawFont>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <unordered_map>
#include <string>
#include <vector>

struct z_stream_s;

namespace print {

class PdfTextWriter {
 public:
  // Page size and the canvas origin (bottom left of the printable area) in
  // points; `dpi` converts device units to points.
  PdfTextWriter(double pageWidthPt, double pageHeightPt, double originXPt, double originYPt, int dpi);
  ~PdfTextWriter();

  bool Open(const std::string& path);
  void NewPage();   // ends the current page (if any) and starts the next
  // Glyphs of `font` with their left edges at xs and their baseline at
  // `baseline` (device units from the canvas origin), scaled as given.
  void Glyphs(const QRawFont& font, double scaleX, double scaleY, const std::vector<quint32>& glyphs,
              const std::vector<double>& xs, double baseline);
  // Ends the last page and writes fonts, page tree and cross references.
  bool Finish(const std::string& title);

 private:
  struct EmbeddedFont {
    int firstObject = 0;
    QRawFont raw;
    std::map<quint32, int> widths;      // glyph -> width in 1/1000 em
    std::vector<double> advances;       // by glyph: advance at the face's pixel size, -1 while unknown
  };
  int NewObject();
  void BeginObject(int id);
  void WriteStream(int id, const std::string& data, const std::string& extraDict = "", bool compress = true);
  void EndPage();
  EmbeddedFont& FontFor(const QRawFont& font);
  void WriteFont(const EmbeddedFont& f, const std::string& resourceName);

  std::FILE* file_ = nullptr;
  uint64_t offset_ = 0;
  std::vector<uint64_t> offsets_;   // by object id (1-based)
  std::vector<int> pages_;
  std::string content_;
  bool pageOpen_ = false;
  std::vector<EmbeddedFont> fonts_;
  double width_, height_, originX_, originY_, unit_;
  bool ok_ = true;
  double charSpacing_ = 0;   // the Tc in force
  std::string packed_;       // compressed streams
  size_t packedLength_ = 0;
  std::unique_ptr<z_stream_s> deflater_;
};

}  // namespace print
