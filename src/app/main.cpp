// Process start of the print server: the error system, then the application.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>

#include "errors/def_error.h"
#include "platform/gui/scripted_boxes_env.h"
#include "startup/app.h"

namespace {
int terminationPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  char c = 1;
  (void)!write(terminationPipe[1], &c, 1);
}

// SIGTERM and SIGINT close the windows, so the program ends the way it ends
// when the operator closes the main dialog.
void CloseWindowsOnTerminationSignal() {
  if (pipe(terminationPipe) != 0) return;
  auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    char c;
    (void)!read(terminationPipe[0], &c, 1);
    QApplication::closeAllWindows();
  });
  struct sigaction sa = {};
  sa.sa_handler = OnTerminationSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  CloseWindowsOnTerminationSignal();
  gui::InstallScriptedBoxesFromEnvironment();
  errors::StartErrorSystem();
  startup::App().Start();
  return 0;
}
