#include "printing/printer_globals.h"

std::string gcPrinterName;
std::string gcPrinterType;
int gnPrnInfoCalls = 0;
int gnFileLeftMargin = 0;
