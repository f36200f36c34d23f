#include <gtest/gtest.h>

#include "platform/runtime/codepage.h"
#include "platform/runtime/strings.h"

using namespace rt;

TEST(Strings, TrimPadCentreCountCharacters) {
  EXPECT_EQ(Trim("  Nyomtató  "), "Nyomtató");
  EXPECT_EQ(PadR("ő", 3), "ő  ");
  EXPECT_EQ(PadL("1", 10), "         1");
  EXPECT_EQ(Centre("List of articles", 78), std::string(31, ' ') + "List of articles" + std::string(31, ' '));
  EXPECT_EQ(Upper("árvíztűrő"), "ÁRVÍZTŰRŐ");
  EXPECT_EQ(Left("Kiválaszt", 4), "Kivá");
  EXPECT_EQ(Right("mappa/", 1), "/");
}

TEST(Strings, NumbersAsText) {
  EXPECT_EQ(Str(99, 10, 2), "     99.00");
  EXPECT_EQ(Str(123456789, 5, 0), "*****");
  EXPECT_EQ(Hex8(1), "00000001");
  EXPECT_EQ(Hex8(0x7FFFFFFF), "7FFFFFFF");
}

TEST(CodePages, HungarianLettersRoundTrip) {
  const std::string text = "árvíztűrő tükörfúrógép ÁRVÍZTŰRŐ";
  for (CodePage cp : {CodePage::Ansi1250, CodePage::Oem852}) {
    std::string bytes = ToCodePage(text, cp);
    EXPECT_EQ(bytes.size(), CharLen(text));
    EXPECT_EQ(FromCodePage(bytes, cp), text);
  }
  EXPECT_EQ(ToCodePage("ő", CodePage::Ansi1250), "\xF5");
  EXPECT_EQ(ToCodePage("ő", CodePage::Oem852), "\x8B");
}
