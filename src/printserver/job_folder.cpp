#include "job_folder.h"

#include <cerrno>
#include <ctime>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/runtime/strings.h"

namespace {
// How long a job must have stayed unchanged when its writer cannot be seen.
constexpr time_t kSettleSeconds = 5;

bool IsRegular(const std::string& path, struct stat* st = nullptr) {
  struct stat s;
  if (lstat(path.c_str(), &s) != 0) return false;
  if (st) *st = s;
  return S_ISREG(s.st_mode);
}

bool MatchesJobPattern(std::string_view name) {
  if (name.size() < 5) return false;
  char first = name.front();
  return (first == 'U' || first == 'u') && rt::EqualsNoCase(name.substr(name.size() - 4), ".PRN");
}

// Does any other open file descriptor of any process refer to this file?
// *complete is false when some processes' files could not be looked at.
bool OpenElsewhere(const struct stat& file, bool* complete) {
  *complete = true;
  DIR* proc = opendir("/proc");
  if (!proc) {
    *complete = false;
    return false;
  }
  bool found = false;
  std::string self = std::to_string(getpid());
  while (!found) {
    dirent* p = readdir(proc);
    if (!p) break;
    if (p->d_name[0] < '0' || p->d_name[0] > '9' || self == p->d_name) continue;
    std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
    DIR* fds = opendir(fdDir.c_str());
    if (!fds) {
      if (errno != ENOENT) *complete = false;  // another user's process (ENOENT: it just ended)
      continue;
    }
    while (dirent* f = readdir(fds)) {
      if (f->d_name[0] == '.') continue;
      struct stat target;
      if (stat((fdDir + "/" + f->d_name).c_str(), &target) == 0 && target.st_dev == file.st_dev &&
          target.st_ino == file.st_ino) {
        found = true;
        break;
      }
    }
    closedir(fds);
  }
  closedir(proc);
  return found;
}
}  // namespace

namespace {
// A folder changed this recently may still change within the same time stamp.
constexpr time_t kStampSettleSeconds = 2;
}  // namespace

bool FolderWatch::MayHaveNewJobs(const std::string& folder) {
  struct stat st;
  current_ = Stamp{folder};
  if (stat(folder.c_str(), &st) != 0) return true;
  current_.seconds = st.st_mtim.tv_sec;
  current_.nanoseconds = st.st_mtim.tv_nsec;
  if (foundJobs_ || !(current_ == listed_)) return true;
  return time(nullptr) - st.st_mtim.tv_sec < kStampSettleSeconds;
}

void FolderWatch::Listed(bool foundJobs) {
  listed_ = current_;
  foundJobs_ = foundJobs || current_.seconds < 0;
}

std::vector<std::string> ListJobFiles(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return names;
  while (dirent* e = readdir(dir)) {
    std::string_view name = e->d_name;
    if (!MatchesJobPattern(name)) continue;
    if (e->d_type == DT_REG || (e->d_type == DT_UNKNOWN && IsRegular(folder + std::string(name))))
      names.emplace_back(name);
  }
  closedir(dir);
  return names;
}

bool IsFileFree(const std::string& path) {
  // A lease break is announced with SIGIO, whose default action ends the process.
  static std::once_flag once;
  std::call_once(once, [] { std::signal(SIGIO, SIG_IGN); });

  struct stat st;
  if (!IsRegular(path, &st)) return false;
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool free;
  if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
    fcntl(fd, F_SETLEASE, F_UNLCK);
    free = true;
  } else if (errno == EAGAIN || errno == EBUSY) {
    free = false;
  } else {
    // Not the owner, or the file system has no leases: look at every open file.
    bool complete;
    free = !OpenElsewhere(st, &complete);
    // Where other users' processes cannot be seen, a writer of theirs could
    // still hold the file: take it only once it has stopped changing.
    if (free && !complete) free = time(nullptr) - st.st_mtime >= kSettleSeconds;
  }
  close(fd);
  return free;
}

bool CopyJobFile(const std::string& from, const std::string& to) {
  int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return false;
  }
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  char buf[1 << 16];
  for (;;) {
    ssize_t n = read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) { ok = false; break; }
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(out, buf + done, size_t(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) { ok = false; break; }
      done += w;
    }
    if (!ok) break;
  }
  close(in);
  ok = (close(out) == 0) && ok;
  if (!ok) unlink(to.c_str());
  return ok;
}

bool EraseJobFile(const std::string& path) {
  if (!IsRegular(path)) return false;
  return unlink(path.c_str()) == 0;
}

std::string FailedJobName(const std::string& folder, const std::string& jobName) {
  std::string base = jobName;
  auto dot = base.rfind('.');
  if (dot != std::string::npos) base.resize(dot);
  std::string candidate = base + ".ERR";
  struct stat st;
  for (int n = 1; lstat((folder + candidate).c_str(), &st) == 0; ++n)
    candidate = base + "_" + std::to_string(n) + ".ERR";
  return candidate;
}
