// The application object: Start fixes the run-time table settings, creates
// the sample tables of the reporting toolkit when they are missing, and
// runs the main dialog.
#pragma once
#include <string>

namespace startup {

class App {
 public:
  // Steps 1 to 7; returns when the main dialog has been closed.
  void Start();

  // Steps 1 to 6: settings and sample tables in workDir (as the run time
  // reports it, with or without a trailing '/').
  void Prepare(const std::string& workDir);
  void Prepare();   // in the run time's work directory

  // The seed texts of the form "ARTLISTE".
  static std::string SeedHeader();
  static std::string SeedPosition();
  static std::string SeedFooter();
};

}  // namespace startup
