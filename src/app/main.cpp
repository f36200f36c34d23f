// Process start of the print server.
#include <QApplication>

#include "printserver/main_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  MainDialog dialog;
  dialog.Show();
  return 0;
}
