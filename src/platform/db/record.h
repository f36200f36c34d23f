// Field values of one record: decoding the bytes of a field to a run-time
// value, encoding a value into them, and the field's display text.
// Character and memo text is ANSI (CP1250) or OEM on disk, UTF-8 in memory.
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "dbf_format.h"
#include "platform/runtime/codepage.h"
#include "platform/runtime/value.h"

namespace db {

// Reads the memo starting at a block number; used for memo fields.
using MemoLoader = std::function<Status(uint32_t block, std::string& text)>;

class RecordView {
 public:
  RecordView(const DbfHeader& h, const std::string& bytes, rt::CodePage cp, MemoLoader memo = {})
      : header_(h), bytes_(bytes), cp_(cp), memo_(std::move(memo)) {}

  const DbfHeader& header() const { return header_; }
  const std::string& bytes() const { return bytes_; }
  bool Deleted() const { return !bytes_.empty() && bytes_[0] == kDeleted; }

  // Value of field i (0-based): string, number, date, logical or memo text.
  // A memo that cannot be read gives its status in *memoStatus (when given).
  rt::Value FieldGet(size_t i, Status* memoStatus = nullptr) const;
  rt::Value FieldGet(std::string_view name) const;   // NIL for an unknown field
  std::string RawField(size_t i) const;              // the bytes as stored

 private:
  const DbfHeader& header_;
  const std::string& bytes_;
  rt::CodePage cp_;
  MemoLoader memo_;
};

// Encodes value into the field's bytes (not memo fields). Errors: a value
// of the wrong type (EG_DATATYPE) or a number too wide (EG_DATAWIDTH).
Status EncodeField(const FieldDesc& f, const rt::Value& value, rt::CodePage cp, std::string& fieldBytes);

// Display text of a field's value: character text, numbers right-aligned
// in the field width, dates in the run time's date format, logicals T/F,
// memo text.
std::string FormatField(const FieldDesc& f, const rt::Value& value);

}  // namespace db
