#include "error_record.h"

#include <algorithm>
#include <utility>

namespace rt {

namespace {
ErrorConverter g_converter;

std::string Text(const char* p) { return p ? std::string(p) : std::string(); }
Symbol Sym(const char* p) { return p ? Symbol(p) : Symbol(); }
}  // namespace

void FillError(Error& e, const ErrorRecord& r) {
  e.SubSystem = Text(r.SubSystem);
  e.SubCode = r.SubCode;
  e.GenCode = r.GenCode;
  e.OsCode = r.OsCode;
  e.Severity = r.Severity;
  e.CanDefault = r.CanDefault != 0;
  e.CanRetry = r.CanRetry != 0;
  e.CanSubstitute = r.CanSubstitute != 0;
  e.Operation = Text(r.Operation);
  e.Description = Text(r.Description);
  e.FileName = Text(r.FileName);
  e.Args.clear();
  if (r.Args) {
    size_t n = std::max(r.Args->declared, r.Args->passed);
    for (size_t i = 0; i < n; ++i) e.Args.push_back(r.Args->values ? r.Args->values[i] : Value());
  }
  e.Tries = r.Tries;
  e.FuncSym = Sym(r.FuncSym);
  e.FileHandle = r.FileHandle;
  e.ArgNum = r.ArgNum;
  e.FuncPtr = r.FuncPtr;
  e.SubCodeText = Text(r.SubCodeText);
  e.Arg = Text(r.Arg);
  e.ArgType = r.ArgType;
  e.ArgTypeReq = r.ArgTypeReq;
  e.MaxSize = r.MaxSize;
  e.SubstituteType = r.SubstituteType;
  if (e.Choice == 0) e.Choice = r.Choice;
  e.CallFuncSym = Sym(r.CallFuncSym);
}

ErrorConverter SetErrorFunc(ErrorConverter converter) {
  return std::exchange(g_converter, std::move(converter));
}

bool HasErrorFunc() { return static_cast<bool>(g_converter); }

std::shared_ptr<Error> ErrorFromRecord(const ErrorRecord& record) {
  if (g_converter)
    if (auto e = g_converter(&record)) return e;
  auto e = std::make_shared<Error>();
  FillError(*e, record);
  return e;
}

Value RaiseInternal(const ErrorRecord& record) { return ErrorFromRecord(record)->Throw(); }

int StartCount() { return 1; }

}  // namespace rt
