// SetInternational takes the conventions of the user locale, with fixed
// fallbacks for what the locale does not give.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/runtime/collation.h"
#include "platform/runtime/error.h"
#include "platform/runtime/international.h"
#include "support/work_dir.h"

using namespace rt;

namespace {

// Real locales compiled from the system's locale sources into a private folder.
class International : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testsupport::TempWorkDir(false);
    for (const char* l : {"en_US", "de_DE", "hu_HU"}) {
      std::string cmd = "localedef -i " + std::string(l) + " -f UTF-8 " + dir_->path() + l + ".UTF-8 >/dev/null 2>&1";
      int rc = std::system(cmd.c_str());
      ASSERT_TRUE(rc == 0 || rc == 256) << cmd;  // 1 = warnings only
    }
  }
  static void TearDownTestSuite() { delete dir_; }
  void SetUp() override {
    const char* old = std::getenv("LC_ALL");
    oldLcAll_ = old ? old : "";
    setenv("LOCPATH", dir_->path().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("LOCPATH");
    if (oldLcAll_.empty()) unsetenv("LC_ALL");
    else setenv("LC_ALL", oldLcAll_.c_str(), 1);
    SetInternational(Symbol("COMPATIBLE"));
  }
  static testsupport::TempWorkDir* dir_;
  std::string oldLcAll_;
};
testsupport::TempWorkDir* International::dir_ = nullptr;

struct LocaleCase {
  const char* locale;
  const char* decimal;
  const char* thousands;
  const char* timeSep;
  bool amPm;
  const char* am;
  const char* pm;
  const char* dateFormat;
  int decimals;
};

}  // namespace

TEST_F(International, WindowsModeTakesTheLocaleValuesOrTheirFallbacks) {
  const LocaleCase cases[] = {
      {"en_US.UTF-8", ".", ",", ":", true, " AM", " PM", "MM/DD/YYYY", 2},
      {"de_DE.UTF-8", ",", ".", ":", false, " am", " pm", "DD.MM.YYYY", 2},
      {"hu_HU.UTF-8", ",", ".", ":", false, " am", " pm", "YYYY-MM-DD", 2},
      // The C locale has no thousands separator and no fractional digits.
      {"C", ".", ",", ":", false, " AM", " PM", "MM/DD/YY", 2},
      // A locale that does not exist: every value falls back.
      {"xx_XX.UTF-8", ".", ",", ":", true, " am", " pm", "MM/DD/YY", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    setenv("LC_ALL", c.locale, 1);
    SetInternational(Symbol("COMPATIBLE"));
    SetCollation("CLASSIC");
    EXPECT_EQ(SetInternational(Symbol("WINDOWS")).name, "COMPATIBLE");
    EXPECT_EQ(Collation(), "WINDOWS");
    const auto& s = rt::International();
    EXPECT_EQ(s.flag, 1);
    EXPECT_EQ(s.decimalSep, c.decimal);
    EXPECT_EQ(s.thousandsSep, c.thousands);
    EXPECT_EQ(s.timeSep, c.timeSep);
    EXPECT_EQ(s.amPm, c.amPm);
    EXPECT_EQ(s.amSuffix, c.am);
    EXPECT_EQ(s.pmSuffix, c.pm);
    EXPECT_EQ(s.dateFormat, c.dateFormat);
    EXPECT_EQ(s.decimals, c.decimals);
    EXPECT_TRUE(s.collation);
    EXPECT_TRUE(s.century);
    EXPECT_EQ(s.epoch, 1910);
  }
}

TEST_F(International, ReportsModesAndRejectsUnknownOnesThroughTheErrorBlock) {
  EXPECT_EQ(SetInternational().name, "COMPATIBLE");
  EXPECT_EQ(SetInternational(Symbol("binary")).name, "COMPATIBLE");
  EXPECT_EQ(SetInternational().name, "BINARY");

  std::shared_ptr<Error> raised;
  Value old = SetErrorBlock(CodeBlock([&](const std::vector<Value>& a) -> Value {
    raised = std::dynamic_pointer_cast<Error>(a.at(0).AsObject());
    return Value(false);
  }));
  EXPECT_EQ(SetInternational(Symbol("Klingon")).name, "BINARY");
  SetErrorBlock(old);
  ASSERT_TRUE(raised);
  EXPECT_EQ(raised->SubSystem, "International");
  EXPECT_EQ(raised->GenCode, 30u);
  EXPECT_TRUE(raised->CanDefault);
  EXPECT_EQ(raised->Arg, "KLINGON");
  EXPECT_EQ(SetInternational().name, "BINARY");  // unchanged
}

TEST_F(International, DatesFollowTheLocaleFormatWithTheCentury) {
  struct Case { const char* locale; const char* text; const char* empty; };
  const Case cases[] = {{"en_US.UTF-8", "03/07/2026", "  /  /    "},
                        {"de_DE.UTF-8", "07.03.2026", "  .  .    "},
                        {"hu_HU.UTF-8", "2026-03-07", "    -  -  "},
                        {"C", "03/07/2026", "  /  /    "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    setenv("LC_ALL", c.locale, 1);
    SetInternational(Symbol("WINDOWS"));
    EXPECT_EQ(DToC(Date::FromYmd(2026, 3, 7)), c.text);
    EXPECT_EQ(DToC(Date{}), c.empty);
  }
}
