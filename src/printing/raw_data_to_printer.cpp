#include "printing/raw_data_to_printer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/runtime/strings.h"
#include "platform/spool/spooler.h"

bool RawDataToPrinter(const std::string& printerName, const std::string& docName, int fileHandle) {
  std::unique_ptr<spool::PrinterHandle> printer = spool::OpenPrinter(rt::Trim(printerName));
  if (!printer) return false;
  bool docStarted = false;
  bool pageOpen = false;
  bool result = false;

  // Ends what was started; the job keeps what was written.
  auto cleanUp = [&] {
    if (pageOpen) printer->EndPage();
    if (docStarted) printer->EndDoc();
    return result;
  };

  if (printer->StartDoc(docName, "RAW") == 0) return cleanUp();
  docStarted = true;
  if (!printer->StartPage()) return cleanUp();
  pageOpen = true;

  // Where pages are cut does not depend on the block size; large blocks
  // keep the number of reads down.
  std::vector<char> block(64 * 1024);
  for (;;) {
    ssize_t got = read(fileHandle, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;   // a read error counts as the end of the file
    const char* rest = block.data();
    size_t left = size_t(got);
    // Each form feed ends a page and is its last byte.
    while (const char* ff = static_cast<const char*>(std::memchr(rest, '\f', left))) {
      size_t chunk = size_t(ff - rest) + 1;
      if (!pageOpen) pageOpen = printer->StartPage();
      if (!printer->Write(rest, chunk)) return cleanUp();
      printer->EndPage();
      pageOpen = false;
      rest += chunk;
      left -= chunk;
    }
    if (left > 0) {
      if (!pageOpen) pageOpen = printer->StartPage();
      if (!printer->Write(rest, left)) return cleanUp();
    }
  }
  // The spooler layer gathers small writes; the job counts as sent only
  // when the last of them was accepted too.
  result = printer->Flush();
  return cleanUp();
}
