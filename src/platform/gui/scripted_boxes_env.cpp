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

namespace {
int DefaultAnswer(const MessageBoxRequest& r) {
  if (r.defaultAnswer) return r.defaultAnswer;
  if (!r.customButtons.empty()) return r.customButtons.front().second;
  return r.buttons == MB_YESNO || r.buttons == MB_YESNOCANCEL ? IDYES
         : r.buttons == MB_ABORTRETRYIGNORE                   ? IDABORT
         : r.buttons == MB_RETRYCANCEL                         ? IDRETRY
                                                               : IDOK;
}

bool Offered(const MessageBoxRequest& r, int answer) {
  if (r.customButtons.empty()) return true;
  for (const auto& b : r.customButtons)
    if (b.second == answer) return true;
  return false;
}
}  // namespace

int FileScriptedMessageBoxes::Show(const MessageBoxRequest& r) {
  int answer = DefaultAnswer(r);
  std::string note;
  if (!answers_.empty()) {
    int scripted = answers_.front();
    answers_.pop_front();
    // A person can only press a button the box has.
    if (Offered(r, scripted)) answer = scripted;
    else note = "not offered: " + std::to_string(scripted) + "\n";
  }
  // Written and closed at once: the answer may end the process.
  std::ofstream log(logFile_, std::ios::app | std::ios::binary);
  log << "--- box\ntitle: " << r.title << "\nbuttons:";
  if (r.customButtons.empty()) log << " standard " << r.buttons;
  for (const auto& [caption, value] : r.customButtons) log << " " << caption << "=" << value;
  log << "\n" << note << "answer: " << answer << "\ntext:\n" << r.text << "\n--- end\n";
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
