#include "platform/print/printing_device.h"

#include "platform/gui/print_dialog.h"
#include "platform/spool/spooler.h"

namespace print {

PrintingDevice::PrintingDevice() : PrintingDevice(spool::DefaultPrinter()) {}

PrintingDevice::PrintingDevice(const std::string& name) : name_(name) {
  valid_ = !name_.empty() && spool::PrinterExists(name_);
}

PrintingDevice PrintingDevice::ToFile(const std::string& pdfPath) {
  PrintingDevice d("");
  d.file_ = pdfPath;
  d.valid_ = !pdfPath.empty();
  return d;
}

bool PrintingDevice::Setup() {
  gui::PrintDialogRequest request;
  request.printerName = name_;
  gui::PrintDialogResult chosen = gui::PrintDialogs().Show(request);
  if (!chosen.accepted) return false;
  std::string name = chosen.printerName.empty() ? spool::kBuiltInPrinter : chosen.printerName;
  PrintingDevice picked(name);
  if (!picked.IsValid()) return false;
  name_ = name;
  file_.clear();
  valid_ = true;
  orientation_ = chosen.orientation;
  return true;
}

}  // namespace print
