// Boxes answered from a file, as the real program does under test.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/gui/scripted_boxes_env.h"
#include "support/work_dir.h"

TEST(ScriptedBoxesFromEnvironment, AnswersInOrderThenByDefaultAndLogsEveryBox) {
  testsupport::TempWorkDir dir;
  dir.Write("answers", "2\n\n3\n1\n");
  setenv("RV_SCRIPTED_BOXES", dir.File("answers").c_str(), 1);
  unsetenv("RV_SCRIPTED_BOXES_LOG");
  ASSERT_TRUE(gui::InstallScriptedBoxesFromEnvironment());

  gui::MessageBoxRequest r;
  r.title = "ERROR";
  r.text = "Error Code:  20 [ CREATE ERROR ]\nFilename: FORM.DBF";
  r.customButtons = {{"Retry", 2}, {"Quit", 3}};
  r.defaultAnswer = 3;
  EXPECT_EQ(gui::MessageBoxes().Show(r), 2);
  EXPECT_EQ(gui::MessageBoxes().Show(r), 3);
  EXPECT_EQ(gui::MessageBoxes().Show(r), 3);  // 1 is no button of this box: its default
  EXPECT_EQ(gui::MessageBoxes().Show(r), 3);  // the default once the answers ran out
  gui::MessageBoxRequest ok;
  ok.title = "Hiba";
  ok.text = "x";
  EXPECT_EQ(gui::MessageBoxes().Show(ok), gui::IDOK);

  unsetenv("RV_SCRIPTED_BOXES");
  EXPECT_FALSE(gui::InstallScriptedBoxesFromEnvironment());
  gui::SetMessageBoxService(std::make_unique<gui::ScriptedMessageBoxes>());

  const std::string box =
      "--- box\ntitle: ERROR\nbuttons: Retry=2 Quit=3\nanswer: %\ntext:\n"
      "Error Code:  20 [ CREATE ERROR ]\nFilename: FORM.DBF\n--- end\n";
  auto with = [&](const char* a) { std::string s = box; s.replace(s.find('%'), 1, a); return s; };
  EXPECT_EQ(dir.Read("answers.log"),
            with("2") + with("3") + with("3").replace(with("3").find("answer:"), 0, "not offered: 1\n") + with("3") + "--- box\ntitle: Hiba\nbuttons: standard 0\nanswer: 1\ntext:\nx\n--- end\n");
}
