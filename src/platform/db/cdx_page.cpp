#include "cdx_page.h"

#include <algorithm>
#include <cstring>

#include "coding.h"

namespace db {

namespace {
constexpr int kLeafArea = 488;   // bytes for entries and texts below the leaf header


int BitLength(unsigned v) { int n = 0; while (v) { ++n; v >>= 1; } return n; }

int Trailing(const std::string& key, uint8_t fill) {
  int n = 0;
  for (auto it = key.rbegin(); it != key.rend() && uint8_t(*it) == fill; ++it) ++n;
  return n;
}

Status Damaged(const std::string& file, uint32_t offset, const std::string& what) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%X", offset);
  return Status::Corrupt(file, std::string("index page ") + buf + " is damaged (" + what + ")");
}
}  // namespace

int BranchCapacity(int keylen) { return 500 / (keylen + 8); }

Status DecodeNode(const uint8_t* p, uint32_t offset, int keylen, uint8_t fill, const std::string& file, CdxNode& out) {
  out.attr = Le16(p);
  int nkeys = Le16(p + 2);
  out.left = Le32(p + 4);
  out.right = Le32(p + 8);
  out.entries.clear();
  if (out.attr > 3) return Damaged(file, offset, "attributes " + std::to_string(out.attr));
  if (!out.IsLeaf()) {
    if (nkeys * (keylen + 8) > 500) return Damaged(file, offset, std::to_string(nkeys) + " branch entries");
    out.entries.resize(size_t(nkeys));
    const uint8_t* e = p + 12;
    for (auto& entry : out.entries) {
      entry.key.assign(reinterpret_cast<const char*>(e), size_t(keylen));
      entry.rec = Be32(e + keylen);
      entry.child = Be32(e + keylen + 4);
      e += keylen + 8;
    }
    return Status::Ok();
  }
  int R = p[20], D = p[21], T = p[22], B = p[23];
  if (B < 1 || B > 8 || R + D + T != 8 * B || R < 1 || R > 32 || D > 16 || T > 16)
    return Damaged(file, offset, "leaf entry layout");
  if (nkeys * B > kLeafArea) return Damaged(file, offset, std::to_string(nkeys) + " leaf entries");
  uint64_t recMask = (uint64_t(1) << R) - 1, dupMask = (uint64_t(1) << D) - 1, trailMask = (uint64_t(1) << T) - 1;
  int pos = int(kPageSize);
  int floor = 24 + nkeys * B;
  std::string prev(static_cast<size_t>(keylen), static_cast<char>(fill));
  out.entries.resize(size_t(nkeys));
  for (int i = 0; i < nkeys; ++i) {
    uint64_t v = 0;
    for (int b = B - 1; b >= 0; --b) v = v << 8 | p[24 + i * B + b];
    int dup = i == 0 ? 0 : int((v >> R) & dupMask);
    int trail = int((v >> (R + D)) & trailMask);
    int n = keylen - dup - trail;
    if (n < 0) return Damaged(file, offset, "entry " + std::to_string(i) + " is longer than the key");
    pos -= n;
    if (pos < floor) return Damaged(file, offset, "key texts overlap the entries");
    CdxEntry& e = out.entries[size_t(i)];
    e.rec = uint32_t(v & recMask);
    e.key.reserve(size_t(keylen));
    e.key.assign(prev, 0, size_t(dup));
    e.key.append(reinterpret_cast<const char*>(p + pos), size_t(n));
    e.key.append(size_t(trail), char(fill));
    prev = e.key;
  }
  return Status::Ok();
}

bool EncodeNode(const CdxNode& node, int keylen, uint8_t fill, uint32_t maxRec, uint8_t* p) {
  std::memset(p, 0, kPageSize);
  PutLe16(p, node.attr);
  PutLe16(p + 2, uint16_t(node.entries.size()));
  PutLe32(p + 4, node.left);
  PutLe32(p + 8, node.right);
  if (!node.IsLeaf()) {
    if (int(node.entries.size()) > BranchCapacity(keylen)) return false;
    uint8_t* e = p + 12;
    for (const auto& entry : node.entries) {
      std::memcpy(e, entry.key.data(), size_t(keylen));
      PutBe32(e + keylen, entry.rec);
      PutBe32(e + keylen + 4, entry.child);
      e += keylen + 8;
    }
    return true;
  }
  for (const auto& e : node.entries) maxRec = std::max(maxRec, e.rec);
  int D = BitLength(unsigned(keylen)), T = D;
  int B = 3, R = 24 - 2 * D;
  while (R < 32 && uint64_t(maxRec) > (uint64_t(1) << R) - 1) { ++B; R += 8; }
  int pos = int(kPageSize);
  int used = 0;
  const std::string* prev = nullptr;
  int prevTrail = 0;
  for (size_t i = 0; i < node.entries.size(); ++i) {
    const std::string& key = node.entries[i].key;
    int trail = Trailing(key, fill);
    int dup = 0;
    if (prev) {
      int cap = keylen - std::max(trail, prevTrail);
      while (dup < cap && key[size_t(dup)] == (*prev)[size_t(dup)]) ++dup;
    }
    int n = keylen - dup - trail;
    used += B + n;
    if (used > kLeafArea) return false;
    pos -= n;
    std::memcpy(p + pos, key.data() + dup, size_t(n));
    uint64_t v = uint64_t(node.entries[i].rec) | uint64_t(dup) << R | uint64_t(trail) << (R + D);
    for (int b = 0; b < B; ++b) p[24 + i * size_t(B) + size_t(b)] = uint8_t(v >> (8 * b));
    prev = &key;
    prevTrail = trail;
  }
  PutLe16(p + 12, uint16_t(kLeafArea - used));
  PutLe32(p + 14, uint32_t((uint64_t(1) << R) - 1));
  p[18] = uint8_t((1u << D) - 1);
  p[19] = uint8_t((1u << T) - 1);
  p[20] = uint8_t(R);
  p[21] = uint8_t(D);
  p[22] = uint8_t(T);
  p[23] = uint8_t(B);
  return true;
}

}  // namespace db
