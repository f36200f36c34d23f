// Tables and indexes written and updated by another xBase engine: our
// reader returns the keys of that engine's own listing, in its order, and
// the records python3-dbfread reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "error_recorder.h"
#include "platform/db/cdx_tag.h"
#include "platform/db/settings.h"
#include "platform/db/table.h"
#include "platform/runtime/codepage.h"
#include "platform/runtime/strings.h"
#include "support/work_dir.h"

namespace db {
namespace {

using testsupport::DbFixtures;

struct GoldenKey {
  std::string key;
  uint32_t rec;
};

std::map<std::string, std::vector<GoldenKey>> Listing() {
  std::map<std::string, std::vector<GoldenKey>> out;
  std::ifstream in(DbFixtures() + "golden-other-engine/keys-as-read-by-the-reference-engine.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string part;
    while (std::getline(ss, part, '\t')) f.push_back(part);
    if (f.size() == 5) out[f[1] + "/" + f[2]].push_back({f[3], uint32_t(std::stoul(f[4]))});
  }
  return out;
}

std::string Shown(const rt::Value& v, char type) {
  char buf[64];
  switch (type) {
    case 'N': std::snprintf(buf, sizeof buf, "%.6f", v.AsNumber()); return buf;
    case 'D': {
      if (v.AsDate().empty()) return "";
      int y, m, d;
      v.AsDate().ToYmd(y, m, d);
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
      return buf;
    }
    case 'L': return v.AsLogic() ? "T" : "F";
    default: {
      std::string s = v.AsString();
      while (!s.empty() && s.back() == ' ') s.pop_back();
      std::string e;
      for (char c : s) e += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
      return e;
    }
  }
}

class Golden : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    SetDeleted(false);
    SetAnsi(true);
    for (const char* ext : {".dbf", ".fpt", ".cdx"}) {
      std::string from = DbFixtures() + "golden-other-engine/" + GetParam() + ext;
      if (std::filesystem::exists(from)) std::filesystem::copy_file(from, dir.File(std::string(GetParam()) + ext));
    }
  }
  testsupport::TempWorkDir dir;
};

TEST_P(Golden, EveryTagListsTheOtherEnginesKeysInItsOrder) {
  std::string table = GetParam();
  auto listing = Listing();
  Table t;
  ASSERT_TRUE(t.Open(dir.File(table + ".DBF"), true, true).ok());
  ASSERT_FALSE(t.TagNames().empty());
  for (const std::string& tag : t.TagNames()) {
    SCOPED_TRACE(tag);
    const auto& want = listing[table + "/" + tag];
    ASSERT_FALSE(want.empty());
    ASSERT_TRUE(t.SetOrder(tag).ok());
    int field = t.FieldPos(tag);   // every golden tag is on the field of its name
    ASSERT_GE(field, 0);
    char type = t.header().fields[size_t(field)].type;
    std::vector<GoldenKey> have;
    ASSERT_TRUE(t.GoTop().ok());
    while (!t.Eof() && have.size() <= want.size()) {
      rt::Value v;
      ASSERT_TRUE(t.FieldGet(size_t(field), v).ok());
      std::string shown = type == 'N' ? Shown(v, 'N')
                          : type == 'D' ? (v.AsDate().empty() ? "" : rt::Value(v.AsDate()).ToText())
                                        : rt::Upper(rt::RTrim(v.AsString()));
      have.push_back({shown, t.RecNo()});
      ASSERT_TRUE(t.Skip(1).ok());
    }
    ASSERT_EQ(want.size(), have.size());
    for (size_t i = 0; i < want.size(); ++i) {
      std::string expected = type == 'N' ? Shown(rt::Value(std::stod(want[i].key)), 'N') : rt::RTrim(want[i].key);
      ASSERT_EQ(expected, have[i].key) << "entry " << i;
      ASSERT_EQ(want[i].rec, have[i].rec) << "entry " << i;
    }
  }
}

TEST_P(Golden, RecordsAndMemosReadLikeDbfread) {
  std::string table = GetParam();
  std::string expected;
  ASSERT_EQ(0, testsupport::RunCommand("/usr/bin/python3 " + DbFixtures() + "dbfread_dump.py " +
                                           dir.File(table + ".dbf") + " cp1252", &expected));
  Table t;
  ASSERT_TRUE(t.Open(dir.File(table + ".dbf"), true, true).ok());
  ASSERT_TRUE(t.SetOrder("").ok());
  std::string live, deleted;
  uint32_t count;
  ASSERT_TRUE(t.RecCount(count).ok());
  for (uint32_t r = 1; r <= count; ++r) {
    ASSERT_TRUE(t.GoTo(r).ok());
    std::string line = t.Deleted() ? "D" : "L";
    for (size_t i = 0; i < t.FieldCount(); ++i) {
      rt::Value v;
      ASSERT_TRUE(t.FieldGet(i, v).ok());
      // The listing decodes as CP1252; these tables hold ASCII only.
      line += "\t" + t.header().fields[i].name + "=" + Shown(v, t.header().fields[i].type);
    }
    (t.Deleted() ? deleted : live) += line + "\n";
  }
  std::string have = live + deleted;
  if (expected != have) {
    std::ofstream(dir.File("expected.txt")) << expected;
    std::ofstream(dir.File("have.txt")) << have;
    std::string diff;
    testsupport::RunCommand("diff " + dir.File("expected.txt") + " " + dir.File("have.txt") + " | head -c 3000", &diff);
    ADD_FAILURE() << diff;
  }
}

INSTANTIATE_TEST_SUITE_P(OtherEngine, Golden, ::testing::Values("FORM", "ARTICLE", "INCR"));

}  // namespace
}  // namespace db
