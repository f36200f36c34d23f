// Writes a DBF table: creation, records, the header's count and date.
#pragma once
#include <string>
#include <vector>

#include "dbf_format.h"
#include "file.h"

namespace db {

// Creates (replaces) path as an empty table with the given fields.
Status CreateDbf(const std::string& path, const std::vector<FieldSpec>& fields, DbfHeader* out = nullptr);

class DbfWriter {
 public:
  explicit DbfWriter(DbFile& file) : file_(file) {}

  // Writes record recno (1-based) of an existing record.
  Status WriteRecord(const DbfHeader& h, uint32_t recno, const std::string& bytes);
  // Writes bytes as record h.recCount + 1 followed by the end mark, then
  // the new count and today's date. REQUIRES: the header lock is held in
  // shared use and h.recCount is current.
  Status AppendRecord(DbfHeader& h, const std::string& bytes);
  Status WriteFlags(DbfHeader& h, uint8_t flags);

 private:
  DbFile& file_;
};

}  // namespace db
