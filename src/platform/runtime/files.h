// File services of the run time on the process's work directory.
#pragma once
#include <string>

namespace rt {

// The work directory (the process's current directory), ending in '/'.
std::string WorkDir();
// Appends '/' to a folder path that does not end in one ("" stays "").
std::string WithTrailingSlash(const std::string& folder);

}  // namespace rt
