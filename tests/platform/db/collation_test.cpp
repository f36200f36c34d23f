// The classic collation: ASCII in byte order, accented letters right after
// their base letter, string comparison and keys in one order.
#include "platform/runtime/collation.h"

#include <gtest/gtest.h>

#include "error_recorder.h"

namespace rt {
namespace {

TEST(Collation, ClassicOrdersHungarianTextAfterItsBaseLetters) {
  ASSERT_TRUE(SetCollation("classic"));
  EXPECT_EQ("CLASSIC", Collation());
  struct Case { const char* less; const char* more; };
  const Case cases[] = {{"a", "á"}, {"á", "b"}, {"o", "ó"}, {"ó", "ö"}, {"ö", "ő"}, {"ő", "p"}, {"u", "ú"},
                        {"ú", "ü"}, {"ü", "ű"}, {"ű", "v"}, {"E", "É"}, {"É", "F"}, {"Z", "a"}, {" ", "0"},
                        {"9", "A"}, {"AB", "ABC"}, {"arz", "árvíz"}, {"Ő", "P"}, {"ÖZ", "ŐA"}};
  for (const Case& c : cases) {
    EXPECT_LT(CompareText(c.less, c.more), 0) << c.less << " < " << c.more;
    EXPECT_GT(CompareText(c.more, c.less), 0) << c.more << " > " << c.less;
  }
  EXPECT_EQ(0, CompareText("tükör", "tükör"));
  EXPECT_NE(0, CompareText("a", "á"));
}

TEST(Collation, BinaryComparesBytes) {
  ASSERT_TRUE(SetCollation("BINARY"));
  EXPECT_GT(CompareText("á", "b"), 0);
  ASSERT_TRUE(SetCollation("CLASSIC"));
  EXPECT_LT(CompareText("á", "b"), 0);
}

TEST(Collation, AnUnknownNameRaisesTheInternationalError) {
  ASSERT_TRUE(SetCollation("CLASSIC"));
  testsupport::ErrorRecorder errors;
  EXPECT_FALSE(SetCollation("KLINGON"));
  ASSERT_EQ(1u, errors.errors.size());
  const Error& e = *errors.errors[0];
  EXPECT_EQ("International", e.SubSystem);
  EXPECT_EQ(30u, e.GenCode);
  EXPECT_TRUE(e.CanDefault);
  EXPECT_EQ("KLINGON", e.Arg);
  EXPECT_EQ("CLASSIC", Collation());
}

}  // namespace
}  // namespace rt
