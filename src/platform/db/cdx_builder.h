// Bulk building of a CDX tag: leaves filled left to right from sorted
// entries, branch levels above them, the tag header, and the tag's entry in
// the file's tag directory.
#pragma once
#include <string>
#include <vector>

#include "cdx_tag.h"

namespace db {

struct TagSpec {
  std::string name;         // 1-10 letters, digits, underscores; upper-cased
  std::string expression;   // key expression text, stored in the tag header
  KeyFormat format;
  bool unique = false;
};

// Sorts entries into key order (key, then record number).
void SortEntries(std::vector<CdxEntry>& entries, KeyType type);

// Writes the tag holding sorted entries (replacing a tag of the same name)
// and re-reads the tag list. maxRec: the table's record count.
// REQUIRES: a write guard on index; entries sorted by SortEntries.
Status BuildTag(CdxIndex& index, const TagSpec& spec, std::vector<CdxEntry>& entries, uint32_t maxRec);

}  // namespace db
