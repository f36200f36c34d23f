#include "scripted_boxes_env.h"

#include <cstdlib>
#include <fstream>
#include <memory>

namespace gui {

FileScriptedMessageBoxes::FileScriptedMessageBoxes(const std::string& answersFile, std::string logFile)
    : logFile_(std::move(logFile)) {
  std::ifstream in(answersFile);
  for (std::string line; std::getline(in, line);) {
    try {
      answers_.push_back(std::stoi(line));
    } catch (const std::exception&) {
      // blank or comment lines carry no answer
    }
  }
}

int FileScriptedMessageBoxes::Show(const MessageBoxRequest& r) {
  int answer;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else if (r.defaultAnswer) {
    answer = r.defaultAnswer;
  } else if (!r.customButtons.empty()) {
    answer = r.customButtons.front().second;
  } else {
    answer = r.buttons == MB_YESNO || r.buttons == MB_YESNOCANCEL ? IDYES
             : r.buttons == MB_ABORTRETRYIGNORE                   ? IDABORT
             : r.buttons == MB_RETRYCANCEL                         ? IDRETRY
                                                                   : IDOK;
  }
  // Written and closed at once: the answer may end the process.
  std::ofstream log(logFile_, std::ios::app | std::ios::binary);
  log << "--- box\ntitle: " << r.title << "\nbuttons:";
  if (r.customButtons.empty()) log << " standard " << r.buttons;
  for (const auto& [caption, value] : r.customButtons) log << " " << caption << "=" << value;
  log << "\nanswer: " << answer << "\ntext:\n" << r.text << "\n--- end\n";
  return answer;
}

bool InstallScriptedBoxesFromEnvironment() {
  const char* answers = std::getenv("RV_SCRIPTED_BOXES");
  if (!answers || !*answers) return false;
  const char* log = std::getenv("RV_SCRIPTED_BOXES_LOG");
  std::string logFile = (log && *log) ? std::string(log) : std::string(answers) + ".log";
  SetMessageBoxService(std::make_unique<FileScriptedMessageBoxes>(answers, logFile));
  return true;
}

}  // namespace gui
