// A printer font: a family code and face, either a character cell (width and
// height in device units) or a point size, with bold, italic and underline.
// A font given by its cell really has that cell on the device: its line
// height (ascent + descent) is the cell height and every character of a fixed
// pitch face advances by the cell width (the average character of another).
// Font sizes on screen engines are whole pixels, so a cell font is a face at
// a large reference size drawn with a scale that gives the exact cell.
#pragma once
#include <QFont>
#include <string>

#include "platform/print/geometry.h"

class QPaintDevice;

namespace print {

// Family codes: which kind of face to fall back to when the face is missing.
enum FontFamily { FONTANY = 0, FONTDECORATIVE = 1, FONTMODERN = 2, FONTROMAN = 3, FONTSCRIPT = 4, FONTSWISS = 5 };

class Font {
 public:
  Font() = default;
  Font(int family, Dimension cell, std::string face = "");
  Font(int family, double pointSize, std::string face = "");

  int Family() const { return family_; }
  const std::string& FaceName() const { return face_; }
  Dimension CellSize() const { return cell_; }        // 0 x 0 for a font given in points
  double PointSize() const { return pointSize_; }
  bool Bold() const { return bold_; }
  bool Italic() const { return italic_; }
  bool Underline() const { return underline_; }
  void SetBold(bool on) { bold_ = on; }
  void SetItalic(bool on) { italic_ = on; }
  void SetUnderline(bool on) { underline_ = on; }
  bool operator==(const Font&) const = default;

  // The Qt font and the scale to draw it with on the device.
  struct OnDevice {
    QFont font;
    double scaleX = 1;
    double scaleY = 1;
  };
  OnDevice ForDevice(const QPaintDevice* device) const;

 private:
  int family_ = FONTANY;
  std::string face_;
  Dimension cell_;
  double pointSize_ = 10;
  bool bold_ = false;
  bool italic_ = false;
  bool underline_ = false;
};

}  // namespace print
