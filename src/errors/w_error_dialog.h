// The German error dialog: the error text, the call stack, and the buttons
// cancel, ignore, retry and print.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/dialog_window.h"
#include "platform/runtime/value.h"

namespace print {
class PrintingDevice;
}

namespace errors {

class WErrorDialog : public gui::DialogWindow {
 public:
  // nDefault bit 0 allows ignoring, nRetry bit 1 allows retrying, nBreak
  // with both low bits set means a recovery point is active. The owner is
  // the window active at this moment.
  WErrorDialog(const rt::Value& cMessage, const rt::Value& cCaption, const rt::Value& aStack, uint32_t nDefault,
               uint32_t nRetry, uint32_t nBreak);
  ~WErrorDialog() override;

  // 1 = ignore, 2 = retry, 3 = cancel, 0 = closed in another way.
  uint32_t Choice() const { return nChoice_; }

  void CancelButton();
  void IgnoreButton();
  void RetryButton();
  void PrintButton();

  // The printer the print button uses: nullptr (the default) unless set.
  static void SetPrintDevice(const print::PrintingDevice* device);

 private:
  std::vector<std::string> aStack_;
  std::string cMessage_;
  std::string cCaption_;
  uint32_t nChoice_ = 0;
};

}  // namespace errors
