#include "printing/printers_enum.h"

#include <new>

#include "platform/gui/message_box.h"
#include "platform/runtime/error.h"

namespace {

constexpr uint32_t kEnumIcon8 = 0x00800000;   // level-1 flag of a printer entry
// Status bits of a printer as the spooler reports them.
constexpr uint32_t kStatusPaused = 0x1, kStatusPrinting = 0x400;

void ShowFailure(const std::string& text, const std::string& caption) {
  gui::MessageBoxRequest box;
  box.text = text;
  box.title = caption;
  box.buttons = gui::MB_OK;
  box.taskModal = false;
  gui::MessageBoxes().Show(box);
}

const char* const kQuitNow = "\r\nBeenden Sie das Programm sofort !";

// The run time's array-access error for an index outside a list.
template <typename T>
T At(const std::vector<T>& list, size_t index, const char* method) {
  if (index >= 1 && index <= list.size()) return list[index - 1];
  auto e = std::make_shared<rt::Error>();
  e->SubSystem = "BASE";
  e->GenCode = rt::EG_BOUND;
  e->Description = rt::GenCodeText(rt::EG_BOUND);
  e->Operation = std::string("PrintersEnum:") + method;
  e->Args.push_back(rt::Value(double(index)));
  e->CanDefault = true;
  e->Throw();
  return T{};
}

uint32_t StatusOf(const spool::PrinterRecord& p) {
  switch (p.state) {
    case 4: return kStatusPrinting;
    case 5: return kStatusPaused;
    default: return 0;
  }
}

}  // namespace

PrintersEnum::PrintersEnum(std::optional<int> level, Source source)
    : source_(source ? std::move(source) : Source(spool::ListPrinters)) {
  Refresh(level);
}

void PrintersEnum::Clear() {
  nLevel = 0;
  nPrinters = 0;
  for (auto* list : {&aDescription, &aPrinterName, &aComment, &aServerName, &aShareName, &aPortName, &aDriverName,
                     &aLocation, &aSepFile, &aPrintProcessor, &aDataType, &aPrinterParameters})
    list->clear();
  for (auto* list : {&aFlags, &aAttributes, &aPriority, &aDefaultPriority, &aStartTime, &aUntilTime, &aStatus, &aJobs,
                     &aAveragePPM})
    list->clear();
  aDevMode.clear();
  aSecurityDescriptor.clear();
}

void PrintersEnum::Refresh(std::optional<int> level) {
  Clear();
  nLevel = level && *level == 1 ? 1 : 2;
  Enumerate(nLevel);
}

void PrintersEnum::Enumerate(int level) {
  std::vector<spool::PrinterRecord> printers;
  try {
    printers = source_();
  } catch (const std::bad_alloc&) {
    ShowFailure(std::string("Die Reservierung von Arbeitsspeicher ist fehlgeschlage (1) !") + kQuitNow,
                "PrintersEnum:Refresh =>MemAlloc ptrBuff 1");
    return;
  }
  try {
    for (const spool::PrinterRecord& p : printers) {
      if (level == 1) {
        aFlags.push_back(kEnumIcon8);
        aDescription.push_back(p.name + "," + p.makeAndModel + "," + p.location);
        aPrinterName.push_back(p.name);
        aComment.push_back(p.description);
        continue;
      }
      aDescription.push_back(p.name + "," + p.makeAndModel + "," + p.description);
      aPrinterName.push_back(p.name);
      aComment.push_back(p.description);
      aServerName.push_back(p.serverName);
      aShareName.push_back(p.attributes & spool::kAttrShared ? p.name : "");
      aPortName.push_back(p.deviceUri);
      aDriverName.push_back(p.makeAndModel);
      aLocation.push_back(p.location);
      aDevMode.push_back(nullptr);
      aSepFile.push_back("");
      aPrintProcessor.push_back("");
      aDataType.push_back("");
      aPrinterParameters.push_back("");
      aSecurityDescriptor.push_back(nullptr);
      aAttributes.push_back(p.attributes);
      aPriority.push_back(0);
      aDefaultPriority.push_back(0);
      aStartTime.push_back(0);
      aUntilTime.push_back(0);
      aStatus.push_back(StatusOf(p));
      aJobs.push_back(p.jobs);
      aAveragePPM.push_back(0);
    }
  } catch (const std::bad_alloc&) {
    ShowFailure(level == 1 ? "strPrnInfo1 := MemAlloc(_SizeOf(_winPRINTER_INFO_1 )) FAILED"
                           : "strPrnInfo2 := MemAlloc(_SizeOf(_winPRINTER_INFO_2 )) FAILED",
                "MemAlloc FALSE !!!");
    return;
  }
  nPrinters = uint32_t(printers.size());
}

// Level-1 list.
uint32_t PrintersEnum::Flags(size_t i) const { return nLevel == 1 ? At(aFlags, i, "Flags") : 0; }
// Lists of both levels.
std::string PrintersEnum::Description(size_t i) const { return At(aDescription, i, "Description"); }
std::string PrintersEnum::PrinterName(size_t i) const { return At(aPrinterName, i, "PrinterName"); }
std::string PrintersEnum::Comment(size_t i) const { return At(aComment, i, "Comment"); }
// The port is asked for by index at either level; at level 1 its list is empty.
std::string PrintersEnum::PortName(size_t i) const { return At(aPortName, i, "PortName"); }
std::string PrintersEnum::PrinterDriverPort(size_t i) const { return At(aPortName, i, "PrinterDriverPort"); }
// Level-2 lists: the empty value at level 1.
using Address = const void*;
#define LEVEL2(type, name, list) \
  type PrintersEnum::name(size_t i) const { return nLevel == 2 ? At(list, i, #name) : type{}; }
LEVEL2(std::string, ServerName, aServerName)
LEVEL2(std::string, ShareName, aShareName)
LEVEL2(std::string, DriverName, aDriverName)
LEVEL2(std::string, Location, aLocation)
LEVEL2(Address, DevMode, aDevMode)
LEVEL2(std::string, SepFile, aSepFile)
LEVEL2(std::string, PrintProcessor, aPrintProcessor)
LEVEL2(std::string, DataType, aDataType)
LEVEL2(std::string, PrinterParameters, aPrinterParameters)
LEVEL2(Address, SecurityDescriptor, aSecurityDescriptor)
LEVEL2(uint32_t, Attributes, aAttributes)
LEVEL2(uint32_t, Priority, aPriority)
LEVEL2(uint32_t, DefaultPriority, aDefaultPriority)
LEVEL2(uint32_t, StartTime, aStartTime)
LEVEL2(uint32_t, UntilTime, aUntilTime)
LEVEL2(uint32_t, Status, aStatus)
LEVEL2(uint32_t, Jobs, aJobs)
LEVEL2(uint32_t, AveragePPM, aAveragePPM)
#undef LEVEL2
