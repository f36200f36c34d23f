// An open table: the DBF with its FPT memo file and the CDX index of the
// same name, a current record, navigation in natural or key order, field
// access, appends and updates that keep memos and index keys in step.
//
// Shared use follows the FoxPro locking offsets: the header byte is locked
// while appending, the record's byte while it is written, the index byte
// around every tree operation. Changes of the current record are written by
// Commit, and before the record pointer moves.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cdx_tag.h"
#include "dbf_format.h"
#include "file.h"
#include "fpt.h"
#include "keys.h"

namespace db {

class Table {
 public:
  Table() = default;
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Opens path (its name matched without regard to case) and, when they
  // exist, its memo file and the index named after it; the index's first
  // tag becomes the controlling order. Positions on the first record.
  Status Open(const std::string& path, bool shared, bool readOnly);
  // Writes pending changes and closes the files.
  Status Close();
  bool IsOpen() const { return dbf_.IsOpen(); }
  const std::string& path() const { return path_; }   // as found on disk
  std::string FileName() const { return dbf_.name(); }
  const DbfHeader& header() const { return header_; }
  bool shared() const { return shared_; }
  bool readOnly() const { return readOnly_; }

  // Navigation. Moving writes pending changes first.
  Status GoTop();
  Status GoBottom();
  Status GoTo(uint32_t recno);       // any record number; past the end = end of file
  Status Skip(long count);           // 0 writes pending changes and re-reads the record
  uint32_t RecNo() const { return recno_; }
  Status RecCount(uint32_t& count);  // records in the file, deleted ones included
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool Found() const { return found_; }
  bool Deleted() const { return buffer_[0] == kDeleted; }

  // Fields by 0-based position; FieldPos gives -1 for an unknown name.
  int FieldPos(std::string_view name) const { return header_.FieldIndex(name); }
  size_t FieldCount() const { return header_.fields.size(); }
  Status FieldGet(size_t i, rt::Value& out);
  Status FieldGetFormatted(size_t i, std::string& out);
  Status FieldPut(size_t i, const rt::Value& value);

  Status Append();     // a blank record at the end, made current
  Status Commit();     // writes the current record's changes
  Status Delete();     // marks the current record deleted
  Status Recall();

  // Index.
  // Creates (or replaces) tag name in the index named after the table and
  // makes it the controlling order; keys come from evaluator, expression is
  // stored for other programs.
  Status CreateTag(const std::string& name, const std::string& expression, const KeyEvaluator& evaluator);
  // Evaluator for an existing tag whose expression the engine cannot read.
  Status SetKeyEvaluator(const std::string& tag, const KeyEvaluator& evaluator);
  Status SetOrder(const std::string& tag);   // "" = natural order
  std::string OrderName() const;             // "" in natural order
  std::vector<std::string> TagNames() const;
  // Positions on the first record whose key starts with value (character
  // keys) or equals it. Not found: end of file, or with soft on the next
  // greater key. found tells whether the key was there.
  Status Seek(const rt::Value& value, bool soft, bool& found);

 private:
  struct TagState {
    KeyEvaluator evaluator;   // empty when the expression is not understood
  };

  Status RefreshCount();
  Status Load(uint32_t recno, const std::string* record = nullptr);
  void SetEof();
  bool Hidden(const std::string& record) const;
  Status ReadRecord(uint32_t recno, std::string& out) const;
  Status MemoText(uint32_t block, std::string& text);
  Status KeyOf(size_t tag, const std::string& record, std::string& key);
  Status CurrentEntry(CdxEntry& entry);
  CdxTree Tree(size_t tag);
  Status IndexStep(bool forward, bool fromEnd, const CdxEntry* from, uint32_t& recno, CdxEntry& at);
  Status NaturalStep(bool forward, uint32_t from, uint32_t& recno);
  Status EndRecord(bool top, uint32_t& recno, CdxEntry& at);
  Status GoEnd(bool top);
  Status EnsureCurrent();
  Status CheckWritable() const;
  Status UpdateKeys(const std::string& oldRecord, const std::string& newRecord, uint32_t recno, bool inserted);
  std::string CdxPath() const;
  uint64_t HeaderLockOffset() const;
  uint64_t RecordLockOffset(uint32_t recno) const;
  Status OpenIndex();

  DbFile dbf_;
  MemoFile memo_;
  CdxIndex cdx_;
  std::string path_;                 // the table file as found on disk
  DbfHeader header_;
  bool shared_ = false, readOnly_ = false;
  std::vector<TagState> tags_;       // parallel to cdx_.tags()
  int order_ = -1;                   // controlling tag, -1 = natural order

  uint32_t recno_ = 0;               // current record; count + 1 at end of file
  std::string buffer_;               // current record with pending changes
  std::string original_;             // current record as last read or written
  std::map<size_t, std::string> pendingMemos_;   // field -> new text (UTF-8)
  bool dirty_ = false;               // buffer_ or pendingMemos_ differ from disk
  bool eof_ = true, bof_ = true, found_ = false;
  CdxEntry entry_;                   // index entry of the current record
  bool entryValid_ = false;          // entry_ belongs to recno_ in the current order
};

}  // namespace db
