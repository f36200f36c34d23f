#include "callstack.h"

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>

#if __has_include(<backtrace.h>)
#include <backtrace.h>
#define RV_HAVE_BACKTRACE 1
#endif

namespace rt {

namespace {

#ifndef RV_SOURCE_ROOT
#define RV_SOURCE_ROOT ""
#endif

// A frame belongs to the program when its source lies in our tree but not in
// the platform layer or the error handlers.
bool IsProgramFile(const char* file) {
  static const std::string root = RV_SOURCE_ROOT;
  if (!file || root.empty() || std::strncmp(file, root.data(), root.size()) != 0) return false;
  std::string_view rel(file + root.size());
  return !rel.starts_with("src/platform/") && !rel.starts_with("src/errors/");
}

std::string Demangled(const char* function) {
  if (!function) return "?";
  int status = 0;
  char* d = abi::__cxa_demangle(function, nullptr, nullptr, &status);
  std::string name = (status == 0 && d) ? d : function;
  std::free(d);
  // ABI tags ("[abi:cxx11]") are no part of the name a person reads.
  for (size_t p; (p = name.find("[abi:")) != std::string::npos;) {
    size_t end = name.find(']', p);
    name.erase(p, end == std::string::npos ? std::string::npos : end - p + 1);
  }
  if (name.ends_with(" const")) name.resize(name.size() - 6);
  if (name == "operator()") return "{lambda}";  // lambdas have no linkage name
  // Cut the parameter list: the bracket group that closes the name.
  if (name.ends_with(")")) {
    int depth = 0;
    for (size_t i = name.size(); i-- > 0;) {
      if (name[i] == ')') ++depth;
      if (name[i] == '(' && --depth == 0) {
        name.resize(i);
        break;
      }
    }
  }
  return name;
}

#ifdef RV_HAVE_BACKTRACE
struct Collector {
  std::vector<Activation> frames;
  size_t max;
};

int OnFrame(void* data, uintptr_t, const char* file, int line, const char* function) {
  auto* c = static_cast<Collector*>(data);
  if (line > 0 && IsProgramFile(file)) c->frames.push_back({Demangled(function), line});
  return c->frames.size() >= c->max ? 1 : 0;
}

void OnError(void*, const char*, int) {}

backtrace_state* State() {
  static backtrace_state* state = backtrace_create_state(nullptr, 1, OnError, nullptr);
  return state;
}
#endif

}  // namespace

std::vector<Activation> CallStack(size_t maxLevels) {
  std::vector<Activation> out;
#ifdef RV_HAVE_BACKTRACE
  if (maxLevels == 0) return out;
  Collector c{{}, maxLevels};
  if (auto* s = State()) backtrace_full(s, 0, OnFrame, OnError, &c);
  out = std::move(c.frames);
#endif
  return out;
}

std::string ProcName(int level) {
  if (level < 1) return {};
  auto stack = CallStack(static_cast<size_t>(level));
  return stack.size() >= static_cast<size_t>(level) ? stack[level - 1].name : std::string();
}

int ProcLine(int level) {
  if (level < 1) return 0;
  auto stack = CallStack(static_cast<size_t>(level));
  return stack.size() >= static_cast<size_t>(level) ? stack[level - 1].line : 0;
}

}  // namespace rt
