// Message boxes answered from a file, for running the real program in tests.
//
// When RV_SCRIPTED_BOXES names a file, the program answers its boxes from
// that file (one answer number per line, in order; when they run out, or
// when the box has no button with that answer, the box's default answer)
// and appends every box it shows to the file named
// by RV_SCRIPTED_BOXES_LOG (default: the answers file with ".log" added).
#pragma once
#include <deque>
#include <string>

#include "message_box.h"

namespace gui {

class FileScriptedMessageBoxes : public MessageBoxService {
 public:
  FileScriptedMessageBoxes(const std::string& answersFile, std::string logFile);
  int Show(const MessageBoxRequest& request) override;

 private:
  std::deque<int> answers_;
  std::string logFile_;
};

// Installs FileScriptedMessageBoxes when RV_SCRIPTED_BOXES is set; returns
// whether it did. Call once at process start, after the QApplication.
bool InstallScriptedBoxesFromEnvironment();

}  // namespace gui
