#include "tables.h"

#include "platform/runtime/files.h"

namespace forms {

std::string DefaultFile(const std::string& workDir, const std::string& name) { return rt::WithTrailingSlash(workDir) + name; }

Form::Form(std::optional<std::string> file, std::optional<bool> shared, std::optional<bool> readOnly,
           std::optional<std::string> driver, const std::vector<std::string>& moreDrivers)
    : DBServer(file.value_or(DefaultFile(rt::WorkDir(), "Form.DBF")), shared.value_or(true),
               readOnly.value_or(false), driver.value_or("DBFCDX"), moreDrivers) {}

Article::Article(std::optional<std::string> file, std::optional<bool> shared, std::optional<bool> readOnly,
                 std::optional<std::string> driver, const std::vector<std::string>& moreDrivers)
    : DBServer(file.value_or(DefaultFile(rt::WorkDir(), "Article.DBF")), shared.value_or(true),
               readOnly.value_or(false), driver.value_or("DBFCDX"), moreDrivers) {}

}  // namespace forms
