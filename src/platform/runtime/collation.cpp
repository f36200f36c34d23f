#include "collation.h"

#include <QChar>
#include <QString>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codepage.h"
#include "error.h"
#include "strings.h"

namespace rt {

namespace {

enum class Kind { Classic, Windows, Binary };
Kind g_kind = Kind::Classic;

// Base ASCII letter of an accented letter, 0 when there is none.
char BaseLetter(char32_t c) {
  switch (c) {  // letters without a canonical decomposition
    case U'ł': return 'l';
    case U'Ł': return 'L';
    case U'đ': return 'd';
    case U'Đ': return 'D';
    case U'ß': return 's';
    default: break;
  }
  if (c > 0xFFFF) return 0;
  QString d = QChar(char16_t(c)).decomposition();
  if (d.isEmpty()) return 0;
  char16_t b = d.at(0).unicode();
  return (b < 0x80 && QChar(b).isLetter()) ? char(b) : 0;
}

// Weight of every CP1250 byte in the classic order (all distinct, so equal
// weights mean equal bytes).
const std::array<uint16_t, 256>& ClassicWeights() {
  static const std::array<uint16_t, 256> weights = [] {
    std::array<uint16_t, 256> w{};
    for (int b = 0; b < 256; ++b) w[b] = uint16_t(b << 8);
    struct Variant { char32_t cp; int byte; char base; };
    std::vector<Variant> variants;
    for (int b = 0x80; b < 256; ++b) {
      std::string utf8 = FromCodePage(std::string(1, char(b)), CodePage::Ansi1250);
      QString q = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
      if (q.size() != 1) continue;
      if (char base = BaseLetter(q.at(0).unicode())) variants.push_back({q.at(0).unicode(), b, base});
    }
    // Variants of one letter follow it in code point order.
    std::sort(variants.begin(), variants.end(), [](const Variant& x, const Variant& y) { return x.cp < y.cp; });
    std::array<int, 128> rank{};
    for (const Variant& v : variants) w[v.byte] = uint16_t((uint8_t(v.base) << 8) | ++rank[uint8_t(v.base)]);
    return w;
  }();
  return weights;
}

}  // namespace

bool SetCollation(std::string_view name) {
  std::string n = Upper(Trim(name));
  if (n == "CLASSIC") g_kind = Kind::Classic;
  else if (n == "WINDOWS") g_kind = Kind::Windows;
  else if (n == "BINARY") g_kind = Kind::Binary;
  else {
    auto e = std::make_shared<Error>();
    e->SubSystem = "International";
    e->GenCode = EG_BADNAME;
    e->CanDefault = true;
    e->Operation = "SetCollation";
    e->Description = "Unknown collation";
    e->Arg = std::string(name);
    e->ArgType = uint32_t(Type::String);
    e->Throw();
    return false;
  }
  return true;
}

std::string Collation() {
  switch (g_kind) {
    case Kind::Classic: return "CLASSIC";
    case Kind::Windows: return "WINDOWS";
    case Kind::Binary: return "BINARY";
  }
  return "CLASSIC";
}

int CompareAnsi(std::string_view a, std::string_view b) {
  switch (g_kind) {
    case Kind::Binary: {
      int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
      if (c != 0) return c < 0 ? -1 : 1;
      break;
    }
    case Kind::Windows: {
      std::string ua = FromCodePage(a, CodePage::Ansi1250), ub = FromCodePage(b, CodePage::Ansi1250);
      int c = QString::localeAwareCompare(QString::fromUtf8(ua.data(), qsizetype(ua.size())),
                                          QString::fromUtf8(ub.data(), qsizetype(ub.size())));
      if (c != 0) return c < 0 ? -1 : 1;
      int bc = a.compare(b);  // locale-equal texts still need a total order
      return bc < 0 ? -1 : bc > 0 ? 1 : 0;
    }
    case Kind::Classic: {
      const auto& w = ClassicWeights();
      size_t n = std::min(a.size(), b.size());
      for (size_t i = 0; i < n; ++i) {
        uint16_t wa = w[uint8_t(a[i])], wb = w[uint8_t(b[i])];
        if (wa != wb) return wa < wb ? -1 : 1;
      }
      break;
    }
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int CompareText(std::string_view a, std::string_view b) {
  return CompareAnsi(ToCodePage(a, CodePage::Ansi1250), ToCodePage(b, CodePage::Ansi1250));
}

}  // namespace rt
