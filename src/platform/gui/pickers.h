// The folder and file picker service. The program shows Qt file dialogs
// (non-native); tests install a ScriptedPickers that records every request
// and answers as told.
#pragma once
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace gui {

struct PickerRequest {
  bool folder = true;                 // folder picker, else file picker
  std::string title;
  std::string startFolder;
  std::string acceptLabel;            // caption of the accept button ("" = the toolkit's)
  std::vector<std::pair<std::string, std::string>> filters;  // description, pattern
};

class PickerService {
 public:
  virtual ~PickerService() = default;
  // The chosen folder (absolute, without a trailing separator) or file path;
  // nullopt when the operator cancels.
  virtual std::optional<std::string> Pick(QWidget* owner, const PickerRequest& request) = 0;
};

PickerService& Pickers();
std::unique_ptr<PickerService> SetPickerService(std::unique_ptr<PickerService> service);

class QtPickers : public PickerService {
 public:
  std::optional<std::string> Pick(QWidget* owner, const PickerRequest& request) override;
};

class ScriptedPickers : public PickerService {
 public:
  std::optional<std::string> Pick(QWidget* owner, const PickerRequest& request) override;
  void Answer(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }
  const std::vector<PickerRequest>& requests() const { return requests_; }

 private:
  std::vector<PickerRequest> requests_;
  std::deque<std::optional<std::string>> answers_;   // empty queue: cancel
};

}  // namespace gui
