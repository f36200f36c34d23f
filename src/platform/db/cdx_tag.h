// A CDX compound index file and the B+ trees in it: the tag directory at
// offset 0 and one tree per tag. Reading, seeking and incremental updates.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "cdx_page.h"
#include "file.h"
#include "keys.h"

namespace db {

struct TagInfo {
  std::string name;        // upper case
  uint32_t header = 0;     // offset of the tag's 1024-byte header
  KeyFormat format;        // key type and length
  uint8_t options = 0;     // 0x01 unique, 0x08 FOR clause ...
  bool descending = false;
  std::string expression;  // key expression text as stored
  std::string forExpression;
};

class CdxIndex {
 public:
  // Creates (replaces) an index file holding no tags.
  static Status CreateEmpty(const std::string& path);

  // Opens the file and reads its tag directory. keyType tells the type of
  // a tag's keys from its expression (the tag header does not store it).
  Status Open(const std::string& path, bool readOnly, bool shared,
              const std::function<KeyType(const std::string& expr)>& keyType);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  DbFile& file() { return file_; }
  const std::string& name() const { return name_; }

  // Tags in the order of their headers in the file (creation order).
  const std::vector<TagInfo>& tags() const { return tags_; }
  int FindTag(std::string_view name) const;   // -1 when absent
  Status ReloadTags();

  // Shared use: a reader holds the index lock shared, a writer exclusive;
  // cached pages are dropped when another user changed the file.
  class Guard {
   public:
    Guard(CdxIndex& index, bool write);
    ~Guard();
    const Status& status() const { return status_; }
   private:
    CdxIndex& index_;
    bool write_, held_ = false;
    Status status_;
  };

  // Page access (through a cache).
  Status ReadPage(uint32_t offset, uint8_t* page);
  Status WritePage(uint32_t offset, const uint8_t* page);
  Status AllocPage(uint32_t& offset);          // from the free list or the end
  Status FreePage(uint32_t offset);
  Status AppendPages(uint32_t count, uint32_t& offset);  // new pages at the end
  // Decoded nodes, kept beside the pages and dropped with them.
  const CdxNode* CachedNode(uint32_t offset) const;
  void CacheNode(uint32_t offset, const CdxNode& node);
  uint64_t size() const { return fileSize_; }
  uint64_t generation() const { return generation_; }    // changes when the cache is dropped

 private:
  Status ReadHeaderWord(uint32_t at, uint32_t& v);
  void DropCache();

  DbFile file_;
  std::string name_;                 // file name for messages
  bool shared_ = false, readOnly_ = false;
  std::vector<TagInfo> tags_;
  std::function<KeyType(const std::string&)> keyType_;
  std::unordered_map<uint32_t, std::array<uint8_t, kPageSize>> cache_;
  std::unordered_map<uint32_t, CdxNode> nodes_;
  uint32_t seenCounter_ = 0, seenFree_ = 0;   // file header values when the cache was filled
  uint64_t fileSize_ = 0;
  uint64_t generation_ = 1;
  bool written_ = false;                      // a writer changed pages under the current guard
};

// One B+ tree of an index. Entries compare by key (per the key type), then
// by record number.
class CdxTree {
 public:
  CdxTree(CdxIndex& index, uint32_t header, KeyFormat format, uint32_t maxRec)
      : index_(index), header_(header), format_(format), maxRec_(maxRec) {}

  // Each sets *found; false when there is no such entry.
  Status First(CdxEntry& out, bool& found);
  Status Last(CdxEntry& out, bool& found);
  Status Next(const CdxEntry& after, CdxEntry& out, bool& found);    // first entry > after
  Status Prev(const CdxEntry& before, CdxEntry& out, bool& found);   // last entry < before
  // First entry whose key, compared on the length of prefix, is >= prefix.
  Status SeekKey(const std::string& prefix, CdxEntry& out, bool& found);
  // Every entry in key order.
  Status ForEach(const std::function<void(const CdxEntry&)>& visit);

  Status Insert(const std::string& key, uint32_t rec);
  Status Remove(const std::string& key, uint32_t rec, bool& removed);

  void setMaxRec(uint32_t maxRec) { maxRec_ = maxRec; }

 private:
  struct Step { uint32_t offset; CdxNode node; size_t index; };
  using Less = std::function<bool(const CdxEntry&)>;   // true while an entry is below the target

  int Compare(const CdxEntry& a, const std::string& key, uint32_t rec) const;
  Status Root(uint32_t& root);
  Status SetRoot(uint32_t root);
  Status Read(uint32_t offset, CdxNode& node);
  Status Write(uint32_t offset, const CdxNode& node);
  Status Descend(const Less& below, std::vector<Step>& path, bool useLastWhenBeyond);
  Status FirstFrom(std::vector<Step>& path, const Less& below, CdxEntry& out, bool& found);
  Status Store(std::vector<Step>& path, size_t level);
  Status RemoveNode(std::vector<Step>& path, size_t level);
  Status SetSibling(uint32_t offset, bool left, uint32_t value);
  std::vector<CdxNode> Split(const CdxNode& node) const;
  bool Fits(const CdxNode& node) const;

  CdxIndex& index_;
  uint32_t header_;     // offset of this tree's header
  KeyFormat format_;
  uint32_t maxRec_;     // highest record number leaves must hold
};

}  // namespace db
