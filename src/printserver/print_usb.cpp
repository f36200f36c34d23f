// Printing one claimed job on the printer of the printer line.
#include <fcntl.h>
#include <unistd.h>

#include "platform/print/printing_device.h"
#include "printing/file_printer.h"
#include "printing/printer_globals.h"
#include "printing/raw_data_to_printer.h"
#include "printserver/main_dialog.h"

bool MainDialog::PrintUSB(const std::string& claimedPath) {
  if (gcPrinterType == "2") {
    int fd = ::open(claimedPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool sent = RawDataToPrinter(gcPrinterName, "Zozadodeded nyomtatás", fd);
    ::close(fd);
    return sent;
  }
  // A job for a printer that does not exist is not printed on another one:
  // it fails and is kept.
  print::PrintingDevice device(gcPrinterName);
  if (!device.IsValid()) return false;
  FilePrinter printer(claimedPath, &device, "Zozadodeded nyomtatás");
  if (!printer.IsValid()) {
    printer.Destroy();
    return false;
  }
  bool printed = printer.Start();
  printer.Destroy();
  return printed;
}
