// The text-file reader on real files: lines, the end of the data, block
// boundaries.
#include <gtest/gtest.h>

#include "printing/kw_text_file.h"
#include "support/work_dir.h"

namespace {

struct Read {
  std::string line;
  bool eofAfter;
};

// Every ReadLn of a loop that reads while Eof() is false.
std::vector<Read> ReadAll(KwTextFile& f) {
  std::vector<Read> reads;
  for (int guard = 0; !f.Eof() && guard < 100000; ++guard) {
    std::string line = f.ReadLn();
    reads.push_back({line, f.Eof()});
  }
  return reads;
}

std::string Letters(size_t n, char first = 'a') {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += char(first + i % 26);
  return s;
}

struct Case {
  const char* what;
  std::string content;
  std::optional<uint32_t> bufferSize;
  std::vector<Read> expected;
};

}  // namespace

TEST(KwTextFile, ReadsLinesAsTheLoopOfItsCallersSeesThem) {
  const std::string line4094 = Letters(4094);
  const std::string firstHalf = Letters(4095);   // its CR is byte 4096 of the file
  const std::string longLine = Letters(10000);
  const Case cases[] = {
      {"two one-letter lines with CR LF", "A\r\nB\r\n", {}, {{"A", false}, {"B", false}, {"", true}}},
      {"last line without CR LF is returned", "A\r\nB", {}, {{"A", false}, {"B", true}}},
      {"one line without CR LF", "only", {}, {{"only", true}}},
      {"empty line", "A\r\n\r\nB\r\n", {}, {{"A", false}, {"", false}, {"B", false}, {"", true}}},
      {"lone CR and lone LF are ordinary bytes", "a\rb\nc\r\nd\n\r", {}, {{"a\rb\nc", false}, {"d\n\r", true}}},
      {"file of exactly one block ending in CR LF", line4094 + "\r\n", {}, {{line4094, true}}},
      {"CR last byte of a block, LF first of the next", firstHalf + "\r\nnext\r\n", {},
       {{firstHalf, false}, {"next", false}, {"", true}}},
      {"line split between blocks", "ab\r\ncdefgh\r\nij\r\n", 5u,
       {{"ab", false}, {"cdefgh", false}, {"ij", false}, {"", true}}},
      {"line longer than the buffer is returned whole", longLine + "\r\nz\r\n", {},
       {{longLine, false}, {"z", false}, {"", true}}},
      {"small buffer, CR LF across every block edge", "a\r\nb\r\nc", 2u, {{"a", false}, {"b", false}, {"c", true}}},
      {"file ends in a lone CR", "a\r\nb\r", 4u, {{"a", false}, {"b\r", true}}},
      {"bytes above 127 pass unchanged", "\x82\xa0\xfd\r\n", {}, {{"\x82\xa0\xfd", false}, {"", true}}},
  };
  testsupport::TempWorkDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("t.txt", c.content);
    KwTextFile f(dir.File("t.txt"), c.bufferSize);
    ASSERT_TRUE(f.Ready());
    std::vector<Read> reads = ReadAll(f);
    ASSERT_EQ(reads.size(), c.expected.size());
    for (size_t i = 0; i < reads.size(); ++i) {
      EXPECT_EQ(reads[i].line, c.expected[i].line) << "read " << i;
      EXPECT_EQ(reads[i].eofAfter, c.expected[i].eofAfter) << "read " << i;
    }
    // At the end every further read is empty.
    EXPECT_EQ(f.ReadLn(), "");
    EXPECT_TRUE(f.Eof());
    EXPECT_FALSE(f.Ready());
  }
}

TEST(KwTextFile, EmptyOrMissingFileIsNotReady) {
  testsupport::TempWorkDir dir;
  dir.Write("empty.txt", "");
  KwTextFile empty(dir.File("empty.txt"));
  EXPECT_FALSE(empty.Ready());
  EXPECT_TRUE(empty.Eof());
  EXPECT_EQ(empty.ReadLn(), "");
  EXPECT_FALSE(empty.Open());   // it is open, only empty

  KwTextFile missing(dir.File("missing.txt"));
  EXPECT_FALSE(missing.Ready());
  EXPECT_FALSE(missing.Open());
  EXPECT_TRUE(missing.Eof());
  EXPECT_EQ(missing.ReadLn(), "");

  dir.Write("zero.txt", "data\r\n");
  KwTextFile zeroBuffer(dir.File("zero.txt"), 0u);
  EXPECT_FALSE(zeroBuffer.Ready());
  EXPECT_EQ(zeroBuffer.ReadLn(), "");
}

TEST(KwTextFile, NameIsKeptTrimmedInUpperCase) {
  testsupport::TempWorkDir dir;
  dir.Write("lista.txt", "x\r\n");
  KwTextFile f("  lista.txt ");
  EXPECT_EQ(f.FileName(), "LISTA.TXT");
  EXPECT_TRUE(f.Ready());
  EXPECT_EQ(f.ReadLn(), "x");
  // Opened by its upper-case form when only that exists.
  dir.Write("UPPER.TXT", "y\r\n");
  KwTextFile g("upper.txt");
  EXPECT_EQ(g.FileName(), "UPPER.TXT");
  EXPECT_EQ(g.ReadLn(), "y");
}

TEST(KwTextFile, OpenCloseAndResetCycle) {
  testsupport::TempWorkDir dir;
  dir.Write("t.txt", "one\r\ntwo\r\n");
  KwTextFile f(dir.File("t.txt"));
  EXPECT_EQ(f.ReadLn(), "one");
  EXPECT_FALSE(f.Open());                 // already open: nothing changes
  EXPECT_EQ(f.ReadLn(), "two");
  f.Reset();
  EXPECT_EQ(f.ReadLn(), "one");
  f.Close();
  EXPECT_TRUE(f.Eof());
  EXPECT_FALSE(f.Ready());
  EXPECT_EQ(f.ReadLn(), "");
  EXPECT_TRUE(f.Open());                  // the same name again, from the start
  EXPECT_EQ(f.ReadLn(), "one");
}
