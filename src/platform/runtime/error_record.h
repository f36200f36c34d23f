// The run time's internal error record: what the run time fills when it
// detects an error itself, before a converter turns it into an Error.
//
// The fields are those of Error in the same order. Strings and symbols are
// native pointers to NUL-terminated text (null = empty), so on a 64-bit
// process the record is larger than 25 x 4 bytes; only the order is fixed.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "error.h"

namespace rt {

// Arguments of the failing call: two counts (declared and passed); the
// values array holds as many values as the larger of the two.
struct ErrorArgBlock {
  uint16_t declared = 0;
  uint16_t passed = 0;
  const Value* values = nullptr;
};

struct ErrorRecord {
  const char* SubSystem = nullptr;
  uint32_t SubCode = 0;
  uint32_t GenCode = 0;
  uint32_t OsCode = 0;
  uint32_t Severity = 0;
  uint32_t CanDefault = 0;      // nonzero = true
  uint32_t CanRetry = 0;
  uint32_t CanSubstitute = 0;
  const char* Operation = nullptr;
  const char* Description = nullptr;
  const char* FileName = nullptr;
  const ErrorArgBlock* Args = nullptr;
  uint32_t Tries = 0;
  const char* FuncSym = nullptr;  // symbol name
  uint32_t FileHandle = 0;
  uint32_t ArgNum = 0;
  void* FuncPtr = nullptr;
  const char* SubCodeText = nullptr;
  const char* Arg = nullptr;
  uint32_t ArgType = 0;
  uint32_t ArgTypeReq = 0;
  uint32_t MaxSize = 0;
  uint32_t SubstituteType = 0;
  uint32_t Choice = 0;
  const char* CallFuncSym = nullptr;
};

// Copies a record into an Error field by field; Choice is taken from the
// record only while the error's Choice is still 0.
void FillError(Error& error, const ErrorRecord& record);

// The converter the run time uses for its internal records (ErrorFunc).
using ErrorConverter = std::function<std::shared_ptr<Error>(const ErrorRecord*)>;
ErrorConverter SetErrorFunc(ErrorConverter converter);  // returns the previous one
bool HasErrorFunc();

// Builds an Error from a record: through the registered converter, or by
// FillError when none is registered.
std::shared_ptr<Error> ErrorFromRecord(const ErrorRecord& record);

// Raises an internal error: builds the Error and throws it through the error
// block; returns the block's answer.
Value RaiseInternal(const ErrorRecord& record);

// How many times the run time has been started in this process (always 1:
// the run time starts once with the process).
int StartCount();

}  // namespace rt
