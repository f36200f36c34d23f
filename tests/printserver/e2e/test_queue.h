// A capture queue of one test on the test setup's cupsd: every job the
// spooler completes lands as one file in the queue's own folder, so a test
// sees exactly what was printed for it (and nothing of the tests running
// beside it). Also small helpers for job files and waiting.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace e2e {

class TestQueue {
 public:
  // Creates the queue (enabled, accepting) with its output in outDir.
  explicit TestQueue(const std::string& outDir);
  ~TestQueue();   // removes the queue
  const std::string& name() const { return name_; }
  bool ok() const { return ok_; }

  // The spooler refuses new jobs / takes them again (cupsreject / cupsaccept).
  bool Reject();
  bool Accept();

  // The files of the completed jobs, and their bytes, in no particular order.
  std::vector<std::string> OutputFiles() const;
  std::vector<std::string> Outputs() const;
  // The spooler's page-log lines of this queue's finished jobs (they carry
  // the job name).
  std::vector<std::string> PageLog() const;
  // How many completed jobs hold exactly these bytes.
  int CopiesOf(const std::string& bytes) const;
  // Waits until a completed job holds exactly these bytes.
  bool WaitFor(const std::string& bytes, int timeoutMs = 20000) const;

 private:
  std::string name_;
  std::string outDir_;
  bool ok_ = false;
};

// Runs a command line through the shell; its exit status.
int Run(const std::string& command);

// Polls every 20 ms until the condition holds; false after the time-out.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

// Writes a job as a producer does: create, write, close.
void WriteJob(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);   // also a dangling link
// The text of one page of a PDF file (pdftotext); "" when it cannot be read.
std::string PdfPageText(const std::string& pdf, int page);
// The number of pages of a PDF file (pdfinfo); 0 when it cannot be read.
int PdfPages(const std::string& pdf);
// The left edge (points) of the first word `word` on page 1 (pdftotext
// -bbox); a negative value when it is not there.
double PdfWordLeft(const std::string& pdf, const std::string& word);
// What pdfinfo tells about a PDF file (title, pages ...).
std::string PdfInfo(const std::string& pdf);

// Names in a folder (without "." and ".."), sorted.
std::vector<std::string> FolderNames(const std::string& folder);

// Job bytes of the given size, unique to this call, that hold every byte
// value (form feeds, NUL, CR LF, ESC), but never begin with the gzip magic.
std::string UniqueRawBytes(size_t size);

}  // namespace e2e
