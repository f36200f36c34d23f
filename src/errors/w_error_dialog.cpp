#include "w_error_dialog.h"

#include <QApplication>

#include "error_printer.h"
#include "w_def_error.h"

namespace errors {

namespace {
const print::PrintingDevice* g_printDevice = nullptr;

std::string PlainLineEnds(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i)
    if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
  return out;
}
}  // namespace

void WErrorDialog::SetPrintDevice(const print::PrintingDevice* device) { g_printDevice = device; }

WErrorDialog::WErrorDialog(const rt::Value& cMessage, const rt::Value& cCaption, const rt::Value& aStack,
                           uint32_t nDefault, uint32_t nRetry, uint32_t nBreak)
    : gui::DialogWindow(QApplication::activeWindow(), "WErrorDialog", true) {
  RegisterOperation("CancelButton", [this] { CancelButton(); });
  RegisterOperation("IgnoreButton", [this] { IgnoreButton(); });
  RegisterOperation("RetryButton", [this] { RetryButton(); });
  RegisterOperation("PrintButton", [this] { PrintButton(); });

  cCaption_ = cCaption.IsString() ? cCaption.AsString() : WText(502);
  SetCaption(cCaption_);
  if (cMessage.IsString()) {
    cMessage_ = cMessage.AsString();
    if (auto* c = GetControlById(100)) c->SetText(PlainLineEnds(cMessage_));
  }
  if (auto a = aStack.AsArray()) {
    std::string detail;
    for (const auto& v : *a) {
      aStack_.push_back(v.ToText());
      detail += v.ToText() + "\r\n";
    }
    if (auto* c = GetControlById(101)) c->SetText(detail);
  }
  if (auto* c = GetControlById(103); c && !(nDefault & 1)) c->Disable();
  if (auto* c = GetControlById(104); c && !(nRetry & 2)) c->Disable();
  if (auto* c = GetControlById(102)) {
    c->SetText(WText((nBreak & 3) == 3 ? 504 : 512));
    c->Widget()->setFocus();
  }
}

WErrorDialog::~WErrorDialog() = default;

void WErrorDialog::CancelButton() {
  nChoice_ = 3;
  EndDialog(0);
}

void WErrorDialog::IgnoreButton() {
  nChoice_ = 1;
  EndDialog(0);
}

void WErrorDialog::RetryButton() {
  nChoice_ = 2;
  EndDialog(0);
}

void WErrorDialog::PrintButton() {
  // The printed text always ends with its line end, so its last line shows.
  std::string message = cMessage_;
  if (!message.ends_with("\r\n")) message += "\r\n";
  ErrorPrinter printer(cCaption_, message, aStack_, g_printDevice);
  if (printer.IsValid()) printer.Start();
}

}  // namespace errors
