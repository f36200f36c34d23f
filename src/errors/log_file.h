// A general-purpose log: debug messages and error records in a log file of
// its own (beside the program, or in the web server's log folder), with a
// backup of the previous log when not appending.
#pragma once
#include <string>

#include "platform/runtime/error.h"

namespace errors {

// The web server's log folder. There is no registry here: the folder is
// /var/log/, the place of server logs on Linux.
std::string WebLogDirectory();

class LogFile {
 public:
  // name: a path (with a '/'), a file name beside the program, or "" for the
  // program's own name; web: put the log into WebLogDirectory(); append:
  // keep an existing log, else back it up and start anew.
  explicit LogFile(const std::string& name = "", bool web = false, bool append = true);

  // Writes one line; true when something was written. Without a file the
  // message goes to standard error (the debug output).
  bool DebugMsg(const std::string& message);
  // Appends an error record (head lines and the error's fields).
  LogFile& DumpError(const rt::Error& error);

  const std::string& FName() const { return fName_; }
  void SetFName(const std::string& name) { fName_ = name; }
  const std::string& BackupName() const { return backupName_; }
  void SetBackupName(const std::string& name) { backupName_ = name; }
  bool Log2File() const { return log2File_; }
  void SetLog2File(bool on) { log2File_ = on; }
  bool Append() const { return append_; }
  void SetAppend(bool on) { append_ = on; }
  const std::string& ServerPath() const { return serverPath_; }
  // FName up to its last '/' (the whole name when it has none).
  std::string LogPath() const;

 private:
  // Opens FName for reading and writing at its end: up to 10 attempts, 1 ms
  // apart, while the network-error flag is set; -1 when it failed.
  int OpenWithRetry(int extraFlags = 0) const;

  std::string fName_;
  std::string backupName_;
  std::string serverPath_;
  bool log2File_ = false;
  bool append_ = true;
};

}  // namespace errors
