// Choosing the printer: the default printer's device settings, the print
// dialog, and making a printer the default.
#pragma once
#include <memory>
#include <string>

class QWidget;

// The device settings of a printer. dmDeviceName is its spooler name cut to
// 31 characters and zero-terminated, as device records carry it; the whole
// name travels beside it, since a cut name would send jobs nowhere.
struct DEVMODE {
  char dmDeviceName[32] = {};
  short dmOrientation = 1;   // 1 portrait, 2 landscape
  std::string fullDeviceName;
};
// A device-settings block; it belongs to whoever received it.
using HDEVMODE = std::unique_ptr<DEVMODE>;

// The default printer's settings without showing anything; null when there
// is no default printer.
HDEVMODE KwGetDefaultPrinter();
// Shows the print dialog (no page range, no selection) owned by `owner`, or
// by the topmost window when none is given; the chosen printer's settings,
// null when the operator cancels.
HDEVMODE KwPrintDialog(QWidget* owner = nullptr);
// Makes the named printer the default printer; false when it is unknown or
// the spooler refuses.
bool SetDefaultPrinter(const std::string& printerName, const DEVMODE* devMode = nullptr);

// The spooler name a device block stands for.
std::string DeviceNameOf(const DEVMODE& devMode);

// The printer look-up of the main dialog's ReadPrnInfo, after its Cleanup:
// counts the call in gnPrnInfoCalls, gets the default printer (lDefault) or
// the one chosen in the print dialog, and takes its name into gcPrinterName
// on the first call when no name is known, or on a later call when it
// differs. Returns the block (null: nothing chosen, gcPrinterName unchanged).
HDEVMODE LookUpPrinter(bool lDefault, QWidget* owner);
