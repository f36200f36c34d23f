// String helpers of the run time. Text is UTF-8; widths and positions count
// characters (code points), not bytes.
#pragma once
#include <string>
#include <string_view>

namespace rt {

std::string Trim(std::string_view s);    // blanks at both ends removed
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
std::string Upper(std::string_view s);   // Unicode-aware upper case
std::string Lower(std::string_view s);
size_t CharLen(std::string_view s);      // number of characters
std::string Left(std::string_view s, size_t n);    // first n characters
std::string Right(std::string_view s, size_t n);   // last n characters
std::string Substr(std::string_view s, size_t start, size_t n = std::string::npos);  // by characters, 0-based
std::string PadR(std::string_view s, size_t width, char fill = ' ');  // cut or pad on the right
std::string PadL(std::string_view s, size_t width, char fill = ' ');  // cut or pad on the left
std::string Centre(std::string_view s, size_t width, char fill = ' ');
std::string Replicate(std::string_view s, size_t n);
bool EndsWith(std::string_view s, std::string_view tail);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Numbers as text: Str(1234.5, 10, 2) -> "   1234.50"; a value that does not
// fit the width gives width asterisks.
std::string Str(double value, int width, int decimals);
std::string NumToText(long long n);       // plain decimal digits
std::string Hex8(unsigned long value);    // eight upper-case hexadecimal digits

}  // namespace rt
