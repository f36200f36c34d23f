#include "gdi_fonts.h"

#include <QFontMetricsF>
#include <cmath>
#include <cstring>
#include <set>

#include "fonts.h"

namespace gui {

struct FontObject {
  LOGFONTA lf;
  QFont font;
};

namespace {
std::set<FontObject*>& LiveFonts() {
  static std::set<FontObject*> fonts;
  return fonts;
}

bool IsLive(HFONT f) { return f && LiveFonts().count(f) > 0; }
}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA& lf) {
  InstallFontSubstitutes();
  char face[32] = {};
  std::memcpy(face, lf.lfFaceName, 31);
  QFont font(QString::fromLatin1(face));
  font.setWeight(lf.lfWeight >= 600 ? QFont::Bold : QFont::Normal);
  font.setItalic(lf.lfItalic != 0);
  font.setUnderline(lf.lfUnderline != 0);
  font.setStrikeOut(lf.lfStrikeOut != 0);
  if (lf.lfHeight < 0) {
    font.setPixelSize(-lf.lfHeight);
  } else if (lf.lfHeight > 0) {
    // A positive height is the cell height (ascent + descent): scale the em to it.
    font.setPixelSize(100);
    QFontMetricsF m(font);
    double cell = m.ascent() + m.descent();
    font.setPixelSize(std::max(1, int(std::lround(lf.lfHeight * 100.0 / (cell > 0 ? cell : 100.0)))));
  }
  auto* obj = new FontObject{lf, font};
  LiveFonts().insert(obj);
  return obj;
}

bool GetFontObject(HFONT font, LOGFONTA* lf) {
  if (!IsLive(font) || !lf) return false;
  *lf = font->lf;
  return true;
}

QFont FontOf(HFONT font) { return IsLive(font) ? font->font : QFont(); }

bool DeleteObject(HFONT font) {
  if (!IsLive(font)) return false;
  LiveFonts().erase(font);
  delete font;
  return true;
}

}  // namespace gui
