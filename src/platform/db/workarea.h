// Work areas: the tables a program has open, each under an alias, and the
// selected one. Failures are raised as run-time errors and reported false.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "dbf_format.h"
#include "keys.h"
#include "table.h"

namespace db {

// Creates file (replacing it, under the name it has on disk) with its memo
// file when it has memo fields; an old index of the same name is removed,
// as its keys would describe the old records.
bool DbCreate(const std::string& file, const std::vector<FieldSpec>& fields, const std::string& driver = "");

// Opens file in a new work area and selects it. Alias defaults to the file's
// base name; shared to the run time's default mode. A failed open is
// retried while the error block answers retry.
bool DbUseArea(const std::string& file, const std::string& driver = "", const std::string& alias = "",
               std::optional<bool> shared = std::nullopt, bool readOnly = false);
bool DbCloseArea();                           // closes the selected area
void DbCloseAll();
bool DbSelectArea(const std::string& alias);  // false (and an error) for an unknown alias
std::string Alias();                          // alias of the selected area, "" when none
Table* SelectedTable();                       // nullptr when none
Table* TableOf(const std::string& alias);     // nullptr when not open
bool AliasUsed(const std::string& alias);

// Operations on the selected area.
bool DbAppend();                              // failure sets NetErr() only
bool DbCommit();
bool DbSkip(long count = 1);
bool FieldPutAlias(const std::string& alias, const std::string& field, const rt::Value& value);
rt::Value FieldGetAlias(const std::string& alias, const std::string& field);
// Creates tag in indexFile (the index named after the selected table).
bool OrdCreate(const std::string& indexFile, const std::string& tag, const std::string& expression,
               const KeyEvaluator& evaluator);

// Opens file in a new work area without selecting it; used by data servers.
// Returns the alias given (made unique) or "" on failure.
std::string OpenArea(const std::string& file, const std::string& driver, const std::string& alias,
                     std::optional<bool> shared, bool readOnly);
bool CloseArea(const std::string& alias);

}  // namespace db
