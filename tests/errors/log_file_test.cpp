// The general-purpose log: its file names, the backup of an old log,
// appending messages and error records.
#include <gtest/gtest.h>

#include <filesystem>

#include "errors/log_file.h"
#include "platform/runtime/program_info.h"
#include "support/work_dir.h"

using namespace errors;
namespace fs = std::filesystem;

namespace {

// Removes files a test creates beside the test program.
struct RemoveAfter {
  std::vector<std::string> files;
  ~RemoveAfter() {
    std::error_code ec;
    for (const auto& f : files) fs::remove(f, ec);
  }
};

}  // namespace

TEST(LogFile, NamesFollowTheProgramTheNameAndTheWebFlag) {
  testsupport::TempWorkDir dir;
  const std::string program = rt::ProgramFile();
  const std::string folder = program.substr(0, program.rfind('/') + 1);
  const std::string base = program.substr(folder.size());  // test programs have no extension
  fs::create_directories(dir.File("app.v2"));
  struct Case { std::string name; bool web; std::string fname; };
  const Case cases[] = {
      {"", false, program + ".log"},
      {"trace.txt", false, folder + "trace.log"},
      {"trace", false, folder + "trace.log"},
      {dir.File("SERVER.EXE"), false, dir.File("SERVER.log")},
      // A dot in a folder name is no extension.
      {dir.File("app.v2/server"), false, dir.File("app.v2/server.log")},
      {dir.File("SERVER.EXE"), true, WebLogDirectory() + "SERVER.log"},
      {"", true, WebLogDirectory() + base + ".log"},
  };
  RemoveAfter cleanup;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name + (c.web ? " (web)" : ""));
    bool existed = fs::exists(c.fname);
    LogFile log(c.name, c.web);
    if (!existed) cleanup.files.push_back(c.fname);
    EXPECT_EQ(log.FName(), c.fname);
    EXPECT_EQ(log.ServerPath(), folder);
    EXPECT_EQ(log.LogPath(), c.fname.substr(0, c.fname.rfind('/')));
    EXPECT_TRUE(log.Append());
    // The system's log folder is shared with other runs: only the name is ours.
    if (c.web) continue;
    EXPECT_TRUE(log.Log2File());
    EXPECT_TRUE(fs::is_regular_file(c.fname));
  }
}

TEST(LogFile, AppendKeepsTheOldLogAndAFreshStartBacksItUp) {
  testsupport::TempWorkDir dir;
  dir.Write("SERVER.log", "old line\r\n");
  {
    LogFile log(dir.File("SERVER.EXE"));
    EXPECT_TRUE(log.DebugMsg("first message"));
    EXPECT_TRUE(log.DebugMsg("zweite Nachricht: größer"));
    EXPECT_EQ(log.BackupName(), "");
  }
  EXPECT_EQ(dir.Read("SERVER.log"), "old line\r\nfirst message\r\nzweite Nachricht: gr\xF6\xDF" "er\r\n");
  EXPECT_FALSE(dir.Exists("SERVER.bak"));

  LogFile fresh(dir.File("SERVER.EXE"), false, false);
  EXPECT_FALSE(fresh.Append());
  EXPECT_EQ(fresh.BackupName(), dir.File("SERVER.bak"));
  EXPECT_EQ(dir.Read("SERVER.bak"), "old line\r\nfirst message\r\nzweite Nachricht: gr\xF6\xDF" "er\r\n");
  EXPECT_EQ(dir.Read("SERVER.log"), "");
  EXPECT_TRUE(fresh.DebugMsg("new"));
  EXPECT_EQ(dir.Read("SERVER.log"), "new\r\n");
}

TEST(LogFile, DumpErrorAppendsTheHeadAndTheErrorFieldsOnly) {
  testsupport::TempWorkDir dir;
  LogFile log(dir.File("dump"));
  log.DebugMsg("before");
  rt::Error e;
  e.GenCode = 21;
  e.FileName = "FORM.DBF";
  e.CanRetry = true;
  log.DumpError(e).DumpError(e);
  std::string text = dir.Read("dump.log");
  std::vector<std::string> lines;
  for (size_t p = 0, n; (n = text.find("\r\n", p)) != std::string::npos; p = n + 2) lines.push_back(text.substr(p, n - p));
  ASSERT_EQ(lines.size(), 1u + 2 * 30);
  EXPECT_EQ(lines[0], "before");
  for (int r = 0; r < 2; ++r) {
    SCOPED_TRACE(r);
    size_t b = 1 + 30 * r;
    EXPECT_EQ(lines[b], "***********************ERROR********************************");
    EXPECT_EQ(lines[b + 1], rt::VersionText());
    EXPECT_EQ(lines[b + 3], " ");
    EXPECT_EQ(lines[b + 4], "Error Object created:");
    EXPECT_EQ(lines[b + 7], "SubCode         :0");
    EXPECT_EQ(lines[b + 8], "GenCode         :Open error");
    EXPECT_EQ(lines[b + 16], "CanRetry        :.T.");
    EXPECT_EQ(lines[b + 20], "FileName        :FORM.DBF");
    EXPECT_EQ(lines[b + 29], "--------------------");
  }
  EXPECT_EQ(text.find("Application: "), std::string::npos);
  EXPECT_EQ(text.find("Error message:"), std::string::npos);
}

TEST(LogFile, WithoutAFileMessagesGoToTheDebugOutputUnlessANetworkErrorIsReported) {
  testsupport::TempWorkDir dir;
  const std::string unreachable = dir.File("no/such/folder/trace");
  rt::SetNetErr(false);
  LogFile local(unreachable);
  EXPECT_FALSE(local.Log2File());
  testing::internal::CaptureStderr();
  EXPECT_TRUE(local.DebugMsg("to the debug output"));
  EXPECT_FALSE(local.DebugMsg(""));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "to the debug output\n\n");

  // With a network error the file is assumed to come back: writes retry
  // and report failure while it stays away.
  rt::SetNetErr(true);
  LogFile remote(unreachable);
  EXPECT_TRUE(remote.Log2File());
  EXPECT_FALSE(remote.DebugMsg("lost"));
  fs::create_directories(dir.File("no/such/folder"));
  dir.Write("no/such/folder/trace.log", "");
  EXPECT_TRUE(remote.DebugMsg("arrived"));
  rt::SetNetErr(false);
  EXPECT_EQ(dir.Read("no/such/folder/trace.log"), "arrived\r\n");
}
