// Starting and stopping the server, and one job per tick of the poll timer.
#include <QTime>
#include <cstdio>
#include <unistd.h>

#include "errors/def_error.h"
#include "errors/error_log.h"
#include "platform/runtime/files.h"
#include "platform/runtime/strings.h"
#include "printing/printer_globals.h"
#include "printserver/job_folder.h"
#include "printserver/main_dialog.h"
#include "printserver/message_boxes.h"

namespace {
constexpr uint32_t kMaxJobSeq = 0x7FFFFFFF;
}

bool MainDialog::StartServer() {
  // The folder is kept as typed (trimmed): upper-casing it would name another
  // folder on a case-sensitive file system.
  cWorkDir = rt::Trim(oSE1->Text());
  cPrnFont = rt::Trim(oCBX1->Text());
  lPrintToFile = oCB1->Checked();
  lOemCodePage = oCB2->Checked();
  nLineInterval = int(oLS->Value());
  if (!rt::Trim(oPRNTIPUS->Text()).empty()) gcPrinterType = rt::Trim(oPRNTIPUS->Text());
  if (gcPrinterName.empty()) {
    ErrBox("Nincs nyomtató választva!");
    return false;
  }
  if (cWorkDir.empty()) {
    ErrBox("Nyomtató munkamappája nincs megadva!");
    return false;
  }
  cWorkDir = rt::WithTrailingSlash(cWorkDir);
  SaveParams();
  nPrinted = 0;
  nClaimed = 0;
  return true;
}

void MainDialog::PB3() {
  if (!StartServer()) return;
  for (auto* c : {oPB1, oFT2, oCBX1, oFT3, oSE1, oPB2, oPB3, oCB1, oCB2}) c->Disable();
  oPB4->Enable();
  for (auto* c : {oSET, oSEL, oSEB, oSER, oFT7, oFT8, oFT9, oFT10, oFT12, oLS, oPRNTIPUS}) c->Disable();
  lRunning = true;
  oFixedText11->SetText("Elindítva");
  UpdateStat();
  nTimerId = SetTimer(kPollTimer, nTickInterval);
}

void MainDialog::PB4() {
  if (!lRunning) return;
  KillTimer(kPollTimer);
  hPrnDC = nullptr;
  for (auto* c : {oPB1, oFT2, oCBX1, oFT3, oSE1, oPB2, oPB3}) c->Enable();
  oPB4->Disable();
  for (auto* c : {oCB1, oCB2, oSET, oSEL, oSEB, oSER, oPRNTIPUS, oFT7, oFT8, oFT9, oFT10, oFT12, oLS}) c->Enable();
  oFixedText11->SetText("Leállítva");
  lRunning = false;
}

void MainDialog::Tick() {
  std::string name = GetNextFile();
  if (name.empty()) return;
  std::string companion = rt::Trim(name);
  companion = companion.substr(0, companion.size() - 3) + "prn";
  if (PrintUSB(name)) {
    EraseJobFile(name);
    EraseJobFile(companion);
    ++nPrinted;
  } else {
    KeepFailedJob(name);
    EraseJobFile(companion);
  }
  UpdateStat();
}

std::string MainDialog::GetNextFile() {
  // An unchanged folder without jobs is not listed again (idle cost of large folders).
  if (!oFolderWatch.MayHaveNewJobs(cWorkDir)) return "";
  std::vector<std::string> jobs = ListJobFiles(cWorkDir);
  oFolderWatch.Listed(!jobs.empty());
  if (jobs.empty()) return "";
  // The claim numbers run from 1 to 0x7FFFFFFF and then start again at 1.
  nJobSeq = nJobSeq >= kMaxJobSeq ? 1 : nJobSeq + 1;
  std::string path;
  for (const auto& job : jobs) {
    if (IsFileFree(cWorkDir + job)) {
      path = cWorkDir + job;
      cJobName = job;
      break;
    }
  }
  if (path.empty()) return "";
  std::string claim = cWorkDir + rt::Hex8(nJobSeq) + ".$$$";
  ++nClaimed;
  UpdateStat();
  if (access(claim.c_str(), F_OK) == 0) return "";
  if (!CopyJobFile(path, claim)) return "";
  if (!EraseJobFile(path)) {
    // The job stays and is found again by a later tick; its copy must not
    // stay too, or every tick would leave one more.
    EraseJobFile(claim);
    return "";
  }
  if (access(claim.c_str(), F_OK) != 0) return "";
  return claim;
}

void MainDialog::KeepFailedJob(const std::string& claim) {
  std::string kept = FailedJobName(cWorkDir, cJobName);
  if (rename(claim.c_str(), (cWorkDir + kept).c_str()) != 0) kept = claim.substr(cWorkDir.size());
  oFixedText11->SetText("Hiba: " + cJobName);
  LogJobFailure(kept);
}

void MainDialog::UpdateStat() {
  std::string text;
  text += " Nyomtató: " + gcPrinterName + "\r\n";
  text += " Font: \r\n";
  text += " Mappa: " + cWorkDir + "\r\n";
  text += " Nyomtatva: " + std::to_string(nPrinted) + "/" + std::to_string(nClaimed) + "\r\n";
  text += " Idő: " + QTime::currentTime().toString("hh:mm:ss").toStdString() + "\r\n";
  oME1->SetText(text);
  repaint();
}

// A record in the error log, without a box: the server runs unattended.
void MainDialog::LogJobFailure(const std::string& keptName) {
  rt::Error error;
  error.SubSystem = "Spool";
  error.GenCode = rt::EG_PRINT;
  error.Severity = 2;
  error.Operation = "PrintUSB";
  error.Description = "Job " + cJobName + " could not be printed on printer '" + gcPrinterName + "'; kept as " +
                      keptName;
  error.FileName = cWorkDir + keptName;
  error.FuncSym = rt::Symbol("PrintUSB");
  auto log = errors::ErrorLogOpen();
  if (log.valid()) errors::ErrorLogWrite(log, errors::ErrorText(error), error);
}
