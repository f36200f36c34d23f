// Font objects behind handles, described by the classic logical-font record.
// A handle belongs to whoever received it and is released with DeleteObject.
#pragma once
#include <QFont>
#include <cstdint>

namespace gui {

struct LOGFONTA {
  int32_t lfHeight;        // < 0: character height in pixels; > 0: cell height; 0: default
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;        // 400 normal, 700 bold
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[32];     // zero-terminated
};
static_assert(sizeof(LOGFONTA) == 60);

constexpr uint8_t ANSI_CHARSET = 0;
constexpr uint8_t DEFAULT_CHARSET = 1;
constexpr uint8_t OUT_DEFAULT_PRECIS = 0;

struct FontObject;
using HFONT = FontObject*;

HFONT CreateFontIndirectA(const LOGFONTA& lf);   // nullptr when no font can be made
// Fills `lf` from a font handle; false when the handle is not a live font.
bool GetFontObject(HFONT font, LOGFONTA* lf);
// The Qt font of a handle; a default font for a handle that is not live.
QFont FontOf(HFONT font);
bool DeleteObject(HFONT font);                   // false when the handle is not live

}  // namespace gui
