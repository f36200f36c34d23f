#include "dbf_writer.h"

namespace db {

Status CreateDbf(const std::string& path, const std::vector<FieldSpec>& fields, DbfHeader* out) {
  DbfHeader h;
  DbFile file;
  std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  if (Status s = BuildDbfHeader(fields, name, h); !s.ok()) return s;
  if (Status s = file.Create(path); !s.ok()) return s;
  std::string bytes = EncodeDbfHeader(h) + '\x1A';
  if (Status s = file.WriteAt(0, bytes.data(), bytes.size()); !s.ok()) return s;
  if (out) *out = h;
  return Status::Ok();
}

Status DbfWriter::WriteRecord(const DbfHeader& h, uint32_t recno, const std::string& bytes) {
  return file_.WriteAt(uint64_t(h.headerLen) + uint64_t(recno - 1) * h.recordLen, bytes.data(), h.recordLen);
}

Status DbfWriter::AppendRecord(DbfHeader& h, const std::string& bytes) {
  // Record and end mark first, the count last: a reader never counts a
  // record that is not there.
  std::string data = bytes + '\x1A';
  uint64_t at = uint64_t(h.headerLen) + uint64_t(h.recCount) * h.recordLen;
  if (Status s = file_.WriteAt(at, data.data(), data.size()); !s.ok()) return s;
  DbfHeader next = h;
  ++next.recCount;
  StampToday(next);
  std::string prefix = EncodeHeaderPrefix(next);
  if (Status s = file_.WriteAt(0, prefix.data(), prefix.size()); !s.ok()) return s;
  h = next;
  return Status::Ok();
}

Status DbfWriter::WriteFlags(DbfHeader& h, uint8_t flags) {
  char b = char(flags);
  if (Status s = file_.WriteAt(28, &b, 1); !s.ok()) return s;
  h.flags = flags;
  return Status::Ok();
}

}  // namespace db
