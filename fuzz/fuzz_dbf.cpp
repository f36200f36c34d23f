// Any bytes as a table file: opening, walking and reading every field must
// end in a value or an error, never a crash.
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "platform/db/dbf_format.h"
#include "platform/db/table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  db::DbfHeader h;
  db::ParseDbfHeader(bytes, size, "FUZZ.DBF", h);

  std::string file = fuzz::ScratchDir() + "FUZZ.DBF";
  fuzz::WriteFile(file, data, size);
  db::Table t;
  if (!t.Open(file, false, false).ok()) return 0;
  for (int steps = 0; !t.Eof() && steps < 200; ++steps) {
    for (size_t i = 0; i < t.FieldCount(); ++i) {
      rt::Value v;
      std::string text;
      t.FieldGet(i, v);
      t.FieldGetFormatted(i, text);
    }
    if (!t.Skip(1).ok()) break;
  }
  // A write on top: the record count and end mark must stay consistent.
  if (t.Append().ok() && t.FieldCount() > 0) {
    t.FieldPut(0, rt::Value(std::string("x")));
    t.Commit();
  }
  t.Close();
  return 0;
}
