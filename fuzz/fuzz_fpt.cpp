// Any bytes as a memo file under a valid table whose memo pointers come
// from the input: reading and rewriting memos must never crash.
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "platform/db/dbf_writer.h"
#include "platform/db/table.h"
#include "platform/runtime/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const std::string dir = fuzz::ScratchDir();
  // Four records pointing at blocks taken from the first 8 bytes.
  db::DbfHeader h;
  db::CreateDbf(dir + "MEMO.DBF", {{"NOTE", 'M', 10, 0}}, &h);
  {
    db::DbFile f;
    f.Open(dir + "MEMO.DBF", false);
    db::DbfWriter w(f);
    for (int r = 0; r < 4; ++r) {
      uint32_t block = uint32_t(data[2 * r]) | uint32_t(data[2 * r + 1]) << 8;
      w.AppendRecord(h, " " + rt::PadL(std::to_string(block), 10));
    }
  }
  fuzz::WriteFile(dir + "MEMO.FPT", data + 8, size - 8);
  db::Table t;
  if (!t.Open(dir + "MEMO.DBF", false, false).ok()) return 0;
  for (uint32_t r = 1; r <= 4; ++r) {
    if (!t.GoTo(r).ok()) break;
    rt::Value v;
    if (t.FieldGet(0, v).ok() && r % 2 == 0) {
      t.FieldPut(0, rt::Value(v.AsString() + std::string(r * 40, 'y')));
      t.Commit();
    }
  }
  t.Close();
  return 0;
}
