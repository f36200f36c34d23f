// What the run time knows about the running program.
#pragma once
#include <string>

namespace rt {

// Full path of the program's file ("" when it cannot be read).
std::string ProgramFile();
// The run time's version text.
std::string VersionText();

}  // namespace rt
