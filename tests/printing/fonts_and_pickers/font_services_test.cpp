#include <gtest/gtest.h>

#include <QFontInfo>
#include <algorithm>

#include "printing/font_services.h"

namespace {
// Restores the installed fonts as the source of the font list.
struct FontEnumeratorGuard {
  ~FontEnumeratorGuard() { SetFontEnumerator(nullptr); }
};
}  // namespace

TEST(FontList, SortedByTheFirst16CharactersAndEnumeratedOnce) {
  FontEnumeratorGuard guard;
  int calls = 0;
  SetFontEnumerator([&] {
    ++calls;
    return std::vector<std::string>{"zeta", "  Alpha  ", "abcdefghijklmnopZ", "ABCDEFGHIJKLMNOPa", "Beta"};
  });
  auto first = KwGetFontList(nullptr);
  EXPECT_EQ(first, (std::vector<std::string>{"abcdefghijklmnopZ", "ABCDEFGHIJKLMNOPa", "Alpha", "Beta", "zeta"}))
      << "names equal in their first 16 characters keep their order: the sort looks no further";
  first.clear();  // callers get copies
  EXPECT_EQ(KwGetFontList(nullptr).size(), 5u);
  EXPECT_EQ(calls, 1);
}

TEST(FontList, AnEmptyEnumerationIsNotCached) {
  FontEnumeratorGuard guard;
  int calls = 0;
  SetFontEnumerator([&] {
    ++calls;
    return calls == 1 ? std::vector<std::string>{} : std::vector<std::string>{"Arial"};
  });
  EXPECT_TRUE(KwGetFontList(nullptr).empty());
  EXPECT_EQ(KwGetFontList(nullptr), std::vector<std::string>{"Arial"});
  EXPECT_EQ(calls, 2);
}

TEST(FontList, ListsTheInstalledFonts) {
  auto fonts = KwGetFontList(nullptr);
  EXPECT_NE(std::find(fonts.begin(), fonts.end(), "Liberation Mono"), fonts.end());
  EXPECT_NE(std::find(fonts.begin(), fonts.end(), "Liberation Sans"), fonts.end());
}

TEST(FontHandles, LoadKeepsFaceWeightAndSlant) {
  struct Case {
    std::string face;
    bool bold, italic;
    std::string storedFace;
  } cases[] = {
      {"Courier New", false, false, "Courier New"},
      {"Arial", true, true, "Arial"},
      {std::string(31, 'F'), false, true, std::string(31, 'F')},
      {std::string(40, 'G'), true, false, std::string(31, 'G')},
  };
  for (const auto& c : cases) {
    gui::HFONT f = KwLoadFont(c.face, -20, c.bold, c.italic);
    ASSERT_NE(f, nullptr);
    gui::LOGFONTA lf;
    ASSERT_TRUE(gui::GetFontObject(f, &lf));
    EXPECT_EQ(std::string(lf.lfFaceName), c.storedFace);
    EXPECT_EQ(lf.lfWeight, c.bold ? 700 : 400);
    EXPECT_EQ(lf.lfItalic, c.italic ? 1 : 0);
    EXPECT_EQ(lf.lfHeight, -20);
    EXPECT_EQ(lf.lfCharSet, gui::DEFAULT_CHARSET);
    QFont q = gui::FontOf(f);
    EXPECT_EQ(q.pixelSize(), 20);
    EXPECT_EQ(q.bold(), c.bold);
    EXPECT_EQ(q.italic(), c.italic);
    EXPECT_TRUE(gui::DeleteObject(f));
  }
  // "Courier New" is served by a metric-compatible installed face.
  gui::HFONT courier = KwLoadFont("Courier New", -24, false, false);
  EXPECT_TRUE(QFontInfo(gui::FontOf(courier)).fixedPitch());
  gui::DeleteObject(courier);
}

TEST(FontHandles, ModifyMakesANewFontAndRefusesWhatIsNoFont) {
  gui::HFONT plain = KwLoadFont("Arial", -16, false, false);
  gui::HFONT bold = KwModifyFont(plain, true, true);
  ASSERT_NE(bold, nullptr);
  ASSERT_NE(bold, plain);
  gui::LOGFONTA a, b;
  ASSERT_TRUE(gui::GetFontObject(plain, &a));
  ASSERT_TRUE(gui::GetFontObject(bold, &b));
  EXPECT_EQ(a.lfWeight, 400) << "the given font is not changed";
  EXPECT_EQ(b.lfWeight, 700);
  EXPECT_EQ(b.lfItalic, 1);
  EXPECT_EQ(b.lfHeight, a.lfHeight);
  EXPECT_STREQ(b.lfFaceName, a.lfFaceName);

  EXPECT_TRUE(gui::DeleteObject(plain));
  EXPECT_EQ(KwModifyFont(plain, true, false), nullptr) << "a released handle is no font";
  int notAFont = 0;
  EXPECT_EQ(KwModifyFont(reinterpret_cast<gui::HFONT>(&notAFont), false, false), nullptr);
  EXPECT_EQ(KwModifyFont(nullptr, false, false), nullptr);
  gui::DeleteObject(bold);
}
