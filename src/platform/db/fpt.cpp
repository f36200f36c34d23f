#include "fpt.h"

#include <vector>

#include "coding.h"

namespace db {

namespace {
constexpr uint64_t kHeaderLock = 0;   // byte locked while the free pointer changes
constexpr uint32_t kHeaderSize = 512;

uint32_t BlocksFor(uint64_t bytes, uint32_t bs) { return uint32_t((bytes + bs - 1) / bs); }
}  // namespace

Status MemoFile::Create(const std::string& path) {
  DbFile f;
  if (Status s = f.Create(path); !s.ok()) return s;
  unsigned char h[kHeaderSize] = {};
  PutBe32(h, BlocksFor(kHeaderSize, kBlockSize));
  h[6] = kBlockSize >> 8;
  h[7] = kBlockSize & 0xFF;
  return f.WriteAt(0, h, sizeof h);
}

Status MemoFile::Open(const std::string& path, bool readOnly, bool shared) {
  shared_ = shared;
  if (Status s = file_.Open(path, readOnly); !s.ok()) return s;
  unsigned char h[8];
  if (Status s = file_.ReadAt(0, h, 8); !s.ok()) {
    file_.Close();
    return Status::Corrupt(file_.name(), "memo file header is missing");
  }
  blockSize_ = uint32_t(h[6]) << 8 | h[7];
  if (blockSize_ == 0) {
    file_.Close();
    return Status::Corrupt(file_.name(), "memo block size is 0");
  }
  return Status::Ok();
}

Status MemoFile::ReadHeader(uint32_t& nextFree) {
  unsigned char h[4];
  if (Status s = file_.ReadAt(0, h, 4); !s.ok()) return s;
  nextFree = Be32(h);
  return Status::Ok();
}

Status MemoFile::BlockHeader(uint32_t block, uint32_t& type, uint32_t& length) {
  uint64_t at = uint64_t(block) * blockSize_;
  uint64_t size = file_.Size();
  if (at < kHeaderSize || at + 8 > size)
    return Status::Corrupt(file_.name(), "memo block " + std::to_string(block) + " lies outside the memo file (" +
                                             std::to_string(size) + " bytes)");
  unsigned char b[8];
  if (Status s = file_.ReadAt(at, b, 8); !s.ok()) return s;
  type = Be32(b);
  length = Be32(b + 4);
  if (at + 8 + length > size)
    return Status::Corrupt(file_.name(), "memo at block " + std::to_string(block) + " claims " +
                                             std::to_string(length) + " bytes, past the end of the file");
  return Status::Ok();
}

Status MemoFile::Read(uint32_t block, std::string& out) {
  out.clear();
  if (block == 0) return Status::Ok();
  ScopedLock lock(file_, kHeaderLock, 1, false, shared_);
  uint32_t type, length;
  if (Status s = BlockHeader(block, type, length); !s.ok()) return s;
  out.resize(length);
  return file_.ReadAt(uint64_t(block) * blockSize_ + 8, out.data(), length);
}

Status MemoFile::Write(uint32_t oldBlock, const std::string& text, uint32_t& newBlock) {
  newBlock = 0;
  if (text.empty()) return Status::Ok();
  ScopedLock lock(file_, kHeaderLock, 1, true, shared_);
  if (!lock.status().ok()) return lock.status();
  uint32_t nextFree;
  if (Status s = ReadHeader(nextFree); !s.ok()) return s;
  uint32_t firstBlock = BlocksFor(kHeaderSize, blockSize_);
  if (nextFree < firstBlock) return Status::Corrupt(file_.name(), "next free memo block is inside the header");
  uint64_t end = (file_.Size() + blockSize_ - 1) / blockSize_;
  if (nextFree > end)
    return Status::Corrupt(file_.name(), "next free memo block " + std::to_string(nextFree) +
                                             " lies past the end of the file");
  uint64_t blocks = (8ull + text.size() + blockSize_ - 1) / blockSize_;
  if (uint64_t(nextFree) + blocks > 0xFFFFFFFFull) return Status::Error(rt::EG_WRITE, file_.name() + ": memo file is full");
  uint32_t need = uint32_t(blocks);
  uint32_t target = nextFree;
  if (oldBlock != 0) {
    uint32_t type, length;
    if (Status s = BlockHeader(oldBlock, type, length); !s.ok()) return s;
    uint32_t had = BlocksFor(8ull + length, blockSize_);
    if (need <= had) target = oldBlock;                       // fits where it is
    else if (oldBlock + had == nextFree) target = oldBlock;   // last memo: grows at the end
  }
  std::vector<unsigned char> data(size_t(need) * blockSize_, 0);
  PutBe32(data.data(), 1);
  PutBe32(data.data() + 4, uint32_t(text.size()));
  std::copy(text.begin(), text.end(), data.begin() + 8);
  // Data first, then the free pointer: a record never points past it.
  if (Status s = file_.WriteAt(uint64_t(target) * blockSize_, data.data(), data.size()); !s.ok()) return s;
  if (target + need > nextFree) {
    unsigned char h[4];
    PutBe32(h, target + need);
    if (Status s = file_.WriteAt(0, h, 4); !s.ok()) return s;
  }
  newBlock = target;
  return Status::Ok();
}

}  // namespace db
