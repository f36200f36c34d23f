// Raising the engine's failures as run-time errors (SubSystem "DBFCDX")
// through the process-wide error block.
#pragma once
#include <string>

#include "status.h"

namespace db {

// Raises status as an Error for operation on file. Returns true when the
// error block asked for a retry (only offered when canRetry).
bool RaiseError(const Status& status, const std::string& operation, const std::string& file, bool canRetry);

}  // namespace db
