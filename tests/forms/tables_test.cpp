// The Form and Article data servers with their defaults.
#include "forms/tables.h"

#include <gtest/gtest.h>

#include "platform/db/error_recorder.h"
#include "platform/db/workarea.h"
#include "platform/runtime/strings.h"
#include "startup/app.h"
#include "support/work_dir.h"

namespace forms {
namespace {

class FormTables : public ::testing::Test {
 protected:
  void SetUp() override { startup::App().Prepare(); }
  void TearDown() override { db::DbCloseAll(); }
  testsupport::TempWorkDir dir;
};

TEST_F(FormTables, FormOpensTheWorkDirectorysTableSharedWithItsIndex) {
  Form form;
  ASSERT_TRUE(form.Used());
  EXPECT_EQ("FORM", form.AliasSym().name);
  EXPECT_EQ(dir.File("FORM.DBF"), form.table()->path());   // "Form.DBF" resolves to the file on disk
  EXPECT_TRUE(form.table()->shared());
  EXPECT_FALSE(form.table()->readOnly());
  EXPECT_EQ("FORMNAME", form.table()->OrderName());
  EXPECT_TRUE(form.Seek(rt::Value(rt::Upper("artliste"))));
  EXPECT_EQ(1u, form.RecNo());
  EXPECT_EQ(62.0, form.FieldGet("LINES").AsNumber());
  EXPECT_EQ(315u, form.FieldGet("PHEADER").AsString().size());
  EXPECT_FALSE(form.Seek(rt::Value("NOSUCH")));
  EXPECT_TRUE(form.EoF());
}

TEST_F(FormTables, TwoFormsAreOpenAtOnce) {
  Form browser;
  Form evaluator(std::nullopt, true, true);
  ASSERT_TRUE(browser.Used());
  ASSERT_TRUE(evaluator.Used());
  EXPECT_NE(browser.AliasSym().name, evaluator.AliasSym().name);
  EXPECT_TRUE(evaluator.table()->readOnly());
  // The browser appends a form; the evaluator finds it.
  ASSERT_TRUE(browser.Append());
  ASSERT_TRUE(browser.FieldPut("FORMNAME", rt::Value("PRICES")));
  ASSERT_TRUE(browser.FieldPut("POSITION", rt::Value("@PRICE@")));
  ASSERT_TRUE(browser.Commit());
  ASSERT_TRUE(evaluator.Seek(rt::Value("PRICES")));
  EXPECT_EQ("@PRICE@", evaluator.FieldGet("POSITION").AsString());
  EXPECT_EQ(2u, evaluator.RecNo());
  // The read-only one cannot write.
  testsupport::ErrorRecorder errors;
  EXPECT_FALSE(evaluator.FieldPut("LINES", rt::Value(10.0)));
  ASSERT_EQ(1u, errors.errors.size());
  EXPECT_EQ(uint32_t(rt::EG_READONLY), errors.errors[0]->GenCode);
}

TEST_F(FormTables, ArticleDefaults) {
  Article articles;
  ASSERT_TRUE(articles.Used());
  EXPECT_EQ("ARTICLE", articles.AliasSym().name);
  EXPECT_TRUE(articles.table()->shared());
  EXPECT_EQ("ARTNO", articles.table()->OrderName());
  EXPECT_EQ(100u, articles.RecCount());
  ASSERT_TRUE(articles.GoBottom());
  EXPECT_EQ("       100", articles.FieldGet("ARTNO").AsString());
  ASSERT_TRUE(articles.Close());
  EXPECT_FALSE(articles.Used());
  EXPECT_FALSE(db::AliasUsed("ARTICLE"));
}

TEST(FormDefaults, WorkDirectoryWithOrWithoutTrailingSlash) {
  EXPECT_EQ("/w/Form.DBF", DefaultFile("/w", "Form.DBF"));
  EXPECT_EQ("/w/Form.DBF", DefaultFile("/w/", "Form.DBF"));
  testsupport::TempWorkDir dir;
  startup::App().Prepare(dir.path().substr(0, dir.path().size() - 1));
  Form bare(DefaultFile(dir.path().substr(0, dir.path().size() - 1), "Form.DBF"));
  ASSERT_TRUE(bare.Used());
  EXPECT_EQ(dir.File("FORM.DBF"), bare.table()->path());
}

TEST(FormDefaults, AMissingTableIsAnErrorAndAnUnusedServer) {
  testsupport::TempWorkDir dir;
  testsupport::ErrorRecorder errors;
  Form form;
  EXPECT_FALSE(form.Used());
  EXPECT_FALSE(form.Seek(rt::Value("ARTLISTE")));
  EXPECT_TRUE(form.FieldGet("FORMNAME").IsNil());
  ASSERT_EQ(1u, errors.errors.size());
  EXPECT_EQ(uint32_t(rt::EG_OPEN), errors.errors[0]->GenCode);
  EXPECT_EQ(dir.File("Form.DBF"), errors.errors[0]->FileName);
}

}  // namespace
}  // namespace forms
