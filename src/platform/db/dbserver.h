// The data server: a table opened in a work area of its own, with record
// navigation, field access and notification of attached views. Failures
// are raised as run-time errors; the operations then report false.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime/value.h"
#include "table.h"

namespace db {

class DBServer {
 public:
  // Opens file shared or exclusive (default: the run time's default mode),
  // read-only or not, with driver ("" = the default driver). Used() tells
  // whether the open succeeded.
  DBServer(const std::string& file, std::optional<bool> shared = std::nullopt, bool readOnly = false,
           const std::string& driver = "", const std::vector<std::string>& moreDrivers = {});
  virtual ~DBServer();
  DBServer(const DBServer&) = delete;
  DBServer& operator=(const DBServer&) = delete;

  bool Used() const { return table() != nullptr; }
  rt::Symbol AliasSym() const { return rt::Symbol(alias_); }
  // The work area's table; nullptr once the server or its area was closed.
  Table* table() const;

  rt::Value FieldGet(std::string_view field);
  rt::Value FieldGet(size_t position);          // 1-based, like FieldPos
  std::string FieldGetFormatted(std::string_view field);
  bool FieldPut(std::string_view field, const rt::Value& value);
  int FieldPos(std::string_view field) const;   // 1-based; 0 when absent

  bool GoTop();
  bool GoBottom();
  bool GoTo(uint32_t recno);
  bool Skip(long count = 1);
  bool Seek(const rt::Value& key, bool soft = false);   // true when found
  bool Append();
  bool Commit();
  bool Delete();
  bool Close();

  uint32_t RecNo() const;
  uint32_t RecCount();
  bool EoF() const;
  bool BoF() const;
  bool Found() const;
  bool Deleted() const;

  // Views attached to the server are told after the record pointer moved,
  // unless notification is suspended.
  void Attach(std::function<void()> view) { views_.push_back(std::move(view)); }
  void SuspendNotification() { ++suspended_; }
  void ResetNotification() { suspended_ = 0; }

 private:
  bool Check(const Status& s, const char* operation);
  bool Moved(const Status& s, const char* operation);

  std::string alias_;                      // alias of the work area; "" when closed
  std::vector<std::function<void()>> views_;
  int suspended_ = 0;
};

}  // namespace db
