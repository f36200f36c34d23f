// FPT memo file: a 512-byte header (next free block, block size; both
// big-endian) and blocks, each memo starting with type and length.
//
// A rewritten memo that still fits its blocks stays in place; a longer one
// grows in place only when it is the last memo of the file, otherwise it
// takes new blocks at the end. Nothing else is ever overwritten.
#pragma once
#include <cstdint>
#include <string>

#include "file.h"

namespace db {

class MemoFile {
 public:
  static constexpr uint32_t kBlockSize = 64;

  // Creates (replaces) an empty memo file.
  static Status Create(const std::string& path);

  Status Open(const std::string& path, bool readOnly, bool shared);
  void Close() { file_.Close(); }
  bool IsOpen() const { return file_.IsOpen(); }
  DbFile& file() { return file_; }
  uint32_t blockSize() const { return blockSize_; }

  // Text of the memo starting at block (0 = empty memo).
  Status Read(uint32_t block, std::string& out);
  // Stores text in place of the memo at oldBlock (0 = none) and returns its
  // block number in newBlock (0 for an empty text).
  Status Write(uint32_t oldBlock, const std::string& text, uint32_t& newBlock);

 private:
  Status ReadHeader(uint32_t& nextFree);
  Status BlockHeader(uint32_t block, uint32_t& type, uint32_t& length);

  DbFile file_;
  uint32_t blockSize_ = kBlockSize;  // from the header
  bool shared_ = false;             // lock the header byte around allocation
};

}  // namespace db
