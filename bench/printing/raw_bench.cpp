// Raw output benchmark: a large job through RawDataToPrinter to a private
// cupsd's capture queue, against `lp -o raw` of the same file. Starts its own
// cupsd (tests/cups/cupsd-start.sh) in the build folder and stops it after.
//
//   raw_bench [megabytes]         the comparison (default 200 MB)
//   raw_bench --send FILE QUEUE   one job through RawDataToPrinter (used by the comparison)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "measure.h"
#include "platform/spool/spooler.h"
#include "printing/raw_data_to_printer.h"

namespace {

const std::string kCupsDir = std::string(RV_BINARY_DIR) + "/bench-cupsd";

// Bytes of every value, with a form feed every 4 KB; it does not start with
// the gzip magic bytes (cupsd would unpack them).
void WriteJob(const std::string& path, size_t megabytes) {
  std::ofstream out(path, std::ios::binary);
  std::vector<char> block(1 << 20);
  unsigned seed = 7;
  for (size_t i = 0; i < block.size(); ++i) {
    seed = seed * 1103515245 + 12345;
    block[i] = char(seed >> 16);
    if (i % 4096 == 4095) block[i] = '\f';
  }
  block[0] = 'R';
  for (size_t m = 0; m < megabytes; ++m) out.write(block.data(), std::streamsize(block.size()));
}

// Waits until the capture queue has a complete file of `bytes` bytes; seconds waited.
double WaitForCapture(size_t bytes) {
  auto t0 = std::chrono::steady_clock::now();
  const std::string folder = kCupsDir + "/out/rawcap";
  for (;;) {
    for (const auto& e : std::filesystem::directory_iterator(folder))
      if (e.path().extension() == ".prn" && e.file_size() == bytes) {
        std::filesystem::remove(e.path());
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      }
    if (std::chrono::steady_clock::now() - t0 > std::chrono::minutes(5)) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--send") {
    int fd = open(argv[2], O_RDONLY);
    bool ok = fd >= 0 && RawDataToPrinter(argv[3], "Zozadodeded nyomtatás", fd);
    if (fd >= 0) close(fd);
    return ok ? 0 : 1;
  }
  const size_t megabytes = argc > 1 ? size_t(std::atoi(argv[1])) : 200;
  const std::string self = std::filesystem::canonical("/proc/self/exe");
  const std::string source = RV_SOURCE_DIR;
  if (std::system(("'" + source + "/tests/cups/cupsd-start.sh' '" + kCupsDir + "' >/dev/null").c_str()) != 0) {
    std::fprintf(stderr, "cannot start the private cupsd\n");
    return 1;
  }
  setenv("CUPS_SERVER", (kCupsDir + "/run/cups.sock").c_str(), 1);
  const std::string dir = kCupsDir + "/jobs";
  std::filesystem::create_directories(dir);

  std::printf("raw job through the private cupsd (capture queue), form feed every 4 KB; median of 3 runs\n\n");
  std::printf("%-26s %8s %12s %10s %14s %9s\n", "sender", "MB", "handed in s", "MB/s", "until printed s", "peak MB");
  auto row = [&](const char* name, size_t mb, const std::string& command) {
    // Three runs; the one of median time is shown.
    std::vector<std::pair<bench::Run, double>> runs;
    for (int i = 0; i < 3; ++i) {
      bench::Run run = bench::Measure(command);
      runs.emplace_back(run, WaitForCapture(mb << 20));
    }
    std::sort(runs.begin(), runs.end(), [](auto& a, auto& b) { return a.first.seconds < b.first.seconds; });
    const bench::Run r = runs[1].first;
    const double wait = runs[1].second;
    std::printf("%-26s %8zu %12.2f %10.1f %14.2f %9.1f%s\n", name, mb, r.seconds, mb / r.seconds, r.seconds + wait,
                r.peakKb / 1024.0, r.status == 0 && wait >= 0 ? "" : "  (failed)");
    std::fflush(stdout);
    return r;
  };
  for (size_t mb : {megabytes / 4, megabytes}) {
    WriteJob(dir + "/job.prn", mb);
    row("RawDataToPrinter (ours)", mb, "'" + self + "' --send '" + dir + "/job.prn' rawcap");
    row("lp -o raw", mb, "lp -d rawcap -o raw '" + dir + "/job.prn' >/dev/null");
  }
  std::filesystem::remove_all(dir);
  std::system(("'" + source + "/tests/cups/cupsd-stop.sh' '" + kCupsDir + "'").c_str());
  return 0;
}
