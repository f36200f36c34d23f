// Conversions between UTF-8 and the 8-bit code pages kept in files:
// ANSI = CP1250 (tables, settings), OEM = CP852 (job text).
#pragma once
#include <string>
#include <string_view>

namespace rt {

enum class CodePage { Ansi1250, Oem852 };

// UTF-8 -> code page; characters the code page lacks become '?'.
std::string ToCodePage(std::string_view utf8, CodePage cp);
// Code page -> UTF-8; undefined bytes become U+FFFD.
std::string FromCodePage(std::string_view bytes, CodePage cp);

}  // namespace rt
