// A printer to print on: the default printer, a printer by its spooler name,
// or a PDF file ("print to file").
#pragma once
#include <string>

namespace print {

enum { DMORIENT_PORTRAIT = 1, DMORIENT_LANDSCAPE = 2 };

class PrintingDevice {
 public:
  PrintingDevice();                                  // the default printer
  explicit PrintingDevice(const std::string& name);  // a printer by its spooler name
  static PrintingDevice ToFile(const std::string& pdfPath);

  // True when the spooler knows the printer (or a file was given).
  bool IsValid() const { return valid_; }
  const std::string& Device() const { return name_; }   // "" for a file
  const std::string& OutputFile() const { return file_; }
  int Orientation() const { return orientation_; }
  void SetOrientation(int orientation) { orientation_ = orientation == DMORIENT_LANDSCAPE ? 2 : 1; }
  // Resolution in dots per inch to ask of the device; 0 = the device's own.
  int Resolution() const { return resolution_; }
  void SetResolution(int dpi) { resolution_ = dpi > 0 ? dpi : 0; }
  // Lets the operator choose the printer (print dialog); false on cancel.
  bool Setup();

 private:
  std::string name_;
  std::string file_;
  int orientation_ = DMORIENT_PORTRAIT;
  int resolution_ = 0;
  bool valid_ = false;
};

}  // namespace print
