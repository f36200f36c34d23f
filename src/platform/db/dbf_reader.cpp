#include "dbf_reader.h"

namespace db {

Status DbfReader::ReadHeader(DbfHeader& out) const {
  // The size is taken after the header: another user appends the record
  // before the count, so a count read earlier always fits a size read later.
  std::string bytes(65536, '\0');
  bytes.resize(file_.ReadSome(0, bytes.data(), bytes.size()));
  uint64_t size = file_.Size();
  return ParseDbfHeader(bytes, size, file_.name(), out);
}

Status DbfReader::ReadCount(const DbfHeader& h, uint32_t& count) const {
  unsigned char b[4];
  if (Status s = file_.ReadAt(4, b, 4); !s.ok()) return s;
  count = b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24;
  uint64_t size = file_.Size();
  if (uint64_t(h.headerLen) + uint64_t(count) * h.recordLen > size)
    return Status::Corrupt(file_.name(), "file is truncated: the header counts " + std::to_string(count) + " records");
  return Status::Ok();
}

Status DbfReader::ReadRecord(const DbfHeader& h, uint32_t recno, std::string& out) const {
  out.resize(h.recordLen);
  return file_.ReadAt(uint64_t(h.headerLen) + uint64_t(recno - 1) * h.recordLen, out.data(), h.recordLen);
}

}  // namespace db
