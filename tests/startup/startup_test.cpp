// Start-up: the run-time table settings and the sample tables, byte for
// byte where their layout is fixed, read back by independent readers, and
// every case of files present or missing.
#include "startup/app.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/db/dbserver.h"
#include "platform/db/file.h"
#include "platform/db/settings.h"
#include "platform/db/table.h"
#include "platform/db/workarea.h"
#include "platform/runtime/collation.h"
#include "platform/runtime/strings.h"
#include "platform/db/error_recorder.h"
#include "support/work_dir.h"

namespace startup {
namespace {

using testsupport::DbFixtures;
using testsupport::RunCommand;
using testsupport::TempWorkDir;

// The seed texts, spelled out independently of the code under test.
const std::string kHeader = "@TODAY() @" + std::string(60, ' ') + "Page @S@\r\n" + std::string(31, ' ') +
                            "List of articles" + std::string(31, ' ') + "\r\n\r\n" + "art.number description" +
                            std::string(68 - 22, ' ') + "price\r\n" + std::string(78, '-');
const std::string kPosition = "@ARTNO   @ @DESCRIPT" + std::string(47, ' ') + "@@Str(PRICE)@";
const std::string kFooter = "Total of articles: @TOTAL@";

uint32_t Be32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint8_t(b[at + 1]) << 16 | uint8_t(b[at + 2]) << 8 | uint8_t(b[at + 3]);
}

std::string Golden(const std::string& name) {
  TempWorkDir none(false);
  std::string path = DbFixtures() + "golden-other-engine/" + name;
  FILE* f = std::fopen(path.c_str(), "rb");
  std::string data;
  if (!f) return data;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  std::fclose(f);
  return data;
}

class StartupTest : public ::testing::Test {
 protected:
  void TearDown() override { db::DbCloseAll(); }
  TempWorkDir dir;
};

TEST_F(StartupTest, SeedTextsHaveTheirFixedLengths) {
  EXPECT_EQ(315u, kHeader.size());
  EXPECT_EQ(80u, kPosition.size());
  EXPECT_EQ(kHeader, App::SeedHeader());
  EXPECT_EQ(kPosition, App::SeedPosition());
  EXPECT_EQ(kFooter, App::SeedFooter());
}

TEST_F(StartupTest, FirstStartCreatesBothTablesByteForByte) {
  App().Prepare();
  for (const char* f : {"FORM.DBF", "FORM.FPT", "FORM.CDX", "ARTICLE.DBF", "ARTICLE.CDX"})
    EXPECT_TRUE(dir.Exists(f)) << f;
  EXPECT_FALSE(dir.Exists("ARTICLE.FPT"));
  EXPECT_TRUE(db::TableSettings().deletedHidden);
  EXPECT_FALSE(db::TableSettings().exclusiveDefault);
  EXPECT_TRUE(db::TableSettings().ansi);
  EXPECT_EQ("DBFCDX", db::TableSettings().defaultDriver);
  EXPECT_EQ("CLASSIC", rt::Collation());

  // FORM.DBF: header, field list, the one record with its memo pointers.
  std::string form = dir.Read("FORM.DBF");
  ASSERT_EQ(194u + 44u + 1u, form.size());
  EXPECT_EQ('\xF5', form[0]);
  EXPECT_EQ(std::string("\x01\x00\x00\x00\xC2\x00\x2C\x00", 8), form.substr(4, 8));
  EXPECT_EQ('\x01', form[28]);
  EXPECT_EQ('\xC8', form[29]);
  const struct { const char* name; char type; int len; } fields[] = {
      {"FORMNAME", 'C', 10}, {"LINES", 'N', 3}, {"PHEADER", 'M', 10}, {"POSITION", 'M', 10}, {"PFOOTER", 'M', 10}};
  for (int i = 0; i < 5; ++i) {
    std::string d = form.substr(32 + 32 * size_t(i), 32);
    EXPECT_EQ(rt::PadR(fields[i].name, 11, '\0'), d.substr(0, 11));
    EXPECT_EQ(fields[i].type, d[11]);
    EXPECT_EQ(fields[i].len, int(uint8_t(d[16])));
    EXPECT_EQ(0, d[17]);
  }
  EXPECT_EQ(std::string("\x0D\x00", 2), form.substr(192, 2));
  EXPECT_EQ(" ARTLISTE   62         8        14        16\x1A", form.substr(194));

  // FORM.FPT: 64-byte blocks, the three memos at blocks 8, 14 and 16.
  std::string fpt = dir.Read("FORM.FPT");
  ASSERT_EQ(17u * 64, fpt.size());
  EXPECT_EQ(17u, Be32(fpt, 0));
  EXPECT_EQ(64u, Be32(fpt, 4));
  struct { size_t at; const std::string& text; } memos[] = {{512, kHeader}, {896, kPosition}, {1024, kFooter}};
  for (const auto& m : memos) {
    EXPECT_EQ(1u, Be32(fpt, m.at));
    EXPECT_EQ(m.text.size(), Be32(fpt, m.at + 4));
    EXPECT_EQ(m.text, fpt.substr(m.at + 8, m.text.size()));
  }

  // FORM.CDX: the complete file of the format reference's example.
  std::string cdx = dir.Read("FORM.CDX");
  std::string want(3072, '\0');
  auto put = [&](size_t at, const std::string& bytes) { want.replace(at, bytes.size(), bytes); };
  put(0x000, std::string("\x00\x04\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x0a\x00\xe0\x01", 16));
  put(0x1F6, std::string("\x00\x00\x01\x00\x01\x00\x00\x00\x01\x00", 10));
  put(0x400, std::string("\x03\x00\x01\x00\xff\xff\xff\xff\xff\xff\xff\xff\xdd\x01\xff\xff\x00\x00\x0f\x0f\x10\x04\x04\x03"
                         "\x00\x06\x20", 27));
  put(0x5F8, "FORMNAME");
  put(0x600, std::string("\x00\x0a\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x0a\x00\x60\x01", 16));
  put(0x7F6, std::string("\x00\x00\x10\x00\x01\x00\x00\x00\x10\x00", 10));
  put(0x800, "Upper(FORMNAME)");
  put(0xA00, std::string("\x03\x00\x01\x00\xff\xff\xff\xff\xff\xff\xff\xff\xdd\x01\xff\xff\x00\x00\x0f\x0f\x10\x04\x04\x03"
                         "\x01\x00\x20", 27));
  put(0xBF8, "ARTLISTE");
  EXPECT_EQ(want, cdx);

  // ARTICLE.DBF and ARTICLE.CDX: as the other engine writes them, apart
  // from the date and code page bytes of the table and that engine's
  // private signature bytes in the index headers.
  std::string article = dir.Read("ARTICLE.DBF"), other = Golden("ARTICLE.dbf");
  ASSERT_EQ(other.size(), article.size());
  for (size_t i : {1, 2, 3, 29}) article[i] = other[i];
  EXPECT_EQ(other, article);
  EXPECT_EQ("         1Description of article 1" + std::string(56 - 24, ' ') + "     99.00", dir.Read("ARTICLE.DBF").substr(131, 76));
  EXPECT_EQ("       100Description of article 100" + std::string(56 - 26, ' ') + "    100.00",
            dir.Read("ARTICLE.DBF").substr(130 + 99 * 77 + 1, 76));
  std::string acdx = dir.Read("ARTICLE.CDX"), ocdx = Golden("ARTICLE.cdx");
  ASSERT_EQ(ocdx.size(), acdx.size());
  acdx.replace(16, 8, ocdx.substr(16, 8));
  acdx.replace(0x600 + 16, 4, ocdx.substr(0x600 + 16, 4));
  EXPECT_EQ(ocdx, acdx);
}

TEST_F(StartupTest, IndependentReadersAgree) {
  App().Prepare();
  // python3-dbfread, choosing the code page from the table's mark.
  std::string out;
  ASSERT_EQ(0, RunCommand("/usr/bin/python3 " + DbFixtures() + "dbfread_dump.py " + dir.File("FORM.DBF"), &out));
  auto escaped = [](std::string s) {
    std::string e;
    for (char c : rt::RTrim(s)) e += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return e;
  };
  EXPECT_EQ("L\tFORMNAME=ARTLISTE\tLINES=62.000000\tPHEADER=" + escaped(kHeader) + "\tPOSITION=" + escaped(kPosition) +
                "\tPFOOTER=" + kFooter + "\n",
            out);
  out.clear();
  ASSERT_EQ(0, RunCommand("/usr/bin/python3 " + DbFixtures() + "dbfread_dump.py " + dir.File("ARTICLE.DBF"), &out));
  std::string want;
  for (int i = 1; i <= 100; ++i) {
    char price[32];
    std::snprintf(price, sizeof price, "%.6f", double(100 - i % 100));
    want += "L\tARTNO=" + rt::PadL(std::to_string(i), 10) + "\tDESCRIPT=Description of article " + std::to_string(i) +
            "\tPRICE=" + price + "\n";
  }
  EXPECT_EQ(want, out);

  // Perl XBase::Index: every tag, keys in order with their record numbers.
  out.clear();
  ASSERT_EQ(0, RunCommand("perl " + DbFixtures() + "perl_keys.pl " + dir.File("FORM.CDX") + " FORMNAME", &out));
  EXPECT_EQ("ARTLISTE\t1\n", out);
  out.clear();
  ASSERT_EQ(0, RunCommand("perl " + DbFixtures() + "perl_keys.pl " + dir.File("ARTICLE.CDX") + " ARTNO", &out));
  want.clear();
  for (int i = 1; i <= 100; ++i) want += rt::PadL(std::to_string(i), 10) + "\t" + std::to_string(i) + "\n";
  EXPECT_EQ(want, out);

  // The structure checker of the format reference.
  for (const char* f : {"FORM.CDX", "ARTICLE.CDX"}) {
    out.clear();
    EXPECT_EQ(0, RunCommand("/usr/bin/python3 " + DbFixtures() + "inspect.py " + dir.File(f), &out)) << out;
  }
}

TEST_F(StartupTest, ArticlesComeInArtnoOrderWithTheirPrices) {
  App().Prepare();
  db::DBServer articles(dir.File("ARTICLE.DBF"));
  ASSERT_TRUE(articles.Used());
  EXPECT_EQ(100u, articles.RecCount());
  int expected = 1;
  for (articles.GoTop(); !articles.EoF(); articles.Skip()) {
    EXPECT_EQ(uint32_t(expected), articles.RecNo());
    EXPECT_EQ(rt::Str(expected, 10, 0), articles.FieldGet("ARTNO").AsString());
    EXPECT_EQ(double(100 - expected % 100), articles.FieldGet("PRICE").AsNumber());
    ++expected;
  }
  EXPECT_EQ(101, expected);
  ASSERT_TRUE(articles.Seek(rt::Value("         1")));
  EXPECT_EQ("     99.00", articles.FieldGetFormatted("PRICE"));
  ASSERT_TRUE(articles.Seek(rt::Value("       100")));
  EXPECT_EQ(100.0, articles.FieldGet("PRICE").AsNumber());
}

TEST_F(StartupTest, MissingMemoFileRecreatesTheFormTable) {
  App().Prepare();
  {
    db::Table t;
    ASSERT_TRUE(t.Open(dir.File("FORM.DBF"), false, false).ok());
    ASSERT_TRUE(t.Append().ok());
    ASSERT_TRUE(t.FieldPut(0, rt::Value("EXTRA")).ok());
    ASSERT_TRUE(t.Close().ok());
  }
  std::string firstFpt = dir.Read("FORM.FPT");
  std::filesystem::remove(dir.File("FORM.FPT"));
  App().Prepare();
  EXPECT_EQ(firstFpt, dir.Read("FORM.FPT"));
  db::DBServer form(dir.File("FORM.DBF"));
  ASSERT_TRUE(form.Used());
  EXPECT_EQ(1u, form.RecCount());
  EXPECT_EQ("ARTLISTE  ", form.FieldGet("FORMNAME").AsString());
  EXPECT_FALSE(form.Seek(rt::Value("EXTRA")));
  EXPECT_TRUE(form.Seek(rt::Value("ARTLISTE")));
  EXPECT_EQ(kHeader, form.FieldGet("PHEADER").AsString());
}

TEST_F(StartupTest, MissingIndexAloneCreatesNothing) {
  App().Prepare();
  std::filesystem::remove(dir.File("FORM.CDX"));
  std::string dbf = dir.Read("FORM.DBF"), fpt = dir.Read("FORM.FPT");
  App().Prepare();
  EXPECT_FALSE(dir.Exists("FORM.CDX"));
  EXPECT_EQ(dbf, dir.Read("FORM.DBF"));
  EXPECT_EQ(fpt, dir.Read("FORM.FPT"));
  // The stale index flag does not stop the table from opening.
  db::DBServer form(dir.File("FORM.DBF"));
  EXPECT_TRUE(form.Used());
  EXPECT_EQ("ARTLISTE  ", form.FieldGet("FORMNAME").AsString());
}

TEST_F(StartupTest, AnExistingArticleTableIsLeftAlone) {
  App().Prepare();
  {
    db::Table t;
    ASSERT_TRUE(t.Open(dir.File("ARTICLE.DBF"), false, false).ok());
    ASSERT_TRUE(t.GoTo(5).ok());
    ASSERT_TRUE(t.FieldPut(2, rt::Value(1234.5)).ok());
    ASSERT_TRUE(t.Close().ok());
  }
  std::string dbf = dir.Read("ARTICLE.DBF"), cdx = dir.Read("ARTICLE.CDX");
  App().Prepare();
  EXPECT_EQ(dbf, dir.Read("ARTICLE.DBF"));
  EXPECT_EQ(cdx, dir.Read("ARTICLE.CDX"));
  std::filesystem::remove(dir.File("ARTICLE.CDX"));
  App().Prepare();
  EXPECT_EQ(dbf, dir.Read("ARTICLE.DBF"));
  EXPECT_FALSE(dir.Exists("ARTICLE.CDX"));
}

TEST_F(StartupTest, TablesFoundWhateverTheCaseOfTheirNames) {
  App().Prepare();
  for (const char* f : {"FORM.DBF", "FORM.FPT", "FORM.CDX", "ARTICLE.DBF", "ARTICLE.CDX"})
    std::filesystem::rename(dir.File(f), dir.File(rt::Lower(f)));
  App().Prepare();
  EXPECT_FALSE(dir.Exists("FORM.DBF"));
  EXPECT_FALSE(dir.Exists("ARTICLE.DBF"));
  db::DBServer form(dir.File("Form.DBF"));
  ASSERT_TRUE(form.Used());
  EXPECT_TRUE(form.Seek(rt::Value("ARTLISTE")));
}

TEST_F(StartupTest, WorkDirectoryWithOrWithoutTrailingSlash) {
  TempWorkDir other(false);
  std::string bare = other.path().substr(0, other.path().size() - 1);
  App().Prepare(bare);
  for (const char* f : {"FORM.DBF", "FORM.FPT", "FORM.CDX", "ARTICLE.DBF", "ARTICLE.CDX"}) {
    EXPECT_TRUE(other.Exists(f)) << f;
    EXPECT_FALSE(dir.Exists(f)) << f;
  }
  std::string before = other.Read("FORM.DBF");
  App().Prepare(other.path());
  EXPECT_EQ(before, other.Read("FORM.DBF"));
}

TEST_F(StartupTest, AFolderThatCannotHoldTablesGivesErrorsNotACrash) {
  testsupport::ErrorRecorder errors;
  App().Prepare(dir.File("missing/folder"));
  ASSERT_EQ(2u, errors.errors.size()) << errors.Descriptions();
  for (const auto& e : errors.errors) {
    EXPECT_EQ("DBFCDX", e->SubSystem);
    EXPECT_EQ(uint32_t(rt::EG_CREATE), e->GenCode);
    EXPECT_EQ(uint32_t(ENOENT), e->OsCode);
  }
  EXPECT_NE(std::string::npos, errors.errors[0]->FileName.find("FORM.DBF"));
  EXPECT_NE(std::string::npos, errors.errors[1]->FileName.find("ARTICLE.DBF"));
  EXPECT_TRUE(db::Alias().empty());
}

TEST_F(StartupTest, ATableInUseIsNotReplaced) {
  App().Prepare();
  std::filesystem::remove(dir.File("FORM.FPT"));
  // Another program has the table open (its open marker is locked).
  db::DbFile holder;
  ASSERT_TRUE(holder.Open(dir.File("FORM.DBF"), true).ok());
  ASSERT_TRUE(holder.TryLock(0x7FFFFFFF, 1, false));
  std::string dbf = dir.Read("FORM.DBF");
  testsupport::ErrorRecorder errors;
  App().Prepare();
  ASSERT_EQ(1u, errors.errors.size()) << errors.Descriptions();
  EXPECT_NE(std::string::npos, errors.errors[0]->Description.find("in use"));
  EXPECT_EQ(dbf, dir.Read("FORM.DBF"));
}

}  // namespace
}  // namespace startup
