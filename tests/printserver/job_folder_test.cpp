// The job folder as a server without privileges sees it: jobs written by
// another user, whose open files it cannot see and which it may not erase.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/gui/message_box.h"
#include "platform/spool/spooler.h"
#include "printing/printer_globals.h"
#include "printserver/job_folder.h"
#include "printserver/main_dialog.h"
#include "support/work_dir.h"

namespace fs = std::filesystem;

namespace {
// Runs `body` in a child process as the user "nobody"; its result is the
// child's exit code (-1 when it could not run).
int AsNobody(const std::function<int()>& body) {
  passwd* nobody = getpwnam("nobody");
  if (!nobody) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(120);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SetAge(const std::string& path, int seconds) {
  timeval times[2];
  gettimeofday(&times[0], nullptr);
  times[0].tv_sec -= seconds;
  times[1] = times[0];
  utimes(path.c_str(), times);
}
}  // namespace

TEST(JobFolderWithoutPrivileges, AJobStillOpenElsewhereIsTakenOnlyOnceItStoppedChanging) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to look at the folder as another user";
  testsupport::TempWorkDir dir;
  chmod(dir.path().c_str(), 0777);
  dir.Write("U0001.PRN", "half a job");
  int writer = open(dir.File("U0001.PRN").c_str(), O_WRONLY | O_APPEND);  // root's writer, invisible to nobody
  ASSERT_GE(writer, 0);
  const std::string job = dir.File("U0001.PRN");
  EXPECT_EQ(AsNobody([&] { return IsFileFree(job) ? 1 : 0; }), 0) << "a job that has just changed is not free";
  close(writer);
  SetAge(job, 10);
  EXPECT_EQ(AsNobody([&] { return IsFileFree(job) ? 1 : 0; }), 1) << "unchanged for a while and nobody seen holding it";
}

TEST(JobFolderWithoutPrivileges, AJobThatCannotBeErasedLeavesNoCopiesBehind) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to look at the folder as another user";
  testsupport::TempWorkDir dir;
  chmod(dir.path().c_str(), 0777);
  const std::string jobs = dir.path() + "jobs/";
  fs::create_directory(jobs);
  chmod(jobs.c_str(), 01777);  // shared folder: only a file's owner may erase it
  dir.Write("jobs/U0001.PRN", "root's job");
  SetAge(jobs + "U0001.PRN", 10);
  gui::ScopedScriptedBoxes boxes;
  gcPrinterName = spool::kBuiltInPrinter;
  spool::SetOutputFolder(dir.path() + "out/");
  MainDialog dlg;
  dlg.oSE1->SetText(jobs);
  dlg.oPRNTIPUS->SetText("2");
  gcPrinterName = spool::kBuiltInPrinter;
  dlg.PB3();
  ASSERT_TRUE(dlg.lRunning);
  int claims = AsNobody([&] {
    for (int i = 0; i < 5; ++i) dlg.Tick();
    int n = 0;
    for (auto& e : fs::directory_iterator(jobs)) n += e.path().extension() == ".$$$";
    return n;
  });
  EXPECT_EQ(claims, 0) << "each tick left a copy of the job";
  EXPECT_EQ(dir.Read("jobs/U0001.PRN"), "root's job");
  EXPECT_FALSE(fs::exists(dir.path() + "out/")) << "the job was not printed while it stays";
  dlg.PB4();
  spool::SetOutputFolder("");
}
