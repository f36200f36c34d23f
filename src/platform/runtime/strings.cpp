#include "strings.h"

#include <QString>
#include <cmath>
#include <cstdio>

namespace rt {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Byte offset of the n-th character (or s.size()).
size_t ByteOffset(std::string_view s, size_t n) {
  size_t i = 0;
  while (i < s.size() && n > 0) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    --n;
  }
  return i;
}
}  // namespace

std::string LTrim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) { return LTrim(RTrim(s)); }

std::string Upper(std::string_view s) {
  return QString::fromUtf8(s.data(), qsizetype(s.size())).toUpper().toStdString();
}

std::string Lower(std::string_view s) {
  return QString::fromUtf8(s.data(), qsizetype(s.size())).toLower().toStdString();
}

size_t CharLen(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string Left(std::string_view s, size_t n) { return std::string(s.substr(0, ByteOffset(s, n))); }

std::string Right(std::string_view s, size_t n) {
  size_t len = CharLen(s);
  return n >= len ? std::string(s) : std::string(s.substr(ByteOffset(s, len - n)));
}

std::string Substr(std::string_view s, size_t start, size_t n) {
  size_t b = ByteOffset(s, start);
  std::string_view rest = s.substr(b);
  return n == std::string::npos ? std::string(rest) : std::string(rest.substr(0, ByteOffset(rest, n)));
}

std::string PadR(std::string_view s, size_t width, char fill) {
  size_t len = CharLen(s);
  if (len >= width) return Left(s, width);
  return std::string(s) + std::string(width - len, fill);
}

std::string PadL(std::string_view s, size_t width, char fill) {
  size_t len = CharLen(s);
  if (len >= width) return Right(s, width);
  return std::string(width - len, fill) + std::string(s);
}

std::string Centre(std::string_view s, size_t width, char fill) {
  size_t len = CharLen(s);
  if (len >= width) return Left(s, width);
  size_t left = (width - len) / 2;
  return std::string(left, fill) + std::string(s) + std::string(width - len - left, fill);
}

std::string Replicate(std::string_view s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

std::string Str(double value, int width, int decimals) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, value);
  std::string out(buf);
  if (int(out.size()) > width) return std::string(size_t(width), '*');
  return out;
}

std::string NumToText(long long n) { return std::to_string(n); }

std::string Hex8(unsigned long value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08lX", value & 0xFFFFFFFFul);
  return buf;
}

}  // namespace rt
