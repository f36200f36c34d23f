// The dialog-based error handler with German texts: the same rules as the
// default handler, its own dialog with printing, up to 20 call-stack levels
// and its own error-log record. Installing WDefError as the error block
// puts it in use.
#pragma once
#include <string>
#include <vector>

#include "platform/runtime/error.h"

namespace errors {

// German texts by number (501 "Warnung" ... 522 "Beschreibung").
std::string WText(int number);

// Body of the alternative error block; results as DefError.
rt::Value WDefError(const rt::Value& object);
rt::Value WDefErrorBlock();

// The German description of an error, lines ending in CR LF.
std::string WErrorMessage(const rt::Error& error);

// The call-stack list: the heading element, then "name (Zeile: n)" for up to
// maxLevels levels; empty when no level is known.
std::vector<std::string> WCallStack(size_t maxLevels);

}  // namespace errors
