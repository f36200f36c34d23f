// Fonts of dialogs and controls by the family names the program uses
// ("MS Shell Dlg", "Arial", "Microsoft Sans Serif", "Courier New"), mapped to
// metric-compatible installed fonts.
#pragma once
#include <QFont>
#include <string>

namespace gui {

void InstallFontSubstitutes();   // idempotent
QFont MakeFont(const std::string& face, int points, bool bold = false, bool italic = false);

}  // namespace gui
