// The table engine end to end: creating, appending, field values, memos,
// navigation in natural and key order, seeks, key maintenance, and damaged
// files becoming errors.
#include "platform/db/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "error_recorder.h"
#include "platform/db/cdx_tag.h"
#include "platform/db/dbserver.h"
#include "platform/db/settings.h"
#include "platform/db/workarea.h"
#include "platform/runtime/collation.h"
#include "platform/runtime/international.h"
#include "platform/runtime/strings.h"
#include "support/work_dir.h"

namespace db {
namespace {

using testsupport::ErrorRecorder;
using testsupport::TempWorkDir;

const std::vector<FieldSpec> kMixed = {{"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 9, 2}, {"DAY", 'D', 8, 0},
                                       {"OK", 'L', 1, 0}, {"NOTE", 'M', 10, 0}};

KeyEvaluator UpperName() {
  return [](const RecordView& r) { return rt::Value(rt::Upper(r.FieldGet("NAME").AsString())); };
}

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDeleted(true);
    SetAnsi(true);
    rt::SetCollation("CLASSIC");
    ASSERT_TRUE(DbCreate(dir.File("MIXED.DBF"), kMixed));
  }
  void TearDown() override { DbCloseAll(); }

  // Appends rows of (name, amount) and commits each.
  void Fill(Table& t, const std::vector<std::pair<std::string, double>>& rows) {
    for (const auto& [name, amount] : rows) {
      ASSERT_TRUE(t.Append().ok());
      ASSERT_TRUE(t.FieldPut(0, rt::Value(name)).ok());
      ASSERT_TRUE(t.FieldPut(1, rt::Value(amount)).ok());
      ASSERT_TRUE(t.Commit().ok());
    }
  }

  // Record numbers met by skipping from the top to the end.
  std::vector<uint32_t> Walk(Table& t) {
    std::vector<uint32_t> seen;
    EXPECT_TRUE(t.GoTop().ok());
    while (!t.Eof() && seen.size() < 100000) {
      seen.push_back(t.RecNo());
      EXPECT_TRUE(t.Skip(1).ok());
    }
    return seen;
  }

  std::string Text(Table& t, size_t field) {
    rt::Value v;
    EXPECT_TRUE(t.FieldGet(field, v).ok());
    return v.AsString();
  }

  TempWorkDir dir;
};

TEST_F(TableTest, FieldValuesRoundTripAndFormat) {
  Table t;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
  ASSERT_TRUE(t.Append().ok());
  ASSERT_TRUE(t.FieldPut(0, rt::Value("Árvíztűrő tükörfúró")).ok());
  ASSERT_TRUE(t.FieldPut(1, rt::Value(-881.64)).ok());
  ASSERT_TRUE(t.FieldPut(2, rt::Value(rt::Date::FromYmd(2024, 5, 17))).ok());
  ASSERT_TRUE(t.FieldPut(3, rt::Value(true)).ok());
  ASSERT_TRUE(t.FieldPut(4, rt::Value("első sor\r\nmásodik sor")).ok());
  ASSERT_TRUE(t.Commit().ok());
  ASSERT_TRUE(t.Close().ok());

  // On disk: CP1250 bytes, numbers right-aligned, date digits, T.
  std::string bytes = dir.Read("MIXED.DBF");
  std::string rec = bytes.substr(32 + 5 * 32 + 2, 1 + 20 + 9 + 8 + 1 + 10);
  EXPECT_EQ(std::string(" \xC1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3 ", 21), rec.substr(0, 21));
  EXPECT_EQ("  -881.64", rec.substr(21, 9));
  EXPECT_EQ("20240517", rec.substr(30, 8));
  EXPECT_EQ("T", rec.substr(38, 1));
  EXPECT_EQ("         8", rec.substr(39, 10));

  ASSERT_TRUE(t.Open(dir.File("mixed.dbf"), true, true).ok());
  EXPECT_EQ(dir.File("MIXED.DBF"), t.path());
  EXPECT_EQ(rt::PadR("Árvíztűrő tükörfúró", 20), Text(t, 0));
  rt::Value v;
  ASSERT_TRUE(t.FieldGet(1, v).ok());
  EXPECT_DOUBLE_EQ(-881.64, v.AsNumber());
  ASSERT_TRUE(t.FieldGet(2, v).ok());
  EXPECT_EQ(rt::Date::FromYmd(2024, 5, 17), v.AsDate());
  ASSERT_TRUE(t.FieldGet(3, v).ok());
  EXPECT_TRUE(v.AsLogic());
  EXPECT_EQ("első sor\r\nmásodik sor", Text(t, 4));
  std::string shown;
  ASSERT_TRUE(t.FieldGetFormatted(1, shown).ok());
  EXPECT_EQ("  -881.64", shown);
  ASSERT_TRUE(t.FieldGetFormatted(2, shown).ok());
  EXPECT_EQ(rt::DToC(rt::Date::FromYmd(2024, 5, 17)), shown);
  EXPECT_NE(std::string::npos, shown.find("17")) << shown;
  ASSERT_TRUE(t.FieldGetFormatted(3, shown).ok());
  EXPECT_EQ("T", shown);
  // Read-only: writes are refused.
  EXPECT_EQ(uint32_t(rt::EG_READONLY), t.FieldPut(0, rt::Value("x")).genCode);
}

TEST_F(TableTest, BadValuesAreRefusedAndLeaveTheFieldAlone) {
  Table t;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
  ASSERT_TRUE(t.Append().ok());
  ASSERT_TRUE(t.FieldPut(1, rt::Value(12.5)).ok());
  EXPECT_EQ(uint32_t(rt::EG_DATAWIDTH), t.FieldPut(1, rt::Value(123456789.0)).genCode);
  EXPECT_EQ(uint32_t(rt::EG_DATATYPE), t.FieldPut(1, rt::Value("12")).genCode);
  EXPECT_EQ(uint32_t(rt::EG_DATATYPE), t.FieldPut(0, rt::Value(12.0)).genCode);
  rt::Value v;
  ASSERT_TRUE(t.FieldGet(1, v).ok());
  EXPECT_DOUBLE_EQ(12.5, v.AsNumber());
  // Longer text is cut to the field's characters, not bytes.
  ASSERT_TRUE(t.FieldPut(0, rt::Value(std::string(25, 'x') + "ő")).ok());
  EXPECT_EQ(std::string(20, 'x'), Text(t, 0));
}

TEST_F(TableTest, MemoRewritesFollowTheBlockRules) {
  Table t;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
  auto memoBlock = [&](uint32_t recno) {
    std::string bytes = dir.Read("MIXED.DBF");
    return std::stoul(rt::Trim(bytes.substr(32 + 5 * 32 + 2 + (recno - 1) * 49 + 39, 10)));
  };
  const std::string a(100, 'a'), b(300, 'b');
  for (const std::string& text : {a, b}) {
    ASSERT_TRUE(t.Append().ok());
    ASSERT_TRUE(t.FieldPut(4, rt::Value(text)).ok());
    ASSERT_TRUE(t.Commit().ok());
  }
  EXPECT_EQ(8u, memoBlock(1));    // 108 bytes: blocks 8, 9
  EXPECT_EQ(10u, memoBlock(2));   // 308 bytes: blocks 10..14
  std::string fptBefore = dir.Read("MIXED.FPT");
  EXPECT_EQ(15u * 64, fptBefore.size());

  // Shorter: in place. Longer but last in the file: grows in place.
  ASSERT_TRUE(t.GoTo(1).ok());
  ASSERT_TRUE(t.FieldPut(4, rt::Value(std::string(50, 'c'))).ok());
  ASSERT_TRUE(t.GoTo(2).ok());   // moving commits
  EXPECT_EQ(8u, memoBlock(1));
  ASSERT_TRUE(t.FieldPut(4, rt::Value(std::string(600, 'd'))).ok());
  ASSERT_TRUE(t.Commit().ok());
  EXPECT_EQ(10u, memoBlock(2));
  // Longer and not last: new blocks at the end; record 2's memo untouched.
  ASSERT_TRUE(t.GoTo(1).ok());
  ASSERT_TRUE(t.FieldPut(4, rt::Value(std::string(200, 'e'))).ok());
  ASSERT_TRUE(t.Commit().ok());
  uint32_t moved = memoBlock(1);
  EXPECT_GE(moved, 10u + 10u);
  std::string fpt = dir.Read("MIXED.FPT");
  EXPECT_EQ(std::string(600, 'd'), fpt.substr(10 * 64 + 8, 600));
  EXPECT_EQ(std::string(200, 'e'), Text(t, 4));
  ASSERT_TRUE(t.GoTo(2).ok());
  EXPECT_EQ(std::string(600, 'd'), Text(t, 4));
  // Emptying a memo stores blanks and allocates nothing.
  ASSERT_TRUE(t.FieldPut(4, rt::Value(std::string())).ok());
  ASSERT_TRUE(t.Commit().ok());
  EXPECT_EQ(std::string(10, ' '), dir.Read("MIXED.DBF").substr(32 + 5 * 32 + 2 + 49 + 39, 10));
}

TEST_F(TableTest, NaturalOrderNavigationHidesDeletedRecords) {
  Table t;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(1u, t.RecNo());
  Fill(t, {{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}});
  ASSERT_TRUE(t.GoTo(1).ok());
  ASSERT_TRUE(t.Delete().ok());
  ASSERT_TRUE(t.GoTo(4).ok());
  ASSERT_TRUE(t.Delete().ok());
  EXPECT_EQ((std::vector<uint32_t>{2, 3, 5}), Walk(t));
  EXPECT_EQ(6u, t.RecNo());
  ASSERT_TRUE(t.Skip(-1).ok());
  EXPECT_EQ(5u, t.RecNo());
  ASSERT_TRUE(t.Skip(-1).ok());
  EXPECT_EQ(3u, t.RecNo());
  ASSERT_TRUE(t.Skip(-5).ok());
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(2u, t.RecNo());
  ASSERT_TRUE(t.GoBottom().ok());
  EXPECT_EQ(5u, t.RecNo());
  // GoTo reaches a deleted record; Skip(0) re-reads it.
  ASSERT_TRUE(t.GoTo(4).ok());
  EXPECT_TRUE(t.Deleted());
  ASSERT_TRUE(t.Skip(0).ok());
  EXPECT_EQ(4u, t.RecNo());
  EXPECT_EQ(rt::PadR("d", 20), Text(t, 0));
  SetDeleted(false);
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 3, 4, 5}), Walk(t));
  SetDeleted(true);
  uint32_t count;
  ASSERT_TRUE(t.RecCount(count).ok());
  EXPECT_EQ(5u, count);
  ASSERT_TRUE(t.GoTo(99).ok());
  EXPECT_TRUE(t.Eof());
}

TEST_F(TableTest, IndexOrderFollowsKeysThroughUpdates) {
  Table t;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
  Fill(t, {{"pear", 1}, {"Apple", 2}, {"fig", 3}, {"apple", 4}, {"Banana", 5}});
  ASSERT_TRUE(t.CreateTag("NAME", "Upper(NAME)", UpperName()).ok());
  ASSERT_TRUE(t.CreateTag("AMOUNT", "AMOUNT", [](const RecordView& r) { return r.FieldGet("AMOUNT"); }).ok());
  ASSERT_TRUE(t.SetOrder("NAME").ok());
  EXPECT_EQ((std::vector<uint32_t>{2, 4, 5, 3, 1}), Walk(t));

  // Change a key, append, delete: the order follows.
  ASSERT_TRUE(t.GoTo(1).ok());
  ASSERT_TRUE(t.FieldPut(0, rt::Value("Aaa")).ok());
  ASSERT_TRUE(t.Commit().ok());
  Fill(t, {{"cherry", -7}});
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 4, 5, 6, 3}), Walk(t));
  ASSERT_TRUE(t.GoTo(5).ok());
  ASSERT_TRUE(t.Delete().ok());
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 4, 6, 3}), Walk(t));
  ASSERT_TRUE(t.GoBottom().ok());
  EXPECT_EQ(3u, t.RecNo());
  ASSERT_TRUE(t.Skip(-2).ok());
  EXPECT_EQ(4u, t.RecNo());

  ASSERT_TRUE(t.SetOrder("AMOUNT").ok());
  EXPECT_EQ((std::vector<uint32_t>{6, 1, 2, 3, 4}), Walk(t));

  // Seek: exact and soft, numbers and text prefixes.
  bool found;
  ASSERT_TRUE(t.Seek(rt::Value(3.0), false, found).ok());
  EXPECT_TRUE(found);
  EXPECT_EQ(3u, t.RecNo());
  ASSERT_TRUE(t.Seek(rt::Value(3.5), false, found).ok());
  EXPECT_FALSE(found);
  EXPECT_TRUE(t.Eof());
  ASSERT_TRUE(t.Seek(rt::Value(3.5), true, found).ok());
  EXPECT_FALSE(found);
  EXPECT_EQ(4u, t.RecNo());
  ASSERT_TRUE(t.SetOrder("NAME").ok());
  ASSERT_TRUE(t.Seek(rt::Value("APPLE"), false, found).ok());
  EXPECT_TRUE(found);
  EXPECT_EQ(2u, t.RecNo());
  ASSERT_TRUE(t.Skip(1).ok());
  EXPECT_EQ(4u, t.RecNo());
  ASSERT_TRUE(t.Seek(rt::Value("BAN"), false, found).ok());
  EXPECT_FALSE(found);   // Banana is deleted and hidden
  ASSERT_TRUE(t.Seek(rt::Value("BZ"), true, found).ok());
  EXPECT_FALSE(found);
  EXPECT_EQ(6u, t.RecNo());
  ASSERT_TRUE(t.Seek(rt::Value("ZZZ"), true, found).ok());
  EXPECT_TRUE(t.Eof());
  ASSERT_TRUE(t.Close().ok());

  // The tags are attached on open, the first tag controls the order, and
  // the files satisfy an independent structure check.
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), true, false).ok());
  EXPECT_EQ("NAME", t.OrderName());
  EXPECT_EQ((std::vector<std::string>{"NAME", "AMOUNT"}), t.TagNames());
  EXPECT_EQ(1u, t.RecNo());
  ASSERT_TRUE(t.Close().ok());
  std::string out;
  EXPECT_EQ(0, testsupport::RunCommand("/usr/bin/python3 " + testsupport::DbFixtures() + "inspect.py " +
                                           dir.File("MIXED.CDX") + " 10", &out))
      << out;
}

TEST_F(TableTest, CharacterKeysSortLikeStringComparison) {
  Table t;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
  std::vector<std::string> names = {"ŐZ", "OZ", "ÖZ", "ÓZ", "PA", "ÁB", "AC", "ZZ", "ÉA", "EZ", "ÜA", "UZ", "ŰA"};
  for (const auto& n : names) Fill(t, {{n, 0}});
  ASSERT_TRUE(t.CreateTag("NAME", "Upper(NAME)", UpperName()).ok());
  std::vector<std::string> walked;
  for (uint32_t r : Walk(t)) {
    ASSERT_TRUE(t.GoTo(r).ok());
    walked.push_back(rt::Trim(Text(t, 0)));
  }
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return rt::CompareText(a, b) < 0; });
  EXPECT_EQ(sorted, walked);
  EXPECT_EQ((std::vector<std::string>{"AC", "ÁB", "EZ", "ÉA", "OZ", "ÓZ", "ÖZ", "ŐZ", "PA", "UZ", "ÜA", "ŰA", "ZZ"}),
            walked);
}

// Random inserts, key changes and deletions against a model; the tree must
// split, merge, free and reuse pages and stay readable by the checker.
TEST_F(TableTest, IncrementalMaintenanceMatchesAModel) {
  Table t;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
  ASSERT_TRUE(t.CreateTag("NAME", "Upper( NAME )", UpperName()).ok());
  std::mt19937 rng(7);
  std::map<uint32_t, std::string> model;   // live records
  auto name = [&] { return "K" + std::to_string(rng() % 500) + std::string(rng() % 8, 'x'); };
  for (int step = 0; step < 3000; ++step) {
    int op = int(rng() % 10);
    if (op < 6 || model.empty()) {
      std::string n = name();
      Fill(t, {{n, 0}});
      model[t.RecNo()] = rt::Upper(n);
    } else {
      auto it = model.begin();
      std::advance(it, long(rng() % model.size()));
      ASSERT_TRUE(t.GoTo(it->first).ok());
      if (op < 9) {
        std::string n = name();
        ASSERT_TRUE(t.FieldPut(0, rt::Value(n)).ok());
        ASSERT_TRUE(t.Commit().ok());
        it->second = rt::Upper(n);
      } else {
        ASSERT_TRUE(t.Delete().ok());
        model.erase(it);
      }
    }
  }
  std::vector<std::pair<std::string, uint32_t>> expected;
  for (const auto& [rec, key] : model) expected.push_back({key, rec});
  std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
    int c = rt::CompareText(a.first, b.first);
    return c != 0 ? c < 0 : a.second < b.second;
  });
  std::vector<uint32_t> order;
  for (const auto& e : expected) order.push_back(e.second);
  EXPECT_EQ(order, Walk(t));
  // Backwards too.
  std::vector<uint32_t> back;
  ASSERT_TRUE(t.GoBottom().ok());
  while (!t.Bof() && back.size() < 10000) {
    back.push_back(t.RecNo());
    ASSERT_TRUE(t.Skip(-1).ok());
  }
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(order, back);
  // Every live record is found by its key.
  for (const auto& [rec, key] : model) {
    bool found;
    ASSERT_TRUE(t.Seek(rt::Value(key), false, found).ok());
    ASSERT_TRUE(found) << key;
  }
  ASSERT_TRUE(t.Close().ok());
  std::string out;
  EXPECT_EQ(0, testsupport::RunCommand("/usr/bin/python3 " + testsupport::DbFixtures() + "inspect.py " +
                                           dir.File("MIXED.CDX"), &out))
      << out;
  uint32_t count;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), true, true).ok());
  ASSERT_TRUE(t.RecCount(count).ok());
  // Deleted records keep their keys.
  EXPECT_NE(std::string::npos, out.find("keys " + std::to_string(count))) << out;
}

TEST_F(TableTest, ExclusiveOpenKeepsOthersOut) {
  Table a, b;
  ASSERT_TRUE(a.Open(dir.File("MIXED.DBF"), false, false).ok());
  Status s = b.Open(dir.File("MIXED.DBF"), true, false);
  EXPECT_EQ(uint32_t(rt::EG_OPEN), s.genCode);
  EXPECT_EQ(uint32_t(rt::OS_SHARING_VIOLATION), s.osCode) << "a sharing violation, as the handlers know it";
  EXPECT_NE(std::string::npos, s.description.find("in use")) << s.description;
  ASSERT_TRUE(a.Close().ok());
  ASSERT_TRUE(a.Open(dir.File("MIXED.DBF"), true, false).ok());
  EXPECT_TRUE(b.Open(dir.File("MIXED.DBF"), true, false).ok());
  EXPECT_FALSE(Table().Open(dir.File("MIXED.DBF"), false, false).ok());
}

TEST_F(TableTest, TwoServersShareOneTable) {
  Table seed;
  ASSERT_TRUE(seed.Open(dir.File("MIXED.DBF"), false, false).ok());
  ASSERT_TRUE(seed.CreateTag("NAME", "Upper(NAME)", UpperName()).ok());
  ASSERT_TRUE(seed.Close().ok());
  DBServer one(dir.File("MIXED.DBF"), true), two(dir.File("mixed.DBF"), true);
  ASSERT_TRUE(one.Used());
  ASSERT_TRUE(two.Used());
  EXPECT_EQ("MIXED", one.AliasSym().name);
  EXPECT_NE(one.AliasSym().name, two.AliasSym().name);
  for (int i = 0; i < 50; ++i) {
    DBServer& s = i % 2 ? one : two;
    ASSERT_TRUE(s.Append());
    ASSERT_TRUE(s.FieldPut("NAME", rt::Value("N" + std::to_string(i))));
    ASSERT_TRUE(s.FieldPut("NOTE", rt::Value(std::string(size_t(i) * 10, 'm'))));
    ASSERT_TRUE(s.Commit());
  }
  EXPECT_EQ(50u, one.RecCount());
  EXPECT_EQ(50u, two.RecCount());
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(one.Seek(rt::Value("N" + std::to_string(i) + " ")));
    EXPECT_EQ(std::string(size_t(i) * 10, 'm'), one.FieldGet("NOTE").AsString());
  }
  // Closing the work areas underneath leaves the servers unused, not dangling.
  DbCloseAll();
  EXPECT_FALSE(one.Used());
  EXPECT_FALSE(two.GoTop());
  EXPECT_TRUE(two.FieldGet("NAME").IsNil());
}

TEST_F(TableTest, SharedTableWithoutIndex) {
  Table t;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), true, false).ok());
  Fill(t, {{"b", 2}, {"a", 1}});
  ASSERT_TRUE(t.GoBottom().ok());
  EXPECT_EQ(2u, t.RecNo());
  EXPECT_EQ(rt::PadR("a", 20), Text(t, 0));
  bool found;
  EXPECT_EQ(uint32_t(rt::EG_NOORDER), t.Seek(rt::Value("a"), false, found).genCode);
}

// ---- damaged files ---------------------------------------------------------

class DamagedTable : public TableTest {
 protected:
  void SetUp() override {
    TableTest::SetUp();
    Table t;
    ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
    for (int i = 0; i < 300; ++i) {
      Fill(t, {{"name " + std::to_string(i), i}});
      ASSERT_TRUE(t.FieldPut(4, rt::Value("memo " + std::to_string(i))).ok());
      ASSERT_TRUE(t.Commit().ok());
    }
    ASSERT_TRUE(t.CreateTag("NAME", "Upper(NAME)", UpperName()).ok());
    ASSERT_TRUE(t.Close().ok());
  }
  void Patch(const std::string& file, size_t at, const std::string& bytes) {
    std::string data = dir.Read(file);
    data.replace(at, bytes.size(), bytes);
    dir.Write(file, data);
  }
};

TEST_F(DamagedTable, OpenFailsWithTheFileAndTheFaultNamed) {
  struct Case { const char* what; std::function<void()> damage; const char* file; const char* says; };
  const std::string dbf = dir.Read("MIXED.DBF"), cdx = dir.Read("MIXED.CDX");
  const Case cases[] = {
      {"truncated table", [&] { dir.Write("MIXED.DBF", dbf.substr(0, dbf.size() - 100)); }, "MIXED.DBF", "truncated"},
      {"version byte", [&] { Patch("MIXED.DBF", 0, "\x04"); }, "MIXED.DBF", "version"},
      {"record length", [&] { Patch("MIXED.DBF", 10, std::string("\x05\x00", 2)); }, "MIXED.DBF", "record length"},
      {"header length", [&] { Patch("MIXED.DBF", 8, std::string("\xff\xff", 2)); }, "MIXED.DBF", "header length"},
      {"field type", [&] { Patch("MIXED.DBF", 32 + 11, "X"); }, "MIXED.DBF", "type"},
      {"short header", [&] { dir.Write("MIXED.DBF", dbf.substr(0, 20)); }, "MIXED.DBF", "shorter"},
      {"index header", [&] { Patch("MIXED.CDX", 12, "\x07"); }, "MIXED.CDX", "compound"},
      {"index root pointer", [&] { Patch("MIXED.CDX", 0, std::string("\x10\x00\x00\x7f", 4)); }, "MIXED.CDX", "outside"},
      {"tag header pointer", [&] { Patch("MIXED.CDX", 1024 + 24, std::string("\x01\x00\x7f", 3)); }, "MIXED.CDX", "outside"},
      {"truncated index", [&] { dir.Write("MIXED.CDX", cdx.substr(0, 1000)); }, "MIXED.CDX", "short"},
      {"memo file header", [&] { dir.Write("MIXED.FPT", "xx"); }, "MIXED.FPT", "memo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("MIXED.DBF", dbf);
    dir.Write("MIXED.CDX", cdx);
    std::string fpt = dir.Read("MIXED.FPT");
    c.damage();
    ErrorRecorder errors;
    DBServer server(dir.File("MIXED.DBF"), true);
    EXPECT_FALSE(server.Used());
    ASSERT_EQ(1u, errors.errors.size());
    const auto& e = *errors.errors[0];
    EXPECT_EQ("DBFCDX", e.SubSystem);
    EXPECT_TRUE(e.CanRetry);
    EXPECT_EQ(dir.File("MIXED.DBF"), e.FileName);
    EXPECT_NE(std::string::npos, e.Description.find(c.file)) << e.Description;
    EXPECT_NE(std::string::npos, e.Description.find(c.says)) << e.Description;
    dir.Write("MIXED.FPT", fpt);
  }
}

TEST_F(DamagedTable, DamageMetWhileWorkingIsAnErrorNotACrash) {
  // A memo pointer past the end of the memo file.
  std::string dbf = dir.Read("MIXED.DBF");
  Patch("MIXED.DBF", 32 + 5 * 32 + 2 + 39, "    999999");
  {
    ErrorRecorder errors;
    DBServer server(dir.File("MIXED.DBF"), true);
    ASSERT_TRUE(server.Used());
    ASSERT_TRUE(server.GoTo(1));
    EXPECT_EQ("", server.FieldGet("NOTE").AsString());
    ASSERT_EQ(1u, errors.errors.size());
    EXPECT_EQ(uint32_t(rt::EG_CORRUPTION), errors.errors[0]->GenCode);
    EXPECT_NE(std::string::npos, errors.errors[0]->Description.find("MIXED.FPT")) << errors.Descriptions();
    EXPECT_NE(std::string::npos, errors.errors[0]->Description.find("999999")) << errors.Descriptions();
    // The other records are still readable.
    ASSERT_TRUE(server.GoTo(2));
    EXPECT_EQ("memo 1", server.FieldGet("NOTE").AsString());
  }
  dir.Write("MIXED.DBF", dbf);
  // A damaged leaf page: navigation in key order fails cleanly, and no
  // write goes to the damaged index.
  std::string cdx = dir.Read("MIXED.CDX");
  // The second leaf: the first one is read when the table opens.
  size_t leaf = 0;
  int leaves = 0;
  for (size_t at = 1536 + 1024; at + 512 <= cdx.size(); at += 512)
    if (cdx[at] == 2 && ++leaves == 2) { leaf = at; break; }
  ASSERT_NE(0u, leaf);
  Patch("MIXED.CDX", leaf + 23, std::string(1, '\0'));
  std::string damaged = dir.Read("MIXED.CDX");
  {
    ErrorRecorder errors;
    DBServer server(dir.File("MIXED.DBF"), true);
    ASSERT_TRUE(server.Used()) << errors.Descriptions();
    int steps = 0;
    while (!server.EoF() && steps < 1000 && server.Skip(1)) ++steps;
    EXPECT_LT(steps, 300);
    ASSERT_FALSE(errors.errors.empty());
    EXPECT_NE(std::string::npos, errors.errors.back()->Description.find("MIXED.CDX")) << errors.Descriptions();
    EXPECT_NE(std::string::npos, errors.errors.back()->Description.find("damaged")) << errors.Descriptions();
  }
  EXPECT_EQ(damaged, dir.Read("MIXED.CDX"));
}

TEST_F(TableTest, AnOpenIsRetriedWhileTheHandlerSaysRetry) {
  Table holder;
  ASSERT_TRUE(holder.Open(dir.File("MIXED.DBF"), false, false).ok());
  {
    ErrorRecorder errors(3);
    DBServer server(dir.File("MIXED.DBF"), true);
    EXPECT_FALSE(server.Used());
    EXPECT_EQ(4u, errors.errors.size());   // three retries, then default
    EXPECT_EQ(uint32_t(rt::EG_OPEN), errors.errors[0]->GenCode);
    EXPECT_EQ(uint32_t(rt::OS_SHARING_VIOLATION), errors.errors[0]->OsCode);
  }
  ASSERT_TRUE(holder.Close().ok());
  ErrorRecorder errors(1);
  DBServer missing(dir.File("NOSUCH.DBF"), true);
  EXPECT_FALSE(missing.Used());
  ASSERT_EQ(2u, errors.errors.size());
  EXPECT_EQ(uint32_t(ENOENT), errors.errors[1]->OsCode);
  EXPECT_NE(std::string::npos, errors.errors[1]->Description.find("NOSUCH.DBF"));
}

TEST_F(TableTest, ExpressionsTheEngineCannotEvaluateStopWritesCleanly) {
  Table t;
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
  Fill(t, {{"one", 1}});
  ASSERT_TRUE(t.CreateTag("ODD", "Left(NAME, 3) + Str(AMOUNT)", [](const RecordView& r) {
    return rt::Value(rt::Left(r.FieldGet("NAME").AsString(), 3) + rt::Str(r.FieldGet("AMOUNT").AsNumber(), 9, 2));
  }).ok());
  ASSERT_TRUE(t.Close().ok());
  std::string before = dir.Read("MIXED.DBF");
  ASSERT_TRUE(t.Open(dir.File("MIXED.DBF"), false, false).ok());
  EXPECT_EQ(uint32_t(rt::EG_NOORDER), t.Append().genCode);
  EXPECT_EQ(before, dir.Read("MIXED.DBF"));
  ASSERT_TRUE(t.SetKeyEvaluator("ODD", [](const RecordView& r) {
    return rt::Value(rt::Left(r.FieldGet("NAME").AsString(), 3) + rt::Str(r.FieldGet("AMOUNT").AsNumber(), 9, 2));
  }).ok());
  EXPECT_TRUE(t.Append().ok());
}

TEST(CreateTable, FailuresRaiseErrors) {
  TempWorkDir dir;
  ErrorRecorder errors;
  EXPECT_FALSE(DbCreate(dir.File("no/such/folder/T.DBF"), kMixed));
  EXPECT_FALSE(DbCreate(dir.File("T.DBF"), {{"1BAD", 'C', 10, 0}}));
  EXPECT_FALSE(DbCreate(dir.File("T.DBF"), {{"N", 'N', 30, 0}}));
  EXPECT_FALSE(DbCreate(dir.File("T.DBF"), {{"N", 'C', 10, 0}}, "DBFNTX"));
  ASSERT_EQ(4u, errors.errors.size());
  EXPECT_EQ(uint32_t(rt::EG_CREATE), errors.errors[0]->GenCode);
  EXPECT_EQ(uint32_t(ENOENT), errors.errors[0]->OsCode);
  EXPECT_NE(std::string::npos, errors.errors[1]->Description.find("1BAD"));
  EXPECT_FALSE(dir.Exists("T.DBF"));
}

}  // namespace
}  // namespace db
