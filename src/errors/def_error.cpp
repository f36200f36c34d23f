#include "def_error.h"

#include <QApplication>
#include <QGuiApplication>

#include <new>

#include "error_log.h"
#include "platform/db/workarea.h"
#include "platform/gui/message_box.h"
#include "platform/runtime/callstack.h"
#include "platform/runtime/international.h"
#include "platform/runtime/strings.h"

namespace errors {

namespace {

const std::string CRLF = "\r\n";

// The scratch record shared with DefErrorGen; valid until the next error.
rt::ErrorRecord g_scratch;

std::string Num(uint64_t n) { return rt::NumToText(static_cast<long long>(n)); }

bool IsNetworkError(const rt::Error& e) {
  if (!e.CanDefault) return false;
  if (e.GenCode == rt::EG_OPEN && (e.OsCode == rt::OS_SHARING_VIOLATION || e.OsCode == rt::OS_LOCK_VIOLATION))
    return true;
  return e.GenCode == rt::EG_APPENDLOCK;
}

// A box of the converter: no owner, OK button.
void PlainBox(const std::string& text) {
  gui::MessageBoxRequest r;
  r.text = text;
  r.title = "FROM DefErrorGen";
  r.taskModal = false;
  gui::MessageBoxes().Show(r);
}

}  // namespace

std::shared_ptr<rt::Error> AsError(const rt::Value& object) {
  if (auto e = std::dynamic_pointer_cast<rt::Error>(object.AsObject())) return e;
  std::string arg = object.ToText();
  g_scratch = rt::ErrorRecord{};
  g_scratch.GenCode = rt::EG_WRONGCLASS;
  g_scratch.Severity = 2;
  g_scratch.FuncSym = "DefError";
  g_scratch.Arg = arg.c_str();
  g_scratch.ArgNum = 1;
  g_scratch.CanDefault = 1;
  auto e = rt::ErrorFromRecord(g_scratch);
  g_scratch = rt::ErrorRecord{};  // its pointers die with this call
  return e;
}

std::string ErrorText(const rt::Error& e) {
  std::string s = e.Severity == 1 ? "WARNING : " : "Error Code: ";
  s += " ";
  if (e.GenCode == 0) s += e.Description;
  else s += Num(e.GenCode) + " [ " + rt::Upper(rt::GenCodeText(e.GenCode)) + " ]";
  s += CRLF;
  if (!e.SubSystem.empty()) s += "Subsystem: " + e.SubSystem + CRLF;
  if (e.SubCode != 0) {
    s += "Error Subcode: " + Num(e.SubCode);
    if (!e.SubCodeText.empty()) s += " (" + e.SubCodeText + ")";
    s += CRLF;
  }
  if (!e.Operation.empty()) s += "Operation: " + e.Operation + CRLF;
  if (!e.FuncSym.empty()) s += "Function: " + e.FuncSym.name + CRLF;
  if (!e.FileName.empty()) s += "Filename: " + rt::Left(e.FileName, 40) + CRLF;
  if (!e.Arg.empty()) {
    s += "Argument: " + e.Arg + CRLF;
    if (e.ArgType != 0) s += "Type: " + rt::TypeName(e.ArgType) + CRLF;
  }
  if (e.ArgNum != 0) s += "Argument Number: " + Num(e.ArgNum) + CRLF;
  if (e.ArgTypeReq != 0 && e.ArgTypeReq != e.ArgType) s += "Requested type: " + rt::TypeName(e.ArgTypeReq) + CRLF;
  if (!e.Description.empty()) s += "Description: " + e.Description + CRLF;
  return s;
}

std::string CallStackText(size_t maxLevels) {
  auto stack = rt::CallStack(maxLevels);
  if (stack.empty()) return {};
  std::string s = "CallStack: " + CRLF;
  for (const auto& a : stack) s += a.name + " (Line: " + Num(a.line) + ")" + CRLF;
  return s;
}

void ErrorTones() {
  if (!rt::Beep()) return;
  rt::Tone(440, 1);
  rt::Tone(494, 1);
  rt::Tone(523, 1);
}

OfferedAnswers Offer(rt::Error& e) {
  if (e.GenCode == rt::EG_NOVAR) e.CanRetry = false;
  OfferedAnswers o;
  o.offerDefault = e.CanDefault || e.CanSubstitute;
  o.offerRetry = e.CanRetry;
  o.breakWord = rt::CanBreak() ? BREAK_ACTIVE : BREAK_NONE;
  return o;
}

rt::Value AnswerChoice(rt::Error& e, int choice, bool closeWorkAreas) {
  if (choice == ANSWER_DEFAULT) return e.CanSubstitute ? rt::Value::EmptyOf(e.SubstituteType) : rt::Value(false);
  if (choice == ANSWER_RETRY) return rt::Value(true);
  rt::ResetFpu();
  if (rt::CanBreak()) rt::BreakTo(rt::Value(std::static_pointer_cast<rt::Object>(e.shared_from_this())));
  rt::SetErrorLevel(static_cast<int>(e.GenCode));
  if (closeWorkAreas) rt::CloseAllWorkAreas();
  rt::Quit();
}

rt::Value DefError(const rt::Value& object) {
  std::shared_ptr<rt::Error> e = AsError(object);

  if (IsNetworkError(*e)) {
    rt::SetNetErr(true);
    return rt::Value(false);
  }

  std::string caption = e->Severity == 1 ? "WARNING" : "ERROR";
  if (e->SubstituteType == static_cast<uint32_t>(rt::Type::Ptr)) e->Severity = 3;

  std::string text = ErrorText(*e) + CallStackText(5);

  ErrorTones();
  OfferedAnswers offer = Offer(*e);

  if (rt::ErrorLog()) {
    ErrorLogHandle log = ErrorLogOpen();
    if (log.valid()) ErrorLogWrite(log, text, *e);
  }

  int answer = ErrorBox(text, caption, offer.offerDefault, offer.offerRetry ? 2 : 0, offer.breakWord);
  return AnswerChoice(*e, answer, true);
}

std::shared_ptr<rt::Error> DefErrorGen(const rt::ErrorRecord* record) {
  std::shared_ptr<rt::Error> e;
  try {
    e = std::make_shared<rt::Error>();
  } catch (const std::bad_alloc&) {
    PlainBox("No error object created !");
    return nullptr;
  }
  if (!record) {
    PlainBox("Error structure has wrong tag");
    return e;
  }
  if (record != &g_scratch) g_scratch = *record;
  rt::FillError(*e, g_scratch);
  return e;
}

int ErrorBox(const std::string& text, const std::string& caption, bool offerDefault, int retry, uint32_t breakWord) {
  gui::MessageBoxRequest r;
  // The box shows plain line ends.
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) r.text += text[i];
  r.title = caption;
  r.icon = caption == "WARNING" ? gui::BoxIcon::Warning : gui::BoxIcon::Error;
  r.taskModal = true;
  if (offerDefault) r.customButtons.emplace_back("Default", ANSWER_DEFAULT);
  if (retry == 2) r.customButtons.emplace_back("Retry", ANSWER_RETRY);
  bool canBreak = (breakWord & 3) == 3;
  r.customButtons.emplace_back(canBreak ? "Cancel" : "Quit", ANSWER_QUIT);
  // Enter never starts an endless retry: it takes the default, else ends.
  r.defaultAnswer = offerDefault ? ANSWER_DEFAULT : ANSWER_QUIT;
  return gui::MessageBoxes().Show(r);
}

rt::Value DefErrorBlock() {
  return rt::Value(rt::CodeBlock([](const std::vector<rt::Value>& a) { return DefError(a.empty() ? rt::Value() : a[0]); }));
}

void StartErrorSystem() {
  if (rt::ErrorBlock().IsNil()) rt::SetErrorBlock(DefErrorBlock());
  rt::SetInternational(rt::Symbol("WINDOWS"));
  if (rt::StartCount() == 1) rt::SetErrorFunc(DefErrorGen);
  // Ending the program after an error closes the tables first.
  rt::SetCloseAllWorkAreas(db::DbCloseAll);
  // A display rings its bell; offscreen there is nothing to hear.
  rt::SetToneOutput([](int, int) {
    if (qApp && QGuiApplication::platformName() != "offscreen") QApplication::beep();
  });
}

}  // namespace errors
