// A table file opened by the engine: positioned reads and writes and the
// byte-range locks that xBase programs share files with.
//
// Locks are Linux open-file-description locks: they belong to this open
// file, so two handles on one file in the same process exclude each other
// like two processes do, and closing one handle leaves the other's locks.
#pragma once
#include <cstdint>
#include <string>

#include "status.h"

namespace db {

class DbFile {
 public:
  DbFile() = default;
  ~DbFile();
  DbFile(const DbFile&) = delete;
  DbFile& operator=(const DbFile&) = delete;

  Status Open(const std::string& path, bool readOnly);
  Status Create(const std::string& path);   // truncates an existing file
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  std::string name() const;                 // file name without folder, for messages

  // Reads exactly n bytes at offset; a short read is reported as corruption.
  Status ReadAt(uint64_t offset, void* buf, size_t n) const;
  // Reads up to n bytes; returns the count read (0 at end of file).
  size_t ReadSome(uint64_t offset, void* buf, size_t n) const;
  Status WriteAt(uint64_t offset, const void* buf, size_t n);
  Status Truncate(uint64_t size);
  uint64_t Size() const;
  Status Sync();

  // Byte-range locks; Lock waits for conflicting holders, TryLock does not.
  Status Lock(uint64_t offset, uint64_t length, bool exclusive);
  bool TryLock(uint64_t offset, uint64_t length, bool exclusive);
  void Unlock(uint64_t offset, uint64_t length);

 private:
  int fd_ = -1;        // descriptor, -1 when closed
  std::string path_;   // path as opened
};

// Holds a byte-range lock for one scope.
class ScopedLock {
 public:
  ScopedLock(DbFile& f, uint64_t offset, uint64_t length, bool exclusive, bool active = true);
  ~ScopedLock();
  const Status& status() const { return status_; }

 private:
  DbFile& file_;
  uint64_t offset_, length_;
  bool held_ = false;
  Status status_;
};

// Finds path's file ignoring the case of its name; returns the name on disk,
// or path itself when no such file exists.
std::string ResolveCase(const std::string& path);
bool FileExists(const std::string& path);   // case-insensitive, like ResolveCase

}  // namespace db
