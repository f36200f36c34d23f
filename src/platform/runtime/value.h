// The run time's dynamic value: a tagged value of one of the run-time types.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace rt {

// Type codes of dynamic values, as they appear in error objects and logs.
enum class Type : uint32_t {
  None = 0, Long = 1, Date = 2, Float = 3, Array = 5, Object = 6, String = 7, Logic = 8,
  CodeBlock = 9, Symbol = 10, Byte = 11, Short = 12, Word = 13, DWord = 14, Real4 = 15,
  Real8 = 16, Psz = 17, Ptr = 18, Usual = 19,
};

// Run-time type name of a type code ("LONGINT", "STRING", ...).
std::string TypeName(uint32_t type);

// A symbol: a name stored in upper case.
struct Symbol {
  std::string name;
  Symbol() = default;
  explicit Symbol(std::string_view n);
  bool empty() const { return name.empty(); }
  bool operator==(const Symbol&) const = default;
};

// A date as a Julian day number; 0 is the empty date.
struct Date {
  int32_t julian = 0;
  static Date FromYmd(int y, int m, int d);
  void ToYmd(int& y, int& m, int& d) const;
  bool empty() const { return julian == 0; }
  bool operator==(const Date&) const = default;
};

class Value;
using Array = std::vector<Value>;

// Base of run-time objects held in dynamic values.
class Object {
 public:
  virtual ~Object() = default;
  virtual std::string ClassName() const = 0;  // upper case, e.g. "ERROR"
};

using CodeBlock = std::function<Value(const std::vector<Value>&)>;

class Value {
 public:
  using Storage = std::variant<std::monostate, int32_t, Date, double, std::shared_ptr<Array>,
                               std::shared_ptr<Object>, std::string, bool, std::shared_ptr<CodeBlock>,
                               Symbol, void*>;

  Value() = default;
  Value(int32_t n) : v_(n) {}
  Value(int n, int) = delete;
  Value(double d) : v_(d) {}
  Value(bool b) : v_(b) {}
  Value(Date d) : v_(d) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(Symbol s) : v_(std::move(s)) {}
  Value(Array a) : v_(std::make_shared<Array>(std::move(a))) {}
  Value(std::shared_ptr<Object> o) : v_(std::move(o)) {}
  Value(CodeBlock b) : v_(std::make_shared<CodeBlock>(std::move(b))) {}
  Value(void* p) : v_(p) {}

  Type type() const;
  bool IsNil() const { return std::holds_alternative<std::monostate>(v_); }
  bool IsLogic() const { return std::holds_alternative<bool>(v_); }
  bool IsString() const { return std::holds_alternative<std::string>(v_); }
  bool IsNumber() const { return std::holds_alternative<int32_t>(v_) || std::holds_alternative<double>(v_); }

  bool AsLogic() const;           // false unless a true logical
  double AsNumber() const;        // 0 unless numeric
  std::string AsString() const;   // "" unless a string
  const Symbol* AsSymbol() const;
  std::shared_ptr<Object> AsObject() const;
  std::shared_ptr<Array> AsArray() const;
  Date AsDate() const;

  // Text form as the run time shows a value (numbers plain, logicals .T./.F.,
  // NIL, dates YYYYMMDD, objects by class name).
  std::string ToText() const;

  // The empty value of a type code (0, "", .F., empty date, NIL ...).
  static Value EmptyOf(uint32_t type);

  // Calls a code block with arguments; NIL when the value is not a block.
  Value Eval(const std::vector<Value>& args) const;

  const Storage& storage() const { return v_; }

 private:
  Storage v_;
};

}  // namespace rt
