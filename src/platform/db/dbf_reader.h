// Reads a DBF table: header, field list and records.
#pragma once
#include <string>

#include "dbf_format.h"
#include "file.h"

namespace db {

class DbfReader {
 public:
  explicit DbfReader(const DbFile& file) : file_(file) {}

  // Reads and checks header and fields. REQUIRES: file is open.
  Status ReadHeader(DbfHeader& out) const;
  // Current record count as another user may have left it: the header's
  // count, checked against the file size.
  Status ReadCount(const DbfHeader& h, uint32_t& count) const;
  // Record recno (1-based), recordLen bytes.
  Status ReadRecord(const DbfHeader& h, uint32_t recno, std::string& out) const;

 private:
  const DbFile& file_;
};

}  // namespace db
