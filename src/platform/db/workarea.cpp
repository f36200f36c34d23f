#include "workarea.h"

#include <cstdio>
#include <memory>

#include "db_error.h"
#include "dbf_writer.h"
#include "fpt.h"
#include "platform/runtime/strings.h"
#include "settings.h"

namespace db {

namespace {
struct Area {
  std::string alias;   // upper case
  Table table;
};

struct Areas {
  std::vector<std::unique_ptr<Area>> open;
  std::string selected;   // alias of the selected area
};

Areas& State() {
  static Areas areas;
  return areas;
}

Area* Find(const std::string& alias) {
  for (auto& a : State().open)
    if (rt::EqualsNoCase(a->alias, rt::Trim(alias))) return a.get();
  return nullptr;
}

std::string BaseName(const std::string& file) {
  std::string name = file.substr(file.rfind('/') == std::string::npos ? 0 : file.rfind('/') + 1);
  auto dot = name.rfind('.');
  return rt::Upper(dot == std::string::npos ? name : name.substr(0, dot));
}

std::string WithExtension(const std::string& file, const char* ext) {
  auto slash = file.rfind('/');
  auto dot = file.rfind('.');
  std::string base = (dot == std::string::npos || (slash != std::string::npos && dot < slash)) ? file : file.substr(0, dot);
  return ResolveCase(base + ext);
}

bool CheckDriver(const std::string& driver, const std::string& operation, const std::string& file) {
  if (KnownDriver(driver)) return true;
  RaiseError(Status::Error(rt::EG_ARG, "unknown table driver \"" + driver + "\""), operation, file, false);
  return false;
}

bool Raise(const Status& s, const std::string& operation, const std::string& file) {
  RaiseError(s, operation, file, false);
  return false;
}
}  // namespace

bool DbCreate(const std::string& requested, const std::vector<FieldSpec>& fields, const std::string& driver) {
  if (!CheckDriver(driver, "DBCREATE", requested)) return false;
  std::string file = requested;
  if (file.find('.', file.rfind('/') == std::string::npos ? 0 : file.rfind('/')) == std::string::npos) file += ".DBF";
  file = ResolveCase(file);
  {
    // Never replace a table that someone has open.
    DbFile existing;
    if (existing.Open(file, false).ok() && !existing.TryLock(0x40000000, 0x40000000, true))
      return Raise(Status::Error(rt::EG_CREATE, file + ": table is in use and cannot be replaced", EACCES), "DBCREATE",
                   file);
  }
  DbfHeader h;
  bool memo = false;
  for (const auto& f : fields) memo = memo || std::toupper(uint8_t(f.type)) == 'M';
  if (Status s = CreateDbf(file, fields, &h); !s.ok()) return Raise(s, "DBCREATE", file);
  if (memo)
    if (Status s = MemoFile::Create(WithExtension(file, ".FPT")); !s.ok()) return Raise(s, "DBCREATE", file);
  std::string cdx = WithExtension(file, ".CDX");
  if (FileExists(cdx) && std::remove(cdx.c_str()) != 0)
    return Raise(Status::Error(rt::EG_CREATE, cdx + ": old index cannot be removed", uint32_t(errno)), "DBCREATE", file);
  return true;
}

std::string OpenArea(const std::string& requested, const std::string& driver, const std::string& alias,
                     std::optional<bool> shared, bool readOnly) {
  if (!CheckDriver(driver, "DBUSEAREA", requested)) return "";
  std::string file = requested;
  if (file.find('.', file.rfind('/') == std::string::npos ? 0 : file.rfind('/')) == std::string::npos) file += ".DBF";
  std::string name = rt::Upper(rt::Trim(alias.empty() ? BaseName(file) : alias));
  if (alias.empty())
    for (int n = 2; Find(name); ++n) name = BaseName(file) + "_" + std::to_string(n);
  if (Find(name)) {
    RaiseError(Status::Error(rt::EG_OPEN, "alias " + name + " is already in use"), "DBUSEAREA", file, false);
    return "";
  }
  auto area = std::make_unique<Area>();
  area->alias = name;
  bool openShared = shared.value_or(!TableSettings().exclusiveDefault);
  for (;;) {
    Status s = area->table.Open(file, openShared, readOnly);
    if (s.ok()) break;
    if (!RaiseError(s, "DBUSEAREA", ResolveCase(file), true)) return "";
  }
  State().open.push_back(std::move(area));
  return name;
}

bool CloseArea(const std::string& alias) {
  auto& open = State().open;
  for (auto it = open.begin(); it != open.end(); ++it) {
    if (!rt::EqualsNoCase((*it)->alias, alias)) continue;
    Status s = (*it)->table.Close();
    std::string file = (*it)->table.path();
    if (rt::EqualsNoCase(State().selected, alias)) State().selected.clear();
    open.erase(it);
    if (!s.ok()) return Raise(s, "DBCLOSEAREA", file);
    return true;
  }
  return false;
}

bool DbUseArea(const std::string& file, const std::string& driver, const std::string& alias,
               std::optional<bool> shared, bool readOnly) {
  std::string name = OpenArea(file, driver, alias, shared, readOnly);
  if (name.empty()) return false;
  State().selected = name;
  return true;
}

bool DbCloseArea() { return !State().selected.empty() && CloseArea(State().selected); }

void DbCloseAll() {
  while (!State().open.empty()) CloseArea(State().open.back()->alias);
}

bool DbSelectArea(const std::string& alias) {
  if (!Find(alias)) {
    RaiseError(Status::Error(rt::EG_NOTABLE, "alias " + alias + " is not open"), "DBSELECTAREA", "", false);
    return false;
  }
  State().selected = Find(alias)->alias;
  return true;
}

std::string Alias() { return State().selected; }

Table* SelectedTable() { return TableOf(State().selected); }

Table* TableOf(const std::string& alias) {
  Area* a = Find(alias);
  return a ? &a->table : nullptr;
}

bool AliasUsed(const std::string& alias) { return Find(alias) != nullptr; }

namespace {
Table* Selected(const std::string& operation) {
  Table* t = SelectedTable();
  if (!t) RaiseError(Status::Error(rt::EG_NOTABLE, "no table is selected"), operation, "", false);
  return t;
}
}  // namespace

bool DbAppend() {
  Table* t = SelectedTable();
  if (!t || !t->Append().ok()) {
    rt::SetNetErr(true);
    return false;
  }
  rt::SetNetErr(false);
  return true;
}

bool DbCommit() {
  Table* t = Selected("DBCOMMIT");
  if (!t) return false;
  if (Status s = t->Commit(); !s.ok()) return Raise(s, "DBCOMMIT", t->path());
  return true;
}

bool DbSkip(long count) {
  Table* t = Selected("DBSKIP");
  if (!t) return false;
  if (Status s = t->Skip(count); !s.ok()) return Raise(s, "DBSKIP", t->path());
  return true;
}

bool FieldPutAlias(const std::string& alias, const std::string& field, const rt::Value& value) {
  Table* t = TableOf(alias);
  if (!t) return Raise(Status::Error(rt::EG_NOTABLE, "alias " + alias + " is not open"), "FIELDPUT", "");
  int i = t->FieldPos(field);
  if (i < 0) return Raise(Status::Error(rt::EG_ARG, t->FileName() + ": no field " + field), "FIELDPUT", t->path());
  if (Status s = t->FieldPut(size_t(i), value); !s.ok()) return Raise(s, "FIELDPUT", t->path());
  return true;
}

rt::Value FieldGetAlias(const std::string& alias, const std::string& field) {
  Table* t = TableOf(alias);
  rt::Value v;
  if (!t) {
    Raise(Status::Error(rt::EG_NOTABLE, "alias " + alias + " is not open"), "FIELDGET", "");
    return v;
  }
  int i = t->FieldPos(field);
  if (i < 0) {
    Raise(Status::Error(rt::EG_ARG, t->FileName() + ": no field " + field), "FIELDGET", t->path());
    return v;
  }
  if (Status s = t->FieldGet(size_t(i), v); !s.ok()) Raise(s, "FIELDGET", t->path());
  return v;
}

bool OrdCreate(const std::string& indexFile, const std::string& tag, const std::string& expression,
               const KeyEvaluator& evaluator) {
  Table* t = Selected("ORDCREATE");
  if (!t) return false;
  // Tags live in the index named after the table.
  if (!rt::EqualsNoCase(BaseName(indexFile), BaseName(t->path())))
    return Raise(Status::Error(rt::EG_CREATE, indexFile + ": only the index named after the table is supported"),
                 "ORDCREATE", indexFile);
  if (Status s = t->CreateTag(tag, expression, evaluator); !s.ok()) return Raise(s, "ORDCREATE", indexFile);
  return true;
}

}  // namespace db
