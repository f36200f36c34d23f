// A snapshot of the printers that the spooler knows, as parallel lists
// indexed from 1. Level 1 fills Flags, Description, PrinterName and Comment;
// level 2 fills every list but Flags. Failures are shown in German message
// boxes; an index outside a list raises the run time's array-access error.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/spool/spooler.h"

class PrintersEnum {
 public:
  // Where the printers come from (the spooler unless given).
  using Source = std::function<std::vector<spool::PrinterRecord>()>;

  // Level 1 when 1 is given, else level 2.
  explicit PrintersEnum(std::optional<int> level = std::nullopt, Source source = {});
  void Refresh(std::optional<int> level = std::nullopt);

  int Level() const { return nLevel; }
  uint32_t NumOfPrinters() const { return nPrinters; }

  uint32_t Flags(size_t index = 1) const;
  std::string Description(size_t index = 1) const;
  std::string PrinterName(size_t index = 1) const;
  std::string Comment(size_t index = 1) const;
  std::string ServerName(size_t index = 1) const;
  std::string ShareName(size_t index = 1) const;
  std::string PortName(size_t index) const;            // the index must be given
  std::string PrinterDriverPort(size_t index) const;   // the same as PortName
  std::string DriverName(size_t index = 1) const;
  std::string Location(size_t index = 1) const;
  const void* DevMode(size_t index = 1) const;
  std::string SepFile(size_t index = 1) const;
  std::string PrintProcessor(size_t index = 1) const;
  std::string DataType(size_t index = 1) const;
  std::string PrinterParameters(size_t index = 1) const;
  const void* SecurityDescriptor(size_t index = 1) const;
  uint32_t Attributes(size_t index = 1) const;
  uint32_t Priority(size_t index = 1) const;
  uint32_t DefaultPriority(size_t index = 1) const;
  uint32_t StartTime(size_t index = 1) const;
  uint32_t UntilTime(size_t index = 1) const;
  uint32_t Status(size_t index = 1) const;
  uint32_t Jobs(size_t index = 1) const;
  uint32_t AveragePPM(size_t index = 1) const;

 private:
  void Clear();
  void Enumerate(int level);

  Source source_;
  int nLevel = 0;
  uint32_t nPrinters = 0;
  std::vector<uint32_t> aFlags;
  std::vector<std::string> aDescription, aPrinterName, aComment, aServerName, aShareName, aPortName, aDriverName,
      aLocation, aSepFile, aPrintProcessor, aDataType, aPrinterParameters;
  std::vector<const void*> aDevMode, aSecurityDescriptor;
  std::vector<uint32_t> aAttributes, aPriority, aDefaultPriority, aStartTime, aUntilTime, aStatus, aJobs, aAveragePPM;
};
