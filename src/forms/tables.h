// Data servers of the reporting toolkit's tables: Form ("FORM.DBF", one
// record per report form) and Article ("ARTICLE.DBF", the sample data).
// Both open their table with the index of the same name attached.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/db/dbserver.h"

namespace forms {

// Defaults: the work directory's "Form.DBF", shared, read-write, "DBFCDX".
class Form : public db::DBServer {
 public:
  explicit Form(std::optional<std::string> file = std::nullopt, std::optional<bool> shared = std::nullopt,
                std::optional<bool> readOnly = std::nullopt, std::optional<std::string> driver = std::nullopt,
                const std::vector<std::string>& moreDrivers = {});
};

// Defaults: the work directory's "Article.DBF", shared, read-write, "DBFCDX".
class Article : public db::DBServer {
 public:
  explicit Article(std::optional<std::string> file = std::nullopt, std::optional<bool> shared = std::nullopt,
                   std::optional<bool> readOnly = std::nullopt, std::optional<std::string> driver = std::nullopt,
                   const std::vector<std::string>& moreDrivers = {});
};

// The default file of a table: the work directory (with '/' appended when
// missing) followed by name.
std::string DefaultFile(const std::string& workDir, const std::string& name);

}  // namespace forms
