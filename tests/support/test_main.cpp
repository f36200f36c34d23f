// main() of every test program: Qt runs offscreen, one QApplication for all
// tests, and every message box is answered by a script.
#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/gui/message_box.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("RV_SOURCE_DIR", RV_SOURCE_DIR_PATH, 1);
  setenv("RV_BINARY_DIR", RV_BINARY_DIR_PATH, 1);
  setenv("RV_CUPS_DIR", RV_CUPS_DIR_PATH, 1);
  // Every test talks to the private cupsd of the test setup (or to none when
  // it is not running), never to the machine's own spooler.
  setenv("CUPS_SERVER", RV_CUPS_DIR_PATH "/run/cups.sock", 1);
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
