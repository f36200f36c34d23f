// Prints an error on one page: the caption, the date and time, the error
// text and the call stack.
#pragma once
#include <string>
#include <vector>

#include "platform/print/printer.h"

namespace errors {

class ErrorPrinter : public print::Printer {
 public:
  // device: nullptr for the default printer.
  ErrorPrinter(std::string cCaption, std::string cMessage, std::vector<std::string> aStack,
               const print::PrintingDevice* device = nullptr);
  bool PrinterExpose(int pageNumber) override;

  // The fonts of the caption and of the text.
  static print::Font CaptionFont();
  static print::Font TextFont();

 private:
  std::string cCaption_;
  std::string cMessage_;
  std::vector<std::string> aStack_;
};

}  // namespace errors
