#include "settings_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/runtime/codepage.h"

void PParPutStr(uint8_t* slot, const std::string& text) {
  std::memset(slot, 0, kParamsSlotSize);
  std::string bytes = rt::ToCodePage(text, rt::CodePage::Ansi1250);
  std::memcpy(slot, bytes.data(), std::min(bytes.size(), kParamsSlotSize - 1));
}

std::string PParGetStr(const uint8_t* slot) {
  size_t n = 0;
  while (n < kParamsSlotSize && slot[n] != 0) ++n;
  return rt::FromCodePage(std::string(reinterpret_cast<const char*>(slot), n), rt::CodePage::Ansi1250);
}

int32_t ParamsGetLong(const ParamsRecord& rec, size_t offset) {
  uint32_t v = uint32_t(rec[offset]) | uint32_t(rec[offset + 1]) << 8 | uint32_t(rec[offset + 2]) << 16 |
               uint32_t(rec[offset + 3]) << 24;
  return int32_t(v);
}

void ParamsPutLong(ParamsRecord& rec, size_t offset, int32_t value) {
  uint32_t v = uint32_t(value);
  for (int i = 0; i < 4; ++i) rec[offset + i] = uint8_t(v >> (8 * i));
}

uint32_t ParamsMagic(const ParamsRecord& rec) { return uint32_t(ParamsGetLong(rec, PAR_MAGIC)); }

void ParamsSetDefaults(ParamsRecord& rec) {
  rec.fill(0);
  PParPutStr(&rec[PAR_FOLDER], "");
  ParamsPutLong(rec, PAR_FONTSIZE, 10);
  ParamsPutLong(rec, PAR_TOP, 10000);
  ParamsPutLong(rec, PAR_LEFT, 20000);
  ParamsPutLong(rec, PAR_BOTTOM, 10000);
  ParamsPutLong(rec, PAR_RIGHT, 10000);
  ParamsPutLong(rec, PAR_LINEINTERVAL, 100);
  PParPutStr(&rec[PAR_PRINTER], "");
  PParPutStr(&rec[PAR_PRNTYPE], " ");
}

ParamsRead ReadParamsFile(const std::string& path, ParamsRecord& rec) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return ParamsRead::Missing;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ParamsRead::OpenFailed;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // a folder or device of that name
    close(fd);
    return ParamsRead::OpenFailed;
  }
  ParamsRecord buffer{};
  size_t got = 0;
  while (got < kParamsSize) {
    ssize_t n = read(fd, buffer.data() + got, kParamsSize - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  close(fd);
  if (ParamsMagic(buffer) != kParamsMagic) return ParamsRead::Invalid;
  rec = buffer;
  return ParamsRead::Ok;
}

bool WriteParamsFile(const std::string& path, const ParamsRecord& rec) {
  std::string temp = path + ".tmp-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0644) == 0;
  size_t done = 0;
  while (ok && done < kParamsSize) {
    ssize_t n = write(fd, rec.data() + done, kParamsSize - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += size_t(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  ok = ok && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}
