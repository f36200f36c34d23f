#include "platform/spool/spooler.h"

#include <cups/cups.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace spool {

namespace {

std::string g_outputFolder;
bool g_builtInEnabled = true;
JobRecord g_lastJob;

std::string WorkDirectory() {
  char buf[PATH_MAX];
  if (!getcwd(buf, sizeof buf)) return "./";
  std::string dir = buf;
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

bool MakeFolders(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') {
      std::string part = folder.substr(0, i);
      if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

const char* AttrText(ipp_t*, ipp_attribute_t* attr) {
  const char* s = ippGetString(attr, 0, nullptr);
  return s ? s : "";
}

// Printers of the CUPS scheduler, in its order (empty when it is not reachable).
std::vector<PrinterRecord> CupsPrinters() {
  static const char* const kWanted[] = {
      "printer-name", "printer-info", "printer-location", "printer-make-and-model", "device-uri",
      "printer-state", "printer-state-message", "queued-job-count", "printer-type",
      "printer-is-shared", "printer-uri-supported"};
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                int(sizeof kWanted / sizeof *kWanted), nullptr, kWanted);
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  std::vector<PrinterRecord> printers;
  if (!response) return printers;
  PrinterRecord current;
  bool inPrinter = false;
  auto flush = [&] {
    if (inPrinter && !current.name.empty()) printers.push_back(current);
    current = PrinterRecord();
    inPrinter = false;
  };
  for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
    const char* name = ippGetName(a);
    if (!name || ippGetGroupTag(a) != IPP_TAG_PRINTER) {
      flush();
      continue;
    }
    inPrinter = true;
    std::string n = name;
    if (n == "printer-name") current.name = AttrText(response, a);
    else if (n == "printer-info") current.description = AttrText(response, a);
    else if (n == "printer-location") current.location = AttrText(response, a);
    else if (n == "printer-make-and-model") current.makeAndModel = AttrText(response, a);
    else if (n == "device-uri") current.deviceUri = AttrText(response, a);
    else if (n == "printer-state-message") current.comment = AttrText(response, a);
    else if (n == "printer-state") current.state = uint32_t(ippGetInteger(a, 0));
    else if (n == "queued-job-count") current.jobs = uint32_t(ippGetInteger(a, 0));
    else if (n == "printer-is-shared" && ippGetBoolean(a, 0)) current.attributes |= kAttrShared;
    else if (n == "printer-type") {
      int type = ippGetInteger(a, 0);
      if (!(type & CUPS_PRINTER_REMOTE)) current.attributes |= kAttrLocal;
    } else if (n == "printer-uri-supported") {
      // A printer of another server carries that server's host in its URI.
      char scheme[32], user[256], host[256], resource[1024];
      int port = 0;
      if (httpSeparateURI(HTTP_URI_CODING_ALL, AttrText(response, a), scheme, sizeof scheme, user,
                          sizeof user, host, sizeof host, &port, resource, sizeof resource) >= HTTP_URI_STATUS_OK) {
        std::string h = host;
        if (h != "localhost" && !h.empty() && h[0] != '/') current.serverName = h;
      }
    }
  }
  flush();
  ippDelete(response);
  return printers;
}

std::string CupsDefault() {
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_DEFAULT);
  const char* wanted = "printer-name";
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, &wanted);
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  std::string name;
  if (response) {
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-name", IPP_TAG_NAME)) name = AttrText(response, a);
    ippDelete(response);
  }
  return name;
}

bool CupsKnows(const std::string& name) {
  if (name.empty() || name.size() > 127) return false;
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s", name.c_str());
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  const char* wanted = "printer-name";
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, &wanted);
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  bool known = false;
  if (response) {
    ipp_attribute_t* a = ippFindAttribute(response, "printer-name", IPP_TAG_NAME);
    known = ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE && a && name == AttrText(response, a);
    ippDelete(response);
  }
  return known;
}

void Remember(const JobRecord& record) { g_lastJob = record; }

// A raw job on a CUPS queue: Create-Job, then one document streamed to it.
class CupsPrinterHandle : public PrinterHandle {
 public:
  explicit CupsPrinterHandle(const std::string& name) { name_ = name; }
  ~CupsPrinterHandle() override {
    if (inDoc_) EndDoc();
  }

  int StartDoc(const std::string& docName, const std::string& dataType) override {
    if (inDoc_) return 0;
    int id = cupsCreateJob(CUPS_HTTP_DEFAULT, name_.c_str(), docName.c_str(), 0, nullptr);
    if (id <= 0) return 0;
    const char* format = strcasecmp(dataType.c_str(), "RAW") == 0 ? CUPS_FORMAT_RAW : dataType.c_str();
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, name_.c_str(), id, docName.c_str(), format, 1) != HTTP_STATUS_CONTINUE) {
      cupsCancelJob2(CUPS_HTTP_DEFAULT, name_.c_str(), id, 0);
      return 0;
    }
    record_ = JobRecord{name_, docName, id, 0, 0, false, ""};
    inDoc_ = true;
    return id;
  }
  bool StartPage() override {
    if (!inDoc_ || inPage_) return false;
    inPage_ = true;
    ++record_.pages;
    return true;
  }
  bool Write(const void* bytes, size_t count) override {
    if (!inDoc_) return false;
    if (count == 0) return true;
    // Small writes are gathered: one request chunk per 64 KB, not per call.
    if (pending_.size() + count > kBlock && !Flush()) return false;
    pending_.append(static_cast<const char*>(bytes), count);
    record_.bytes += count;
    return pending_.size() < kBlock || Flush();
  }
  bool Flush() override {
    if (!inDoc_) return false;
    if (pending_.empty()) return true;
    bool ok = cupsWriteRequestData(CUPS_HTTP_DEFAULT, pending_.data(), pending_.size()) == HTTP_STATUS_CONTINUE;
    pending_.clear();
    return ok;
  }
  bool EndPage() override {
    if (!inPage_) return false;
    inPage_ = false;
    return true;
  }
  bool EndDoc() override {
    if (!inDoc_) return false;
    const bool flushed = Flush();
    inDoc_ = false;
    inPage_ = false;
    const bool accepted = flushed && cupsFinishDocument(CUPS_HTTP_DEFAULT, name_.c_str()) == IPP_STATUS_OK;
    if (record_.bytes == 0) {
      // CUPS refuses an empty document and would keep the job waiting for
      // one: a job without bytes has nothing to print, so it is withdrawn.
      cupsCancelJob2(CUPS_HTTP_DEFAULT, name_.c_str(), record_.jobId, 0);
      record_.completed = true;
    } else {
      record_.completed = accepted;
    }
    Remember(record_);
    return record_.completed;
  }

 private:
  static constexpr size_t kBlock = 64 * 1024;
  bool inDoc_ = false;
  bool inPage_ = false;
  std::string pending_;
  JobRecord record_;
};

// A raw job of the built-in printer: a file in the output folder, renamed
// into place when the document ends.
class FilePrinterHandle : public PrinterHandle {
 public:
  explicit FilePrinterHandle(const std::string& name) { name_ = name; }
  ~FilePrinterHandle() override {
    if (file_) EndDoc();
  }

  int StartDoc(const std::string& docName, const std::string& dataType) override {
    if (file_) return 0;
    std::string path = ReserveOutputFile("prn");
    if (path.empty()) return 0;
    file_ = std::fopen((path + ".part").c_str(), "wb");
    if (!file_) return 0;
    path_ = path;
    int id = JobIdOf(path);
    record_ = JobRecord{name_, docName, id, 0, 0, false, path};
    return id;
  }
  bool StartPage() override {
    if (!file_ || inPage_) return false;
    inPage_ = true;
    ++record_.pages;
    return true;
  }
  bool Write(const void* bytes, size_t count) override {
    if (!file_) return false;
    if (count && std::fwrite(bytes, 1, count, file_) != count) return false;
    record_.bytes += count;
    return true;
  }
  bool EndPage() override {
    if (!inPage_) return false;
    inPage_ = false;
    return true;
  }
  bool Flush() override { return file_ && std::fflush(file_) == 0; }
  bool EndDoc() override {
    if (!file_) return false;
    bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    inPage_ = false;
    ok = ok && std::rename((path_ + ".part").c_str(), path_.c_str()) == 0;
    record_.completed = ok;
    Remember(record_);
    return ok;
  }

 private:
  static int JobIdOf(const std::string& path) {
    size_t dash = path.rfind('-');
    return dash == std::string::npos ? 1 : std::atoi(path.c_str() + dash + 1);
  }
  std::FILE* file_ = nullptr;
  bool inPage_ = false;
  std::string path_;
  JobRecord record_;
};

}  // namespace

std::vector<PrinterRecord> ListPrinters() {
  std::vector<PrinterRecord> printers = CupsPrinters();
  std::string def = DefaultPrinter();
  for (auto& p : printers) {
    p.isDefault = p.name == def;
    if (p.isDefault) p.attributes |= kAttrDefault;
  }
  if (g_builtInEnabled) {
    PrinterRecord own;
    own.name = kBuiltInPrinter;
    own.description = "Built-in file printer";
    own.makeAndModel = "Raw files and PDF";
    own.deviceUri = "file:" + OutputFolder();
    own.location = OutputFolder();
    own.attributes = kAttrLocal;
    own.builtIn = true;
    own.isDefault = def == own.name;
    if (own.isDefault) own.attributes |= kAttrDefault;
    printers.push_back(own);
  }
  return printers;
}

std::string DefaultPrinter() {
  std::string name = CupsDefault();
  if (!name.empty()) return name;
  return g_builtInEnabled ? kBuiltInPrinter : "";
}

bool SetDefaultPrinter(const std::string& name) {
  if (IsBuiltIn(name)) {
    // The built-in printer is the default exactly when CUPS has none; CUPS
    // offers no way to drop its default, so this succeeds only then.
    return g_builtInEnabled && CupsDefault().empty();
  }
  if (!CupsKnows(name)) return false;
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s", name.c_str());
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_SET_DEFAULT);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/"));
  return cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE && CupsDefault() == name;
}

bool IsBuiltIn(const std::string& name) { return g_builtInEnabled && name == kBuiltInPrinter; }

bool PrinterExists(const std::string& name) { return IsBuiltIn(name) || CupsKnows(name); }

std::string OutputFolder() {
  if (!g_outputFolder.empty()) return g_outputFolder;
  return WorkDirectory() + "KWPRINT-OUT/";
}

void SetOutputFolder(const std::string& folder) {
  g_outputFolder = folder;
  if (!g_outputFolder.empty() && g_outputFolder.back() != '/') g_outputFolder += '/';
}

void SetBuiltInPrinterEnabled(bool on) { g_builtInEnabled = on; }
bool BuiltInPrinterEnabled() { return g_builtInEnabled; }

std::string ReserveOutputFile(const std::string& extension) {
  std::string folder = OutputFolder();
  if (!MakeFolders(folder)) return "";
  // Continue after the highest job number in the folder.
  long next = 1;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      long n = 0;
      if (std::sscanf(e->d_name, "job-%ld", &n) == 1 && n >= next) next = n + 1;
    }
    closedir(d);
  }
  for (int attempt = 0; attempt < 10000; ++attempt, ++next) {
    char name[64];
    std::snprintf(name, sizeof name, "job-%08ld.%s", next, extension.c_str());
    std::string path = folder + name;
    if (access(path.c_str(), F_OK) == 0) continue;
    int fd = open((path + ".part").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    if (errno != EEXIST) return "";
  }
  return "";
}

std::unique_ptr<PrinterHandle> OpenPrinter(const std::string& name) {
  if (IsBuiltIn(name)) return std::make_unique<FilePrinterHandle>(name);
  if (!CupsKnows(name)) return nullptr;
  return std::make_unique<CupsPrinterHandle>(name);
}

int SubmitFile(const std::string& printer, const std::string& path, const std::string& title) {
  if (IsBuiltIn(printer)) {
    size_t dot = path.rfind('.');
    std::string target = ReserveOutputFile(dot == std::string::npos ? "prn" : path.substr(dot + 1));
    if (target.empty()) return 0;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    std::FILE* out = std::fopen((target + ".part").c_str(), "wb");
    bool ok = in && out;
    char buf[1 << 16];
    size_t n;
    while (ok && (n = std::fread(buf, 1, sizeof buf, in)) > 0) ok = std::fwrite(buf, 1, n, out) == n;
    if (in) std::fclose(in);
    if (out) ok = std::fclose(out) == 0 && ok;
    ok = ok && std::rename((target + ".part").c_str(), target.c_str()) == 0;
    if (!ok) std::remove((target + ".part").c_str());
    return ok ? 1 : 0;
  }
  if (!CupsKnows(printer)) return 0;
  return cupsPrintFile2(CUPS_HTTP_DEFAULT, printer.c_str(), path.c_str(), title.c_str(), 0, nullptr);
}

JobRecord LastJob() { return g_lastJob; }

bool CupsReachable() {
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 2000, nullptr);
  if (!http) return false;
  httpClose(http);
  return true;
}

}  // namespace spool
