// Leaf and branch node encoding against the format's worked examples and
// rules, and decoding of damaged pages.
#include "platform/db/cdx_page.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/runtime/strings.h"

namespace db {
namespace {

std::vector<CdxEntry> ArticleKeys(int n) {
  std::vector<CdxEntry> e;
  for (int i = 1; i <= n; ++i) e.push_back({rt::PadL(std::to_string(i), 10), uint32_t(i), 0});
  return e;
}

TEST(CdxPage, ArticleLeafMatchesTheWorkedExample) {
  CdxNode node;
  node.attr = kRootNode | kLeafNode;
  node.entries = ArticleKeys(100);
  uint8_t page[kPageSize];
  ASSERT_TRUE(EncodeNode(node, 10, ' ', 100, page));
  const uint8_t head[] = {0x03, 0x00, 0x64, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                          0x44, 0x00, 0xff, 0xff, 0x00, 0x00, 0x0f, 0x0f, 0x10, 0x04, 0x04, 0x03};
  EXPECT_EQ(0, std::memcmp(page, head, sizeof head));
  const uint8_t first[] = {0x01, 0x00, 0x00, 0x02, 0x00, 0x09};   // rec 1 dup 0; rec 2 dup 9
  EXPECT_EQ(0, std::memcmp(page + 24, first, sizeof first));
  const uint8_t tenth[] = {0x0a, 0x00, 0x08};                      // rec 10, dup 8
  EXPECT_EQ(0, std::memcmp(page + 24 + 9 * 3, tenth, 3));
  EXPECT_EQ("         1", std::string(reinterpret_cast<char*>(page + 502), 10));
  EXPECT_EQ('2', char(page[501]));

  CdxNode back;
  ASSERT_TRUE(DecodeNode(page, 0xA00, 10, ' ', "ARTICLE.CDX", back).ok());
  ASSERT_EQ(100u, back.entries.size());
  for (size_t i = 0; i < 100; ++i) {
    EXPECT_EQ(node.entries[i].key, back.entries[i].key);
    EXPECT_EQ(node.entries[i].rec, back.entries[i].rec);
  }
}

TEST(CdxPage, RoundTripsKeyLengthsAndRecordWidths) {
  struct Case { int keylen; uint8_t fill; uint32_t maxRec; int entrySize; };
  const Case cases[] = {{10, ' ', 65535, 3}, {10, ' ', 70000, 4}, {8, 0, 100, 3}, {20, ' ', 20000, 4},
                        {1, 0, 5, 3}, {240, ' ', 10, 3}, {56, ' ', 5000, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keylen);
    CdxNode node;
    for (uint32_t i = 0; i < 200; ++i) {
      std::string key(size_t(c.keylen), char(c.fill));
      std::string text = std::to_string(i * 7919 % 1000);
      key.replace(0, std::min(text.size(), key.size()), text.substr(0, key.size()));
      CdxNode trial = node;
      trial.entries.push_back({key, c.maxRec - i % 3, 0});
      uint8_t scratch[kPageSize];
      if (!EncodeNode(trial, c.keylen, c.fill, c.maxRec, scratch)) break;
      node = trial;
    }
    ASSERT_FALSE(node.entries.empty());
    uint8_t page[kPageSize];
    ASSERT_TRUE(EncodeNode(node, c.keylen, c.fill, c.maxRec, page));
    EXPECT_EQ(c.entrySize, page[23]);
    CdxNode back;
    ASSERT_TRUE(DecodeNode(page, 0, c.keylen, c.fill, "T.CDX", back).ok());
    ASSERT_EQ(node.entries.size(), back.entries.size());
    for (size_t i = 0; i < node.entries.size(); ++i) {
      EXPECT_EQ(node.entries[i].key, back.entries[i].key);
      EXPECT_EQ(node.entries[i].rec, back.entries[i].rec);
    }
  }
}

TEST(CdxPage, DuplicateCountStaysOutOfTrailingBlanks) {
  // "AB" then "AB  X": sharing more than the non-blank part of "AB" would
  // reach into its fill bytes, which some readers rebuild without blanks.
  CdxNode node;
  node.entries = {{"AB        ", 1, 0}, {"AB   X    ", 2, 0}};
  uint8_t page[kPageSize];
  ASSERT_TRUE(EncodeNode(node, 10, ' ', 2, page));
  int dup = page[24 + 3 + 2] & 0x0F;
  EXPECT_EQ(2, dup);
}

TEST(CdxPage, BranchEntriesAreBigEndian) {
  CdxNode node;
  node.attr = kRootNode;
  node.entries = {{"K0068499  ", 63821, 0x061400}, {"K0069999  ", 52321, 0x061600}};
  uint8_t page[kPageSize];
  ASSERT_TRUE(EncodeNode(node, 10, ' ', 0, page));
  const uint8_t entry[] = {'K', '0', '0', '6', '8', '4', '9', '9', ' ', ' ', 0x00, 0x00, 0xf9, 0x4d, 0x00, 0x06, 0x14, 0x00};
  EXPECT_EQ(0, std::memcmp(page + 12, entry, sizeof entry));
  node.entries.resize(28, node.entries[0]);   // capacity is 27 for 10-byte keys
  EXPECT_FALSE(EncodeNode(node, 10, ' ', 0, page));
}

TEST(CdxPage, DamagedPagesAreReportedNotRead) {
  CdxNode node;
  node.attr = kLeafNode;
  node.entries = ArticleKeys(20);
  uint8_t good[kPageSize];
  ASSERT_TRUE(EncodeNode(node, 10, ' ', 20, good));
  struct Damage { const char* what; std::function<void(uint8_t*)> apply; };
  const Damage damages[] = {
      {"attributes", [](uint8_t* p) { p[0] = 9; }},
      {"entry layout", [](uint8_t* p) { p[23] = 0; }},
      {"bits do not add up", [](uint8_t* p) { p[20] = 20; }},
      {"too many keys", [](uint8_t* p) { p[2] = 0xff; p[3] = 0x01; }},
      {"entry longer than the key", [](uint8_t* p) { p[24 + 3 * 5 + 2] = 0xff; }},
      {"branch with too many entries", [](uint8_t* p) { p[0] = 0; p[2] = 40; }},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    uint8_t page[kPageSize];
    std::memcpy(page, good, kPageSize);
    d.apply(page);
    CdxNode out;
    Status s = DecodeNode(page, 0x1200, 10, ' ', "MIXED.CDX", out);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(uint32_t(rt::EG_CORRUPTION), s.genCode);
    EXPECT_NE(std::string::npos, s.description.find("MIXED.CDX")) << s.description;
    EXPECT_NE(std::string::npos, s.description.find("0x1200")) << s.description;
  }
}

}  // namespace
}  // namespace db
