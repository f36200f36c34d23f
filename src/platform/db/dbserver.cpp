#include "dbserver.h"

#include "db_error.h"
#include "workarea.h"

namespace db {

DBServer::DBServer(const std::string& file, std::optional<bool> shared, bool readOnly, const std::string& driver,
                   const std::vector<std::string>&) {
  alias_ = OpenArea(file, driver, "", shared, readOnly);
  if (!alias_.empty()) table_ = TableOf(alias_);
}

DBServer::~DBServer() { Close(); }

bool DBServer::Check(const Status& s, const char* operation) {
  if (s.ok()) return true;
  RaiseError(s, operation, table_ ? table_->path() : "", false);
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
    if (table_) Check(Status::Error(rt::EG_ARG, table_->FileName() + ": no field " + std::string(field)), "FIELDGET");
    return {};
  }
  return FieldGet(size_t(pos));
}

rt::Value DBServer::FieldGet(size_t position) {
  rt::Value v;
  if (!table_ || position < 1) return v;
  Check(table_->FieldGet(position - 1, v), "FIELDGET");
  return v;
}

std::string DBServer::FieldGetFormatted(std::string_view field) {
  std::string text;
  int pos = FieldPos(field);
  if (pos > 0) Check(table_->FieldGetFormatted(size_t(pos - 1), text), "FIELDGETFORMATTED");
  return text;
}

bool DBServer::FieldPut(std::string_view field, const rt::Value& value) {
  int pos = FieldPos(field);
  if (!table_) return false;
  if (pos == 0) return Check(Status::Error(rt::EG_ARG, table_->FileName() + ": no field " + std::string(field)), "FIELDPUT");
  return Check(table_->FieldPut(size_t(pos - 1), value), "FIELDPUT");
}

int DBServer::FieldPos(std::string_view field) const { return table_ ? table_->FieldPos(field) + 1 : 0; }

bool DBServer::GoTop() { return table_ && Moved(table_->GoTop(), "GOTOP"); }
bool DBServer::GoBottom() { return table_ && Moved(table_->GoBottom(), "GOBOTTOM"); }
bool DBServer::GoTo(uint32_t recno) { return table_ && Moved(table_->GoTo(recno), "GOTO"); }
bool DBServer::Skip(long count) { return table_ && Moved(table_->Skip(count), "SKIP"); }

bool DBServer::Seek(const rt::Value& key, bool soft) {
  bool found = false;
  return table_ && Moved(table_->Seek(key, soft, found), "SEEK") && found;
}

bool DBServer::Append() {
  if (!table_) return false;
  Status s = table_->Append();
  rt::SetNetErr(!s.ok());
  return Moved(s, "APPEND");
}

bool DBServer::Commit() { return table_ && Check(table_->Commit(), "COMMIT"); }
bool DBServer::Delete() { return table_ && Check(table_->Delete(), "DELETE"); }

bool DBServer::Close() {
  if (!table_) return true;
  table_ = nullptr;
  return CloseArea(alias_);
}

uint32_t DBServer::RecNo() const { return table_ ? table_->RecNo() : 0; }

uint32_t DBServer::RecCount() {
  uint32_t n = 0;
  if (table_) Check(table_->RecCount(n), "RECCOUNT");
  return n;
}

bool DBServer::EoF() const { return !table_ || table_->Eof(); }
bool DBServer::BoF() const { return !table_ || table_->Bof(); }
bool DBServer::Found() const { return table_ && table_->Found(); }
bool DBServer::Deleted() const { return table_ && table_->Deleted(); }

}  // namespace db
