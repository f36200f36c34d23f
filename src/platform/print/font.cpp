#include "platform/print/font.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <map>
#include <tuple>

namespace print {

namespace {

constexpr int kReferencePixels = 1000;

QFont::StyleHint HintOf(int family) {
  switch (family) {
    case FONTMODERN: return QFont::TypeWriter;
    case FONTROMAN: return QFont::Serif;
    case FONTSWISS: return QFont::SansSerif;
    case FONTSCRIPT: return QFont::Cursive;
    case FONTDECORATIVE: return QFont::Decorative;
    default: return QFont::AnyStyle;
  }
}

}  // namespace

Font::Font(int family, Dimension cell, std::string face) : family_(family), face_(std::move(face)), cell_(cell), pointSize_(0) {}

Font::Font(int family, double pointSize, std::string face) : family_(family), face_(std::move(face)), pointSize_(pointSize) {}

Font::OnDevice Font::ForDevice(const QPaintDevice* device) const {
  QFont f(QString::fromStdString(face_));
  f.setStyleHint(HintOf(family_), QFont::PreferMatch);
  if (family_ == FONTMODERN) f.setFixedPitch(true);
  f.setBold(bold_);
  f.setItalic(italic_);
  f.setUnderline(underline_);
  f.setKerning(false);
  OnDevice result;
  if (cell_.Height <= 0) {
    f.setPointSizeF(pointSize_ > 0 ? pointSize_ : 10);
    result.font = f;
    return result;
  }
  f.setPixelSize(kReferencePixels);
  result.font = f;
  // The reference metrics of a face depend only on the face and its style.
  using Key = std::tuple<std::string, int, bool, bool>;
  static std::map<Key, std::pair<double, double>> metrics;   // line height, cell width
  Key key{face_, family_, bold_, italic_};
  auto it = metrics.find(key);
  if (it == metrics.end()) {
    QFontMetricsF m(f);
    QFontInfo info(f);
    double width = info.fixedPitch() ? m.horizontalAdvance(QLatin1Char('0')) : m.averageCharWidth();
    it = metrics.emplace(key, std::make_pair(m.height(), width)).first;
  }
  result.scaleY = it->second.first > 0 ? cell_.Height / it->second.first : 1;
  result.scaleX = cell_.Width > 0 && it->second.second > 0 ? cell_.Width / it->second.second : result.scaleY;
  return result;
}

}  // namespace print
