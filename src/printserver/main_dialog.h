// The print server's main window: printer, printer type, work folder and
// margins, start and stop, status line and statistics.
#pragma once
#include <QFont>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gui/dialog_window.h"
#include "platform/runtime/value.h"
#include "printing/printer_choice.h"
#include "printserver/job_folder.h"
#include "printserver/settings_file.h"

class MainDialog : public gui::DialogWindow {
 public:
  explicit MainDialog(QWidget* owner = nullptr, rt::Value extra = {});
  ~MainDialog() override;

  // Operations of the dialog.
  bool StartServer();
  void Cleanup();
  void ReadPrnInfo(bool lDefault);
  void UpdateStat();
  void Tick();
  std::string GetNextFile();
  bool PrintUSB(const std::string& claimedPath);
  void PB1();
  void PB2();
  void PB3();
  void PB4();
  int Dispatch(const gui::Event& event) override;
  void FocusChange(QWidget* gained, QWidget* lost) override;

  // Settings record <-> file and controls.
  void LoadParams();   // reads the settings file into the record and the controls
  void SaveParams();   // stores the controls into the record and writes the file

  // Controls, in template order.
  gui::Control* oPB1;
  gui::Control* oCB1;
  gui::Control* oCBX1;
  gui::Control* oLS;
  gui::Control* oSE1;
  gui::Control* oPB2;
  gui::Control* oCB2;
  gui::Control* oSET;
  gui::Control* oSEL;
  gui::Control* oSEB;
  gui::Control* oSER;
  gui::Control* oPB3;
  gui::Control* oPB4;
  gui::Control* oDDEVNAME;
  gui::Control* oFT2;
  gui::Control* oFT3;
  gui::Control* oME1;
  gui::Control* oFT7;
  gui::Control* oFT8;
  gui::Control* oFT9;
  gui::Control* oFT10;
  gui::Control* oGB1;
  gui::Control* oGB2;
  gui::Control* oFT12;
  gui::Control* oHelpAbout;
  gui::Control* oFixedText8;
  gui::Control* oFixedText9;
  gui::Control* oPRNTIPUS;
  gui::Control* oFixedText11;
  gui::Control* oGroupBox2;
  gui::Control* oFixedText12;

  // State.
  HDEVMODE hDevMode;             // device-mode block of the current printer
  void* hPrnDC = nullptr;        // device context of the tagged renderer
  bool lRunning = false;
  int nPrinted = 0;
  int nClaimed = 0;
  std::string cWorkDir;
  std::string cPrnFont;
  int nPrnFontSize = 0;
  int nTimerId = 0;
  int nTickInterval = 200;
  std::unique_ptr<ParamsRecord> pParams;
  bool lPrintToFile = false;
  bool lOemCodePage = false;
  uint32_t nJobSeq = 0;
  std::string cJobName;          // the job file's own name of the current claim
  FolderWatch oFolderWatch;      // the job folder at the last listing
  int nLineInterval = 100;

  static constexpr int kPollTimer = 100;

 protected:
  virtual void PreInit(QWidget* owner, const rt::Value& extra) {}
  void Init(QWidget* owner, const rt::Value& extra);
  void PostInit(QWidget* owner, const rt::Value& extra);

 private:
  // A job that could not be printed stays in the work folder as <job>.ERR.
  void KeepFailedJob(const std::string& claim);
  void LogJobFailure(const std::string& keptName);

  QFont oArialFont;      // "Arial" 14 pt bold: the "?" button
  QFont oStatusFont;     // "Microsoft Sans Serif" 10 pt bold: the status text
};

// The work directory path of the settings file.
std::string ParamsFilePath();
