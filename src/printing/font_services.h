// Installed fonts for the font choice, and font handles for printing.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/gdi_fonts.h"

class QWidget;

// Face names of the installed fonts, sorted by their first 16 characters in
// upper case. The list is enumerated once (when it finds any font) and
// cached; callers get copies. The window is not needed on this platform.
std::vector<std::string> KwGetFontList(QWidget* window);

// A new font: face (at most 31 characters), height in logical-font units,
// weight 700 when bold else 400, italic or not. nullptr on failure.
gui::HFONT KwLoadFont(const std::string& face, int32_t height, bool bold, bool italic);

// A new font that differs from `font` only in weight and slant; nullptr when
// `font` is not a font. The given font is not changed.
gui::HFONT KwModifyFont(gui::HFONT font, bool bold, bool italic);

// The source of face names (the installed fonts unless replaced; tests
// replace it to count and shape enumerations). Clears the cache.
void SetFontEnumerator(std::function<std::vector<std::string>()> enumerate);
