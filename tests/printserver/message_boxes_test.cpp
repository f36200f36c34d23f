#include <gtest/gtest.h>

#include "platform/gui/message_box.h"
#include "printserver/message_boxes.h"

TEST(MessageBoxes, TitlesIconsButtonsAndResults) {
  gui::ScopedScriptedBoxes boxes;
  boxes->Answer(gui::IDCANCEL);
  EXPECT_TRUE(ErrBox("Nincs nyomtató választva!"));
  boxes->Answer(gui::IDCANCEL);
  EXPECT_TRUE(MsgBox("Kész"));
  boxes->Answer(gui::IDYES);
  EXPECT_TRUE(AskBox("Folytatja?"));
  boxes->Answer(gui::IDNO);
  EXPECT_FALSE(AskBox("Folytatja?"));

  const auto& shown = boxes->shown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].title, "Hiba");
  EXPECT_EQ(shown[0].icon, gui::BoxIcon::Error);
  EXPECT_EQ(shown[0].buttons, gui::MB_OK);
  EXPECT_EQ(shown[0].text, "Nincs nyomtató választva!");
  EXPECT_EQ(shown[1].title, "Üzenet");
  EXPECT_EQ(shown[1].icon, gui::BoxIcon::Information);
  EXPECT_EQ(shown[2].title, "Kérdés");
  EXPECT_EQ(shown[2].icon, gui::BoxIcon::Question);
  EXPECT_EQ(shown[2].buttons, gui::MB_YESNO);
  for (const auto& b : shown) EXPECT_TRUE(b.taskModal);
}
