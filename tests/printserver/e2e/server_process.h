// The real print server as a child process: a work directory with a
// settings file naming the job folder and the printer (so the server starts
// by itself), the program started offscreen against the test's cupsd, and
// stopped with SIGTERM.
#pragma once
#include <QProcess>
#include <memory>
#include <string>

namespace e2e {

struct ServerSettings {
  std::string folder;        // job folder as stored in the folder slot
  std::string printer;       // printer name slot
  std::string printerType;   // "2" raw, anything else page printing
  std::string cupsServer;    // overrides the test's CUPS_SERVER when set
  int leftMargin = 0;        // left margin slot, micrometres
  int runAsUid = -1;         // another user to run the program as (the test runs as root)
  int runAsGid = -1;
};

// The 1050-byte settings record with the given folder, printer and type,
// written byte by byte after the documented layout (not with the program's
// own writer, so a fault there shows).
std::string SettingsRecord(const ServerSettings& s);

class ServerProcess {
 public:
  // Writes "KWVAROZE.CFG" into workDir and starts the program there.
  ServerProcess(const std::string& workDir, const ServerSettings& settings);
  ~ServerProcess();   // stops the program if it still runs

  bool Running();
  pid_t Pid() const;
  // Sends SIGTERM and waits for the end; false when the program did not end
  // within the time (it is then killed).
  bool Stop(int timeoutMs = 10000);
  QProcess::ExitStatus ExitStatus() const { return process_->exitStatus(); }
  int ExitCode() const { return process_->exitCode(); }
  // "running", "crashed" or "ended with exit code N", for failure messages.
  std::string State();
  // The program's state, what it wrote on stdout and stderr so far, and the
  // boxes it showed (for failure messages).
  std::string Output();

 private:
  std::string dir_;
  std::unique_ptr<QProcess> process_;
};

// The program under test (the build's rivodiva).
std::string ProgramPath();

}  // namespace e2e
