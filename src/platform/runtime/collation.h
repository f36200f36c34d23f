// String collation of the run time: the order used by string comparison and
// by character index keys, so both always agree.
//
// "CLASSIC" is the table-driven order: ASCII keeps its byte order and every
// accented letter of the ANSI code page sorts directly after its base letter
// ("a" < "á" < "b", "o" < "ó" < "ö" < "ő" < "p"). "WINDOWS" compares by the
// user locale, "BINARY" by bytes.
#pragma once
#include <string>
#include <string_view>

namespace rt {

// Selects a collation by name (case-insensitive). An unknown name raises the
// run time's error (SubSystem "International") and keeps the current one.
// Returns true when the collation was changed.
bool SetCollation(std::string_view name);
std::string Collation();                                // "CLASSIC", "WINDOWS" or "BINARY"

// Three-way comparison (<0, 0, >0) of ANSI (CP1250) byte strings.
int CompareAnsi(std::string_view a, std::string_view b);
// Three-way comparison of UTF-8 texts, through their ANSI bytes.
int CompareText(std::string_view a, std::string_view b);

}  // namespace rt
