#include "cdx_tag.h"

#include <algorithm>
#include <cstring>

#include "coding.h"

#include "platform/runtime/strings.h"

namespace db {

namespace {
constexpr uint64_t kIndexLock = 0x7FFFFFFE;   // byte locked around every tree operation
constexpr size_t kCacheLimit = 32768;          // pages kept before the cache starts over (16 MB)
constexpr size_t kNodeCacheLimit = 16384;      // decoded nodes kept likewise
constexpr int kMaxDepth = 64;


std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%X", v);
  return b;
}
}  // namespace

// ---- CdxIndex -------------------------------------------------------------

Status CdxIndex::CreateEmpty(const std::string& path) {
  DbFile f;
  if (Status s = f.Create(path); !s.ok()) return s;
  uint8_t buf[3 * kPageSize] = {};
  PutLe32(buf, 1024);       // directory root
  buf[12] = 10;             // directory keys: tag names of 10 bytes
  buf[14] = 0xE0;           // compound, compact, structural
  buf[15] = 1;
  buf[504] = 1;             // no expressions: empty pool
  buf[506] = 1;
  buf[510] = 1;
  CdxNode root;
  root.attr = kRootNode | kLeafNode;
  EncodeNode(root, 10, ' ', 0, buf + 1024);
  return f.WriteAt(0, buf, sizeof buf);
}

Status CdxIndex::Open(const std::string& path, bool readOnly, bool shared,
                      const std::function<KeyType(const std::string&)>& keyType) {
  Close();
  shared_ = shared;
  readOnly_ = readOnly;
  keyType_ = keyType;
  if (Status s = file_.Open(path, readOnly); !s.ok()) return s;
  name_ = file_.name();
  fileSize_ = file_.Size();
  if (fileSize_ < 3 * kPageSize) {
    Close();
    return Status::Corrupt(name_, "index file is too short (" + std::to_string(fileSize_) + " bytes)");
  }
  uint8_t h[16];
  if (Status s = file_.ReadAt(0, h, sizeof h); !s.ok()) return s;
  if (Le16(h + 12) != 10 || !(h[14] & 0x60)) {
    Close();
    return Status::Corrupt(name_, "not a compound index (bad file header)");
  }
  Guard g(*this, false);
  if (!g.status().ok()) return g.status();
  if (Status s = ReloadTags(); !s.ok()) {
    Close();
    return s;
  }
  return Status::Ok();
}

void CdxIndex::Close() {
  file_.Close();
  tags_.clear();
  cache_.clear();
  ++generation_;
}

int CdxIndex::FindTag(std::string_view name) const {
  for (size_t i = 0; i < tags_.size(); ++i)
    if (rt::EqualsNoCase(tags_[i].name, rt::Trim(name))) return int(i);
  return -1;
}

Status CdxIndex::ReloadTags() {
  std::vector<TagInfo> tags;
  CdxTree directory(*this, 0, {KeyType::Character, 10}, uint32_t(fileSize_));
  std::vector<CdxEntry> entries;
  if (Status s = directory.ForEach([&](const CdxEntry& e) { entries.push_back(e); }); !s.ok()) return s;
  for (const CdxEntry& e : entries) {
    TagInfo t;
    t.name = rt::RTrim(e.key);
    t.header = e.rec;
    uint8_t h[2 * kPageSize];
    if (Status s = ReadPage(t.header, h); !s.ok()) return s;
    if (Status s = ReadPage(t.header + kPageSize, h + kPageSize); !s.ok()) return s;
    int keylen = Le16(h + 12);
    t.options = h[14];
    t.descending = Le16(h + 502) == 1;
    const char* pool = reinterpret_cast<const char*>(h + 512);
    size_t keyEnd = strnlen(pool, 512);
    t.expression.assign(pool, keyEnd);
    if (keyEnd + 1 < 512) t.forExpression.assign(pool + keyEnd + 1, strnlen(pool + keyEnd + 1, 511 - keyEnd));
    KeyType type = keyType_ ? keyType_(t.expression) : KeyType::Character;
    int expected = type == KeyType::Numeric || type == KeyType::Date ? 8 : type == KeyType::Logical ? 1 : keylen;
    if (keylen < 1 || keylen > kMaxKeyLen || keylen != expected)
      return Status::Corrupt(name_, "tag " + t.name + " has key length " + std::to_string(keylen));
    t.format = {type, keylen};
    tags.push_back(std::move(t));
  }
  std::sort(tags.begin(), tags.end(), [](const TagInfo& a, const TagInfo& b) { return a.header < b.header; });
  tags_ = std::move(tags);
  return Status::Ok();
}

CdxIndex::Guard::Guard(CdxIndex& index, bool write) : index_(index), write_(write) {
  if (!index_.shared_ || !index_.IsOpen()) {
    if (write_) index_.written_ = false;
    return;
  }
  status_ = index_.file_.Lock(kIndexLock, 1, write_);
  if (!status_.ok()) return;
  held_ = true;
  index_.written_ = false;
  uint8_t h[12];
  if (Status s = index_.file_.ReadAt(0, h, sizeof h); !s.ok()) { status_ = s; return; }
  uint32_t counter = Be32(h + 8), freeHead = Le32(h + 4);
  uint64_t size = index_.file_.Size();
  if (counter != index_.seenCounter_ || freeHead != index_.seenFree_ || size != index_.fileSize_) {
    index_.DropCache();
    index_.seenCounter_ = counter;
    index_.seenFree_ = freeHead;
    index_.fileSize_ = size;
  }
}

CdxIndex::Guard::~Guard() {
  if (write_ && index_.written_ && index_.shared_) {
    // Tell other users that pages changed.
    uint8_t page[kPageSize];
    if (index_.ReadPage(0, page).ok()) {
      PutBe32(page + 8, Be32(page + 8) + 1);
      if (index_.WritePage(0, page).ok()) {
        index_.seenCounter_ = Be32(page + 8);
        index_.seenFree_ = Le32(page + 4);
      }
    }
    index_.written_ = false;
  }
  if (held_) index_.file_.Unlock(kIndexLock, 1);
}

void CdxIndex::DropCache() {
  cache_.clear();
  nodes_.clear();
  ++generation_;
}

const CdxNode* CdxIndex::CachedNode(uint32_t offset) const {
  auto it = nodes_.find(offset);
  return it == nodes_.end() ? nullptr : &it->second;
}

void CdxIndex::CacheNode(uint32_t offset, const CdxNode& node) {
  if (nodes_.size() >= kNodeCacheLimit) nodes_.clear();
  nodes_[offset] = node;
}

Status CdxIndex::ReadPage(uint32_t offset, uint8_t* page) {
  if (offset % kPageSize != 0 || uint64_t(offset) + kPageSize > fileSize_)
    return Status::Corrupt(name_, "index page pointer " + Hex(offset) + " lies outside the file");
  auto it = cache_.find(offset);
  if (it != cache_.end()) {
    std::memcpy(page, it->second.data(), kPageSize);
    return Status::Ok();
  }
  if (Status s = file_.ReadAt(offset, page, kPageSize); !s.ok()) return s;
  if (cache_.size() >= kCacheLimit) cache_.clear();
  std::memcpy(cache_[offset].data(), page, kPageSize);
  return Status::Ok();
}

Status CdxIndex::WritePage(uint32_t offset, const uint8_t* page) {
  if (readOnly_) return Status::Error(rt::EG_READONLY, name_ + ": index is open read-only");
  nodes_.erase(offset);
  if (Status s = file_.WriteAt(offset, page, kPageSize); !s.ok()) return s;
  written_ = true;
  fileSize_ = std::max<uint64_t>(fileSize_, uint64_t(offset) + kPageSize);
  if (cache_.size() >= kCacheLimit) cache_.clear();
  std::memcpy(cache_[offset].data(), page, kPageSize);
  return Status::Ok();
}

Status CdxIndex::AppendPages(uint32_t count, uint32_t& offset) {
  uint64_t at = (fileSize_ + kPageSize - 1) / kPageSize * kPageSize;
  if (at + uint64_t(count) * kPageSize > 0xFFFFFE00ull) return Status::Error(rt::EG_WRITE, name_ + ": index file is full");
  offset = uint32_t(at);
  uint8_t zero[kPageSize] = {};
  for (uint32_t i = 0; i < count; ++i)
    if (Status s = WritePage(offset + i * kPageSize, zero); !s.ok()) return s;
  return Status::Ok();
}

Status CdxIndex::AllocPage(uint32_t& offset) {
  uint8_t head[kPageSize];
  if (Status s = ReadPage(0, head); !s.ok()) return s;
  uint32_t free = Le32(head + 4);
  if (free == 0 || free == kNoPage) return AppendPages(1, offset);
  uint8_t page[kPageSize];
  if (Status s = ReadPage(free, page); !s.ok()) return s;
  PutLe32(head + 4, Le32(page));
  if (Status s = WritePage(0, head); !s.ok()) return s;
  offset = free;
  return Status::Ok();
}

Status CdxIndex::FreePage(uint32_t offset) {
  uint8_t head[kPageSize];
  if (Status s = ReadPage(0, head); !s.ok()) return s;
  uint8_t page[kPageSize] = {};
  uint32_t free = Le32(head + 4);
  PutLe32(page, free == kNoPage ? 0 : free);
  if (Status s = WritePage(offset, page); !s.ok()) return s;
  PutLe32(head + 4, offset);
  return WritePage(0, head);
}

// ---- CdxTree --------------------------------------------------------------

int CdxTree::Compare(const CdxEntry& a, const std::string& key, uint32_t rec) const {
  int c = CompareKeys(format_.type, a.key, key);
  if (c != 0) return c;
  return a.rec < rec ? -1 : a.rec > rec ? 1 : 0;
}

Status CdxTree::Root(uint32_t& root) {
  uint8_t page[kPageSize];
  if (Status s = index_.ReadPage(header_, page); !s.ok()) return s;
  root = Le32(page);
  return Status::Ok();
}

Status CdxTree::SetRoot(uint32_t root) {
  uint8_t page[kPageSize];
  if (Status s = index_.ReadPage(header_, page); !s.ok()) return s;
  PutLe32(page, root);
  return index_.WritePage(header_, page);
}

Status CdxTree::Read(uint32_t offset, CdxNode& node) {
  if (const CdxNode* cached = index_.CachedNode(offset)) {
    node = *cached;
    return Status::Ok();
  }
  uint8_t page[kPageSize];
  if (Status s = index_.ReadPage(offset, page); !s.ok()) return s;
  if (Status s = DecodeNode(page, offset, format_.length, format_.fill(), index_.name(), node); !s.ok()) return s;
  index_.CacheNode(offset, node);
  return Status::Ok();
}

Status CdxTree::Write(uint32_t offset, const CdxNode& node) {
  uint8_t page[kPageSize];
  if (!EncodeNode(node, format_.length, format_.fill(), maxRec_, page))
    return Status::Corrupt(index_.name(), "node at " + Hex(offset) + " overflows");
  return index_.WritePage(offset, page);
}

bool CdxTree::Fits(const CdxNode& node) const {
  uint8_t page[kPageSize];
  return EncodeNode(node, format_.length, format_.fill(), maxRec_, page);
}

Status CdxTree::Descend(const Less& below, std::vector<Step>& path, bool useLastWhenBeyond) {
  path.clear();
  uint32_t offset;
  if (Status s = Root(offset); !s.ok()) return s;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    Step st{offset, {}, 0};
    if (Status s = Read(offset, st.node); !s.ok()) return s;
    auto& entries = st.node.entries;
    size_t i = 0;
    while (i < entries.size() && below(entries[i])) ++i;
    st.index = i;
    bool leaf = st.node.IsLeaf();
    if (!leaf && entries.empty()) return Status::Corrupt(index_.name(), "branch node at " + Hex(offset) + " is empty");
    if (!leaf && i == entries.size()) {
      if (!useLastWhenBeyond) {
        path.push_back(std::move(st));
        return Status::Ok();
      }
      st.index = i = entries.size() - 1;
    }
    uint32_t child = leaf ? 0 : entries[i].child;
    path.push_back(std::move(st));
    if (leaf) return Status::Ok();
    offset = child;
  }
  return Status::Corrupt(index_.name(), "index tree is deeper than " + std::to_string(kMaxDepth) + " levels (a loop)");
}

Status CdxTree::FirstFrom(std::vector<Step>& path, const Less& below, CdxEntry& out, bool& found) {
  found = false;
  Step& st = path.back();
  if (!st.node.IsLeaf()) return Status::Ok();   // beyond the last key
  if (st.index < st.node.entries.size()) {
    out = st.node.entries[st.index];
    found = true;
    return Status::Ok();
  }
  uint32_t next = st.node.right;
  for (uint64_t guard = index_.size() / kPageSize; next != kNoPage && guard > 0; --guard) {
    CdxNode node;
    if (Status s = Read(next, node); !s.ok()) return s;
    for (const auto& e : node.entries) {
      if (!below(e)) {
        out = e;
        found = true;
        return Status::Ok();
      }
    }
    next = node.right;
  }
  return Status::Ok();
}

Status CdxTree::First(CdxEntry& out, bool& found) {
  std::vector<Step> path;
  auto below = [](const CdxEntry&) { return false; };
  if (Status s = Descend(below, path, false); !s.ok()) return s;
  return FirstFrom(path, below, out, found);
}

Status CdxTree::Next(const CdxEntry& after, CdxEntry& out, bool& found) {
  std::vector<Step> path;
  auto below = [&](const CdxEntry& e) { return Compare(e, after.key, after.rec) <= 0; };
  if (Status s = Descend(below, path, false); !s.ok()) return s;
  if (Status s = FirstFrom(path, below, out, found); !s.ok()) return s;
  // A tree whose keys are out of order could send a scan round in circles.
  if (found && Compare(out, after.key, after.rec) <= 0)
    return Status::Corrupt(index_.name(), "index keys are out of order");
  return Status::Ok();
}

Status CdxTree::SeekKey(const std::string& prefix, CdxEntry& out, bool& found) {
  std::vector<Step> path;
  auto below = [&](const CdxEntry& e) {
    return CompareKeys(format_.type, std::string_view(e.key).substr(0, prefix.size()), prefix) < 0;
  };
  if (Status s = Descend(below, path, false); !s.ok()) return s;
  return FirstFrom(path, below, out, found);
}

Status CdxTree::Last(CdxEntry& out, bool& found) {
  CdxEntry beyond;
  beyond.rec = kNoPage;
  return Prev(beyond, out, found);
}

Status CdxTree::Prev(const CdxEntry& before, CdxEntry& out, bool& found) {
  found = false;
  std::vector<Step> path;
  bool toEnd = before.key.empty() && before.rec == kNoPage;   // Last()
  auto below = [&](const CdxEntry& e) { return toEnd || Compare(e, before.key, before.rec) < 0; };
  if (Status s = Descend(below, path, true); !s.ok()) return s;
  Step& st = path.back();
  if (st.index > 0) {
    out = st.node.entries[st.index - 1];
    found = true;
    if (!toEnd && Compare(out, before.key, before.rec) >= 0)
      return Status::Corrupt(index_.name(), "index keys are out of order");
    return Status::Ok();
  }
  uint32_t prev = st.node.left;
  for (uint64_t guard = index_.size() / kPageSize; prev != kNoPage && guard > 0; --guard) {
    CdxNode node;
    if (Status s = Read(prev, node); !s.ok()) return s;
    if (!node.entries.empty()) {
      out = node.entries.back();
      found = true;
      if (!toEnd && Compare(out, before.key, before.rec) >= 0)
        return Status::Corrupt(index_.name(), "index keys are out of order");
      return Status::Ok();
    }
    prev = node.left;
  }
  return Status::Ok();
}

Status CdxTree::ForEach(const std::function<void(const CdxEntry&)>& visit) {
  std::vector<Step> path;
  if (Status s = Descend([](const CdxEntry&) { return false; }, path, false); !s.ok()) return s;
  uint32_t offset = path.back().offset;
  CdxNode node = std::move(path.back().node);
  for (uint64_t guard = index_.size() / kPageSize + 1; guard > 0; --guard) {
    if (!node.IsLeaf()) return Status::Corrupt(index_.name(), "leaf chain reaches a branch node at " + Hex(offset));
    for (const auto& e : node.entries) visit(e);
    if (node.right == kNoPage) return Status::Ok();
    offset = node.right;
    if (Status s = Read(offset, node); !s.ok()) return s;
  }
  return Status::Corrupt(index_.name(), "leaf chain has a loop");
}

std::vector<CdxNode> CdxTree::Split(const CdxNode& node) const {
  size_t n = node.entries.size();
  for (size_t parts = 2; parts <= n; ++parts) {
    std::vector<CdxNode> pieces;
    bool ok = true;
    for (size_t p = 0; p < parts && ok; ++p) {
      CdxNode piece;
      piece.attr = uint16_t(node.attr & ~kRootNode);
      size_t from = n * p / parts, to = n * (p + 1) / parts;
      piece.entries.assign(node.entries.begin() + long(from), node.entries.begin() + long(to));
      ok = !piece.entries.empty() && Fits(piece);
      pieces.push_back(std::move(piece));
    }
    if (ok) return pieces;
  }
  return {};
}

Status CdxTree::SetSibling(uint32_t offset, bool left, uint32_t value) {
  uint8_t page[kPageSize];
  if (Status s = index_.ReadPage(offset, page); !s.ok()) return s;
  PutLe32(page + (left ? 4 : 8), value);
  return index_.WritePage(offset, page);
}

Status CdxTree::Store(std::vector<Step>& path, size_t level) {
  Step& st = path[level];
  CdxNode& node = st.node;
  if (Fits(node)) {
    if (Status s = Write(st.offset, node); !s.ok()) return s;
    if (level == 0 || node.entries.empty()) return Status::Ok();
    Step& parent = path[level - 1];
    CdxEntry& up = parent.node.entries[parent.index];
    const CdxEntry& last = node.entries.back();
    if (up.key == last.key && up.rec == last.rec) return Status::Ok();
    up.key = last.key;
    up.rec = last.rec;
    return Store(path, level - 1);
  }
  std::vector<CdxNode> pieces = Split(node);
  if (pieces.empty()) return Status::Corrupt(index_.name(), "node at " + Hex(st.offset) + " cannot be split");
  std::vector<uint32_t> offsets{st.offset};
  for (size_t i = 1; i < pieces.size(); ++i) {
    uint32_t off;
    if (Status s = index_.AllocPage(off); !s.ok()) return s;
    offsets.push_back(off);
  }
  pieces.front().left = node.left;
  pieces.back().right = node.right;
  for (size_t i = 0; i + 1 < pieces.size(); ++i) {
    pieces[i].right = offsets[i + 1];
    pieces[i + 1].left = offsets[i];
  }
  if (node.right != kNoPage)
    if (Status s = SetSibling(node.right, true, offsets.back()); !s.ok()) return s;
  std::vector<CdxEntry> ups;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (Status s = Write(offsets[i], pieces[i]); !s.ok()) return s;
    ups.push_back({pieces[i].entries.back().key, pieces[i].entries.back().rec, offsets[i]});
  }
  if (level == 0) {
    CdxNode root;
    root.attr = kRootNode;
    root.entries = std::move(ups);
    uint32_t rootOffset;
    if (Status s = index_.AllocPage(rootOffset); !s.ok()) return s;
    if (Status s = Write(rootOffset, root); !s.ok()) return s;
    return SetRoot(rootOffset);
  }
  Step& parent = path[level - 1];
  auto& pe = parent.node.entries;
  pe[parent.index] = ups[0];
  pe.insert(pe.begin() + long(parent.index) + 1, ups.begin() + 1, ups.end());
  return Store(path, level - 1);
}

Status CdxTree::Insert(const std::string& key, uint32_t rec) {
  if (int(key.size()) != format_.length) return Status::Error(rt::EG_DATAWIDTH, index_.name() + ": key of wrong length");
  std::vector<Step> path;
  if (Status s = Descend([&](const CdxEntry& e) { return Compare(e, key, rec) < 0; }, path, true); !s.ok()) return s;
  Step& leaf = path.back();
  auto& entries = leaf.node.entries;
  if (leaf.index < entries.size() && Compare(entries[leaf.index], key, rec) == 0) return Status::Ok();
  entries.insert(entries.begin() + long(leaf.index), CdxEntry{key, rec, 0});
  return Store(path, path.size() - 1);
}

Status CdxTree::Remove(const std::string& key, uint32_t rec, bool& removed) {
  removed = false;
  std::vector<Step> path;
  if (Status s = Descend([&](const CdxEntry& e) { return Compare(e, key, rec) < 0; }, path, false); !s.ok()) return s;
  Step& leaf = path.back();
  auto& entries = leaf.node.entries;
  if (!leaf.node.IsLeaf() || leaf.index >= entries.size() || Compare(entries[leaf.index], key, rec) != 0)
    return Status::Ok();
  entries.erase(entries.begin() + long(leaf.index));
  removed = true;
  size_t level = path.size() - 1;
  if (!entries.empty() || level == 0) return Store(path, level);
  return RemoveNode(path, level);
}

Status CdxTree::RemoveNode(std::vector<Step>& path, size_t level) {
  Step& st = path[level];
  if (st.node.left != kNoPage)
    if (Status s = SetSibling(st.node.left, false, st.node.right); !s.ok()) return s;
  if (st.node.right != kNoPage)
    if (Status s = SetSibling(st.node.right, true, st.node.left); !s.ok()) return s;
  if (Status s = index_.FreePage(st.offset); !s.ok()) return s;
  Step& parent = path[level - 1];
  parent.node.entries.erase(parent.node.entries.begin() + long(parent.index));
  if (!parent.node.entries.empty()) {
    // The parent's last entry may have changed: Store carries it upward.
    if (parent.index > 0) --parent.index;
    return Store(path, level - 1);
  }
  if (level - 1 == 0) {
    parent.node.attr = kRootNode | kLeafNode;   // the tree is empty again
    parent.node.left = parent.node.right = kNoPage;
    return Store(path, 0);
  }
  return RemoveNode(path, level - 1);
}

}  // namespace db
