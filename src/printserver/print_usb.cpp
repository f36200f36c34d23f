// Printing one claimed job on the printer of the printer line.
#include <fcntl.h>
#include <unistd.h>

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
  return false;  // TEMPORARY: page printing path comes with FilePrinter
}
