// Application-wide values of the print server that the printing services
// read and set: the current printer, its type, the count of printer look-ups
// and the left margin of the text-file printer.
#pragma once
#include <string>

extern std::string gcPrinterName;   // current printer name ("" while none is known)
extern std::string gcPrinterType;   // "1" page (GDI) printer, "2" raw printer
extern int gnPrnInfoCalls;          // how often the printer was looked up
extern int gnFileLeftMargin;        // left margin of the text-file printer: 1, else 2 columns
