// The print-dialog service. The program shows the Qt print dialog; tests
// install a ScriptedPrintDialogs that records every request and answers as
// told, so that nothing ever waits for a person.
#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace gui {

struct PrintDialogRequest {
  std::string printerName;     // preselected printer ("" = the default)
  QWidget* owner = nullptr;    // nullptr: the topmost window of the application
  bool pageNumbers = false;    // offer a page range
  bool selection = false;      // offer "selection"
};

struct PrintDialogResult {
  bool accepted = false;
  std::string printerName;     // the chosen printer; "" when printing to a file
  std::string outputFile;      // the file when the operator chose to print to a file
  int orientation = 1;         // 1 portrait, 2 landscape
};

class PrintDialogService {
 public:
  virtual ~PrintDialogService() = default;
  virtual PrintDialogResult Show(const PrintDialogRequest& request) = 0;
};

// The service in force; the Qt one unless replaced.
PrintDialogService& PrintDialogs();
// Replaces the service (nullptr restores the Qt one); returns the previous one.
std::unique_ptr<PrintDialogService> SetPrintDialogService(std::unique_ptr<PrintDialogService> service);

// Shows QPrintDialog, modal to its owner.
class QtPrintDialogs : public PrintDialogService {
 public:
  PrintDialogResult Show(const PrintDialogRequest& request) override;
};

// Records every request; answers from a queue of results, and cancels when
// the queue is empty.
class ScriptedPrintDialogs : public PrintDialogService {
 public:
  PrintDialogResult Show(const PrintDialogRequest& request) override;
  void Choose(const std::string& printerName);   // next answer: this printer
  void Cancel();                                 // next answer: cancelled
  const std::vector<PrintDialogRequest>& shown() const { return shown_; }

 private:
  std::vector<PrintDialogRequest> shown_;
  std::deque<PrintDialogResult> answers_;
};

// Installs a ScriptedPrintDialogs for the lifetime of this object.
class ScopedScriptedPrintDialogs {
 public:
  ScopedScriptedPrintDialogs();
  ~ScopedScriptedPrintDialogs();
  ScriptedPrintDialogs& operator*() { return *dialogs_; }
  ScriptedPrintDialogs* operator->() { return dialogs_; }

 private:
  ScriptedPrintDialogs* dialogs_;
  std::unique_ptr<PrintDialogService> previous_;
};

}  // namespace gui
