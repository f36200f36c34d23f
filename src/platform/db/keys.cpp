#include "keys.h"

#include <cstring>

#include "platform/runtime/collation.h"
#include "platform/runtime/strings.h"

namespace db {

Status KeyFormatOf(const rt::Value& v, rt::CodePage cp, KeyFormat& out) {
  switch (v.type()) {
    case rt::Type::String: {
      size_t n = rt::ToCodePage(v.AsString(), cp).size();
      if (n < 1 || n > kMaxKeyLen)
        return Status::Error(rt::EG_DATAWIDTH, "key length " + std::to_string(n) + " is outside 1.." +
                                                   std::to_string(kMaxKeyLen));
      out = {KeyType::Character, int(n)};
      return Status::Ok();
    }
    case rt::Type::Long: case rt::Type::Float: out = {KeyType::Numeric, 8}; return Status::Ok();
    case rt::Type::Date: out = {KeyType::Date, 8}; return Status::Ok();
    case rt::Type::Logic: out = {KeyType::Logical, 1}; return Status::Ok();
    default:
      return Status::Error(rt::EG_DATATYPE, "key expression gives a " + rt::TypeName(uint32_t(v.type())) + " value");
  }
}

std::string NumericKey(double value) {
  if (value == 0) value = 0;  // -0 becomes +0
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  bits = value >= 0 ? bits ^ (uint64_t(1) << 63) : ~bits;
  std::string key(8, '\0');
  for (int i = 0; i < 8; ++i) key[size_t(i)] = char(bits >> (56 - 8 * i));
  return key;
}

Status MakeKey(const rt::Value& v, const KeyFormat& fmt, rt::CodePage cp, std::string& key) {
  auto mismatch = [&] {
    return Status::Error(rt::EG_DATATYPE, "key value of type " + rt::TypeName(uint32_t(v.type())) +
                                              " does not match the tag's keys");
  };
  switch (fmt.type) {
    case KeyType::Character:
      if (!v.IsString()) return mismatch();
      key = rt::ToCodePage(v.AsString(), cp);
      key.resize(size_t(fmt.length), ' ');
      return Status::Ok();
    case KeyType::Numeric:
      if (!v.IsNumber()) return mismatch();
      key = NumericKey(v.AsNumber());
      return Status::Ok();
    case KeyType::Date:
      if (v.type() != rt::Type::Date) return mismatch();
      key = NumericKey(double(v.AsDate().julian));
      return Status::Ok();
    case KeyType::Logical:
      if (!v.IsLogic()) return mismatch();
      key = v.AsLogic() ? "T" : "F";
      return Status::Ok();
  }
  return mismatch();
}

int CompareKeys(KeyType type, std::string_view a, std::string_view b) {
  if (type == KeyType::Character) return rt::CompareAnsi(a, b);
  int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

KeyEvaluator BuiltInEvaluator(const std::string& expression, const DbfHeader& h) {
  std::string e;
  for (char c : expression)
    if (c != ' ' && c != '\t') e += char(std::toupper(uint8_t(c)));
  bool upper = false;
  if (e.size() > 7 && e.compare(0, 6, "UPPER(") == 0 && e.back() == ')') {
    upper = true;
    e = e.substr(6, e.size() - 7);
  }
  int field = h.FieldIndex(e);
  if (field < 0 || h.fields[size_t(field)].type == 'M') return {};
  if (upper && h.fields[size_t(field)].type != 'C') return {};
  size_t i = size_t(field);
  if (upper) return [i](const RecordView& r) { return rt::Value(rt::Upper(r.FieldGet(i).AsString())); };
  return [i](const RecordView& r) { return r.FieldGet(i); };
}

}  // namespace db
