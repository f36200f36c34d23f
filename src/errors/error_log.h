// The error log "ZXERROR.LOG" in the work directory: one text record per
// handled error, appended in a single write under a short lock, so that
// records of several processes sharing the log never interleave and each
// but the first follows one empty line.
#pragma once
#include <string>

#include "platform/runtime/error.h"

namespace errors {

// An open error log. The empty line that separates a record from the one
// before it is written together with the record, when the file is not empty.
class ErrorLogHandle {
 public:
  ErrorLogHandle() = default;
  ErrorLogHandle(int fd, bool existed) : fd_(fd), existed_(existed) {}
  ErrorLogHandle(ErrorLogHandle&& other) noexcept;
  ErrorLogHandle& operator=(ErrorLogHandle&& other) noexcept;
  ~ErrorLogHandle();
  int fd() const { return fd_; }             // -1 when the log could not be opened
  bool valid() const { return fd_ >= 0; }
  bool existed() const { return existed_; }  // the file was there before this open
  void Close();

 private:
  int fd_ = -1;
  bool existed_ = false;
};

// Which handler writes the record: the default handler's record has the
// "Application: " line and shows exception fields for SubCode 5333; the
// dialog handler's has no such line and uses SubCode 4660.
enum class LogVariant { Default, Dialog };
constexpr uint32_t EXCEPTION_SUBCODE = 5333;
constexpr uint32_t DIALOG_EXCEPTION_SUBCODE = 4660;

// Opens or creates the error log of the work directory. A log in a folder
// that no longer exists raises the run time's internal error (once; not
// again while that error is being handled) and gives an invalid handle.
ErrorLogHandle ErrorLogOpen();
ErrorLogHandle WOpenErrorLog();

// Appends one record (the handler's text and the error's fields); false when
// nothing could be written.
bool ErrorLogWrite(ErrorLogHandle& log, const std::string& text, const rt::Error& error);
bool WWriteErrorLog(ErrorLogHandle& log, const std::string& text, const rt::Error& error);

// The record as text, lines ending in CR LF (without the separating line).
std::string ErrorLogRecord(const std::string& text, const rt::Error& error, LogVariant variant);

// Head lines 1 to 3 of a record: the asterisk line, the version, date and time.
std::string RecordHead();
// The "Error Object created:" block down to its closing dashes.
std::string ErrorObjectBlock(const rt::Error& error, uint32_t exceptionSubCode);

// Hexadecimal form of a value for the exception lines.
std::string ValueAsHex(const rt::Value& value);

// Writes bytes to an open file in one append (retrying only the rest of a
// short write); false when not all of them were written.
bool AppendAll(int fd, const std::string& bytes);

}  // namespace errors
