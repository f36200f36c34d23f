#include "printing/kw_text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/runtime/strings.h"

namespace {
int Descriptor(int handle) { return handle - 1; }
}  // namespace

KwTextFile::KwTextFile(const std::string& fileName, std::optional<uint32_t> bufferSize) {
  if (bufferSize) BufferSize = *bufferSize;
  OpenName = rt::Trim(fileName);
  StoredName = rt::Upper(OpenName);
  Open();
}

KwTextFile::~KwTextFile() { Close(); }

void KwTextFile::Close() {
  if (FileHandle != 0) {
    close(Descriptor(FileHandle));
    FileHandle = 0;
  }
  AtEnd = true;
  BlockBuffer.clear();
  BlockBuffer.shrink_to_fit();
}

bool KwTextFile::Open() {
  if (FileHandle != 0) return false;
  AtEnd = true;
  LastBlock = false;
  // The name as given; on a case-sensitive file system also its upper-case form.
  for (const std::string& name : {OpenName, StoredName}) {
    struct stat st;
    if (name.empty() || stat(name.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      FileHandle = fd + 1;
      break;
    }
  }
  if (FileHandle != 0) {
    BlockBuffer.assign(BufferSize, '\0');
    Reset();
  }
  return FileHandle != 0;
}

void KwTextFile::Reset() {
  if (FileHandle == 0) return;
  lseek(Descriptor(FileHandle), 0, SEEK_SET);
  AtEnd = false;
  LastBlock = false;
  ReadBuf();
}

void KwTextFile::ReadBuf() {
  if (FileHandle == 0) return;
  ssize_t got;
  do {
    got = BufferSize ? read(Descriptor(FileHandle), BlockBuffer.data(), BufferSize) : 0;
  } while (got < 0 && errno == EINTR);
  if (got <= 0) {   // a read error counts as the end of the data
    BlockLength = 0;
    AtEnd = true;
    return;
  }
  BlockLength = uint32_t(got);
  BlockOffset = 0;
  AtEnd = false;
}

std::string KwTextFile::ReadLn() {
  if (AtEnd || FileHandle == 0) return "";
  if (LastBlock) {
    AtEnd = true;
    return "";
  }
  std::string line;
  bool crPending = false;   // a CR ended the previous block: is it the start of CR LF?
  for (;;) {
    const char* block = BlockBuffer.data();
    if (crPending) {
      crPending = false;
      if (BlockOffset < BlockLength && block[BlockOffset] == '\n') {
        ++BlockOffset;
        break;
      }
      line += '\r';
    }
    // Only the valid bytes of the block: what an earlier block left behind
    // the end of a short one is never part of a line.
    const char* from = block + BlockOffset;
    const char* end = block + BlockLength;
    const char* cr = from;
    while ((cr = static_cast<const char*>(std::memchr(cr, '\r', size_t(end - cr)))) && cr + 1 < end && cr[1] != '\n')
      ++cr;
    if (cr && cr + 1 < end) {
      line.append(from, size_t(cr - from));
      BlockOffset = uint32_t(cr - block) + 2;
      break;
    }
    // No pair in this block: the line goes on in the next one; a CR at the
    // very end may be the first half of the pair.
    if (cr) {
      line.append(from, size_t(cr - from));
      crPending = true;
    } else {
      line.append(from, size_t(end - from));
    }
    BlockOffset = BlockLength;
    ReadBuf();
    if (AtEnd) {
      // The file ends without CR LF: its last line is returned all the same.
      if (crPending) line += '\r';
      return line;
    }
  }
  if (BlockOffset >= BlockLength) {
    if (BlockLength < BufferSize) LastBlock = true;
    else ReadBuf();
  }
  return line;
}
