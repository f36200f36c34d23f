// On-disk layout of a DBF table: the 32-byte header, the field descriptors
// and the fixed-length records. Pure functions over bytes; no file access.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"

namespace db {

constexpr uint8_t kDbfPlain = 0x03;       // version byte: no memo file
constexpr uint8_t kDbfWithFpt = 0xF5;     // version byte: FPT memo file
constexpr uint8_t kFlagStructuralCdx = 0x01;
constexpr uint8_t kCodePage1250 = 0xC8;   // code page mark of Windows ANSI 1250
constexpr char kLive = ' ', kDeleted = '*';

// A field as the program defines it.
struct FieldSpec {
  std::string name;   // up to 10 characters, stored upper case
  char type;          // 'C', 'N', 'F', 'D', 'L', 'M'
  int length;
  int decimals = 0;
};

// A field as it lies in a record.
struct FieldDesc {
  std::string name;
  char type;
  int length;         // bytes in the record
  int decimals;
  int offset;         // position in the record (the deletion flag is byte 0)
  bool binaryMemo;    // 4-byte little-endian memo pointer (Visual FoxPro tables)
};

struct DbfHeader {
  uint8_t version = kDbfPlain;
  int year = 0, month = 0, day = 0;   // date of last update
  uint32_t recCount = 0;
  uint16_t headerLen = 0;
  uint16_t recordLen = 0;
  uint8_t flags = 0;
  uint8_t codePage = 0;
  std::vector<FieldDesc> fields;

  bool HasMemo() const;
  int FieldIndex(std::string_view name) const;   // -1 when absent (case-insensitive)
};

// Parses header and descriptors from the first bytes of a file of fileSize
// bytes; checks every length and offset, and that the records fit the file.
Status ParseDbfHeader(std::string_view bytes, uint64_t fileSize, const std::string& fileName, DbfHeader& out);

// Builds the header bytes (32 + 32 n + 2) of a new table.
Status BuildDbfHeader(const std::vector<FieldSpec>& specs, const std::string& fileName, DbfHeader& out);
std::string EncodeDbfHeader(const DbfHeader& h);
// The 8 bytes 0..7 (version, date, count) after a change.
std::string EncodeHeaderPrefix(const DbfHeader& h);
void StampToday(DbfHeader& h);

// A record of blanks (every field empty, not deleted).
std::string BlankRecord(const DbfHeader& h);

// Memo block number of a memo field's bytes: 0 when empty, -1 when the
// bytes are not a number.
int64_t ParseMemoPointer(const FieldDesc& f, std::string_view bytes);
std::string EncodeMemoPointer(const FieldDesc& f, uint32_t block);

}  // namespace db
