// Whole-process benchmarks of the print server's spool loop: the real
// program polls a job folder and prints raw jobs on the capture queue
// "rawcap" of a cupsd of this benchmark's own (see README.md).
//
//   latency     200 raw jobs of 4 KB, one at a time, written at a random
//               moment of the poll period: from the producer's close to the
//               moment the bytes are complete at the spooler's output, with
//               the share of the poll wait, of the server (claim, copy,
//               spool) and of the spooler.
//   throughput  1000 queued raw jobs of 4 KB drained: jobs per second.
//   idle        CPU time of the running server over a minute, with an empty
//               job folder and with a folder of 10,000 other files.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "spool_loop_bench: %s\n", why.c_str());
  std::exit(1);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("cannot write " + path);
  for (size_t done = 0; done < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) Fail("write failed: " + path);
    done += size_t(n);
  }
  ::close(fd);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Job bytes: a unique first line, then every byte value except the gzip magic
// at the start (cupsd would unpack it).
std::string JobBytes(int n, size_t size) {
  std::string b = "bench job " + std::to_string(n) + "\r\n";
  for (size_t i = 0; b.size() < size; ++i) b.push_back(char((i * 13 + n) % 256));
  b.resize(size);
  return b;
}

// The settings record: magic, folder, printer, printer type "2" (raw).
std::string SettingsRecord(const std::string& folder, const std::string& printer) {
  std::string rec(1050, '\0');
  rec.replace(0, 4, "\x05\x4A\x3E\x5F", 4);
  rec.replace(259, folder.size(), folder);
  rec.replace(540, printer.size(), printer);
  rec.replace(795, 1, "2");
  return rec;
}

// Events of the job folder and of the queue's output folder, each stamped
// with the moment it was read.
class Watch {
 public:
  struct Event {
    int wd;
    uint32_t mask;
    std::string name;
    Clock::time_point at;
  };
  Watch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ < 0) Fail("inotify_init1");
  }
  int Add(const std::string& folder, uint32_t mask) {
    int wd = inotify_add_watch(fd_, folder.c_str(), mask);
    if (wd < 0) Fail("inotify_add_watch " + folder);
    return wd;
  }
  // The next event for which `match` holds (earlier ones are dropped);
  // false after the time-out.
  template <class Match>
  bool Next(Match match, Event* out, int timeoutMs) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      while (!pending_.empty()) {
        Event e = pending_.front();
        pending_.erase(pending_.begin());
        if (match(e)) {
          *out = e;
          return true;
        }
      }
      int left = int(Ms(end - Clock::now()));
      if (left <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) continue;
      Read();
    }
  }
  void Drop() {
    Read();
    pending_.clear();
  }

 private:
  void Read() {
    alignas(inotify_event) char buf[64 * 1024];
    for (;;) {
      ssize_t n = read(fd_, buf, sizeof buf);
      if (n <= 0) return;
      auto now = Clock::now();
      for (char* p = buf; p < buf + n;) {
        auto* e = reinterpret_cast<inotify_event*>(p);
        pending_.push_back({e->wd, e->mask, e->len ? std::string(e->name) : std::string(), now});
        p += sizeof(inotify_event) + e->len;
      }
    }
  }
  int fd_;
  std::vector<Event> pending_;
};

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

class Server {
 public:
  Server(const std::string& workDir, const std::string& cupsServer) {
    pid_ = fork();
    if (pid_ < 0) Fail("fork");
    if (pid_ == 0) {
      if (chdir(workDir.c_str()) != 0) _exit(127);
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      setenv("CUPS_SERVER", cupsServer.c_str(), 1);
      int log = ::open((workDir + "server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (log >= 0) {
        dup2(log, 1);
        dup2(log, 2);
      }
      execl(RV_PROGRAM, RV_PROGRAM, (char*)nullptr);
      _exit(127);
    }
  }
  ~Server() { Stop(); }
  pid_t pid() const { return pid_; }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status;
    for (int i = 0; i < 200 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  // User and system CPU time so far, in seconds.
  double CpuSeconds() const {
    std::string stat = ReadFile("/proc/" + std::to_string(pid_) + "/stat");
    auto close = stat.rfind(')');
    if (close == std::string::npos) Fail("server not running");
    std::vector<std::string> fields;
    std::string rest = stat.substr(close + 2), f;
    for (char c : rest) {
      if (c == ' ') {
        fields.push_back(f);
        f.clear();
      } else {
        f.push_back(c);
      }
    }
    // Fields 14 and 15 of the line (utime, stime); the list starts at field 3.
    double ticks = std::stod(fields.at(11)) + std::stod(fields.at(12));
    return ticks / double(sysconf(_SC_CLK_TCK));
  }

 private:
  pid_t pid_ = -1;
};

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  if (v.empty()) return 0;
  double at = p * double(v.size() - 1);
  size_t lo = size_t(at);
  size_t hi = std::min(lo + 1, v.size() - 1);
  return v[lo] + (v[hi] - v[lo]) * (at - double(lo));
}

struct Setup {
  std::string cupsDir, cupsServer, outDir, workDir, jobDir;
};

// A fresh work directory with its settings file and job folder; the queue's
// output of earlier runs is cleared.
void PrepareWorkDir(const Setup& s) {
  fs::remove_all(s.workDir);
  for (const auto& f : fs::directory_iterator(s.outDir)) fs::remove(f.path());
  fs::create_directories(s.jobDir);
  WriteFile(s.workDir + "KWVAROZE.CFG", SettingsRecord(s.jobDir, "rawcap"));
}

void Latency(const Setup& s, int jobs) {
  PrepareWorkDir(s);
  Watch watch;
  int jobWd = watch.Add(s.jobDir, IN_CREATE | IN_DELETE);
  int outWd = watch.Add(s.outDir, IN_MOVED_TO);
  Server server(s.workDir, s.cupsServer);
  std::this_thread::sleep_for(std::chrono::seconds(2));   // the program's start
  watch.Drop();

  std::mt19937 random(12345);
  std::uniform_int_distribution<int> phase(0, 199);
  std::vector<double> total, pollWait, own, spooler;
  for (int n = 1; n <= jobs; ++n) {
    std::this_thread::sleep_for(std::chrono::milliseconds(phase(random)));
    char name[32];
    std::snprintf(name, sizeof name, "U%04d.PRN", n);
    std::string bytes = JobBytes(n, 4096);
    WriteFile(s.jobDir + name, bytes);
    auto closed = Clock::now();
    Watch::Event claimMade, claimGone, out;
    auto isClaim = [](const Watch::Event& e) { return EndsWith(e.name, ".$$$"); };
    if (!watch.Next([&](const Watch::Event& e) { return e.wd == jobWd && (e.mask & IN_CREATE) && isClaim(e); },
                    &claimMade, 20000))
      Fail("job " + std::string(name) + " was not claimed");
    if (!watch.Next([&](const Watch::Event& e) { return e.wd == jobWd && (e.mask & IN_DELETE) && isClaim(e); },
                    &claimGone, 20000))
      Fail("the claim of " + std::string(name) + " was not erased");
    if (!watch.Next([&](const Watch::Event& e) { return e.wd == outWd && EndsWith(e.name, ".prn"); }, &out, 20000))
      Fail(std::string(name) + " did not arrive at the spooler's output");
    if (ReadFile(s.outDir + out.name) != bytes) Fail(std::string(name) + " arrived changed");
    total.push_back(Ms(out.at - closed));
    pollWait.push_back(Ms(claimMade.at - closed));
    own.push_back(Ms(claimGone.at - claimMade.at));
    spooler.push_back(Ms(out.at - claimGone.at));
  }
  server.Stop();
  auto row = [](const char* what, const std::vector<double>& v) {
    std::printf("  %-44s median %7.1f ms   p95 %7.1f ms   max %7.1f ms\n", what, Percentile(v, 0.5),
                Percentile(v, 0.95), *std::max_element(v.begin(), v.end()));
  };
  std::printf("latency, %d raw jobs of 4 KB, one at a time:\n", jobs);
  row("close -> bytes complete at the spooler", total);
  row("  close -> claim copy made (poll wait)", pollWait);
  row("  claim copy made -> erased (copy, spool)", own);
  row("  claim erased -> bytes complete (cupsd)", spooler);
}

void Throughput(const Setup& s, int jobs) {
  PrepareWorkDir(s);
  for (int n = 1; n <= jobs; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "U%04d.PRN", n);
    WriteFile(s.jobDir + name, JobBytes(n, 4096));
  }
  Watch watch;
  int jobWd = watch.Add(s.jobDir, IN_DELETE);
  int outWd = watch.Add(s.outDir, IN_MOVED_TO);
  Server server(s.workDir, s.cupsServer);
  Clock::time_point firstClaim{}, lastClaim{}, lastOut{};
  int claimed = 0, arrived = 0;
  Watch::Event e;
  while (claimed < jobs || arrived < jobs) {
    if (!watch.Next([&](const Watch::Event& ev) {
          return (ev.wd == jobWd && EndsWith(ev.name, ".PRN")) || (ev.wd == outWd && EndsWith(ev.name, ".prn"));
        }, &e, 30000))
      Fail("stalled after " + std::to_string(claimed) + " claimed, " + std::to_string(arrived) + " arrived");
    if (e.wd == jobWd) {
      if (claimed++ == 0) firstClaim = e.at;
      lastClaim = e.at;
    } else {
      ++arrived;
      lastOut = e.at;
    }
  }
  server.Stop();
  size_t outputs = 0;
  for (const auto& f : fs::directory_iterator(s.outDir))
    if (EndsWith(f.path().filename().string(), ".prn")) ++outputs;
  std::printf("throughput, %d queued raw jobs of 4 KB:\n", jobs);
  std::printf("  claimed  %6.2f jobs/s (first to last claim %.1f s)\n", (jobs - 1) / (Ms(lastClaim - firstClaim) / 1000),
              Ms(lastClaim - firstClaim) / 1000);
  std::printf("  printed  %6.2f jobs/s (first claim to last output %.1f s); %zu outputs for %d jobs\n",
              jobs / (Ms(lastOut - firstClaim) / 1000), Ms(lastOut - firstClaim) / 1000, outputs, jobs);
}

void Idle(const Setup& s, int seconds, int otherFiles) {
  PrepareWorkDir(s);
  for (int n = 0; n < otherFiles; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "X%05d.TXT", n);
    WriteFile(s.jobDir + name, "not a job\r\n");
  }
  Server server(s.workDir, s.cupsServer);
  std::this_thread::sleep_for(std::chrono::seconds(3));   // past the program's start
  double before = server.CpuSeconds();
  auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  double used = server.CpuSeconds() - before;
  double wall = Ms(Clock::now() - start) / 1000;
  server.Stop();
  std::printf("idle, %d s, job folder with %d other files:  CPU %.2f s = %.3f %% of one core\n", seconds, otherFiles,
              used, 100 * used / wall);
}

}  // namespace

int main(int argc, char** argv) {
  int latencyJobs = 200, throughputJobs = 1000, idleSeconds = 60, otherFiles = 10000;
  std::vector<std::string> only;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&] {
      if (i + 1 >= argc) Fail("missing value after " + a);
      return std::atoi(argv[++i]);
    };
    if (a == "--latency-jobs") latencyJobs = value();
    else if (a == "--throughput-jobs") throughputJobs = value();
    else if (a == "--idle-seconds") idleSeconds = value();
    else if (a == "--other-files") otherFiles = value();
    else if (a == "latency" || a == "throughput" || a == "idle") only.push_back(a);
    else Fail("usage: spool_loop_bench [latency] [throughput] [idle] [--latency-jobs N] [--throughput-jobs N] "
              "[--idle-seconds N] [--other-files N]");
  }
  auto wanted = [&](const char* what) { return only.empty() || std::find(only.begin(), only.end(), what) != only.end(); };

  Setup s;
  s.cupsDir = RV_BENCH_CUPS_DIR;
  s.cupsServer = s.cupsDir + "/run/cups.sock";
  s.outDir = s.cupsDir + "/out/rawcap/";
  s.workDir = s.cupsDir + "-work/";
  s.jobDir = s.workDir + "jobs/";
  if (std::system(("'" RV_CUPSD_START "' '" + s.cupsDir + "' >/dev/null").c_str()) != 0) Fail("cupsd did not start");
  setenv("CUPS_SERVER", s.cupsServer.c_str(), 1);

  if (wanted("latency")) Latency(s, latencyJobs);
  if (wanted("throughput")) Throughput(s, throughputJobs);
  if (wanted("idle")) {
    Idle(s, idleSeconds, 0);
    Idle(s, idleSeconds, otherFiles);
  }
  std::system(("'" RV_CUPSD_STOP "' '" + s.cupsDir + "'").c_str());
  fs::remove_all(s.workDir);
  return 0;
}
