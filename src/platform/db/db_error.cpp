#include "db_error.h"

namespace db {

bool RaiseError(const Status& status, const std::string& operation, const std::string& file, bool canRetry) {
  auto e = std::make_shared<rt::Error>();
  e->SubSystem = "DBFCDX";
  e->GenCode = status.genCode;
  e->OsCode = status.osCode;
  e->Operation = operation;
  e->Description = status.description;
  e->FileName = file;
  e->CanRetry = canRetry;
  e->CanDefault = true;
  rt::Value answer = e->Throw();
  return canRetry && rt::WantsRetry(answer);
}

}  // namespace db
