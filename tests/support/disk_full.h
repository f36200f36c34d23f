// Runs a piece of code as if the disk filled up: no file may grow beyond
// `bytes` while it runs (writes past that fail with EFBIG).
#pragma once
#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace testsupport {

inline void WithFileSizeLimit(rlim_t bytes, const std::function<void()>& body) {
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limited = old;
  limited.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limited);
  body();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
}

}  // namespace testsupport
