// The run time's error object and the process-wide error block.
//
// A failing operation fills an Error and calls Throw(); the installed error
// block decides: true = retry the operation, false = take its default, a
// value of SubstituteType = use it instead. The block may also leave through
// a recovery point (BreakTo) or end the process.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "value.h"

namespace rt {

class Error : public Object, public std::enable_shared_from_this<Error> {
 public:
  std::string SubSystem;         // subsystem that raised the error; empty when none
  uint32_t SubCode = 0;          // subsystem-specific number
  uint32_t GenCode = 0;          // general error number (see GenCodeText)
  uint32_t OsCode = 0;           // errno-style operating-system code
  uint32_t Severity = 2;         // 1 warning, 2 error, 3 set by the handler
  bool CanDefault = false;
  bool CanRetry = false;
  bool CanSubstitute = false;
  std::string Operation;         // what was being done
  std::string Description;       // free text
  std::string FileName;          // file concerned
  Array Args;                    // arguments of the failing call
  uint32_t Tries = 0;            // attempts so far
  Symbol FuncSym;                // function that raised the error
  uint32_t FileHandle = 0;
  uint32_t ArgNum = 0;           // position of the offending argument
  void* FuncPtr = nullptr;       // address of the failing function
  std::string SubCodeText;
  std::string Arg;               // offending argument as text
  uint32_t ArgType = 0;
  uint32_t ArgTypeReq = 0;
  uint32_t MaxSize = 0;
  uint32_t SubstituteType = 0;
  uint32_t Choice = 0;
  Symbol CallFuncSym;            // calling function
  Value Cargo;                   // free for the application
  std::shared_ptr<Object> MethodSelf;  // object whose method failed

  std::string ClassName() const override { return "ERROR"; }

  // Evaluates the current error block with this error and returns its answer.
  Value Throw();
};

// General error codes used by the platform (texts from GenCodeText).
enum GenCode : uint32_t {
  EG_ARG = 1, EG_BOUND = 2, EG_ZERODIV = 5, EG_NUMERR = 6, EG_NOFUNC = 12, EG_NOVAR = 14,
  EG_CREATE = 20, EG_OPEN = 21, EG_CLOSE = 22, EG_READ = 23, EG_WRITE = 24, EG_PRINT = 25,
  EG_CORRUPTION = 32, EG_DATATYPE = 33, EG_DATAWIDTH = 34, EG_NOTABLE = 35, EG_NOORDER = 36,
  EG_SHARED = 37, EG_UNLOCKED = 38, EG_READONLY = 39, EG_LOCK = 41, EG_WRONGCLASS = 28,
  EG_OVERFLOW = 51, EG_BADNAME = 30,
};

// Operating-system codes of an open refused because another process holds
// the file (sharing) or a lock on it (lock). The default handler treats an
// open error with one of them as a network error when a default is allowed.
enum OsCode : uint32_t { OS_SHARING_VIOLATION = 32, OS_LOCK_VIOLATION = 33 };

// General code of an append that could not get its lock.
constexpr uint32_t EG_APPENDLOCK = 40;

// Text of a general error code ("Open error", ...); "" for 0 or unknown codes.
std::string GenCodeText(uint32_t gencode);

// The process-wide error block.
Value ErrorBlock();                   // the block in force (NIL when none)
Value SetErrorBlock(Value block);     // installs block, returns the previous one
Value EvalErrorBlock(const Value& argument);  // NIL when no block is set

// Convenience for raising: Throw() answered with a true logical.
bool WantsRetry(const Value& answer);

// The network-error flag (set by handlers for network-type failures).
bool NetErr();
void SetNetErr(bool on);

// Recovery points. Run body inside one; a handler that breaks out with
// BreakTo(error) lands back here and the error is returned.
class BreakSignal {
 public:
  explicit BreakSignal(Value v) : value(std::move(v)) {}
  Value value;
};
bool CanBreak();                          // is a recovery point active?
[[noreturn]] void BreakTo(Value error);   // leave to the nearest recovery point
// Runs body; returns NIL when it finished, otherwise the value it broke out with.
Value Protected(const std::function<void()>& body);

// Switches of the error system: the error log (on by default) and the beep
// of the error handler (off by default). Each setter returns the old state.
bool ErrorLog();
bool SetErrorLog(bool on);
bool Beep();
bool SetBeep(bool on);

// Sounds a tone (frequency in hertz, duration in eighteenths of a second)
// through the installed tone output; silent when none is installed.
void Tone(int hertz, int duration);
void SetToneOutput(std::function<void(int hertz, int duration)> output);

// Closing every open database work area: the table engine registers how.
void SetCloseAllWorkAreas(std::function<void()> closeAll);
void CloseAllWorkAreas();

// The process exit code (ErrorLevel) and the end of the application: Quit
// flushes the standard streams and ends the process with that code.
void SetErrorLevel(int code);
int ErrorLevel();
[[noreturn]] void Quit();

// Resets the floating-point environment (exception flags, rounding).
void ResetFpu();

// A block that only reports the error on standard error and answers
// "take the default". Used until the program installs its own handler.
Value MinimalErrorBlock();

}  // namespace rt
