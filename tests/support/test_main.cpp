// main() of every test program: Qt runs offscreen, one QApplication for all
// tests, and every message box is answered by a script.
#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/gui/message_box.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QString runtime = QDir::tempPath() + "/rv-xdg-runtime";
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  setenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit().constData(), 0);
  QApplication app(argc, argv);
  // No test may wait for a person: a box nobody scripted takes its default answer.
  gui::SetMessageBoxService(std::make_unique<gui::ScriptedMessageBoxes>());
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
