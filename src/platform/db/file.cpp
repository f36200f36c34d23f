#include "file.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace db {

namespace {
Status OsError(uint32_t gen, const std::string& file, const std::string& what, int err) {
  return Status::Error(gen, file + ": " + what + " (" + std::strerror(err) + ")", uint32_t(err));
}
}  // namespace

DbFile::~DbFile() { Close(); }

std::string DbFile::name() const {
  auto slash = path_.rfind('/');
  return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

Status DbFile::Open(const std::string& path, bool readOnly) {
  Close();
  path_ = path;
  fd_ = ::open(path.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (fd_ < 0) return OsError(rt::EG_OPEN, name(), "cannot open", errno);
  struct stat st;
  if (::fstat(fd_, &st) == 0 && !S_ISREG(st.st_mode)) {
    Close();
    return Status::Error(rt::EG_OPEN, path + ": not a regular file");
  }
  return Status::Ok();
}

Status DbFile::Create(const std::string& path) {
  Close();
  path_ = path;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) return OsError(rt::EG_CREATE, name(), "cannot create", errno);
  return Status::Ok();
}

void DbFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Status DbFile::ReadAt(uint64_t offset, void* buf, size_t n) const {
  size_t got = ReadSome(offset, buf, n);
  if (got != n) {
    return Status::Corrupt(name(), "file ends at byte " + std::to_string(offset + got) + ", expected " +
                                       std::to_string(n) + " bytes at offset " + std::to_string(offset));
  }
  return Status::Ok();
}

size_t DbFile::ReadSome(uint64_t offset, void* buf, size_t n) const {
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(fd_, static_cast<char*>(buf) + done, n - done, off_t(offset + done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += size_t(r);
  }
  return done;
}

Status DbFile::WriteAt(uint64_t offset, const void* buf, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::pwrite(fd_, static_cast<const char*>(buf) + done, n - done, off_t(offset + done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return OsError(rt::EG_WRITE, name(), "write failed", r < 0 ? errno : ENOSPC);
    done += size_t(r);
  }
  return Status::Ok();
}

Status DbFile::Truncate(uint64_t size) {
  if (::ftruncate(fd_, off_t(size)) != 0) return OsError(rt::EG_WRITE, name(), "cannot set file size", errno);
  return Status::Ok();
}

uint64_t DbFile::Size() const {
  struct stat st;
  return ::fstat(fd_, &st) == 0 ? uint64_t(st.st_size) : 0;
}

Status DbFile::Sync() {
  if (::fdatasync(fd_) != 0) return OsError(rt::EG_WRITE, name(), "cannot flush", errno);
  return Status::Ok();
}

static int LockCommand(int fd, int cmd, short type, uint64_t offset, uint64_t length) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = off_t(offset);
  fl.l_len = off_t(length);
  int r;
  do r = ::fcntl(fd, cmd, &fl);
  while (r != 0 && errno == EINTR);
  return r;
}

Status DbFile::Lock(uint64_t offset, uint64_t length, bool exclusive) {
  if (LockCommand(fd_, F_OFD_SETLKW, exclusive ? F_WRLCK : F_RDLCK, offset, length) != 0)
    return OsError(rt::EG_LOCK, name(), "cannot lock", errno);
  return Status::Ok();
}

bool DbFile::TryLock(uint64_t offset, uint64_t length, bool exclusive) {
  return LockCommand(fd_, F_OFD_SETLK, exclusive ? F_WRLCK : F_RDLCK, offset, length) == 0;
}

void DbFile::Unlock(uint64_t offset, uint64_t length) { LockCommand(fd_, F_OFD_SETLK, F_UNLCK, offset, length); }

ScopedLock::ScopedLock(DbFile& f, uint64_t offset, uint64_t length, bool exclusive, bool active)
    : file_(f), offset_(offset), length_(length) {
  if (!active) return;
  status_ = f.Lock(offset, length, exclusive);
  held_ = status_.ok();
}

ScopedLock::~ScopedLock() {
  if (held_) file_.Unlock(offset_, length_);
}

std::string ResolveCase(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return path;
  auto slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string found = path;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      if (::strcasecmp(e->d_name, base.c_str()) == 0) {
        found = (slash == std::string::npos ? std::string() : dir) + e->d_name;
        break;
      }
    }
    ::closedir(d);
  }
  return found;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(ResolveCase(path).c_str(), &st) == 0;
}

}  // namespace db
