#include "value.h"

#include "strings.h"

#include <cstdio>

namespace rt {

std::string TypeName(uint32_t type) {
  switch (type) {
    case 0: return "NIL";
    case 1: return "LONGINT";
    case 2: return "DATE";
    case 3: return "FLOAT";
    case 5: return "ARRAY";
    case 6: return "OBJECT";
    case 7: return "STRING";
    case 8: return "LOGIC";
    case 9: return "CODEBLOCK";
    case 10: return "SYMBOL";
    case 11: return "BYTE";
    case 12: return "SHORTINT";
    case 13: return "WORD";
    case 14: return "DWORD";
    case 15: return "REAL4";
    case 16: return "REAL8";
    case 17: return "PSZ";
    case 18: return "PTR";
    case 19: return "USUAL";
    default: return "UNKNOWN";
  }
}

Symbol::Symbol(std::string_view n) : name(Upper(n)) {}

Date Date::FromYmd(int y, int m, int d) {
  // Julian day number of a Gregorian date.
  int a = (14 - m) / 12;
  int yy = y + 4800 - a;
  int mm = m + 12 * a - 3;
  return Date{d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045};
}

void Date::ToYmd(int& y, int& m, int& d) const {
  if (julian == 0) { y = m = d = 0; return; }
  int a = julian + 32044;
  int b = (4 * a + 3) / 146097;
  int c = a - 146097 * b / 4;
  int dd = (4 * c + 3) / 1461;
  int e = c - 1461 * dd / 4;
  int mm = (5 * e + 2) / 153;
  d = e - (153 * mm + 2) / 5 + 1;
  m = mm + 3 - 12 * (mm / 10);
  y = 100 * b + dd - 4800 + mm / 10;
}

Type Value::type() const {
  switch (v_.index()) {
    case 0: return Type::None;
    case 1: return Type::Long;
    case 2: return Type::Date;
    case 3: return Type::Float;
    case 4: return Type::Array;
    case 5: return Type::Object;
    case 6: return Type::String;
    case 7: return Type::Logic;
    case 8: return Type::CodeBlock;
    case 9: return Type::Symbol;
    default: return Type::Ptr;
  }
}

bool Value::AsLogic() const { return IsLogic() && std::get<bool>(v_); }

double Value::AsNumber() const {
  if (auto p = std::get_if<int32_t>(&v_)) return *p;
  if (auto p = std::get_if<double>(&v_)) return *p;
  return 0;
}

std::string Value::AsString() const {
  if (auto p = std::get_if<std::string>(&v_)) return *p;
  return {};
}

const Symbol* Value::AsSymbol() const { return std::get_if<Symbol>(&v_); }

std::shared_ptr<Object> Value::AsObject() const {
  if (auto p = std::get_if<std::shared_ptr<Object>>(&v_)) return *p;
  return nullptr;
}

std::shared_ptr<Array> Value::AsArray() const {
  if (auto p = std::get_if<std::shared_ptr<Array>>(&v_)) return *p;
  return nullptr;
}

Date Value::AsDate() const {
  if (auto p = std::get_if<Date>(&v_)) return *p;
  return {};
}

std::string Value::ToText() const {
  switch (type()) {
    case Type::None: return "NIL";
    case Type::Long: return std::to_string(std::get<int32_t>(v_));
    case Type::Float: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%g", std::get<double>(v_));
      return buf;
    }
    case Type::Date: {
      int y, m, d;
      AsDate().ToYmd(y, m, d);
      if (AsDate().empty()) return "        ";
      char buf[16];
      std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
      return buf;
    }
    case Type::String: return AsString();
    case Type::Logic: return AsLogic() ? ".T." : ".F.";
    case Type::Symbol: return AsSymbol()->name;
    case Type::Array: return "{[" + std::to_string(AsArray()->size()) + "]}";
    case Type::Object: return AsObject() ? "{" + AsObject()->ClassName() + "}" : "NULL_OBJECT";
    case Type::CodeBlock: return "{|| ... }";
    default: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%p", std::get<void*>(v_));
      return buf;
    }
  }
}

Value Value::EmptyOf(uint32_t type) {
  switch (type) {
    case 1: case 11: case 12: case 13: case 14: return Value(int32_t(0));
    case 3: case 15: case 16: return Value(0.0);
    case 2: return Value(Date{});
    case 7: case 17: return Value(std::string());
    case 8: return Value(false);
    case 5: return Value(Array{});
    case 10: return Value(Symbol{});
    case 18: return Value(static_cast<void*>(nullptr));
    default: return Value();
  }
}

Value Value::Eval(const std::vector<Value>& args) const {
  if (auto p = std::get_if<std::shared_ptr<CodeBlock>>(&v_); p && *p && **p) return (**p)(args);
  return Value();
}

}  // namespace rt
