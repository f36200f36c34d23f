#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <filesystem>

#include "platform/gui/message_box.h"
#include "platform/gui/pickers.h"
#include "printing/printer_globals.h"
#include "printserver/help_about.h"
#include "printserver/main_dialog.h"
#include "support/work_dir.h"

using testsupport::TempWorkDir;

namespace {

// A settings file put together byte by byte, independent of the code under test.
struct HandMadeSettings {
  std::string bytes = std::string(1050, '\0');
  HandMadeSettings() { Long(0, 0x5F3E4A05); }
  HandMadeSettings& Long(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
    return *this;
  }
  HandMadeSettings& Text(size_t at, const std::string& cp1250) {
    bytes.replace(at, cp1250.size(), cp1250);
    return *this;
  }
  HandMadeSettings& Byte(size_t at, uint8_t v) {
    bytes[at] = char(v);
    return *this;
  }
};

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gcPrinterName.clear();
    gcPrinterType.clear();
    gnFileLeftMargin = 0;
  }
  const std::vector<gui::MessageBoxRequest>& Boxes() { return boxes->shown(); }

  TempWorkDir dir;
  gui::ScopedScriptedBoxes boxes;
};

void SaveScreenshot(QWidget& w, const std::string& name) {
  w.show();
  QApplication::processEvents();
  ASSERT_TRUE(w.grab().save(QString::fromStdString(testsupport::ArtifactDir() + name)));
  w.hide();
}

}  // namespace

TEST_F(MainDialogTest, WithoutSettingsFileShowsTheTemplateValues) {
  MainDialog dlg;
  ASSERT_TRUE(dlg.IsValid());
  EXPECT_EQ(dlg.Caption(), "Rivodiva rududor (V10.00.008)");

  const char* names[] = {"PB1", "CB1", "CBX1", "LS", "SE1", "PB2", "CB2", "SET", "SEL", "SEB", "SER",
                         "PB3", "PB4", "DDEVNAME", "FT2", "FT3", "ME1", "FT7", "FT8", "FT9", "FT10", "GB1",
                         "GB2", "FT12", "HelpAbout", "FixedText8", "FixedText9", "PRNTIPUS", "FixedText11",
                         "GroupBox2", "FixedText12"};
  ASSERT_EQ(dlg.Controls().size(), 31u);
  for (int i = 0; i < 31; ++i) {
    EXPECT_EQ(dlg.Controls()[i]->Id(), 100 + i);
    EXPECT_EQ(dlg.Controls()[i]->Name(), names[i]);
  }
  for (auto* hidden : {dlg.oCB1, dlg.oCBX1, dlg.oLS, dlg.oCB2, dlg.oSET, dlg.oSEB, dlg.oSER})
    EXPECT_FALSE(hidden->IsVisible()) << hidden->Name();
  EXPECT_TRUE(dlg.oSEL->IsVisible());

  EXPECT_EQ(dlg.oSET->Text(), "10.0");
  EXPECT_EQ(dlg.oSEL->Text(), "20");
  EXPECT_EQ(dlg.oSEB->Text(), "10.0");
  EXPECT_EQ(dlg.oSER->Text(), "10.0");
  EXPECT_EQ(dlg.oLS->Text(), "100");
  EXPECT_FALSE(dlg.oCB1->Checked());
  EXPECT_TRUE(dlg.oCB2->Checked());
  EXPECT_EQ(dlg.oPRNTIPUS->Text(), "1");
  EXPECT_EQ(gcPrinterType, "1");
  EXPECT_EQ(dlg.oSE1->Text(), "");
  EXPECT_EQ(dlg.oFixedText11->Text(), "");
  EXPECT_FALSE(dlg.oPB4->IsEnabled());
  EXPECT_TRUE(dlg.oPB3->IsEnabled());
  EXPECT_FALSE(dlg.lRunning);
  EXPECT_EQ(gnFileLeftMargin, 0);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_FALSE(dlg.TimerActive(MainDialog::kPollTimer));

  // The font list fills the (hidden) font choice and the record's font slot.
  ASSERT_FALSE(dlg.oCBX1->ListItems().empty());
  EXPECT_EQ(PParGetStr(&(*dlg.pParams)[PAR_FONT]), dlg.oCBX1->ListItems().front());

  QFont about = dlg.oHelpAbout->Widget()->font();
  EXPECT_TRUE(about.bold());
  EXPECT_EQ(about.pointSize(), 14);
  QFont status = dlg.oFixedText11->Widget()->font();
  EXPECT_TRUE(status.bold());
  EXPECT_EQ(status.pointSize(), 10);

  dlg.oFixedText11->SetText("Leállítva");
  dlg.oDDEVNAME->SetText("  Irodai nyomtató");
  dlg.oSE1->SetText("/home/iroda/nyomtatás/");
  SaveScreenshot(dlg, "MainDialog.png");
}

TEST_F(MainDialogTest, ReadsAHandMadeSettingsFile) {
  dir.Write("KWVAROZE.CFG", HandMadeSettings()
                                .Text(4, "Liberation Mono")
                                .Text(259, "/var/spool/\xE1llom\xE1ny/")   // "állomány" in CP1250
                                .Long(514, 12)
                                .Long(518, 15000)
                                .Long(522, 1000)
                                .Long(526, 2500)
                                .Long(530, 7300)
                                .Byte(534, 1)
                                .Byte(535, 0)
                                .Long(536, 0)
                                .Text(540, "Irodai")
                                .Text(795, "2")
                                .bytes);
  MainDialog dlg;
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(dlg.oSE1->Text(), "/var/spool/állomány/");
  EXPECT_EQ(dlg.oSET->Text(), "15.0");
  EXPECT_EQ(dlg.oSEL->Text(), "1");
  EXPECT_EQ(dlg.oSEB->Text(), "2.5");
  EXPECT_EQ(dlg.oSER->Text(), "7.3");
  EXPECT_TRUE(dlg.oCB1->Checked());
  EXPECT_FALSE(dlg.oCB2->Checked());
  EXPECT_EQ(dlg.oLS->Text(), "100") << "a line interval of 0 reads as 100";
  EXPECT_EQ(dlg.oPRNTIPUS->Text(), "2");
  EXPECT_EQ(gcPrinterName, "Irodai");
  EXPECT_EQ(dlg.oDDEVNAME->Text(), "  Irodai");
  EXPECT_EQ(gnFileLeftMargin, 1);
  // Folder and printer known: the server started by itself, taking over the type.
  EXPECT_TRUE(dlg.lRunning);
  EXPECT_EQ(gcPrinterType, "2");
  EXPECT_EQ(dlg.oFixedText11->Text(), "Elindítva");
  dlg.PB4();
}

TEST_F(MainDialogTest, AFileHoldingOnlyTheMagicNumber) {
  dir.Write("KWVAROZE.CFG", std::string("\x05\x4A\x3E\x5F", 4));
  MainDialog dlg;
  EXPECT_TRUE(Boxes().empty());
  for (auto* margin : {dlg.oSET, dlg.oSEB, dlg.oSER}) EXPECT_EQ(margin->Text(), "0.0");
  EXPECT_EQ(dlg.oSEL->Text(), "0");
  EXPECT_EQ(dlg.oLS->Text(), "100");
  EXPECT_FALSE(dlg.oCB1->Checked());
  EXPECT_FALSE(dlg.oCB2->Checked());
  EXPECT_EQ(dlg.oSE1->Text(), "");
  EXPECT_EQ(dlg.oPRNTIPUS->Text(), "");
  EXPECT_EQ(gcPrinterName, "");
  EXPECT_EQ(dlg.oDDEVNAME->Text(), "  ");
  EXPECT_FALSE(dlg.lRunning);
}

TEST_F(MainDialogTest, ReadingErrorsKeepTheDefaults) {
  struct Case {
    std::function<void()> make;
    std::string message;
  } cases[] = {
      {[&] { dir.Write("KWVAROZE.CFG", "\xFF\xFF\xFF\xFF and more"); }, "Invalid parameters file"},
      {[&] { dir.Write("KWVAROZE.CFG", "\x05\x4A"); }, "Invalid parameters file"},
      {[&] { std::filesystem::create_directory(dir.File("KWVAROZE.CFG")); },
       "Hibás file nyitás: " + dir.File("KWVAROZE.CFG")},
  };
  for (auto& c : cases) {
    std::filesystem::remove_all(dir.File("KWVAROZE.CFG"));
    c.make();
    boxes->clear();
    MainDialog dlg;
    ASSERT_EQ(Boxes().size(), 1u) << c.message;
    EXPECT_EQ(Boxes()[0].text, c.message);
    EXPECT_EQ(Boxes()[0].title, "Hiba");
    EXPECT_EQ(Boxes()[0].icon, gui::BoxIcon::Error);
    EXPECT_EQ(dlg.oSEL->Text(), "20");
    EXPECT_EQ(dlg.oSE1->Text(), "");
  }
}

TEST_F(MainDialogTest, StartSavesTheSettingsAndTheNextDialogReadsThemBack) {
  const std::string folder = dir.path() + "jobs";
  std::filesystem::create_directory(folder);
  {
    MainDialog dlg;
    gcPrinterName = "Irodai nyomtató";
    dlg.oSE1->SetText("  " + folder + "  ");
    dlg.oSET->SetText("12.5");
    dlg.oSEL->SetText("1");
    dlg.oLS->SetText("150");
    dlg.oPRNTIPUS->SetText("2");
    dlg.oCB1->SetChecked(true);
    dlg.PB3();
    ASSERT_TRUE(dlg.lRunning);
    EXPECT_EQ(dlg.cWorkDir, folder + "/");
    EXPECT_EQ(gcPrinterType, "2");
    dlg.PB4();
  }
  const std::string file = dir.Read("KWVAROZE.CFG");
  ASSERT_EQ(file.size(), 1050u);
  auto at = [&](size_t off) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(file[off + i]);
    return v;
  };
  EXPECT_EQ(at(0), 0x5F3E4A05u);
  EXPECT_EQ(file.substr(259, folder.size() + 2), folder + "/" + '\0');
  EXPECT_EQ(at(514), 0u);
  EXPECT_EQ(at(518), 12500u);
  EXPECT_EQ(at(522), 1000u);
  EXPECT_EQ(at(526), 10000u);
  EXPECT_EQ(at(530), 10000u);
  EXPECT_EQ(file[534], 1);
  EXPECT_EQ(file[535], 1);
  EXPECT_EQ(at(536), 150u);
  EXPECT_EQ(file.substr(540, 16), std::string("Irodai nyomtat\xF3") + '\0');
  EXPECT_EQ(file.substr(795, 2), std::string("2") + '\0');

  gcPrinterName.clear();
  MainDialog again;
  EXPECT_EQ(again.oSE1->Text(), folder + "/");
  EXPECT_EQ(again.oSET->Text(), "12.5");
  EXPECT_EQ(again.oSEL->Text(), "1");
  EXPECT_EQ(again.oLS->Text(), "150");
  EXPECT_EQ(again.oPRNTIPUS->Text(), "2");
  EXPECT_TRUE(again.oCB1->Checked());
  EXPECT_EQ(gcPrinterName, "Irodai nyomtató");
  EXPECT_EQ(gnFileLeftMargin, 1);
  EXPECT_TRUE(again.lRunning);
  again.PB4();
}

TEST_F(MainDialogTest, AMarginOf999MicrometresShowsAs1AndSavesAs1000) {
  dir.Write("KWVAROZE.CFG", HandMadeSettings().Long(518, 999).Long(522, 2000).bytes);
  MainDialog dlg;
  EXPECT_EQ(dlg.oSET->Text(), "1.0");
  gcPrinterName = "p";
  dlg.oSE1->SetText(dir.path());
  dlg.PB3();
  ParamsRecord rec;
  ASSERT_EQ(ReadParamsFile(dir.File("KWVAROZE.CFG"), rec), ParamsRead::Ok);
  EXPECT_EQ(ParamsGetLong(rec, PAR_TOP), 1000);
  EXPECT_EQ(ParamsGetLong(rec, PAR_LEFT), 2000);
  dlg.PB4();
}

TEST_F(MainDialogTest, AFailedSaveIsReportedAndTheServerStartsAllTheSame) {
  std::filesystem::create_directory(dir.File("KWVAROZE.CFG"));
  MainDialog dlg;
  boxes->clear();
  gcPrinterName = "p";
  dlg.oSE1->SetText(dir.path());
  dlg.PB3();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "File létrehozás hiba: " + dir.File("KWVAROZE.CFG"));
  EXPECT_TRUE(dlg.lRunning);
  dlg.PB4();
}

TEST_F(MainDialogTest, LeftMarginTakesASingleDigit) {
  MainDialog dlg;
  auto* edit = qobject_cast<QLineEdit*>(dlg.oSEL->Widget());
  ASSERT_NE(edit, nullptr);
  edit->clear();
  QTest::keyClicks(edit, "34");
  EXPECT_EQ(dlg.oSEL->Text(), "3");
  auto* top = qobject_cast<QLineEdit*>(dlg.oSET->Widget());
  top->clear();
  QTest::keyClicks(top, "1234.56x");
  EXPECT_EQ(dlg.oSET->Text(), "123.5");
}

TEST_F(MainDialogTest, OnlyThePollTimerIsHandledByTheDialog) {
  MainDialog dlg;
  EXPECT_EQ(dlg.Dispatch({gui::WM_TIMER, 100, 0}), 1);
  EXPECT_FALSE(dlg.TimerActive(MainDialog::kPollTimer)) << "a stopped server does not poll";
  EXPECT_EQ(dlg.Dispatch({gui::WM_TIMER, 7, 0}), 0);
  EXPECT_EQ(dlg.Dispatch({0x0111, 100, 0}), 0);
}

TEST_F(MainDialogTest, FolderButtonPutsTheChosenFolderIntoTheEdit) {
  auto scripted = std::make_unique<gui::ScriptedPickers>();
  auto* pickers = scripted.get();
  auto previous = gui::SetPickerService(std::move(scripted));
  MainDialog dlg;
  pickers->Answer(std::string("/srv/nyomtatas"));
  dlg.Invoke("PB2");
  EXPECT_EQ(dlg.oSE1->Text(), "/srv/nyomtatas/");
  pickers->Answer(std::nullopt);
  dlg.PB2();
  EXPECT_EQ(dlg.oSE1->Text(), "/srv/nyomtatas/") << "cancel keeps the folder";
  ASSERT_EQ(pickers->requests().size(), 2u);
  EXPECT_EQ(pickers->requests()[0].title, "Nyomtató mappa");
  EXPECT_EQ(pickers->requests()[0].startFolder, "./");
  EXPECT_EQ(pickers->requests()[0].acceptLabel, "&Kiválaszt");
  EXPECT_TRUE(pickers->requests()[0].folder);
  gui::SetPickerService(std::move(previous));
}

TEST_F(MainDialogTest, QuestionMarkButtonOpensTheAboutBox) {
  MainDialog dlg;
  std::string caption;
  QTimer::singleShot(0, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (auto* about = dynamic_cast<HelpAbout*>(w)) {
      caption = about->Caption();
      about->EndDialog(0);
    }
  });
  EXPECT_TRUE(dlg.Invoke("HelpAbout"));
  EXPECT_EQ(caption, "Program: Rivodiva rududor");
}

TEST(HelpAboutBox, HasItsCaptionAndLines) {
  HelpAbout about;
  ASSERT_TRUE(about.IsValid());
  EXPECT_EQ(about.Caption(), "Program: Rivodiva rududor");
  ASSERT_EQ(about.Controls().size(), 5u);
  EXPECT_EQ(about.oGroupBox1->Text(), "Leírás");
  for (auto* line : {about.oFixedText2, about.oFixedText3, about.oFixedText4}) EXPECT_FALSE(line->Text().empty());
  EXPECT_NE(about.oFixedText4->Text().find_first_of("0123456789"), std::string::npos) << "a telephone number";
  EXPECT_FALSE(about.windowIcon().isNull());
  SaveScreenshot(about, "HelpAbout.png");
}
