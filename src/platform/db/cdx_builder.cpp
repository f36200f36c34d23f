#include "cdx_builder.h"

#include <algorithm>
#include <cstring>

#include "coding.h"

#include "platform/runtime/strings.h"

namespace db {

namespace {
bool ValidTagName(const std::string& n) {
  if (n.empty() || n.size() > 10 || !std::isalpha(uint8_t(n[0]))) return false;
  return std::all_of(n.begin(), n.end(), [](char c) { return std::isalnum(uint8_t(c)) || c == '_'; });
}


// Groups entries into consecutive nodes that each fit in a page.
std::vector<CdxNode> PackLevel(std::vector<CdxEntry>&& entries, bool leaf, const KeyFormat& fmt, uint32_t maxRec) {
  std::vector<CdxNode> nodes;
  if (!leaf) {
    size_t cap = size_t(BranchCapacity(fmt.length));
    for (size_t i = 0; i < entries.size(); i += cap) {
      CdxNode n;
      n.attr = 0;
      n.entries.assign(std::make_move_iterator(entries.begin() + long(i)),
                       std::make_move_iterator(entries.begin() + long(std::min(entries.size(), i + cap))));
      nodes.push_back(std::move(n));
    }
    return nodes;
  }
  // Same entry size rule as the encoder: B from the highest record number.
  int D = 0;
  for (unsigned k = unsigned(fmt.length); k; k >>= 1) ++D;
  int B = 3, R = 24 - 2 * D;
  for (const auto& e : entries) maxRec = std::max(maxRec, e.rec);
  while (R < 32 && uint64_t(maxRec) > (uint64_t(1) << R) - 1) { ++B; R += 8; }
  uint8_t fill = fmt.fill();
  CdxNode cur;
  int used = 0, prevTrail = 0;
  for (auto& e : entries) {
    int trail = 0;
    for (auto it = e.key.rbegin(); it != e.key.rend() && uint8_t(*it) == fill; ++it) ++trail;
    int dup = 0;
    if (!cur.entries.empty()) {
      const std::string& prev = cur.entries.back().key;
      int cap = fmt.length - std::max(trail, prevTrail);
      while (dup < cap && e.key[size_t(dup)] == prev[size_t(dup)]) ++dup;
    }
    int size = B + fmt.length - dup - trail;
    if (!cur.entries.empty() && used + size > 488) {
      nodes.push_back(std::move(cur));
      cur = CdxNode{};
      used = 0;
      size = B + fmt.length - trail;
    }
    used += size;
    prevTrail = trail;
    cur.entries.push_back(std::move(e));
  }
  nodes.push_back(std::move(cur));
  return nodes;
}
}  // namespace

void SortEntries(std::vector<CdxEntry>& entries, KeyType type) {
  std::sort(entries.begin(), entries.end(), [type](const CdxEntry& a, const CdxEntry& b) {
    int c = CompareKeys(type, a.key, b.key);
    return c != 0 ? c < 0 : a.rec < b.rec;
  });
}

Status BuildTag(CdxIndex& index, const TagSpec& spec, std::vector<CdxEntry>& entries, uint32_t maxRec) {
  std::string name = rt::Upper(rt::Trim(spec.name));
  if (!ValidTagName(name)) return Status::Error(rt::EG_CREATE, index.name() + ": invalid tag name \"" + spec.name + "\"");
  if (spec.expression.empty() || spec.expression.size() > 500)
    return Status::Error(rt::EG_CREATE, index.name() + ": tag " + name + " needs a key expression of 1 to 500 characters");
  if (spec.format.length < 1 || spec.format.length > kMaxKeyLen)
    return Status::Error(rt::EG_CREATE, index.name() + ": tag " + name + " has an impossible key length");
  if (spec.unique) {
    auto same = [&](const CdxEntry& a, const CdxEntry& b) { return CompareKeys(spec.format.type, a.key, b.key) == 0; };
    entries.erase(std::unique(entries.begin(), entries.end(), same), entries.end());
  }
  uint32_t header;
  if (Status s = index.AppendPages(2, header); !s.ok()) return s;

  // Levels from the leaves up; the level with one node is the root.
  std::vector<std::vector<CdxNode>> levels;
  levels.push_back(PackLevel(std::move(entries), true, spec.format, maxRec));
  while (levels.back().size() > 1) {
    std::vector<CdxEntry> ups;
    for (const auto& n : levels.back()) ups.push_back({n.entries.back().key, n.entries.back().rec, 0});
    levels.push_back(PackLevel(std::move(ups), false, spec.format, maxRec));
  }
  size_t pages = 0;
  for (const auto& l : levels) pages += l.size();
  uint32_t first;
  if (Status s = index.AppendPages(uint32_t(pages), first); !s.ok()) return s;
  uint32_t next = first;
  for (auto& level : levels) {
    for (size_t i = 0; i < level.size(); ++i) {
      level[i].left = i == 0 ? kNoPage : next - kPageSize;
      level[i].right = i + 1 == level.size() ? kNoPage : next + kPageSize;
      next += kPageSize;
    }
  }
  levels.back().front().attr |= kRootNode;
  // Children of each branch entry: the nodes of the level below, in order.
  uint32_t levelStart = first;
  for (size_t l = 0; l + 1 < levels.size(); ++l) {
    uint32_t child = levelStart;
    for (auto& n : levels[l + 1])
      for (auto& e : n.entries) { e.child = child; child += kPageSize; }
    levelStart += uint32_t(levels[l].size()) * kPageSize;
  }
  uint32_t offset = first;
  uint8_t page[kPageSize];
  for (const auto& level : levels) {
    for (const auto& n : level) {
      if (!EncodeNode(n, spec.format.length, spec.format.fill(), maxRec, page))
        return Status::Corrupt(index.name(), "tag " + name + ": node does not fit a page");
      if (Status s = index.WritePage(offset, page); !s.ok()) return s;
      offset += kPageSize;
    }
  }
  uint32_t root = offset - kPageSize;

  uint8_t h[2 * kPageSize] = {};
  PutLe32(h, root);
  PutLe16(h + 12, uint16_t(spec.format.length));
  h[14] = uint8_t(0x60 | (spec.unique ? 0x01 : 0));
  h[15] = 1;
  uint16_t exprLen = uint16_t(spec.expression.size() + 1);
  PutLe16(h + 504, exprLen);
  PutLe16(h + 506, 1);
  PutLe16(h + 510, exprLen);
  std::memcpy(h + 512, spec.expression.data(), spec.expression.size());
  if (Status s = index.WritePage(header, h); !s.ok()) return s;
  if (Status s = index.WritePage(header + kPageSize, h + kPageSize); !s.ok()) return s;

  CdxTree directory(index, 0, {KeyType::Character, 10}, uint32_t(index.size()));
  std::string key = rt::PadR(name, 10);
  if (int old = index.FindTag(name); old >= 0) {
    bool removed;
    if (Status s = directory.Remove(key, index.tags()[size_t(old)].header, removed); !s.ok()) return s;
  }
  if (Status s = directory.Insert(key, header); !s.ok()) return s;
  return index.ReloadTags();
}

}  // namespace db
