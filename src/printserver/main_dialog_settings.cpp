// The main dialog's side of the settings file: the record into the controls
// when the dialog is built, the controls into the record and the file when
// the server is started.
#include <cmath>

#include "printing/printer_globals.h"
#include "printserver/main_dialog.h"
#include "printserver/message_boxes.h"

namespace {
// A stored margin in micrometres as the edit shows it: millimetres, one decimal.
double MarginFromRecord(int32_t micrometres) { return std::round(micrometres / 100.0) / 10.0; }
int32_t MarginToRecord(double millimetres) { return int32_t(std::lround(millimetres * 1000.0)); }
}  // namespace

void MainDialog::LoadParams() {
  const std::string path = ParamsFilePath();
  ParamsRecord& rec = *pParams;
  switch (ReadParamsFile(path, rec)) {
    case ParamsRead::Missing: return;
    case ParamsRead::OpenFailed: ErrBox("Hibás file nyitás: " + path); return;
    case ParamsRead::Invalid: ErrBox("Invalid parameters file"); return;
    case ParamsRead::Ok: break;
  }
  oSE1->SetText(PParGetStr(&rec[PAR_FOLDER]));
  oCBX1->SetText(PParGetStr(&rec[PAR_FONT]));
  oSET->SetValue(MarginFromRecord(ParamsGetLong(rec, PAR_TOP)));
  oSEL->SetValue(MarginFromRecord(ParamsGetLong(rec, PAR_LEFT)));
  oSEB->SetValue(MarginFromRecord(ParamsGetLong(rec, PAR_BOTTOM)));
  oSER->SetValue(MarginFromRecord(ParamsGetLong(rec, PAR_RIGHT)));
  oPRNTIPUS->SetText(PParGetStr(&rec[PAR_PRNTYPE]));
  oCB1->SetChecked(rec[PAR_PRINTTOFILE] != 0);
  oCB2->SetChecked(rec[PAR_OEMCODEPAGE] != 0);
  gcPrinterName = PParGetStr(&rec[PAR_PRINTER]);
  int32_t lineInterval = ParamsGetLong(rec, PAR_LINEINTERVAL);
  oLS->SetValue(lineInterval == 0 ? 100 : lineInterval);
  oDDEVNAME->SetText("  " + gcPrinterName);
  gnFileLeftMargin = int(oSEL->Value());
}

void MainDialog::SaveParams() {
  ParamsRecord& rec = *pParams;
  ParamsPutLong(rec, PAR_MAGIC, int32_t(kParamsMagic));
  PParPutStr(&rec[PAR_FOLDER], cWorkDir);
  PParPutStr(&rec[PAR_FONT], cPrnFont);
  ParamsPutLong(rec, PAR_FONTSIZE, nPrnFontSize);
  ParamsPutLong(rec, PAR_TOP, MarginToRecord(oSET->Value()));
  ParamsPutLong(rec, PAR_LEFT, MarginToRecord(oSEL->Value()));
  ParamsPutLong(rec, PAR_BOTTOM, MarginToRecord(oSEB->Value()));
  ParamsPutLong(rec, PAR_RIGHT, MarginToRecord(oSER->Value()));
  ParamsPutLong(rec, PAR_LINEINTERVAL, nLineInterval);
  rec[PAR_PRINTTOFILE] = lPrintToFile ? 1 : 0;
  rec[PAR_OEMCODEPAGE] = lOemCodePage ? 1 : 0;
  PParPutStr(&rec[PAR_PRNTYPE], gcPrinterType);
  PParPutStr(&rec[PAR_PRINTER], gcPrinterName);
  const std::string path = ParamsFilePath();
  if (!WriteParamsFile(path, rec)) ErrBox("File létrehozás hiba: " + path);
}
