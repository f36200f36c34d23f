// Index keys: how a value becomes the bytes of a CDX key, how keys compare,
// and the key expressions the engine evaluates by itself.
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "cdx_page.h"
#include "record.h"

namespace db {

enum class KeyType { Character, Numeric, Date, Logical };

struct KeyFormat {
  KeyType type = KeyType::Character;
  int length = 0;   // key bytes
  uint8_t fill() const { return type == KeyType::Character ? 0x20 : 0x00; }
};

// Computes a tag's key value from a record.
using KeyEvaluator = std::function<rt::Value(const RecordView&)>;

// Format of the keys that value gives (its type and length).
Status KeyFormatOf(const rt::Value& value, rt::CodePage cp, KeyFormat& out);
// Key bytes of value in format fmt; character keys are cut or blank-padded.
Status MakeKey(const rt::Value& value, const KeyFormat& fmt, rt::CodePage cp, std::string& key);
// Key order: character keys by the run time's collation, others by bytes.
int CompareKeys(KeyType type, std::string_view a, std::string_view b);

std::string NumericKey(double value);     // 8 bytes, ordered like the numbers

// Evaluator for the expressions the engine understands without a compiler:
// a field name or Upper(field name), any case and blanks. Empty when the
// expression is something else.
KeyEvaluator BuiltInEvaluator(const std::string& expression, const DbfHeader& h);

}  // namespace db
