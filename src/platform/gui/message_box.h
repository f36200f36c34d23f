// The message-box service. The program shows Qt message boxes; tests install
// a ScriptedMessageBoxes that records every box and answers as told, so that
// nothing ever waits for a person.
#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace gui {

enum class BoxIcon { None, Error, Information, Question, Warning };

// Button sets and answers use the values of the classic message-box API.
enum BoxButtons { MB_OK = 0, MB_OKCANCEL = 1, MB_ABORTRETRYIGNORE = 2, MB_YESNOCANCEL = 3, MB_YESNO = 4, MB_RETRYCANCEL = 5 };
enum BoxAnswer { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

struct MessageBoxRequest {
  std::string text;
  std::string title;
  BoxIcon icon = BoxIcon::None;
  int buttons = MB_OK;
  bool taskModal = true;
  // Custom buttons replace the standard set: captions and the answer each gives.
  std::vector<std::pair<std::string, int>> customButtons;
  int defaultAnswer = 0;   // answer of the default button (0: the first)
};

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  virtual int Show(const MessageBoxRequest& request) = 0;  // returns the answer
};

// The service in force; the Qt one unless replaced.
MessageBoxService& MessageBoxes();
// Replaces the service (nullptr restores the Qt one); returns the previous one.
std::unique_ptr<MessageBoxService> SetMessageBoxService(std::unique_ptr<MessageBoxService> service);

// Shows Qt message boxes (application-modal, no owner).
class QtMessageBoxes : public MessageBoxService {
 public:
  int Show(const MessageBoxRequest& request) override;
};

// Records every box and answers from a queue; when the queue is empty it
// answers with the request's default (the first button of its set).
class ScriptedMessageBoxes : public MessageBoxService {
 public:
  int Show(const MessageBoxRequest& request) override;
  void Answer(int answer) { answers_.push_back(answer); }
  const std::vector<MessageBoxRequest>& shown() const { return shown_; }
  void clear() { shown_.clear(); answers_.clear(); }

 private:
  std::vector<MessageBoxRequest> shown_;
  std::deque<int> answers_;
};

// Installs a ScriptedMessageBoxes for the lifetime of this object and gives
// access to it; the previous service comes back afterwards.
class ScopedScriptedBoxes {
 public:
  ScopedScriptedBoxes();
  ~ScopedScriptedBoxes();
  ScriptedMessageBoxes& operator*() { return *boxes_; }
  ScriptedMessageBoxes* operator->() { return boxes_; }

 private:
  ScriptedMessageBoxes* boxes_;
  std::unique_ptr<MessageBoxService> previous_;
};

}  // namespace gui
