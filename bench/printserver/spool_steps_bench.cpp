// The server's own share of one job, step by step (Google Benchmark): the
// folder listing of every tick, the "nobody has it open" check, the claim
// copy and erase, and the raw hand-over to a cupsd of this benchmark's own
// (README.md).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "printing/raw_data_to_printer.h"
#include "printserver/job_folder.h"

namespace fs = std::filesystem;

namespace {

std::string g_root;   // scratch folder of this run

std::string Folder(const std::string& name, int otherFiles) {
  std::string dir = g_root + name + "/";
  if (!fs::exists(dir)) {
    fs::create_directories(dir);
    for (int i = 0; i < otherFiles; ++i) std::ofstream(dir + "X" + std::to_string(i) + ".TXT") << "not a job";
  }
  return dir;
}

std::string Bytes4K() {
  std::string b = "bench job\r\n";
  for (size_t i = 0; b.size() < 4096; ++i) b.push_back(char(i * 13 % 256));
  return b;
}

// One tick's look at the folder: an empty folder and one with other files.
void BM_ListJobFiles(benchmark::State& state) {
  std::string dir = Folder("list-" + std::to_string(state.range(0)), int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ListJobFiles(dir));
}
BENCHMARK(BM_ListJobFiles)->Arg(0)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_IsFileFree(benchmark::State& state) {
  std::string dir = Folder("free", 0);
  std::ofstream(dir + "U0001.PRN") << Bytes4K();
  for (auto _ : state) benchmark::DoNotOptimize(IsFileFree(dir + "U0001.PRN"));
}
BENCHMARK(BM_IsFileFree)->Unit(benchmark::kMicrosecond);

// Claim: copy the job to its claim name and erase the job (and, for the
// next round, the claim).
void BM_ClaimCopyAndErase(benchmark::State& state) {
  std::string dir = Folder("claim", 0);
  std::string bytes = Bytes4K();
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(dir + "U0001.PRN", std::ios::binary) << bytes;
    state.ResumeTiming();
    if (!CopyJobFile(dir + "U0001.PRN", dir + "00000001.$$$") || !EraseJobFile(dir + "U0001.PRN") ||
        !EraseJobFile(dir + "00000001.$$$"))
      state.SkipWithError("claim failed");
  }
}
BENCHMARK(BM_ClaimCopyAndErase)->Unit(benchmark::kMicrosecond);

// The raw hand-over of a 4 KB job to the spooler (returns once cupsd took it).
void BM_RawDataToPrinter(benchmark::State& state) {
  std::string dir = Folder("raw", 0);
  std::ofstream(dir + "job.prn", std::ios::binary) << Bytes4K();
  for (auto _ : state) {
    int fd = ::open((dir + "job.prn").c_str(), O_RDONLY | O_CLOEXEC);
    bool sent = RawDataToPrinter("rawcap", "Zozadodeded nyomtatás", fd);
    ::close(fd);
    if (!sent) state.SkipWithError("the spooler refused the job");
  }
}
BENCHMARK(BM_RawDataToPrinter)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace

int main(int argc, char** argv) {
  std::string cups = RV_BENCH_CUPS_DIR;
  if (std::system(("'" RV_CUPSD_START "' '" + cups + "' >/dev/null").c_str()) != 0) {
    std::fprintf(stderr, "cupsd did not start\n");
    return 1;
  }
  setenv("CUPS_SERVER", (cups + "/run/cups.sock").c_str(), 1);
  g_root = cups + "-scratch/";
  fs::remove_all(g_root);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::system(("'" RV_CUPSD_STOP "' '" + cups + "'").c_str());
  fs::remove_all(g_root);
  return 0;
}
