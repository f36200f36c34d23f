#include "settings.h"

#include "db_error.h"
#include "platform/runtime/strings.h"

namespace db {

Settings& TableSettings() {
  static Settings settings;
  return settings;
}

void SetDeleted(bool hidden) { TableSettings().deletedHidden = hidden; }
void SetExclusive(bool exclusive) { TableSettings().exclusiveDefault = exclusive; }
void SetAnsi(bool ansi) { TableSettings().ansi = ansi; }

bool KnownDriver(const std::string& driver) {
  std::string d = rt::Upper(rt::Trim(driver));
  return d.empty() || d == "DBFCDX";
}

bool RddSetDefault(const std::string& driver) {
  if (!KnownDriver(driver) || rt::Trim(driver).empty()) {
    RaiseError(Status::Error(rt::EG_ARG, "unknown table driver \"" + driver + "\""), "RddSetDefault", "", false);
    return false;
  }
  TableSettings().defaultDriver = rt::Upper(rt::Trim(driver));
  return true;
}

rt::CodePage TableCodePage() { return TableSettings().ansi ? rt::CodePage::Ansi1250 : rt::CodePage::Oem852; }

}  // namespace db
