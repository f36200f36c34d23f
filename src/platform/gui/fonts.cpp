#include "fonts.h"

#include <QStringList>

namespace gui {

void InstallFontSubstitutes() {
  static bool done = false;
  if (done) return;
  done = true;
  QFont::insertSubstitutions("MS Shell Dlg", QStringList{"Liberation Sans", "Arial", "DejaVu Sans"});
  QFont::insertSubstitutions("MS Shell Dlg 2", QStringList{"Liberation Sans", "Arial", "DejaVu Sans"});
  QFont::insertSubstitutions("Microsoft Sans Serif", QStringList{"Liberation Sans", "Arial", "DejaVu Sans"});
  QFont::insertSubstitutions("Arial", QStringList{"Liberation Sans", "DejaVu Sans"});
  QFont::insertSubstitutions("Courier New", QStringList{"Liberation Mono", "DejaVu Sans Mono"});
}

QFont MakeFont(const std::string& face, int points, bool bold, bool italic) {
  InstallFontSubstitutes();
  QFont f(QString::fromStdString(face), points, bold ? QFont::Bold : QFont::Normal, italic);
  return f;
}

}  // namespace gui
