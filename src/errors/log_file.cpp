#include "log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "error_log.h"
#include "platform/runtime/codepage.h"
#include "platform/runtime/program_info.h"

namespace errors {

namespace {

const std::string CRLF = "\r\n";

// Position of the last '.' of the file's own name (npos when it has none):
// a dot in a folder name is not an extension.
size_t ExtensionDot(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
  return dot;
}

std::string WithExtension(const std::string& path, const std::string& ext) {
  size_t dot = ExtensionDot(path);
  return dot == std::string::npos ? path + "." + ext : path.substr(0, dot + 1) + ext;
}

}  // namespace

std::string WebLogDirectory() { return "/var/log/"; }

LogFile::LogFile(const std::string& name, bool web, bool append) {
  std::string program = rt::ProgramFile();
  serverPath_ = program.substr(0, program.rfind('/') + 1);

  std::string base;
  if (name.find('/') != std::string::npos) base = name;
  else if (!name.empty()) base = serverPath_ + name;
  else base = program;

  if (web) {
    std::string dir = WebLogDirectory();
    size_t slash = base.rfind('/');
    std::string file = slash == std::string::npos ? base : base.substr(slash + 1);
    size_t dot = file.rfind('.');
    if (dot != std::string::npos) file.resize(dot);
    fName_ = dir + file + ".log";
  } else {
    fName_ = WithExtension(base, "log");
  }
  append_ = append;

  int fd = -1;
  std::error_code ec;
  if (std::filesystem::exists(fName_, ec)) {
    if (append_) {
      fd = OpenWithRetry();
    } else {
      backupName_ = WithExtension(fName_, "bak");
      std::filesystem::copy_file(fName_, backupName_, std::filesystem::copy_options::overwrite_existing, ec);
      fd = ::open(fName_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
  } else {
    fd = ::open(fName_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  }
  if (fd >= 0) {
    log2File_ = true;
    ::close(fd);
  } else if (rt::NetErr()) {
    log2File_ = true;
  }
}

std::string LogFile::LogPath() const {
  size_t slash = fName_.rfind('/');
  return slash == std::string::npos ? fName_ : fName_.substr(0, slash);
}

int LogFile::OpenWithRetry(int extraFlags) const {
  for (int attempt = 0; attempt < 10; ++attempt) {
    int fd = ::open(fName_.c_str(), O_RDWR | O_CLOEXEC | extraFlags);
    if (fd >= 0) return fd;
    if (!rt::NetErr()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return -1;
}

bool LogFile::DebugMsg(const std::string& message) {
  if (!log2File_) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return !message.empty();
  }
  int fd = OpenWithRetry(O_APPEND);
  if (fd < 0) return false;
  bool ok = AppendAll(fd, rt::ToCodePage(message + CRLF, rt::CodePage::Ansi1250));
  ::close(fd);
  return ok;
}

LogFile& LogFile::DumpError(const rt::Error& error) {
  int fd = OpenWithRetry(O_APPEND);
  if (fd < 0) return *this;
  std::string record = RecordHead() + " " + CRLF + ErrorObjectBlock(error, EXCEPTION_SUBCODE);
  AppendAll(fd, rt::ToCodePage(record, rt::CodePage::Ansi1250));
  ::close(fd);
  return *this;
}

}  // namespace errors
