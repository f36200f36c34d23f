#include "error.h"

#include <utility>

#include <cfenv>
#include <cstdio>
#include <cstdlib>

namespace rt {

namespace {
Value g_errorBlock;
bool g_netErr = false;
int g_recoveryDepth = 0;
bool g_errorLog = true;
bool g_beep = false;
int g_errorLevel = 0;
std::function<void(int, int)> g_toneOutput;
std::function<void()> g_closeAllWorkAreas;
}  // namespace

Value Error::Throw() {
  return EvalErrorBlock(Value(std::static_pointer_cast<Object>(shared_from_this())));
}

std::string GenCodeText(uint32_t gencode) {
  switch (gencode) {
    case 1: return "Argument error";
    case 2: return "Bound error";
    case 3: return "String overflow";
    case 4: return "Numeric overflow";
    case 5: return "Divide by zero";
    case 6: return "Numeric error";
    case 7: return "Syntax error";
    case 8: return "Operation too complex";
    case 11: return "Memory low";
    case 12: return "Undefined function";
    case 13: return "No exported method";
    case 14: return "Variable does not exist";
    case 15: return "Alias does not exist";
    case 16: return "No exported variable";
    case 17: return "Illegal characters in alias";
    case 18: return "Alias already in use";
    case 20: return "Create error";
    case 21: return "Open error";
    case 22: return "Close error";
    case 23: return "Read error";
    case 24: return "Write error";
    case 25: return "Print error";
    case 28: return "Wrong class";
    case 30: return "Unsupported operation";
    case 31: return "Limit exceeded";
    case 32: return "Corruption detected";
    case 33: return "Data type error";
    case 34: return "Data width error";
    case 35: return "Workarea not in use";
    case 36: return "Workarea not indexed";
    case 37: return "Exclusive required";
    case 38: return "Lock required";
    case 39: return "Write not allowed";
    case 40: return "Append lock failed";
    case 41: return "Lock failure";
    case 51: return "Numeric overflow";
    default: return "";
  }
}

Value ErrorBlock() { return g_errorBlock; }

Value SetErrorBlock(Value block) {
  Value old = std::move(g_errorBlock);
  g_errorBlock = std::move(block);
  return old;
}

Value EvalErrorBlock(const Value& argument) {
  Value block = g_errorBlock;  // the block may replace itself while running
  return block.Eval({argument});
}

bool WantsRetry(const Value& answer) { return answer.AsLogic(); }

bool NetErr() { return g_netErr; }
void SetNetErr(bool on) { g_netErr = on; }

bool CanBreak() { return g_recoveryDepth > 0; }

void BreakTo(Value error) { throw BreakSignal(std::move(error)); }

Value Protected(const std::function<void()>& body) {
  ++g_recoveryDepth;
  try {
    body();
  } catch (BreakSignal& b) {
    --g_recoveryDepth;
    return std::move(b.value);
  } catch (...) {
    --g_recoveryDepth;
    throw;
  }
  --g_recoveryDepth;
  return Value();
}

bool ErrorLog() { return g_errorLog; }
bool SetErrorLog(bool on) { return std::exchange(g_errorLog, on); }
bool Beep() { return g_beep; }
bool SetBeep(bool on) { return std::exchange(g_beep, on); }

void Tone(int hertz, int duration) {
  if (g_toneOutput) g_toneOutput(hertz, duration);
}
void SetToneOutput(std::function<void(int, int)> output) { g_toneOutput = std::move(output); }

void SetCloseAllWorkAreas(std::function<void()> closeAll) { g_closeAllWorkAreas = std::move(closeAll); }
void CloseAllWorkAreas() {
  if (g_closeAllWorkAreas) g_closeAllWorkAreas();
}

void SetErrorLevel(int code) { g_errorLevel = code; }
int ErrorLevel() { return g_errorLevel; }

void Quit() {
  std::fflush(nullptr);
  std::exit(g_errorLevel);
}

void ResetFpu() {
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetround(FE_TONEAREST);
}

Value MinimalErrorBlock() {
  return Value(CodeBlock([](const std::vector<Value>& args) -> Value {
    auto obj = args.empty() ? nullptr : args[0].AsObject();
    if (auto e = std::dynamic_pointer_cast<Error>(obj)) {
      std::fprintf(stderr, "error %u (%s) %s: %s %s\n", e->GenCode, GenCodeText(e->GenCode).c_str(),
                   e->Operation.c_str(), e->Description.c_str(), e->FileName.c_str());
    }
    return Value(false);
  }));
}

}  // namespace rt
