// One 512-byte node of a CDX tree: decoding and encoding of branch nodes
// (full keys, big-endian record and child) and compressed leaf nodes
// (packed record/duplicate/trailing counts, key texts growing downward).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

namespace db {

constexpr uint32_t kPageSize = 512;
constexpr uint32_t kNoPage = 0xFFFFFFFF;
constexpr uint16_t kRootNode = 1, kLeafNode = 2;   // node attribute bits
constexpr int kMaxKeyLen = 240;

struct CdxEntry {
  std::string key;     // full key, keylen bytes, fill bytes included
  uint32_t rec = 0;    // record number (tag directory: offset of a tag header)
  uint32_t child = 0;  // branch entries: offset of the child node
};

struct CdxNode {
  uint16_t attr = kLeafNode;
  uint32_t left = kNoPage, right = kNoPage;   // siblings on the same level
  std::vector<CdxEntry> entries;

  bool IsLeaf() const { return attr & kLeafNode; }
  bool IsRoot() const { return attr & kRootNode; }
};

// Decodes page (512 bytes) of a tree with keys of keylen bytes. Damage is
// reported as corruption naming file and the page offset.
Status DecodeNode(const uint8_t* page, uint32_t offset, int keylen, uint8_t fill, const std::string& file,
                  CdxNode& out);

// Encodes node into page; false when its entries do not fit in one page.
// maxRec is the highest record number the leaf must be able to hold.
bool EncodeNode(const CdxNode& node, int keylen, uint8_t fill, uint32_t maxRec, uint8_t* page);

int BranchCapacity(int keylen);   // entries per branch node

}  // namespace db
