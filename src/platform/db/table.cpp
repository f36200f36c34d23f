#include "table.h"

#include <cerrno>

#include "cdx_builder.h"
#include "dbf_reader.h"
#include "dbf_writer.h"
#include "platform/runtime/strings.h"
#include "settings.h"

namespace db {

namespace {
// Open markers: a shared user holds this byte shared for as long as the
// table is open; an exclusive user holds the whole lock area exclusively.
constexpr uint64_t kLockArea = 0x40000000, kLockAreaLength = 0x40000000;
constexpr uint64_t kSharedMarker = 0x7FFFFFFF;

std::string SwapExtension(const std::string& path, const std::string& upperExt) {
  auto slash = path.rfind('/');
  auto dot = path.rfind('.');
  std::string base = (dot == std::string::npos || (slash != std::string::npos && dot < slash)) ? path : path.substr(0, dot);
  std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
  bool lower = !ext.empty() && std::islower(uint8_t(ext[0]));
  return base + "." + (lower ? rt::Lower(upperExt) : upperExt);
}
}  // namespace

Table::~Table() { Close(); }

Status Table::Open(const std::string& requested, bool shared, bool readOnly) {
  Close();
  path_ = ResolveCase(requested);
  shared_ = shared;
  readOnly_ = readOnly;
  // An exclusive lock needs a descriptor open for writing, so an exclusive
  // read-only open uses one when the file allows it.
  bool lockable = !readOnly || (!shared && dbf_.Open(path_, false).ok());
  if (!lockable || !dbf_.IsOpen())
    if (Status s = dbf_.Open(path_, readOnly); !s.ok()) return s;
  bool marked = shared ? dbf_.TryLock(kSharedMarker, 1, false)
                       : lockable ? dbf_.TryLock(kLockArea, kLockAreaLength, true)
                                  : dbf_.TryLock(kLockArea, kLockAreaLength, false);
  if (!marked) {
    dbf_.Close();
    return Status::Error(rt::EG_OPEN, path_ + ": table is in use by another user" +
                                          (shared ? " exclusively" : ""),
                         rt::OS_SHARING_VIOLATION);
  }
  DbfReader reader(dbf_);
  if (Status s = reader.ReadHeader(header_); !s.ok()) {
    dbf_.Close();
    return s;
  }
  if (header_.HasMemo()) {
    if (Status s = memo_.Open(ResolveCase(SwapExtension(path_, "FPT")), readOnly, shared); !s.ok()) {
      dbf_.Close();
      return s;
    }
  }
  if (FileExists(CdxPath())) {
    if (Status s = OpenIndex(); !s.ok()) {
      memo_.Close();
      dbf_.Close();
      return s;
    }
  }
  buffer_ = original_ = BlankRecord(header_);
  return GoTop();
}

Status Table::OpenIndex() {
  auto keyType = [this](const std::string& expr) {
    KeyEvaluator ev = BuiltInEvaluator(expr, header_);
    KeyFormat fmt;
    std::string blank = BlankRecord(header_);
    if (ev && KeyFormatOf(ev(RecordView(header_, blank, TableCodePage())), TableCodePage(), fmt).ok()) return fmt.type;
    return KeyType::Character;
  };
  if (Status s = cdx_.Open(ResolveCase(CdxPath()), readOnly_, shared_, keyType); !s.ok()) return s;
  tags_.clear();
  for (const TagInfo& t : cdx_.tags()) tags_.push_back({BuiltInEvaluator(t.expression, header_)});
  order_ = tags_.empty() ? -1 : 0;
  return Status::Ok();
}

Status Table::Close() {
  Status s;
  if (dbf_.IsOpen() && dirty_) s = Commit();
  cdx_.Close();
  memo_.Close();
  dbf_.Close();
  tags_.clear();
  order_ = -1;
  recno_ = 0;
  eof_ = bof_ = true;
  dirty_ = false;
  pendingMemos_.clear();
  return s;
}

std::string Table::CdxPath() const { return SwapExtension(path_, "CDX"); }

uint64_t Table::HeaderLockOffset() const {
  return (header_.flags & kFlagStructuralCdx) ? 0x7FFFFFFE : 0x40000000;
}

uint64_t Table::RecordLockOffset(uint32_t recno) const {
  if (header_.flags & kFlagStructuralCdx) return 0x7FFFFFFE - recno;
  return 0x40000000 + header_.headerLen + uint64_t(recno - 1) * header_.recordLen;
}

Status Table::CheckWritable() const {
  if (!dbf_.IsOpen()) return Status::Error(rt::EG_NOTABLE, "no table is open");
  if (readOnly_) return Status::Error(rt::EG_READONLY, FileName() + ": table is open read-only");
  return Status::Ok();
}

Status Table::RefreshCount() {
  if (!shared_) return Status::Ok();
  uint32_t count;
  if (Status s = DbfReader(dbf_).ReadCount(header_, count); !s.ok()) return s;
  header_.recCount = count;
  return Status::Ok();
}

Status Table::RecCount(uint32_t& count) {
  if (Status s = RefreshCount(); !s.ok()) return s;
  count = header_.recCount;
  return Status::Ok();
}

Status Table::ReadRecord(uint32_t recno, std::string& out) const {
  return DbfReader(dbf_).ReadRecord(header_, recno, out);
}

bool Table::Hidden(const std::string& record) const {
  return TableSettings().deletedHidden && !record.empty() && record[0] == kDeleted;
}

// Makes recno current; record holds its bytes when the caller read them.
Status Table::Load(uint32_t recno, const std::string* record) {
  if (record) original_ = *record;
  else if (Status s = ReadRecord(recno, original_); !s.ok()) return s;
  buffer_ = original_;
  recno_ = recno;
  eof_ = false;
  entryValid_ = false;
  return Status::Ok();
}

void Table::SetEof() {
  recno_ = header_.recCount + 1;
  buffer_ = original_ = BlankRecord(header_);
  eof_ = true;
  entryValid_ = false;
}

Status Table::EnsureCurrent() {
  if (dirty_) return Commit();
  return Status::Ok();
}

CdxTree Table::Tree(size_t tag) {
  const TagInfo& t = cdx_.tags()[tag];
  return CdxTree(cdx_, t.header, t.format, header_.recCount);
}

Status Table::KeyOf(size_t tag, const std::string& record, std::string& key) {
  const TagInfo& t = cdx_.tags()[tag];
  if (!tags_[tag].evaluator || !t.forExpression.empty())
    return Status::Error(rt::EG_NOORDER, cdx_.name() + ": tag " + t.name + " has a key expression (\"" + t.expression +
                                             "\") that cannot be evaluated here");
  Status memoStatus;
  RecordView view(header_, record, TableCodePage(), [this](uint32_t b, std::string& text) { return MemoText(b, text); });
  return MakeKey(tags_[tag].evaluator(view), t.format, TableCodePage(), key);
}

Status Table::MemoText(uint32_t block, std::string& text) {
  if (!memo_.IsOpen()) return Status::Corrupt(FileName(), "memo field without a memo file");
  return memo_.Read(block, text);
}

Status Table::CurrentEntry(CdxEntry& entry) {
  if (entryValid_) {
    entry = entry_;
    return Status::Ok();
  }
  entry.rec = recno_;
  return KeyOf(size_t(order_), original_, entry.key);
}

// One step in key order from `from` (or from an end), skipping hidden records.
Status Table::IndexStep(bool forward, bool fromEnd, const CdxEntry* from, uint32_t& recno, CdxEntry& at) {
  recno = 0;
  CdxTree tree = Tree(size_t(order_));
  CdxEntry cur;
  bool found;
  Status s = fromEnd ? (forward ? tree.First(cur, found) : tree.Last(cur, found))
                     : (forward ? tree.Next(*from, cur, found) : tree.Prev(*from, cur, found));
  std::string record;
  for (uint32_t guard = 0; s.ok() && found; ++guard) {
    if (cur.rec < 1 || cur.rec > header_.recCount)
      return Status::Corrupt(cdx_.name(), "tag " + cdx_.tags()[size_t(order_)].name + " points to record " +
                                              std::to_string(cur.rec) + " of " + std::to_string(header_.recCount));
    if (Status r = ReadRecord(cur.rec, record); !r.ok()) return r;
    if (!Hidden(record)) {
      recno = cur.rec;
      at = cur;
      return Status::Ok();
    }
    CdxEntry prev = cur;
    s = forward ? tree.Next(prev, cur, found) : tree.Prev(prev, cur, found);
  }
  return s;
}

Status Table::NaturalStep(bool forward, uint32_t from, uint32_t& recno) {
  recno = 0;
  std::string record;
  int64_t r = int64_t(from);
  while (true) {
    r += forward ? 1 : -1;
    if (r < 1 || r > int64_t(header_.recCount)) return Status::Ok();
    if (Status s = ReadRecord(uint32_t(r), record); !s.ok()) return s;
    if (!Hidden(record)) {
      recno = uint32_t(r);
      return Status::Ok();
    }
  }
}

// The first (top) or last visible record in the current order; 0 when none.
Status Table::EndRecord(bool top, uint32_t& recno, CdxEntry& at) {
  if (order_ >= 0) return IndexStep(top, true, nullptr, recno, at);
  return NaturalStep(top, top ? 0 : header_.recCount + 1, recno);
}

Status Table::GoEnd(bool top) {
  if (Status s = EnsureCurrent(); !s.ok()) return s;
  if (Status s = RefreshCount(); !s.ok()) return s;
  uint32_t recno;
  CdxEntry at;
  {
    CdxIndex::Guard g(cdx_, false);
    if (!g.status().ok()) return g.status();
    if (Status s = EndRecord(top, recno, at); !s.ok()) return s;
  }
  bof_ = recno == 0;
  if (recno == 0) {
    SetEof();
    return Status::Ok();
  }
  if (Status s = Load(recno); !s.ok()) return s;
  if (order_ >= 0) { entry_ = at; entryValid_ = true; }
  return Status::Ok();
}

Status Table::GoTop() { return GoEnd(true); }
Status Table::GoBottom() { return GoEnd(false); }

Status Table::GoTo(uint32_t recno) {
  if (Status s = EnsureCurrent(); !s.ok()) return s;
  if (Status s = RefreshCount(); !s.ok()) return s;
  bof_ = false;
  if (recno < 1 || recno > header_.recCount) {
    SetEof();
    bof_ = header_.recCount == 0;
    return Status::Ok();
  }
  return Load(recno);
}

Status Table::Skip(long count) {
  if (Status s = EnsureCurrent(); !s.ok()) return s;
  if (Status s = RefreshCount(); !s.ok()) return s;
  if (count == 0) {
    if (eof_) return Status::Ok();
    bool keep = entryValid_;
    CdxEntry e = entry_;
    if (Status s = Load(recno_); !s.ok()) return s;
    entryValid_ = keep;
    entry_ = e;
    return Status::Ok();
  }
  bool forward = count > 0;
  bof_ = false;
  std::unique_ptr<CdxIndex::Guard> guard;
  if (order_ >= 0) {
    guard = std::make_unique<CdxIndex::Guard>(cdx_, false);
    if (!guard->status().ok()) return guard->status();
  }
  for (long n = forward ? count : -count; n > 0; --n) {
    uint32_t next = 0;
    CdxEntry at;
    if (eof_ && !forward) {
      // Skipping back from the end of file lands on the last record.
      if (Status s = EndRecord(false, next, at); !s.ok()) return s;
    } else if (eof_) {
      return Status::Ok();
    } else if (order_ >= 0) {
      CdxEntry cur;
      if (Status s = CurrentEntry(cur); !s.ok()) return s;
      if (Status s = IndexStep(forward, false, &cur, next, at); !s.ok()) return s;
    } else if (Status s = NaturalStep(forward, recno_, next); !s.ok()) {
      return s;
    }
    if (next == 0) {
      if (forward) {
        SetEof();
        return Status::Ok();
      }
      guard.reset();
      Status s = GoTop();
      bof_ = true;
      return s;
    }
    if (Status s = Load(next); !s.ok()) return s;
    if (order_ >= 0) { entry_ = at; entryValid_ = true; }
  }
  return Status::Ok();
}

Status Table::FieldGet(size_t i, rt::Value& out) {
  if (i >= header_.fields.size()) return Status::Error(rt::EG_ARG, FileName() + ": no field number " + std::to_string(i + 1));
  auto pending = pendingMemos_.find(i);
  if (pending != pendingMemos_.end()) {
    out = rt::Value(pending->second);
    return Status::Ok();
  }
  Status memoStatus;
  RecordView view(header_, buffer_, TableCodePage(), [this](uint32_t b, std::string& text) { return MemoText(b, text); });
  out = view.FieldGet(i, &memoStatus);
  if (!memoStatus.ok() && memoStatus.description.rfind(": ") == 0)
    memoStatus.description = FileName() + memoStatus.description;
  return memoStatus;
}

Status Table::FieldGetFormatted(size_t i, std::string& out) {
  rt::Value v;
  if (Status s = FieldGet(i, v); !s.ok()) return s;
  out = FormatField(header_.fields[i], v);
  return Status::Ok();
}

Status Table::FieldPut(size_t i, const rt::Value& value) {
  if (Status s = CheckWritable(); !s.ok()) return s;
  if (i >= header_.fields.size()) return Status::Error(rt::EG_ARG, FileName() + ": no field number " + std::to_string(i + 1));
  if (eof_) return Status::Error(rt::EG_ARG, FileName() + ": no current record (end of file)");
  const FieldDesc& f = header_.fields[i];
  if (f.type == 'M') {
    if (!value.IsString())
      return Status::Error(rt::EG_DATATYPE, FileName() + ": memo field " + f.name + " takes text only");
    pendingMemos_[i] = value.AsString();
    dirty_ = true;
    return Status::Ok();
  }
  std::string bytes;
  if (Status s = EncodeField(f, value, TableCodePage(), bytes); !s.ok()) {
    s.description = FileName() + ": " + s.description;
    return s;
  }
  buffer_.replace(size_t(f.offset), size_t(f.length), bytes);
  dirty_ = dirty_ || buffer_ != original_;
  return Status::Ok();
}

Status Table::UpdateKeys(const std::string& oldRecord, const std::string& newRecord, uint32_t recno, bool inserted) {
  if (tags_.empty()) return Status::Ok();
  // Compute every key first: nothing is changed when one cannot be.
  std::vector<std::string> oldKeys(tags_.size()), newKeys(tags_.size());
  for (size_t t = 0; t < tags_.size(); ++t) {
    if (!inserted)
      if (Status s = KeyOf(t, oldRecord, oldKeys[t]); !s.ok()) return s;
    if (Status s = KeyOf(t, newRecord, newKeys[t]); !s.ok()) return s;
  }
  for (size_t t = 0; t < tags_.size(); ++t) {
    if (!inserted && oldKeys[t] == newKeys[t]) continue;
    CdxTree tree = Tree(t);
    if (!inserted) {
      bool removed;
      if (Status s = tree.Remove(oldKeys[t], recno, removed); !s.ok()) return s;
    }
    if (cdx_.tags()[t].options & 0x01) {   // unique: the first record keeps the key
      CdxEntry e;
      bool found;
      if (Status s = tree.SeekKey(newKeys[t], e, found); !s.ok()) return s;
      if (found && CompareKeys(cdx_.tags()[t].format.type, e.key, newKeys[t]) == 0) continue;
    }
    if (Status s = tree.Insert(newKeys[t], recno); !s.ok()) return s;
  }
  return Status::Ok();
}

Status Table::Commit() {
  if (!dirty_) return Status::Ok();
  if (Status s = CheckWritable(); !s.ok()) return s;
  ScopedLock recordLock(dbf_, RecordLockOffset(recno_), 1, true, shared_);
  if (!recordLock.status().ok()) return recordLock.status();
  // The record as it is on disk now decides which keys and memo blocks change.
  std::string onDisk;
  if (Status s = ReadRecord(recno_, onDisk); !s.ok()) return s;
  std::string record = buffer_;
  // Check the keys before anything is written.
  for (size_t t = 0; t < tags_.size(); ++t) {
    std::string key;
    if (Status s = KeyOf(t, onDisk, key); !s.ok()) return s;
  }
  for (auto& [i, text] : pendingMemos_) {
    const FieldDesc& f = header_.fields[i];
    int64_t oldBlock = ParseMemoPointer(f, std::string_view(onDisk).substr(size_t(f.offset), size_t(f.length)));
    uint32_t block;
    if (Status s = memo_.Write(oldBlock > 0 ? uint32_t(oldBlock) : 0, rt::ToCodePage(text, TableCodePage()), block);
        !s.ok())
      return s;
    record.replace(size_t(f.offset), size_t(f.length), EncodeMemoPointer(f, block));
  }
  {
    CdxIndex::Guard g(cdx_, true);
    if (!g.status().ok()) return g.status();
    if (Status s = DbfWriter(dbf_).WriteRecord(header_, recno_, record); !s.ok()) return s;
    if (Status s = UpdateKeys(onDisk, record, recno_, false); !s.ok()) return s;
  }
  buffer_ = original_ = record;
  pendingMemos_.clear();
  dirty_ = false;
  entryValid_ = false;
  return Status::Ok();
}

Status Table::Append() {
  if (Status s = CheckWritable(); !s.ok()) return s;
  if (Status s = EnsureCurrent(); !s.ok()) return s;
  ScopedLock headerLock(dbf_, HeaderLockOffset(), 1, true, shared_);
  if (!headerLock.status().ok()) return headerLock.status();
  if (Status s = RefreshCount(); !s.ok()) return s;
  std::string blank = BlankRecord(header_);
  CdxIndex::Guard g(cdx_, true);
  if (!g.status().ok()) return g.status();
  // Keys are computed before the record is written: a tag that cannot be
  // maintained stops the append with nothing changed.
  for (size_t t = 0; t < tags_.size(); ++t) {
    std::string key;
    if (Status s = KeyOf(t, blank, key); !s.ok()) return s;
  }
  if (Status s = DbfWriter(dbf_).AppendRecord(header_, blank); !s.ok()) return s;
  if (Status s = UpdateKeys(blank, blank, header_.recCount, true); !s.ok()) return s;
  recno_ = header_.recCount;
  buffer_ = original_ = blank;
  eof_ = bof_ = false;
  entryValid_ = false;
  return Status::Ok();
}

Status Table::Delete() {
  if (Status s = CheckWritable(); !s.ok()) return s;
  if (eof_) return Status::Ok();
  buffer_[0] = kDeleted;
  dirty_ = true;
  return Commit();
}

Status Table::Recall() {
  if (Status s = CheckWritable(); !s.ok()) return s;
  if (eof_) return Status::Ok();
  buffer_[0] = kLive;
  dirty_ = true;
  return Commit();
}

Status Table::CreateTag(const std::string& name, const std::string& expression, const KeyEvaluator& evaluator) {
  if (Status s = CheckWritable(); !s.ok()) return s;
  if (Status s = EnsureCurrent(); !s.ok()) return s;
  if (!evaluator) return Status::Error(rt::EG_ARG, FileName() + ": tag " + name + " needs a key evaluator");
  std::string blank = BlankRecord(header_);
  TagSpec spec{name, expression, {}, false};
  RecordView blankView(header_, blank, TableCodePage());
  if (Status s = KeyFormatOf(evaluator(blankView), TableCodePage(), spec.format); !s.ok()) {
    s.description = CdxPath() + ": tag " + name + ": " + s.description;
    s.genCode = rt::EG_CREATE;
    return s;
  }
  if (!cdx_.IsOpen()) {
    if (Status s = CdxIndex::CreateEmpty(CdxPath()); !s.ok()) return s;
    if (Status s = OpenIndex(); !s.ok()) return s;
  }
  ScopedLock headerLock(dbf_, HeaderLockOffset(), 1, true, shared_);
  if (!headerLock.status().ok()) return headerLock.status();
  if (Status s = RefreshCount(); !s.ok()) return s;
  {
    CdxIndex::Guard g(cdx_, true);
    if (!g.status().ok()) return g.status();
    std::vector<CdxEntry> entries;
    entries.reserve(header_.recCount);
    std::string record;
    for (uint32_t r = 1; r <= header_.recCount; ++r) {
      if (Status s = ReadRecord(r, record); !s.ok()) return s;
      RecordView view(header_, record, TableCodePage(), [this](uint32_t b, std::string& t) { return MemoText(b, t); });
      CdxEntry e;
      e.rec = r;
      if (Status s = MakeKey(evaluator(view), spec.format, TableCodePage(), e.key); !s.ok()) {
        s.description = CdxPath() + ": tag " + name + ", record " + std::to_string(r) + ": " + s.description;
        return s;
      }
      entries.push_back(std::move(e));
    }
    SortEntries(entries, spec.format.type);
    if (Status s = BuildTag(cdx_, spec, entries, header_.recCount); !s.ok()) return s;
  }
  tags_.clear();
  for (const TagInfo& t : cdx_.tags()) tags_.push_back({BuiltInEvaluator(t.expression, header_)});
  int tag = cdx_.FindTag(name);
  tags_[size_t(tag)].evaluator = evaluator;
  if (!(header_.flags & kFlagStructuralCdx))
    if (Status s = DbfWriter(dbf_).WriteFlags(header_, header_.flags | kFlagStructuralCdx); !s.ok()) return s;
  order_ = tag;
  return Status::Ok();
}

Status Table::SetKeyEvaluator(const std::string& tag, const KeyEvaluator& evaluator) {
  int t = cdx_.IsOpen() ? cdx_.FindTag(tag) : -1;
  if (t < 0) return Status::Error(rt::EG_NOORDER, FileName() + ": no tag " + tag);
  tags_[size_t(t)].evaluator = evaluator;
  return Status::Ok();
}

Status Table::SetOrder(const std::string& tag) {
  if (Status s = EnsureCurrent(); !s.ok()) return s;
  if (rt::Trim(tag).empty()) {
    order_ = -1;
    return Status::Ok();
  }
  int t = cdx_.IsOpen() ? cdx_.FindTag(tag) : -1;
  if (t < 0) return Status::Error(rt::EG_NOORDER, FileName() + ": no tag " + tag);
  order_ = t;
  entryValid_ = false;
  return Status::Ok();
}

std::string Table::OrderName() const { return order_ < 0 ? "" : cdx_.tags()[size_t(order_)].name; }

std::vector<std::string> Table::TagNames() const {
  std::vector<std::string> names;
  if (cdx_.IsOpen())
    for (const auto& t : cdx_.tags()) names.push_back(t.name);
  return names;
}

Status Table::Seek(const rt::Value& value, bool soft, bool& found) {
  found = found_ = false;
  if (Status s = EnsureCurrent(); !s.ok()) return s;
  if (order_ < 0) return Status::Error(rt::EG_NOORDER, FileName() + ": Seek needs an index order");
  if (Status s = RefreshCount(); !s.ok()) return s;
  const TagInfo& t = cdx_.tags()[size_t(order_)];
  std::string prefix;
  if (t.format.type == KeyType::Character) {
    if (!value.IsString()) return Status::Error(rt::EG_DATATYPE, FileName() + ": tag " + t.name + " has character keys");
    prefix = rt::ToCodePage(value.AsString(), TableCodePage());
    if (int(prefix.size()) > t.format.length) prefix.resize(size_t(t.format.length));
  } else if (Status s = MakeKey(value, t.format, TableCodePage(), prefix); !s.ok()) {
    s.description = FileName() + ": " + s.description;
    return s;
  }
  CdxIndex::Guard g(cdx_, false);
  if (!g.status().ok()) return g.status();
  CdxTree tree = Tree(size_t(order_));
  CdxEntry e;
  bool any;
  if (Status s = tree.SeekKey(prefix, e, any); !s.ok()) return s;
  std::string record;
  while (any) {
    if (e.rec < 1 || e.rec > header_.recCount)
      return Status::Corrupt(cdx_.name(), "tag " + t.name + " points to record " + std::to_string(e.rec));
    if (Status s = ReadRecord(e.rec, record); !s.ok()) return s;
    if (!Hidden(record)) break;
    CdxEntry prev = e;
    if (Status s = tree.Next(prev, e, any); !s.ok()) return s;
  }
  bof_ = false;
  if (any) found = CompareKeys(t.format.type, std::string_view(e.key).substr(0, prefix.size()), prefix) == 0;
  found_ = found;
  if (!any || (!found && !soft)) {
    SetEof();
    return Status::Ok();
  }
  if (Status s = Load(e.rec, &record); !s.ok()) return s;
  entry_ = e;
  entryValid_ = true;
  return Status::Ok();
}

}  // namespace db
