#include "record.h"

#include <cmath>
#include <cstdlib>

#include "platform/runtime/international.h"
#include "platform/runtime/strings.h"

namespace db {

std::string RecordView::RawField(size_t i) const {
  const FieldDesc& f = header_.fields[i];
  return bytes_.substr(size_t(f.offset), size_t(f.length));
}

rt::Value RecordView::FieldGet(size_t i, Status* memoStatus) const {
  if (i >= header_.fields.size() || bytes_.size() < header_.recordLen) return {};
  const FieldDesc& f = header_.fields[i];
  std::string_view raw(bytes_.data() + f.offset, size_t(f.length));
  switch (f.type) {
    case 'C': return rt::Value(rt::FromCodePage(raw, cp_));
    case 'N': case 'F': {
      std::string t = rt::Trim(raw);
      if (t.empty() || t[0] == '*') return rt::Value(0.0);
      return rt::Value(std::strtod(t.c_str(), nullptr));
    }
    case 'D': {
      int y = 0, m = 0, d = 0;
      if (std::sscanf(std::string(raw).c_str(), "%4d%2d%2d", &y, &m, &d) != 3 || m < 1 || m > 12 || d < 1 || d > 31)
        return rt::Value(rt::Date{});
      return rt::Value(rt::Date::FromYmd(y, m, d));
    }
    case 'L': return rt::Value(raw[0] == 'T' || raw[0] == 't' || raw[0] == 'Y' || raw[0] == 'y');
    case 'M': case 'G': case 'P': {
      int64_t block = ParseMemoPointer(f, raw);
      std::string text;
      Status s;
      if (block < 0) s = Status::Corrupt("", "memo pointer of field " + f.name + " is not a number");
      else if (block > 0 && memo_) s = memo_(uint32_t(block), text);
      if (memoStatus) *memoStatus = s;
      if (!s.ok()) return rt::Value(std::string());
      return rt::Value(f.type == 'M' ? rt::FromCodePage(text, cp_) : text);
    }
    case 'I': {
      uint32_t v = uint8_t(raw[0]) | uint8_t(raw[1]) << 8 | uint8_t(raw[2]) << 16 | uint32_t(uint8_t(raw[3])) << 24;
      return rt::Value(double(int32_t(v)));
    }
    default: return rt::Value(std::string(raw));
  }
}

rt::Value RecordView::FieldGet(std::string_view name) const {
  int i = header_.FieldIndex(name);
  return i < 0 ? rt::Value() : FieldGet(size_t(i));
}

Status EncodeField(const FieldDesc& f, const rt::Value& v, rt::CodePage cp, std::string& out) {
  auto wrongType = [&] {
    return Status::Error(rt::EG_DATATYPE, "field " + f.name + " (" + std::string(1, f.type) + ") cannot take a " +
                                              rt::TypeName(uint32_t(v.type())) + " value");
  };
  switch (f.type) {
    case 'C':
      if (!v.IsString()) return wrongType();
      out = rt::PadR(rt::ToCodePage(rt::Left(v.AsString(), size_t(f.length)), cp), size_t(f.length));
      return Status::Ok();
    case 'N': case 'F': {
      if (!v.IsNumber()) return wrongType();
      double n = v.AsNumber();
      if (!std::isfinite(n)) return Status::Error(rt::EG_DATAWIDTH, "field " + f.name + ": value is not a number");
      std::string text = rt::Str(n, f.length, f.decimals);
      if (text[0] == '*')
        return Status::Error(rt::EG_DATAWIDTH, "field " + f.name + ": " + rt::Trim(rt::Str(n, 30, f.decimals)) +
                                                   " does not fit in " + std::to_string(f.length) + " characters");
      if (std::strtod(text.c_str(), nullptr) == 0) text = rt::Str(0.0, f.length, f.decimals);  // no "-0.00"
      out = text;
      return Status::Ok();
    }
    case 'D': {
      if (v.type() != rt::Type::Date) return wrongType();
      out = v.AsDate().empty() ? std::string(8, ' ') : v.ToText();
      return Status::Ok();
    }
    case 'L':
      if (!v.IsLogic()) return wrongType();
      out = v.AsLogic() ? "T" : "F";
      return Status::Ok();
    default: return wrongType();
  }
}

std::string FormatField(const FieldDesc& f, const rt::Value& v) {
  switch (f.type) {
    case 'N': case 'F': return rt::Str(v.AsNumber(), f.length, f.decimals);
    case 'D': return rt::DToC(v.AsDate());
    case 'L': return v.AsLogic() ? "T" : "F";
    default: return v.AsString();
  }
}

}  // namespace db
