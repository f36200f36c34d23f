// Any bytes as the index of a valid table: opening, navigation in key
// order, seeks and incremental key updates must end in results or errors,
// never a crash or an endless loop.
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "platform/db/dbf_writer.h"
#include "platform/db/table.h"
#include "platform/runtime/strings.h"

namespace {
const std::string& TableBytes() {
  static const std::string bytes = [] {
    const std::string path = fuzz::ScratchDir() + "seed.dbf";
    db::DbfHeader h;
    db::CreateDbf(path, {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 8, 2}}, &h);
    db::DbFile f;
    f.Open(path, false);
    db::DbfWriter w(f);
    for (int i = 1; i <= 300; ++i)
      w.AppendRecord(h, " " + rt::PadR("K" + std::to_string(i * 37 % 1000), 10) + rt::Str(i * 1.5, 8, 2));
    char flag = char(db::kFlagStructuralCdx);
    f.WriteAt(28, &flag, 1);
    std::string b(f.Size(), '\0');
    f.ReadAt(0, b.data(), b.size());
    return b;
  }();
  return bytes;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string dir = fuzz::ScratchDir();
  const std::string& dbf = TableBytes();
  fuzz::WriteFile(dir + "IDX.DBF", reinterpret_cast<const uint8_t*>(dbf.data()), dbf.size());
  fuzz::WriteFile(dir + "IDX.CDX", data, size);
  db::Table t;
  if (!t.Open(dir + "IDX.DBF", false, false).ok()) return 0;
  for (const std::string& tag : t.TagNames()) {
    if (!t.SetOrder(tag).ok()) continue;
    t.GoTop();
    for (int steps = 0; !t.Eof() && steps < 400; ++steps)
      if (!t.Skip(1).ok()) break;
    t.GoBottom();
    for (int steps = 0; !t.Bof() && steps < 400; ++steps)
      if (!t.Skip(-1).ok()) break;
    bool found;
    t.Seek(rt::Value(std::string("K5")), true, found);
    t.Seek(rt::Value(12.0), false, found);
  }
  // Updates through the built-in expressions (field names, Upper(field)).
  if (t.GoTo(7).ok() && t.FieldPut(0, rt::Value(std::string("K999"))).ok()) t.Commit();
  if (t.Append().ok() && t.FieldPut(0, rt::Value(std::string("K0"))).ok()) t.Commit();
  if (t.GoTo(3).ok()) t.Delete();
  t.Close();
  return 0;
}
