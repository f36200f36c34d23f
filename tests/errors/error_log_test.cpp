// The error log: record layout against golden files, the exception variant,
// hex forms, the separating empty line and appends by several processes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "errors/def_error.h"
#include "errors/error_log.h"
#include "platform/gui/message_box.h"
#include "platform/runtime/program_info.h"
#include "support/work_dir.h"

using namespace rt;
using namespace errors;

namespace {

std::string ReadGolden(const std::string& name) {
  std::ifstream in(std::string(RV_TEST_DIR) + "/golden/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Replaces what differs from run to run (the date and time line, the
// program's path) by fixed marks, after checking their form.
std::string Normalised(std::string log) {
  static const std::regex dateLine("\\r\\n[0-9 ./-]{8,10} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\r\\n");
  log = std::regex_replace("\r\n" + log, dateLine, "\r\n<DATE TIME>\r\n").substr(2);
  std::string app = "Application: " + ProgramFile() + "\r\n";
  for (size_t p; (p = log.find(app)) != std::string::npos;) log.replace(p, app.size(), "Application: <PROGRAM>\r\n");
  return log;
}

Error OpenError() {
  Error e;
  e.SubSystem = "DBFCDX";
  e.SubCode = 1001;
  e.GenCode = 21;
  e.OsCode = 2;
  e.Severity = 2;
  e.CanDefault = true;
  e.CanRetry = true;
  e.Operation = "Open";
  e.Description = "No such file or directory";
  e.FileName = "FORM.DBF";
  e.Tries = 1;
  e.FuncSym = Symbol("DbUseArea");
  e.ArgType = 7;
  e.ArgTypeReq = 7;
  e.SubstituteType = 0;
  e.CallFuncSym = Symbol("Start");
  return e;
}

Error WriteError() {
  Error e;
  e.GenCode = 24;
  e.OsCode = 28;
  e.Severity = 1;
  e.CanSubstitute = true;
  e.Operation = "Write";
  e.Description = "Disk full: «ARTICLE» kept";
  e.FileName = "ARTICLE.DBF";
  e.FileHandle = 5;
  e.ArgNum = 3;
  e.SubCodeText = "short write";
  e.Arg = "x";
  e.ArgType = 7;
  e.ArgTypeReq = 1;
  e.MaxSize = 254;
  e.SubstituteType = 8;
  return e;
}

Error ExceptionError(uint32_t subcode) {
  Error e;
  e.SubSystem = "BASE";
  e.SubCode = subcode;
  e.GenCode = 5;
  e.OsCode = 0xC0000005;
  e.ArgType = 0;
  e.FuncPtr = reinterpret_cast<void*>(0x401A2Cull);
  e.ArgNum = 2;
  e.FuncSym = Symbol("Ok");
  e.Description = "Access violation";
  return e;
}

void Append(const std::string& text, const Error& e, bool dialog = false) {
  if (dialog) {
    ErrorLogHandle log = WOpenErrorLog();
    ASSERT_TRUE(log.valid());
    ASSERT_TRUE(WWriteErrorLog(log, text, e));
  } else {
    ErrorLogHandle log = ErrorLogOpen();
    ASSERT_TRUE(log.valid());
    ASSERT_TRUE(ErrorLogWrite(log, text, e));
  }
}

}  // namespace

TEST(ErrorLog, AFirstAndASecondErrorMatchTheGoldenLog) {
  testsupport::TempWorkDir dir;
  Append(ErrorText(OpenError()), OpenError());
  std::string first = dir.Read("ZXERROR.LOG");
  EXPECT_EQ(first.rfind("***********************ERROR********************************\r\n", 0), 0u);
  Append(ErrorText(WriteError()), WriteError());
  std::string log = dir.Read("ZXERROR.LOG");
  // The second record follows one empty line; the text is ANSI (CP1250).
  EXPECT_EQ(log.substr(0, first.size()), first);
  EXPECT_EQ(log.substr(first.size(), 2), "\r\n");
  EXPECT_NE(log.find("Disk full: \xAB" "ARTICLE\xBB kept"), std::string::npos);
  EXPECT_EQ(Normalised(log), ReadGolden("two_errors.log"));
}

TEST(ErrorLog, SubCode5333LogsTheExceptionFields) {
  testsupport::TempWorkDir dir;
  Append(ErrorText(ExceptionError(5333)), ExceptionError(5333));
  EXPECT_EQ(Normalised(dir.Read("ZXERROR.LOG")), ReadGolden("exception.log"));
}

TEST(ErrorLog, TheDialogHandlersRecordHasNoApplicationLineAndItsOwnExceptionCode) {
  const std::string text = "Fehler-Code:  ACCESS VIOLATION\r\n";
  Error e4660 = ExceptionError(4660);
  Error e5333 = ExceptionError(5333);
  std::string dialog = ErrorLogRecord(text, e4660, LogVariant::Dialog);
  EXPECT_EQ(dialog.find("Application: "), std::string::npos);
  EXPECT_NE(dialog.find("\r\n \r\nError message:\r\n"), std::string::npos);
  EXPECT_NE(dialog.find("ExceptionCode   :C0000005\r\n"), std::string::npos);
  // For the dialog handler 5333 is an ordinary subcode, and for the
  // default handler 4660 is.
  EXPECT_NE(ErrorLogRecord(text, e5333, LogVariant::Dialog).find("OsCode          :3221225477\r\n"), std::string::npos);
  EXPECT_NE(ErrorLogRecord(text, e4660, LogVariant::Default).find("OsCode          :3221225477\r\n"), std::string::npos);
}

TEST(ErrorLog, ValueAsHex) {
  int anchor = 0;
  char ptrText[32];
  std::snprintf(ptrText, sizeof ptrText, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&anchor)));
  const std::pair<Value, std::string> cases[] = {
      {Value("AB"), "41 42 "},
      {Value(""), ""},
      {Value(Symbol("ok")), "4F 4B "},
      {Value(1.5), "3FF8000000000000"},
      {Value(3.0), "00000003"},
      {Value(-5.0), "FFFFFFFB"},
      {Value(5e9), "41F2A05F20000000"},
      {Value(-3e9), "C1E65A0BC0000000"},
      {Value(int32_t(-1)), "FFFFFFFF"},
      {Value(int32_t(255)), "000000FF"},
      {Value(true), "00000001"},
      {Value(static_cast<void*>(&anchor)), ptrText},
  };
  for (const auto& [v, hex] : cases) {
    SCOPED_TRACE(v.ToText());
    EXPECT_EQ(ValueAsHex(v), hex);
  }
}

TEST(ErrorLog, TwoProcessesAppendingAtOnceNeverTearARecord) {
  testsupport::TempWorkDir dir;
  constexpr int kRecords = 500;
  auto record = [](int process, int i) {
    Error e = OpenError();
    e.Description = "process " + std::to_string(process) + " record " + std::to_string(i);
    e.Tries = i;
    return e;
  };
  // Both children wait at a closed pipe, so they start, and create the log,
  // at the same moment.
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      close(gate[1]);
      char c;
      if (read(gate[0], &c, 1) != 0) _exit(2);
      for (int i = 0; i < kRecords; ++i) {
        Error e = record(p, i);
        ErrorLogHandle log = ErrorLogOpen();
        if (!log.valid() || !ErrorLogWrite(log, ErrorText(e), e)) _exit(1);
      }
      _exit(0);
    }
  }
  close(gate[0]);
  close(gate[1]);
  for (pid_t c : children) {
    int status = 0;
    ASSERT_EQ(waitpid(c, &status, 0), c);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  std::string log = Normalised(dir.Read("ZXERROR.LOG"));
  const std::string start = "***********************ERROR****";
  std::vector<std::string> records;
  for (size_t pos = 0; pos < log.size();) {
    size_t next = log.find("\r\n\r\n" + start, pos);
    records.push_back(log.substr(pos, next == std::string::npos ? std::string::npos : next - pos + 2));
    pos = next == std::string::npos ? log.size() : next + 4;
  }
  ASSERT_EQ(records.size(), 2u * kRecords);
  int nextOf[2] = {0, 0};
  for (const auto& r : records) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r, m, std::regex("process ([01]) record ([0-9]+)\r\n"))) << r;
    int p = std::stoi(m[1]), i = std::stoi(m[2]);
    ASSERT_EQ(i, nextOf[p]) << "records of one process stay in order";
    ++nextOf[p];
    Error e = record(p, i);
    ASSERT_EQ(r, Normalised(ErrorLogRecord(ErrorText(e), e, LogVariant::Default)));
  }
}

TEST(ErrorLog, AWorkDirectoryThatIsGoneRaisesOneErrorAndWritesNothing) {
  testsupport::TempWorkDir dir;
  std::string path = dir.path();
  std::filesystem::remove(path);  // the current directory disappears
  gui::ScopedScriptedBoxes boxes;
  Value old = SetErrorBlock(DefErrorBlock());
  ErrorLogHandle log = ErrorLogOpen();
  SetErrorBlock(old);
  EXPECT_FALSE(log.valid());
  // The handler of the raised error finds the folder gone as well: one box.
  ASSERT_EQ(boxes->shown().size(), 1u);
  EXPECT_NE(boxes->shown()[0].text.find("Description: SetDefault: " + path), std::string::npos) << boxes->shown()[0].text;
  EXPECT_FALSE(std::filesystem::exists(path + "ZXERROR.LOG"));
}
