// Reads a text file line by line through one block buffer. A line is the
// text up to CR LF; the pair is not part of it. Bytes pass unchanged.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class KwTextFile {
 public:
  // Opens the file at once; check Ready(). The buffer size is 4096 unless given.
  explicit KwTextFile(const std::string& fileName, std::optional<uint32_t> bufferSize = std::nullopt);
  ~KwTextFile();
  KwTextFile(const KwTextFile&) = delete;
  KwTextFile& operator=(const KwTextFile&) = delete;

  void Close();
  // EOF of the reader (the C library's EOF macro takes the plain name).
  bool Eof() const { return AtEnd; }
  // The next line without its CR LF; "" when no file is open or at the end.
  // Text after the last CR LF is returned as the last line.
  std::string ReadLn();
  void ReadBuf();
  bool Ready() const { return FileHandle != 0 && !AtEnd; }
  void Reset();
  const std::string& FileName() const { return StoredName; }
  bool Open();

 private:
  int FileHandle = 0;   // 0: not open (the descriptor is kept offset by one)
  std::string OpenName;
  std::string StoredName;
  bool AtEnd = true;
  bool LastBlock = false;
  std::vector<char> BlockBuffer;
  uint32_t BufferSize = 4096;
  uint32_t BlockOffset = 0;
  uint32_t BlockLength = 0;
};
