#include "dbf_format.h"

#include <chrono>
#include <cstring>
#include <ctime>

#include "platform/runtime/strings.h"

namespace db {

namespace {
uint16_t U16(std::string_view b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }
uint32_t U32(std::string_view b, size_t at) { return U16(b, at) | uint32_t(U16(b, at + 2)) << 16; }
void Put16(std::string& b, size_t at, uint16_t v) { b[at] = char(v); b[at + 1] = char(v >> 8); }
void Put32(std::string& b, size_t at, uint32_t v) { Put16(b, at, uint16_t(v)); Put16(b, at + 2, uint16_t(v >> 16)); }

bool ValidName(std::string_view n) {
  if (n.empty() || n.size() > 10 || !std::isalpha(uint8_t(n[0]))) return false;
  for (char c : n)
    if (!std::isalnum(uint8_t(c)) && c != '_') return false;
  return true;
}
}  // namespace

bool DbfHeader::HasMemo() const {
  for (const auto& f : fields)
    if (f.type == 'M' || f.type == 'G' || f.type == 'P') return true;
  return false;
}

int DbfHeader::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (rt::EqualsNoCase(fields[i].name, rt::Trim(name))) return int(i);
  return -1;
}

Status ParseDbfHeader(std::string_view b, uint64_t fileSize, const std::string& file, DbfHeader& h) {
  if (b.size() < 32 || fileSize < 32) return Status::Corrupt(file, "file is shorter than a table header");
  h = DbfHeader{};
  h.version = uint8_t(b[0]);
  switch (h.version) {
    case 0x03: case 0x83: case 0xF5: case 0x30: case 0x31: case 0x32: case 0x07: case 0x87: break;
    default: return Status::Corrupt(file, "unknown table version byte " + std::to_string(h.version));
  }
  h.year = uint8_t(b[1]);
  h.year += h.year >= 100 ? 1900 : h.year < 80 ? 2000 : 1900;
  h.month = uint8_t(b[2]);
  h.day = uint8_t(b[3]);
  h.recCount = U32(b, 4);
  h.headerLen = U16(b, 8);
  h.recordLen = U16(b, 10);
  h.flags = uint8_t(b[28]);
  h.codePage = uint8_t(b[29]);
  if (h.headerLen < 65 || h.headerLen > b.size() || h.headerLen > fileSize)
    return Status::Corrupt(file, "header length " + std::to_string(h.headerLen) + " is impossible");
  if (h.recordLen < 2) return Status::Corrupt(file, "record length " + std::to_string(h.recordLen) + " is impossible");
  bool vfp = h.version >= 0x30 && h.version <= 0x32;
  int offset = 1;
  for (size_t at = 32; at + 32 <= h.headerLen; at += 32) {
    if (b[at] == 0x0D) break;
    FieldDesc f;
    size_t nameLen = 0;
    while (nameLen < 11 && b[at + nameLen] != 0) ++nameLen;
    f.name = std::string(b.substr(at, nameLen));
    f.type = char(std::toupper(uint8_t(b[at + 11])));
    f.length = uint8_t(b[at + 16]);
    f.decimals = uint8_t(b[at + 17]);
    if (f.type == 'C') { f.length += f.decimals * 256; f.decimals = 0; }
    f.offset = offset;
    f.binaryMemo = vfp && f.length == 4 && (f.type == 'M' || f.type == 'G' || f.type == 'P');
    if (f.type == '0') { offset += f.length; continue; }  // hidden null-flag field of VFP tables
    if (f.name.empty() || f.length == 0)
      return Status::Corrupt(file, "field descriptor " + std::to_string((at - 32) / 32 + 1) + " is damaged");
    if (std::string("CNFDLMGPIBYT").find(f.type) == std::string::npos)
      return Status::Corrupt(file, "field " + f.name + " has unknown type '" + std::string(1, f.type) + "'");
    if ((f.type == 'D' && f.length != 8) || (f.type == 'L' && f.length != 1) ||
        ((f.type == 'N' || f.type == 'F') && (f.length > 20 || f.decimals >= f.length)) ||
        ((f.type == 'M' || f.type == 'G' || f.type == 'P') && f.length != 10 && !f.binaryMemo))
      return Status::Corrupt(file, "field " + f.name + " has an impossible length");
    offset += f.length;
    h.fields.push_back(std::move(f));
  }
  if (h.fields.empty()) return Status::Corrupt(file, "table has no fields");
  if (offset != h.recordLen)
    return Status::Corrupt(file, "record length " + std::to_string(h.recordLen) + " does not match the fields (" +
                                     std::to_string(offset) + ")");
  uint64_t need = uint64_t(h.headerLen) + uint64_t(h.recCount) * h.recordLen;
  if (need > fileSize)
    return Status::Corrupt(file, "file is truncated: the header counts " + std::to_string(h.recCount) +
                                     " records, the file holds " +
                                     std::to_string((fileSize - h.headerLen) / h.recordLen));
  return Status::Ok();
}

Status BuildDbfHeader(const std::vector<FieldSpec>& specs, const std::string& file, DbfHeader& h) {
  h = DbfHeader{};
  if (specs.empty() || specs.size() > 255) return Status::Error(rt::EG_CREATE, file + ": a table needs 1 to 255 fields");
  int offset = 1;
  for (const auto& s : specs) {
    FieldDesc f{rt::Upper(rt::Trim(s.name)), char(std::toupper(uint8_t(s.type))), s.length, s.decimals, offset, false};
    bool ok = ValidName(f.name) && h.FieldIndex(f.name) < 0;
    switch (f.type) {
      case 'C': ok = ok && f.length >= 1 && f.length <= 254; f.decimals = 0; break;
      case 'N': case 'F': ok = ok && f.length >= 1 && f.length <= 20 && f.decimals >= 0 &&
                               (f.decimals == 0 || f.decimals <= f.length - 2); break;
      case 'D': f.length = 8; f.decimals = 0; break;
      case 'L': f.length = 1; f.decimals = 0; break;
      case 'M': f.length = 10; f.decimals = 0; break;
      default: ok = false;
    }
    if (!ok)
      return Status::Error(rt::EG_CREATE, file + ": field " + s.name + " (" + std::string(1, s.type) + ", " +
                                              std::to_string(s.length) + ", " + std::to_string(s.decimals) +
                                              ") cannot be created");
    offset += f.length;
    h.fields.push_back(f);
  }
  if (offset > 65535) return Status::Error(rt::EG_CREATE, file + ": record is longer than 65535 bytes");
  h.version = h.HasMemo() ? kDbfWithFpt : kDbfPlain;
  h.headerLen = uint16_t(32 + 32 * specs.size() + 2);
  h.recordLen = uint16_t(offset);
  h.codePage = kCodePage1250;
  StampToday(h);
  return Status::Ok();
}

void StampToday(DbfHeader& h) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  h.year = tm.tm_year + 1900;
  h.month = tm.tm_mon + 1;
  h.day = tm.tm_mday;
}

std::string EncodeHeaderPrefix(const DbfHeader& h) {
  std::string b(8, '\0');
  b[0] = char(h.version);
  b[1] = char(h.year - 1900);
  b[2] = char(h.month);
  b[3] = char(h.day);
  Put32(b, 4, h.recCount);
  return b;
}

std::string EncodeDbfHeader(const DbfHeader& h) {
  std::string b(h.headerLen, '\0');
  b.replace(0, 8, EncodeHeaderPrefix(h));
  Put16(b, 8, h.headerLen);
  Put16(b, 10, h.recordLen);
  b[28] = char(h.flags);
  b[29] = char(h.codePage);
  size_t at = 32;
  for (const auto& f : h.fields) {
    std::memcpy(&b[at], f.name.data(), std::min<size_t>(f.name.size(), 10));
    b[at + 11] = f.type;
    b[at + 16] = char(f.length & 0xFF);
    b[at + 17] = char(f.type == 'C' ? f.length >> 8 : f.decimals);
    at += 32;
  }
  b[at] = 0x0D;
  return b;
}

std::string BlankRecord(const DbfHeader& h) { return std::string(h.recordLen, ' '); }

int64_t ParseMemoPointer(const FieldDesc& f, std::string_view bytes) {
  if (f.binaryMemo) return U32(bytes, 0);
  int64_t n = 0;
  bool any = false;
  for (char c : bytes) {
    if (c == ' ' || c == '\0') { if (any) return -1; continue; }
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
    if (n > 0xFFFFFFFFll) return -1;
    any = true;
  }
  return n;
}

std::string EncodeMemoPointer(const FieldDesc& f, uint32_t block) {
  if (f.binaryMemo) {
    std::string b(4, '\0');
    Put32(b, 0, block);
    return b;
  }
  if (block == 0) return std::string(size_t(f.length), ' ');
  return rt::PadL(std::to_string(block), size_t(f.length));
}

}  // namespace db
