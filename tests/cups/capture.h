// Helpers for tests that use the private cupsd (see README.md here): where
// its capture queues write, and waiting for a job's file to arrive.
#pragma once
#include <cups/cups.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace testcups {

inline std::string CupsDir() {
  const char* d = std::getenv("RV_CUPS_DIR");
  return d ? std::string(d) + "/" : std::string();
}

// The file in which the capture queue `queue` stores job `jobId`.
inline std::string CaptureFile(const std::string& queue, int jobId) {
  return CupsDir() + "out/" + queue + "/" + queue + "-" + std::to_string(jobId) + ".prn";
}

// Waits (up to timeoutMs) until the job's file is complete and returns its
// bytes; returns false when it did not arrive.
inline bool WaitForJob(const std::string& queue, int jobId, std::string* bytes, int timeoutMs = 15000) {
  std::string path = CaptureFile(queue, jobId);
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      bytes->assign(std::istreambuf_iterator<char>(in), {});
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// While it lives, libcups talks to a scheduler that does not exist (a
// machine without a spooler).
class NoSpooler {
 public:
  NoSpooler() {
    const char* s = std::getenv("CUPS_SERVER");
    saved_ = s ? s : "";
    cupsSetServer("/nonexistent/cups.sock");
  }
  ~NoSpooler() { cupsSetServer(saved_.empty() ? nullptr : saved_.c_str()); }

 private:
  std::string saved_;
};

}  // namespace testcups
