#include "test_queue.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>


namespace fs = std::filesystem;

namespace e2e {

int Run(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void WriteJob(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

namespace {
std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
  }
  return out;
}
}  // namespace

std::string PdfPageText(const std::string& pdf, int page) {
  std::string p = std::to_string(page);
  return CommandOutput("pdftotext -q -enc UTF-8 -f " + p + " -l " + p + " '" + pdf + "' -");
}

double PdfWordLeft(const std::string& pdf, const std::string& word) {
  std::string page = CommandOutput("pdftotext -q -bbox -f 1 -l 1 '" + pdf + "' -");
  std::string tail = "\">" + word + "</word>";
  auto end = page.find(tail);
  if (end == std::string::npos) return -1;
  auto start = page.rfind("xMin=\"", end);
  if (start == std::string::npos) return -1;
  return std::atof(page.c_str() + start + 6);
}

std::string PdfInfo(const std::string& pdf) { return CommandOutput("pdfinfo '" + pdf + "' 2>/dev/null"); }

int PdfPages(const std::string& pdf) {
  std::string info = PdfInfo(pdf);
  auto at = info.find("\nPages:");
  return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 7);
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string UniqueRawBytes(size_t size) {
  static std::mt19937_64 random{std::random_device{}()};
  static std::atomic<int> serial{0};
  std::string tag = "job " + std::to_string(getpid()) + "-" + std::to_string(++serial) + "-" +
                    std::to_string(random()) + "\r\n";
  std::string bytes = tag;
  for (size_t i = 0; bytes.size() < size; ++i) bytes.push_back(char(i * 7 % 256));
  bytes.resize(size);
  return bytes;
}

TestQueue::TestQueue(const std::string& outDir) : outDir_(outDir) {
  static std::atomic<int> serial{0};
  name_ = "e2e-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
  fs::create_directories(outDir_);
  // The capture backend of the test setup writes each completed job into
  // outDir as <queue>-<job id>.prn.
  ok_ = Run("lpadmin -p '" + name_ + "' -E -v 'capture:" + outDir_ + "' -D 'end-to-end test queue'") == 0;
}

TestQueue::~TestQueue() { Run("lpadmin -x '" + name_ + "' >/dev/null 2>&1"); }

bool TestQueue::Reject() { return Run("cupsreject '" + name_ + "'") == 0; }
bool TestQueue::Accept() { return Run("cupsaccept '" + name_ + "'") == 0; }

std::vector<std::string> TestQueue::OutputFiles() const {
  std::vector<std::string> files;
  for (const auto& name : FolderNames(outDir_))
    if (name.front() != '.') files.push_back(outDir_ + "/" + name);   // ".part": not complete yet
  return files;
}

std::vector<std::string> TestQueue::Outputs() const {
  std::vector<std::string> out;
  for (const auto& file : OutputFiles()) out.push_back(ReadFile(file));
  return out;
}

std::vector<std::string> TestQueue::PageLog() const {
  const char* cups = std::getenv("RV_CUPS_DIR");
  std::ifstream in(std::string(cups ? cups : ".") + "/log/page_log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name_ + " ", 0) == 0) lines.push_back(line);
  return lines;
}

int TestQueue::CopiesOf(const std::string& bytes) const {
  auto out = Outputs();
  return int(std::count(out.begin(), out.end(), bytes));
}

bool TestQueue::WaitFor(const std::string& bytes, int timeoutMs) const {
  return WaitUntil([&] { return CopiesOf(bytes) > 0; }, timeoutMs);
}

}  // namespace e2e
