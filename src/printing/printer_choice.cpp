#include "printing/printer_choice.h"

#include <cstring>

#include "platform/gui/print_dialog.h"
#include "platform/runtime/strings.h"
#include "platform/spool/spooler.h"
#include "printing/printer_globals.h"

namespace {

// The first 31 bytes of the name, not cutting a character in two.
void CopyDeviceName(char (&to)[32], const std::string& name) {
  size_t n = std::min<size_t>(name.size(), 31);
  while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  std::memset(to, 0, sizeof to);
  std::memcpy(to, name.data(), n);
}

HDEVMODE MakeDevMode(const std::string& name, int orientation) {
  auto block = std::make_unique<DEVMODE>();
  CopyDeviceName(block->dmDeviceName, name);
  block->dmOrientation = short(orientation == 2 ? 2 : 1);
  block->fullDeviceName = name;
  return block;
}

}  // namespace

HDEVMODE KwGetDefaultPrinter() {
  std::string name = spool::DefaultPrinter();
  if (name.empty()) return nullptr;
  return MakeDevMode(name, 1);
}

HDEVMODE KwPrintDialog(QWidget* owner) {
  gui::PrintDialogRequest request;
  request.owner = owner;
  request.pageNumbers = false;
  request.selection = false;
  gui::PrintDialogResult chosen = gui::PrintDialogs().Show(request);
  if (!chosen.accepted) return nullptr;
  // Printing to a file is what the built-in printer does.
  std::string name = chosen.printerName.empty() ? std::string(spool::kBuiltInPrinter) : chosen.printerName;
  return MakeDevMode(name, chosen.orientation);
}

bool SetDefaultPrinter(const std::string& printerName, const DEVMODE*) {
  return spool::SetDefaultPrinter(printerName);
}

std::string DeviceNameOf(const DEVMODE& devMode) {
  if (!devMode.fullDeviceName.empty()) return devMode.fullDeviceName;
  return std::string(devMode.dmDeviceName, strnlen(devMode.dmDeviceName, sizeof devMode.dmDeviceName));
}

HDEVMODE LookUpPrinter(bool lDefault, QWidget* owner) {
  ++gnPrnInfoCalls;
  HDEVMODE block = lDefault ? KwGetDefaultPrinter() : KwPrintDialog(owner);
  if (!block) return nullptr;
  const std::string device = DeviceNameOf(*block);
  if (rt::Trim(device) != rt::Trim(gcPrinterName) && gnPrnInfoCalls > 1) gcPrinterName = device;
  if (gcPrinterName.empty() && gnPrnInfoCalls == 1) gcPrinterName = device;
  return block;
}
