// International settings of the run time: number, date and time conventions,
// taken from the user locale by SetInternational(WINDOWS).
#pragma once
#include <optional>
#include <string>

#include "value.h"

namespace rt {

struct InternationalSettings {
  int flag = 0;                  // 1 = WINDOWS, 2 = BINARY, else the compatible mode
  std::string decimalSep = ".";  // one character each
  std::string thousandsSep = ",";
  std::string timeSep = ":";
  bool amPm = false;             // 12-hour display with the suffixes
  std::string amSuffix = " am";
  std::string pmSuffix = " pm";
  std::string dateFormat = "MM/DD/YY";
  int decimals = 2;
  bool collation = false;        // locale collation selected (SetCollation WINDOWS)
  bool century = false;          // four-digit years
  int epoch = 1900;              // first year of two-digit years
};

const InternationalSettings& International();

// Reports the mode (WINDOWS, BINARY or COMPATIBLE) without changing it.
Symbol SetInternational();
// Sets the mode and returns the previous one. WINDOWS reads the user locale
// (LC_ALL / LC_* / LANG) with fixed fallbacks for values it cannot read; an
// unknown mode raises an error (SubSystem "International", GenCode 30).
Symbol SetInternational(const Symbol& mode);

// The date as text in the run time's date format ("  /  /    " when empty).
std::string DToC(Date date);
// The time of day as "hh:mm:ss".
std::string TimeText();
// Today's date.
Date Today();

}  // namespace rt
