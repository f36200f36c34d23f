#include "main_dialog.h"

#include "platform/gui/fonts.h"
#include "printing/folder_pickers.h"
#include "printing/font_services.h"
#include "printing/printer_globals.h"
#include "platform/runtime/files.h"
#include "platform/runtime/strings.h"
#include "printserver/help_about.h"
#include "printserver/message_boxes.h"

namespace {
const char* const kCaption = "Rivodiva rududor (V10.00.008)";
}

std::string ParamsFilePath() { return rt::WorkDir() + kParamsFileName; }

MainDialog::MainDialog(QWidget* owner, rt::Value extra) : gui::DialogWindow(owner, "MainDialog", true) {
  Init(owner, extra);
}

MainDialog::~MainDialog() {
  KillTimer(kPollTimer);
  Cleanup();
}

void MainDialog::Init(QWidget* owner, const rt::Value& extra) {
  PreInit(owner, extra);
  // The window itself is built from the template "MainDialog" by DialogWindow.
  oArialFont = gui::MakeFont("Arial", 14, true);
  oStatusFont = gui::MakeFont("Microsoft Sans Serif", 10, true);

  oPB1 = GetControl("PB1");
  oCB1 = GetControl("CB1");
  oCBX1 = GetControl("CBX1");
  oLS = GetControl("LS");
  oSE1 = GetControl("SE1");
  oPB2 = GetControl("PB2");
  oCB2 = GetControl("CB2");
  oSET = GetControl("SET");
  oSEL = GetControl("SEL");
  oSEB = GetControl("SEB");
  oSER = GetControl("SER");
  oPB3 = GetControl("PB3");
  oPB4 = GetControl("PB4");
  oDDEVNAME = GetControl("DDEVNAME");
  oFT2 = GetControl("FT2");
  oFT3 = GetControl("FT3");
  oME1 = GetControl("ME1");
  oFT7 = GetControl("FT7");
  oFT8 = GetControl("FT8");
  oFT9 = GetControl("FT9");
  oFT10 = GetControl("FT10");
  oGB1 = GetControl("GB1");
  oGB2 = GetControl("GB2");
  oFT12 = GetControl("FT12");
  oHelpAbout = GetControl("HelpAbout");
  oFixedText8 = GetControl("FixedText8");
  oFixedText9 = GetControl("FixedText9");
  oPRNTIPUS = GetControl("PRNTIPUS");
  oFixedText11 = GetControl("FixedText11");
  oGroupBox2 = GetControl("GroupBox2");
  oFixedText12 = GetControl("FixedText12");
  oHelpAbout->SetFont(oArialFont);
  oFixedText11->SetFont(oStatusFont);

  SetCaption(kCaption);
  SetIcon(FoIcon());
  SetSmallIcon(FoIcon());

  RegisterOperation("PB1", [this] { PB1(); });
  RegisterOperation("PB2", [this] { PB2(); });
  RegisterOperation("PB3", [this] { PB3(); });
  RegisterOperation("PB4", [this] { PB4(); });
  RegisterHelpAbout();

  PostInit(owner, extra);
}

void MainDialog::PostInit(QWidget*, const rt::Value&) {
  // 1. Status text.
  oFixedText11->SetText("");
  // 2. The settings record with its defaults.
  pParams = std::make_unique<ParamsRecord>();
  ParamsSetDefaults(*pParams);
  // 3. State.
  hDevMode = nullptr;
  hPrnDC = nullptr;
  lRunning = false;
  nTickInterval = 200;
  nJobSeq = 0;
  // 4. Printer type.
  if (rt::Trim(oPRNTIPUS->Text()).empty()) {
    gcPrinterType = "1";
    oPRNTIPUS->SetText(gcPrinterType);
  } else {
    gcPrinterType = rt::Trim(oPRNTIPUS->Text());
  }
  // 5. The font list.
  auto fonts = KwGetFontList(this);
  if (!fonts.empty()) {
    oCBX1->FillList(fonts);
    oCBX1->SelectItem(0);
    PParPutStr(&(*pParams)[PAR_FONT], oCBX1->Text());
  }
  // 6. The folder slot (still empty) into the folder edit.
  oSE1->SetText(PParGetStr(&(*pParams)[PAR_FOLDER]));
  // 7. Input templates and initial values.
  oSET->SetPicture("999.9");
  oSET->SetValue(10);
  oSEL->SetPicture("9");
  oSEL->SetValue(20);
  oSEB->SetPicture("999.9");
  oSEB->SetValue(10);
  oSER->SetPicture("999.9");
  oSER->SetValue(10);
  oLS->SetPicture("999");
  oLS->SetValue(100);
  oCB1->SetChecked(false);
  oCB2->SetChecked(true);
  // 8. Nothing to stop yet.
  oPB4->Disable();
  // 9. The default printer becomes the current printer if none is set yet.
  ReadPrnInfo(true);
  // 10. The settings file.
  LoadParams();
  // 11. Start at once when a folder and a printer are known.
  if (!oSE1->Text().empty() && !gcPrinterName.empty()) PB3();
}

void MainDialog::Cleanup() {
  hPrnDC = nullptr;
  hDevMode = nullptr;
}

// The current printer: the default printer (lDefault) or the one chosen in
// the print dialog; the printer line shows it.
void MainDialog::ReadPrnInfo(bool lDefault) {
  Cleanup();
  hDevMode = LookUpPrinter(lDefault, this);
  if (!hDevMode) {
    ErrBox("Nincs kiválasztott nyomtató!");
    oDDEVNAME->SetText("Hibás nyomtatóválasztás");
    return;
  }
  std::string line = "  ";
  line += gcPrinterName;
  oDDEVNAME->SetText(line);
}

void MainDialog::PB1() { ReadPrnInfo(false); }

int MainDialog::Dispatch(const gui::Event& event) {
  if (event.message == gui::WM_TIMER && event.wParam == uintptr_t(kPollTimer)) {
    KillTimer(kPollTimer);
    Tick();
    // A stop handled while the tick was printing leaves the timer off.
    if (lRunning) nTimerId = SetTimer(kPollTimer, nTickInterval);
    return 1;
  }
  return gui::DialogWindow::Dispatch(event);
}

void MainDialog::FocusChange(QWidget* gained, QWidget* lost) { gui::DialogWindow::FocusChange(gained, lost); }

void MainDialog::PB2() {
  std::string folder = KwGetDirectory(this, "Nyomtató mappa", "./");
  if (!folder.empty()) oSE1->SetText(folder);
}
