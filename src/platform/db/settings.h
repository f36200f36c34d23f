// Table settings of the run time, in force for the whole process.
#pragma once
#include <string>

#include "platform/runtime/codepage.h"

namespace db {

struct Settings {
  bool deletedHidden = false;        // navigation skips records marked deleted
  bool exclusiveDefault = true;      // a table opened without a mode is exclusive
  bool ansi = true;                  // text on disk is ANSI (CP1250), else OEM (CP852)
  std::string defaultDriver = "DBFCDX";
};

Settings& TableSettings();

void SetDeleted(bool hidden);
void SetExclusive(bool exclusive);
void SetAnsi(bool ansi);
// Makes driver the default; only "DBFCDX" exists. An unknown name raises
// the run time's error and returns false.
bool RddSetDefault(const std::string& driver);
bool KnownDriver(const std::string& driver);   // "" counts as the default

rt::CodePage TableCodePage();   // code page of text on disk

}  // namespace db
