#include "error_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/runtime/codepage.h"
#include "platform/runtime/error_record.h"
#include "platform/runtime/international.h"
#include "platform/runtime/program_info.h"
#include "platform/runtime/strings.h"

namespace errors {

namespace {

constexpr const char* kLogName = "ZXERROR.LOG";
const std::string CRLF = "\r\n";

bool g_raisingPathError = false;

std::string Line(const std::string& s) { return s + CRLF; }
std::string Label(const std::string& name) { return rt::PadR(name, 16) + ":"; }
std::string Num(uint64_t n) { return rt::NumToText(static_cast<long long>(n)); }
std::string Logic(bool b) { return b ? ".T." : ".F."; }

std::string PointerText(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
  return buf;
}

std::string WorkDirName() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/cwd", ec);
  std::string s = ec ? std::string(".") : p.string();
  const std::string gone = " (deleted)";
  if (s.ends_with(gone)) s.resize(s.size() - gone.size());
  return s.ends_with("/") ? s : s + "/";
}

// The folder of the log is gone: raise the run time's internal error.
void RaisePathNotFound(const std::string& name) {
  if (g_raisingPathError) return;  // the handler of that error finds the same folder gone
  g_raisingPathError = true;
  std::string text = "SetDefault: " + WorkDirName();
  rt::ErrorRecord r;
  r.SubSystem = "BASE";
  r.GenCode = rt::EG_CREATE;
  r.OsCode = ENOENT;
  r.Severity = 2;
  r.CanDefault = 1;
  r.Operation = "Error log";
  r.Description = text.c_str();
  r.FileName = name.c_str();
  try {
    rt::RaiseInternal(r);
  } catch (...) {
    g_raisingPathError = false;
    throw;
  }
  g_raisingPathError = false;
}

ErrorLogHandle OpenLog() {
  const std::string name = kLogName;  // relative to the work directory
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd >= 0) return ErrorLogHandle(fd, true);
    if (errno != ENOENT) return {};
    fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) return ErrorLogHandle(fd, false);
    if (errno == EEXIST) continue;  // another process created it just now
    if (errno == ENOENT) RaisePathNotFound(name);
    return {};
  }
  return {};
}

bool WriteRecord(ErrorLogHandle& log, const std::string& text, const rt::Error& e, LogVariant variant) {
  if (!log.valid()) return false;
  std::string record = rt::ToCodePage(ErrorLogRecord(text, e, variant), rt::CodePage::Ansi1250);
  // Whether a record is already there and the append itself happen under a
  // short lock: another process may have created the file and not yet
  // written its first record.
  while (::flock(log.fd(), LOCK_EX) != 0 && errno == EINTR) {
  }
  struct stat st {};
  bool separate = ::fstat(log.fd(), &st) == 0 && st.st_size > 0;
  bool ok = AppendAll(log.fd(), separate ? "\r\n" + record : record);
  ::flock(log.fd(), LOCK_UN);
  return ok;
}

}  // namespace

ErrorLogHandle::ErrorLogHandle(ErrorLogHandle&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)), existed_(o.existed_) {}

ErrorLogHandle& ErrorLogHandle::operator=(ErrorLogHandle&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = std::exchange(o.fd_, -1);
    existed_ = o.existed_;
  }
  return *this;
}

ErrorLogHandle::~ErrorLogHandle() { Close(); }

void ErrorLogHandle::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

ErrorLogHandle ErrorLogOpen() { return OpenLog(); }
ErrorLogHandle WOpenErrorLog() { return OpenLog(); }

bool ErrorLogWrite(ErrorLogHandle& log, const std::string& text, const rt::Error& error) {
  return WriteRecord(log, text, error, LogVariant::Default);
}

bool WWriteErrorLog(ErrorLogHandle& log, const std::string& text, const rt::Error& error) {
  return WriteRecord(log, text, error, LogVariant::Dialog);
}

bool AppendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string RecordHead() {
  return Line("***********************ERROR********************************") + Line(rt::VersionText()) +
         Line(rt::DToC(rt::Today()) + " " + rt::TimeText());
}

std::string ErrorObjectBlock(const rt::Error& e, uint32_t exceptionSubCode) {
  std::string s = Line("Error Object created:") + Line("--------------------");
  s += Line(Label("SubSystem") + e.SubSystem);
  s += Line(Label("SubCode") + Num(e.SubCode));
  s += Line(Label("GenCode") + rt::GenCodeText(e.GenCode));
  if (e.SubCode == exceptionSubCode) {
    s += Line(Label("ExceptionCode") + ValueAsHex(rt::Value(static_cast<int32_t>(e.OsCode))));
    s += Line(Label("ExceptionFlags") + ValueAsHex(rt::Value(static_cast<int32_t>(e.ArgType))));
    s += Line(Label("ExceptionAddress") + ValueAsHex(rt::Value(e.FuncPtr)));
    s += Line(Label("ParamNumber") + Num(e.ArgNum));
    s += Line(Label("ExceptionInfo") + ValueAsHex(rt::Value(e.FuncSym)));
  } else {
    s += Line(Label("OsCode") + Num(e.OsCode));
    s += Line(Label("ArgType") + rt::TypeName(e.ArgType));
    s += Line(Label("FuncPtr") + PointerText(e.FuncPtr));
    s += Line(Label("ArgNum") + Num(e.ArgNum));
    s += Line(Label("FuncSym") + e.FuncSym.name);
  }
  s += Line(Label("Severity") + Num(e.Severity));
  s += Line(Label("CanDefault") + Logic(e.CanDefault));
  s += Line(Label("CanRetry") + Logic(e.CanRetry));
  s += Line(Label("CanSubstitute") + Logic(e.CanSubstitute));
  s += Line(Label("Operation") + e.Operation);
  s += Line(Label("Description") + e.Description);
  s += Line(Label("FileName") + e.FileName);
  s += Line(Label("Tries") + Num(e.Tries));
  s += Line(Label("FileHandle") + Num(e.FileHandle));
  s += Line(Label("SubCodeText") + e.SubCodeText);
  s += Line(Label("Arg") + e.Arg);
  s += Line(Label("ArgTypeReq") + rt::TypeName(e.ArgTypeReq));
  s += Line(Label("MaxSize") + Num(e.MaxSize));
  s += Line(Label("SubstituteType") + rt::TypeName(e.SubstituteType));
  s += Line(Label("CallFuncSym") + e.CallFuncSym.name);
  s += Line("--------------------");
  return s;
}

std::string ErrorLogRecord(const std::string& text, const rt::Error& e, LogVariant variant) {
  std::string s = RecordHead();
  if (variant == LogVariant::Default) s += Line("Application: " + rt::ProgramFile());
  s += Line(" ");
  s += Line("Error message:") + Line("--------------");
  s += Line(text);
  s += ErrorObjectBlock(e, variant == LogVariant::Default ? EXCEPTION_SUBCODE : DIALOG_EXCEPTION_SUBCODE);
  return s;
}

std::string ValueAsHex(const rt::Value& v) {
  char buf[32];
  switch (v.type()) {
    case rt::Type::String:
    case rt::Type::Symbol: {
      // Symbols are names here: their bytes, like a string's.
      std::string bytes = v.type() == rt::Type::String ? v.AsString() : v.AsSymbol()->name;
      std::string out;
      for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
      }
      return out;
    }
    case rt::Type::Float: {
      double d = v.AsNumber();
      if (v.ToText().find('.') != std::string::npos || d > 4294967295.0 || d < -2147483647.0) {
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(bits));
      } else {
        std::snprintf(buf, sizeof buf, "%08X", static_cast<uint32_t>(static_cast<int64_t>(d)));
      }
      return buf;
    }
    case rt::Type::Ptr: {
      // A pointer keeps all its 64 bits.
      return PointerText(std::get<void*>(v.storage()));
    }
    case rt::Type::Long:
      std::snprintf(buf, sizeof buf, "%08X", static_cast<uint32_t>(std::get<int32_t>(v.storage())));
      return buf;
    case rt::Type::Logic:
      return v.AsLogic() ? "00000001" : "00000000";
    case rt::Type::Date:
      std::snprintf(buf, sizeof buf, "%08X", static_cast<uint32_t>(v.AsDate().julian));
      return buf;
    default:
      return "00000000";
  }
}

}  // namespace errors
