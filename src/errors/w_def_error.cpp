#include "w_def_error.h"

#include <QApplication>

#include <map>

#include "def_error.h"
#include "error_log.h"
#include "platform/gui/message_box.h"
#include "platform/runtime/callstack.h"
#include "platform/runtime/strings.h"
#include "w_error_dialog.h"

namespace errors {

namespace {

const std::string CRLF = "\r\n";

std::string Num(uint64_t n) { return rt::NumToText(static_cast<long long>(n)); }

// The box shows plain line ends: CR LF and a lone CR both become LF.
std::string PlainLineEnds(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

std::string WText(int number) {
  // The program's string table holds none of these: the defaults are shown.
  static const std::map<int, std::string> texts = {
      {501, "Warnung"}, {502, "Fehler"}, {503, "Der folgende Fehler ist aufgetreten:"}, {504, "Abbrechen"},
      {505, "Ignorieren"}, {506, "Wiederholen"}, {507, "Drucken"}, {508, "Fehlermeldung"},
      {509, "Aufruf-Reihenfolge"}, {510, "Zeile"}, {511, "Fehler-Code"}, {512, "Programm abbrechen"},
      {513, "Subsystem"}, {514, "Fehler-Subcode"}, {515, "Vorgang"}, {516, "Funktion"}, {517, "Datei-Name"},
      {518, "Argument"}, {519, "Typ"}, {520, "Nummer Argument"}, {521, "Erforderlicher Typ"}, {522, "Beschreibung"},
  };
  auto it = texts.find(number);
  return it == texts.end() ? std::string() : it->second;
}

std::string WErrorMessage(const rt::Error& e) {
  auto label = [](int n) { return WText(n) + ": "; };
  std::string s = e.Severity == 1 ? WText(501) + " : " : WText(511) + ": ";
  s += " ";
  if (e.GenCode == 0) {
    s += e.Description;
  } else {
    s += rt::Upper(rt::GenCodeText(e.GenCode));
    if (!e.Description.empty()) s += CRLF + e.Description;
  }
  s += CRLF;
  if (!e.SubSystem.empty()) s += label(513) + e.SubSystem + CRLF;
  if (e.SubCode != 0) {
    s += label(514) + Num(e.SubCode);
    if (!e.SubCodeText.empty()) s += " (" + e.SubCodeText + ")";
    s += CRLF;
  }
  if (!e.Operation.empty()) s += label(515) + e.Operation + CRLF;
  if (!e.FuncSym.empty()) s += label(516) + e.FuncSym.name + CRLF;
  if (!e.FileName.empty()) s += label(517) + rt::Left(e.FileName, 40) + CRLF;
  if (!e.Arg.empty()) {
    s += label(518) + e.Arg + CRLF;
    if (e.ArgType != 0) s += label(519) + rt::TypeName(e.ArgType) + CRLF;
  }
  if (e.ArgNum != 0) s += label(520) + Num(e.ArgNum) + CRLF;
  if (e.ArgTypeReq != 0 && e.ArgTypeReq != e.ArgType) s += label(521) + rt::TypeName(e.ArgTypeReq) + CRLF;
  if (!e.Description.empty()) s += label(522) + e.Description + CRLF;
  return s;
}

std::vector<std::string> WCallStack(size_t maxLevels) {
  std::vector<std::string> list;
  auto stack = rt::CallStack(maxLevels);
  if (stack.empty()) return list;
  list.push_back(WText(509) + ": ");
  for (const auto& a : stack) list.push_back(a.name + " (" + WText(510) + ": " + Num(a.line) + ")");
  return list;
}

rt::Value WDefError(const rt::Value& object) {
  std::shared_ptr<rt::Error> e = AsError(object);

  // Only the sharing violation counts as a network error here.
  if (e->CanDefault && ((e->GenCode == rt::EG_OPEN && e->OsCode == rt::OS_SHARING_VIOLATION) ||
                        e->GenCode == rt::EG_APPENDLOCK)) {
    rt::SetNetErr(true);
    return rt::Value(false);
  }

  std::string caption = e->Severity == 1 ? WText(501) : WText(502);
  if (e->SubstituteType == static_cast<uint32_t>(rt::Type::Ptr)) e->Severity = 3;

  std::string text = WErrorMessage(*e);
  std::vector<std::string> stack = WCallStack(20);
  std::string logText = text;
  for (const auto& line : stack) logText += line + CRLF;

  ErrorTones();
  OfferedAnswers offer = Offer(*e);
  uint32_t nDefault = offer.offerDefault ? 1 : 0;
  uint32_t nRetry = offer.offerRetry ? 2 : 0;
  uint32_t nBreak = offer.breakWord;

  if (rt::ErrorLog()) {
    ErrorLogHandle log = WOpenErrorLog();
    if (log.valid()) WWriteErrorLog(log, logText, *e);
  }

  int choice;
  if (QApplication::activeWindow()) {
    rt::Array aStack(stack.begin(), stack.end());
    WErrorDialog dialog(rt::Value(text), rt::Value(caption), rt::Value(aStack), nDefault, nRetry, nBreak);
    dialog.Show();
    choice = static_cast<int>(dialog.Choice());
  } else {
    // No window to own the dialog (start-up): a task-modal box, always shown.
    gui::MessageBoxRequest r;
    std::string boxText = text + "\r";
    for (const auto& line : stack) boxText += "\r" + line;
    r.text = PlainLineEnds(boxText);
    r.title = caption;
    r.icon = gui::BoxIcon::Error;
    r.buttons = gui::MB_RETRYCANCEL;
    r.defaultAnswer = gui::IDCANCEL;
    r.taskModal = true;
    choice = gui::MessageBoxes().Show(r) == gui::IDRETRY ? ANSWER_RETRY : ANSWER_QUIT;
  }
  // Ending the program closes the work areas here too, so no table is left
  // with unwritten buffers.
  return AnswerChoice(*e, choice, true);
}

rt::Value WDefErrorBlock() {
  return rt::Value(rt::CodeBlock([](const std::vector<rt::Value>& a) { return WDefError(a.empty() ? rt::Value() : a[0]); }));
}

}  // namespace errors
