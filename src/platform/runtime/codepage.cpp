#include "codepage.h"

#include <array>
#include <iconv.h>
#include <mutex>

namespace rt {

namespace {
const char* IconvName(CodePage cp) { return cp == CodePage::Ansi1250 ? "CP1250" : "CP852"; }

// Byte -> code point table per code page, built once with iconv.
const std::array<char32_t, 256>& DecodeTable(CodePage cp) {
  static std::array<char32_t, 256> tables[2];
  static std::once_flag once[2];
  int k = cp == CodePage::Ansi1250 ? 0 : 1;
  std::call_once(once[k], [&] {
    iconv_t cd = iconv_open("UTF-32LE", IconvName(cp));
    for (int b = 0; b < 256; ++b) {
      char in = char(b);
      char32_t out = 0;
      char* ip = &in;
      size_t il = 1;
      char* op = reinterpret_cast<char*>(&out);
      size_t ol = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      tables[k][b] = (cd != iconv_t(-1) && iconv(cd, &ip, &il, &op, &ol) != size_t(-1) && il == 0) ? out : 0xFFFD;
    }
    if (cd != iconv_t(-1)) iconv_close(cd);
  });
  return tables[k];
}

void AppendUtf8(std::string& s, char32_t c) {
  if (c < 0x80) {
    s += char(c);
  } else if (c < 0x800) {
    s += char(0xC0 | (c >> 6));
    s += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += char(0xE0 | (c >> 12));
    s += char(0x80 | ((c >> 6) & 0x3F));
    s += char(0x80 | (c & 0x3F));
  } else {
    s += char(0xF0 | (c >> 18));
    s += char(0x80 | ((c >> 12) & 0x3F));
    s += char(0x80 | ((c >> 6) & 0x3F));
    s += char(0x80 | (c & 0x3F));
  }
}
}  // namespace

std::string FromCodePage(std::string_view bytes, CodePage cp) {
  const auto& table = DecodeTable(cp);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (unsigned char b : bytes) {
    if (b < 0x80) out += char(b);
    else AppendUtf8(out, table[b]);
  }
  return out;
}

std::string ToCodePage(std::string_view utf8, CodePage cp) {
  iconv_t cd = iconv_open(cp == CodePage::Ansi1250 ? "CP1250//TRANSLIT" : "CP852//TRANSLIT", "UTF-8");
  if (cd == iconv_t(-1)) return std::string(utf8);
  std::string out;
  out.resize(utf8.size() * 2 + 8);
  char* ip = const_cast<char*>(utf8.data());
  size_t il = utf8.size();
  char* op = out.data();
  size_t ol = out.size();
  while (il > 0) {
    if (iconv(cd, &ip, &il, &op, &ol) == size_t(-1)) {
      if (ol == 0) break;
      // Skip one undecodable or unconvertible character.
      *op++ = '?';
      --ol;
      ++ip;
      --il;
      while (il > 0 && (static_cast<unsigned char>(*ip) & 0xC0) == 0x80) { ++ip; --il; }
    }
  }
  iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

}  // namespace rt
