#include "dbserver.h"

#include "db_error.h"
#include "workarea.h"

namespace db {

DBServer::DBServer(const std::string& file, std::optional<bool> shared, bool readOnly, const std::string& driver,
                   const std::vector<std::string>&) {
  alias_ = OpenArea(file, driver, "", shared, readOnly);
}

Table* DBServer::table() const { return alias_.empty() ? nullptr : TableOf(alias_); }

DBServer::~DBServer() { Close(); }

bool DBServer::Check(const Status& s, const char* operation) {
  if (s.ok()) return true;
  RaiseError(s, operation, table() ? table()->path() : "", false);
  return false;
}

bool DBServer::Moved(const Status& s, const char* operation) {
  if (!Check(s, operation)) return false;
  if (suspended_ == 0)
    for (auto& view : views_) view();
  return true;
}

rt::Value DBServer::FieldGet(std::string_view field) {
  int pos = FieldPos(field);
  if (pos == 0) {
    if (table()) Check(Status::Error(rt::EG_ARG, table()->FileName() + ": no field " + std::string(field)), "FIELDGET");
    return {};
  }
  return FieldGet(size_t(pos));
}

rt::Value DBServer::FieldGet(size_t position) {
  rt::Value v;
  if (!table() || position < 1) return v;
  Check(table()->FieldGet(position - 1, v), "FIELDGET");
  return v;
}

std::string DBServer::FieldGetFormatted(std::string_view field) {
  std::string text;
  int pos = FieldPos(field);
  if (pos > 0) Check(table()->FieldGetFormatted(size_t(pos - 1), text), "FIELDGETFORMATTED");
  return text;
}

bool DBServer::FieldPut(std::string_view field, const rt::Value& value) {
  int pos = FieldPos(field);
  if (!table()) return false;
  if (pos == 0) return Check(Status::Error(rt::EG_ARG, table()->FileName() + ": no field " + std::string(field)), "FIELDPUT");
  return Check(table()->FieldPut(size_t(pos - 1), value), "FIELDPUT");
}

int DBServer::FieldPos(std::string_view field) const { return table() ? table()->FieldPos(field) + 1 : 0; }

bool DBServer::GoTop() { return table() && Moved(table()->GoTop(), "GOTOP"); }
bool DBServer::GoBottom() { return table() && Moved(table()->GoBottom(), "GOBOTTOM"); }
bool DBServer::GoTo(uint32_t recno) { return table() && Moved(table()->GoTo(recno), "GOTO"); }
bool DBServer::Skip(long count) { return table() && Moved(table()->Skip(count), "SKIP"); }

bool DBServer::Seek(const rt::Value& key, bool soft) {
  bool found = false;
  return table() && Moved(table()->Seek(key, soft, found), "SEEK") && found;
}

bool DBServer::Append() {
  if (!table()) return false;
  Status s = table()->Append();
  rt::SetNetErr(!s.ok());
  return Moved(s, "APPEND");
}

bool DBServer::Commit() { return table() && Check(table()->Commit(), "COMMIT"); }
bool DBServer::Delete() { return table() && Check(table()->Delete(), "DELETE"); }

bool DBServer::Close() {
  if (!table()) return true;
  std::string alias = alias_;
  alias_.clear();
  return CloseArea(alias);
}

uint32_t DBServer::RecNo() const { return table() ? table()->RecNo() : 0; }

uint32_t DBServer::RecCount() {
  uint32_t n = 0;
  if (table()) Check(table()->RecCount(n), "RECCOUNT");
  return n;
}

bool DBServer::EoF() const { return !table() || table()->Eof(); }
bool DBServer::BoF() const { return !table() || table()->Bof(); }
bool DBServer::Found() const { return table() && table()->Found(); }
bool DBServer::Deleted() const { return table() && table()->Deleted(); }

}  // namespace db
