// Sends the bytes of an open file unchanged to a printer as one raw job,
// one spooler page per form feed.
#pragma once
#include <string>

// Reads from the handle's current position to the end of the file; the
// caller keeps and closes the handle. True when the whole file was handed to
// the spooler; false when the printer cannot be opened, the document or its
// first page cannot be started, or a write is refused. Shows nothing.
bool RawDataToPrinter(const std::string& printerName, const std::string& docName, int fileHandle);
