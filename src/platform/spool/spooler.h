// The spooler: raw jobs, the list of printers, the default printer.
//
// Printers come from CUPS and from the built-in file spooler, a printer of our
// own that writes each raw job as a file and each page job as a PDF into an
// output folder. The built-in printer is listed after the CUPS printers and
// is the default printer whenever CUPS has no default (not reachable, no
// printer installed, none chosen), so the program prints somewhere on any
// machine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace spool {

// Name under which the built-in file spooler's printer is listed.
inline constexpr const char* kBuiltInPrinter = "KWPRINT-FILE";

// What the spooler tells about one printer. Fields that CUPS does not know
// stay empty or 0.
struct PrinterRecord {
  std::string name;          // the name jobs are sent to
  std::string description;   // "printer-info"
  std::string location;      // "printer-location"
  std::string makeAndModel;  // the driver: "printer-make-and-model"
  std::string deviceUri;     // the port: where the bytes go
  std::string comment;       // the state message, if any
  std::string serverName;    // the server the printer lives on ("" for the local one)
  uint32_t state = 3;        // 3 idle, 4 printing, 5 stopped
  uint32_t jobs = 0;         // jobs waiting
  uint32_t attributes = 0;   // kAttr* bits
  bool isDefault = false;
  bool builtIn = false;
};
enum : uint32_t { kAttrDefault = 0x4, kAttrShared = 0x8, kAttrLocal = 0x40, kAttrRawOnly = 0x1000 };

// All printers: the CUPS printers in the spooler's order, then the built-in one.
std::vector<PrinterRecord> ListPrinters();
// The default printer's name; "" only when the built-in printer is switched
// off and CUPS has no default.
std::string DefaultPrinter();
// Makes a listed printer the default; false when it is unknown or CUPS refuses.
bool SetDefaultPrinter(const std::string& name);
// Is this name a printer that jobs can be sent to?
bool PrinterExists(const std::string& name);
bool IsBuiltIn(const std::string& name);

// Output folder of the built-in printer (ends in '/'). Unless set, the folder
// "KWPRINT-OUT/" in the work directory (the current directory at the time of
// the job). Setting "" returns to that default.
std::string OutputFolder();
void SetOutputFolder(const std::string& folder);
// Tests switch the built-in printer off to see a machine without any printer.
void SetBuiltInPrinterEnabled(bool on);
bool BuiltInPrinterEnabled();

// Reserves a new file in the output folder for a job: returns the final
// path (".../job-00000007.<ext>"); the caller writes to path + ".part" and
// renames it into place when the job is complete. "" when the folder cannot
// be made.
std::string ReserveOutputFile(const std::string& extension);

// One open printer for one raw job: the sequence open, start document, start
// page, write, end page, end document, close. Pages are counted here (CUPS
// sees one stream of bytes).
class PrinterHandle {
 public:
  virtual ~PrinterHandle() = default;
  // Starts a document of the given name and data type ("RAW"); the job id,
  // 0 on failure.
  virtual int StartDoc(const std::string& docName, const std::string& dataType) = 0;
  virtual bool StartPage() = 0;
  virtual bool Write(const void* bytes, size_t count) = 0;
  virtual bool EndPage() = 0;
  // Hands buffered bytes to the spooler now; false when it refuses them.
  // (Writes are gathered into large blocks; EndDoc flushes as well.)
  virtual bool Flush() = 0;
  virtual bool EndDoc() = 0;
  const std::string& name() const { return name_; }

 protected:
  std::string name_;
};

// Opens a printer by its exact name; nullptr when the spooler does not know
// it. Closing = destroying the handle (a started document is ended first).
std::unique_ptr<PrinterHandle> OpenPrinter(const std::string& name);

// Sends a whole document file (a PDF, say) to a printer as one job named
// `title`; the job id, 0 when the spooler refuses it. For the built-in
// printer the file is copied into its output folder.
int SubmitFile(const std::string& printer, const std::string& path, const std::string& title);

// What the spooler recorded of the last raw job that ended (for the program's
// bookkeeping and for tests): printer, document name, job id, pages, bytes.
struct JobRecord {
  std::string printer;
  std::string docName;
  int jobId = 0;
  int pages = 0;
  uint64_t bytes = 0;
  bool completed = false;    // EndDoc reached and the spooler accepted the job
  std::string outputFile;    // the built-in printer's file, "" for CUPS
};
JobRecord LastJob();

// Is a CUPS scheduler reachable?
bool CupsReachable();

}  // namespace spool
