#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "platform/gui/pickers.h"
#include "printing/folder_pickers.h"
#include "support/work_dir.h"

namespace {
class ScriptedPickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto s = std::make_unique<gui::ScriptedPickers>();
    pickers = s.get();
    previous = gui::SetPickerService(std::move(s));
  }
  void TearDown() override { gui::SetPickerService(std::move(previous)); }
  gui::ScriptedPickers* pickers = nullptr;
  std::unique_ptr<gui::PickerService> previous;
};
}  // namespace

TEST_F(ScriptedPickerTest, FolderResultEndsInASlashAndCancelIsEmpty) {
  pickers->Answer(std::string("/srv/jobs"));
  pickers->Answer(std::string("/srv/jobs/"));
  pickers->Answer(std::nullopt);
  EXPECT_EQ(KwGetDirectory(nullptr, "Nyomtató mappa", "."), "/srv/jobs/");
  EXPECT_EQ(KwGetDirectory(nullptr, "Nyomtató mappa", "./"), "/srv/jobs/");
  EXPECT_EQ(KwGetDirectory(nullptr, "Nyomtató mappa", "./"), "");
  ASSERT_EQ(pickers->requests().size(), 3u);
  EXPECT_EQ(pickers->requests()[0].startFolder, "./") << "a start folder gets its trailing slash";
  EXPECT_EQ(pickers->requests()[0].acceptLabel, "&Kiválaszt");
}

TEST_F(ScriptedPickerTest, FilePickerPassesFiltersOrAllFiles) {
  pickers->Answer(std::string("/tmp/a.txt"));
  pickers->Answer(std::nullopt);
  EXPECT_EQ(KwGetFile(nullptr, "Fájl", "/tmp", {{"Text", "*.txt"}, {"Print", "*.prn"}}), "/tmp/a.txt");
  EXPECT_EQ(KwGetFile(nullptr, "Fájl", "/tmp"), "");
  const auto& r = pickers->requests();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_FALSE(r[0].folder);
  EXPECT_EQ(r[0].filters.size(), 2u);
  ASSERT_EQ(r[1].filters.size(), 1u);
  EXPECT_EQ(r[1].filters[0].second, "*.*");
}

// The real Qt folder picker: started in the current folder, confirmed without
// touching anything, it returns that folder with a trailing slash.
TEST(QtFolderPicker, ConfirmingReturnsTheStartFolder) {
  testsupport::TempWorkDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  std::string acceptText;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    auto* box = dialog->findChild<QDialogButtonBox*>();
    QPushButton* ok = box ? box->button(QDialogButtonBox::Open) : nullptr;
    if (ok) acceptText = ok->text().toStdString();
    QMetaObject::invokeMethod(dialog, "accept");
  });
  std::string chosen = KwGetDirectory(nullptr, "Nyomtató mappa", "./");
  EXPECT_EQ(acceptText, "&Kiválaszt");
  std::string expected = std::filesystem::canonical(dir.path()).string() + "/";
  EXPECT_EQ(chosen, expected);
}
