#include <gtest/gtest.h>

#include <QTime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/gui/message_box.h"
#include "platform/spool/spooler.h"
#include "printing/printer_globals.h"
#include "printserver/job_folder.h"
#include "printserver/main_dialog.h"
#include "support/disk_full.h"
#include "support/work_dir.h"

namespace fs = std::filesystem;
using testsupport::TempWorkDir;

namespace {

std::string AllByteValues() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += char(i);
  return s;
}

// The server started on the built-in file printer, jobs in dir/jobs/.
class SpoolLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gcPrinterName.clear();
    gcPrinterType.clear();
    fs::create_directory(jobs);
    spool::SetOutputFolder(dir.path() + "out/");
    dlg = std::make_unique<MainDialog>();
    gcPrinterName = spool::kBuiltInPrinter;
    dlg->oSE1->SetText(jobs);
    dlg->oPRNTIPUS->SetText("2");
    dlg->PB3();
    ASSERT_TRUE(dlg->lRunning);
  }
  void TearDown() override {
    dlg.reset();
    spool::SetOutputFolder("");
  }
  void Job(const std::string& name, const std::string& bytes) { dir.Write("jobs/" + name, bytes); }
  bool InJobs(const std::string& name) { return fs::exists(jobs + name) || fs::is_symlink(jobs + name); }
  std::vector<std::string> Printed() {
    std::vector<std::string> out;
    if (!fs::exists(dir.path() + "out/")) return out;
    std::vector<fs::path> files;
    for (auto& e : fs::directory_iterator(dir.path() + "out/"))
      if (e.path().extension() != ".part") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (auto& f : files) out.push_back(dir.Read("out/" + f.filename().string()));
    return out;
  }
  std::string StatLine(int n) {
    std::string text = dlg->oME1->Text();
    size_t start = 0;
    for (int i = 0; i < n; ++i) start = text.find('\n', start) + 1;
    return text.substr(start, text.find('\n', start) - start);
  }

  TempWorkDir dir;
  std::string jobs = dir.path() + "jobs/";
  gui::ScopedScriptedBoxes boxes;
  std::unique_ptr<MainDialog> dlg;
};

}  // namespace

TEST_F(SpoolLoopTest, ARawJobIsClaimedPrintedUnchangedAndCounted) {
  Job("U0001.PRN", AllByteValues() + "\f" + AllByteValues());
  Job("00000001.prn", "companion");
  dlg->Tick();
  ASSERT_EQ(Printed(), std::vector<std::string>{AllByteValues() + "\f" + AllByteValues()});
  EXPECT_FALSE(InJobs("U0001.PRN"));
  EXPECT_FALSE(InJobs("00000001.$$$"));
  EXPECT_FALSE(InJobs("00000001.prn")) << "the companion goes with the claim";
  EXPECT_EQ(dlg->nJobSeq, 1u);
  EXPECT_EQ(dlg->nPrinted, 1);
  EXPECT_EQ(dlg->nClaimed, 1);

  EXPECT_EQ(StatLine(0), " Nyomtató: KWPRINT-FILE");
  EXPECT_EQ(StatLine(1), " Font: ");
  EXPECT_EQ(StatLine(2), " Mappa: " + jobs);
  EXPECT_EQ(StatLine(3), " Nyomtatva: 1/1");
  const std::string time = StatLine(4);
  ASSERT_EQ(time.rfind(" Idő: ", 0), 0u) << time;
  EXPECT_TRUE(QTime::fromString(QString::fromStdString(time.substr(std::string(" Idő: ").size())), "hh:mm:ss").isValid())
      << time;
}

TEST_F(SpoolLoopTest, ATextJobIsPrintedAsPagesInOemText) {
  dlg->PB4();
  dlg->oPRNTIPUS->SetText("1");
  dlg->PB3();
  // "Első oldal" and "Második" in the OEM code page, a form feed between the pages.
  Job("U0001.PRN", "Els\x8B oldal\r\n\fM\xA0sodik\r\n");
  dlg->Tick();
  auto printed = Printed();
  ASSERT_EQ(printed.size(), 1u);
  ASSERT_EQ(printed[0].rfind("%PDF", 0), 0u);
  dir.Write("out.pdf", printed[0]);
  FILE* p = popen(("pdftotext -layout " + dir.File("out.pdf") + " -").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string text;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) text.append(buf, n);
  pclose(p);
  size_t first = text.find("Első oldal"), feed = text.find('\f'), second = text.find("Második");
  ASSERT_NE(first, std::string::npos) << text;
  ASSERT_NE(second, std::string::npos) << text;
  EXPECT_LT(first, feed);
  EXPECT_LT(feed, second) << "the second line is on the second page";
  EXPECT_EQ(StatLine(3), " Nyomtatva: 1/1");
}

// Sets a folder's modification time.
void SetFolderTime(const std::string& folder, timespec when) {
  timespec times[2] = {when, when};
  utimensat(AT_FDCWD, folder.c_str(), times, 0);
}

TEST_F(SpoolLoopTest, AnUnchangedFolderIsNotListedAgainButEveryChangeIsSeen) {
  timespec old{time(nullptr) - 60, 0};
  SetFolderTime(jobs, old);
  dlg->Tick();  // lists the folder: no jobs
  // A job slipped in without the folder's time stamp changing is not looked for...
  Job("U1.PRN", "a");
  SetFolderTime(jobs, old);
  dlg->Tick();
  EXPECT_TRUE(Printed().empty());
  EXPECT_EQ(dlg->nJobSeq, 0u);
  // ...but any real change of the folder is.
  Job("note.txt", "");
  dlg->Tick();
  EXPECT_EQ(Printed(), std::vector<std::string>{"a"});

  // Within a coarse time stamp (the folder changed just now) the folder is listed every time.
  timespec recent{time(nullptr), 0};
  SetFolderTime(jobs, recent);
  dlg->Tick();
  Job("U2.PRN", "b");
  SetFolderTime(jobs, recent);
  dlg->Tick();
  EXPECT_EQ(Printed().size(), 2u);
}

TEST_F(SpoolLoopTest, AnEmptyFolderChangesNothing) {
  Job("A0001.PRN", "not a job");
  Job("U0001.TXT", "not a job");
  const std::string before = dlg->oME1->Text();
  dlg->Tick();
  EXPECT_EQ(dlg->nJobSeq, 0u);
  EXPECT_EQ(dlg->oME1->Text(), before);
  EXPECT_TRUE(InJobs("A0001.PRN"));
}

TEST_F(SpoolLoopTest, JobNamesMatchInAnyCaseAndOnlyRegularFilesAreJobs) {
  Job("u1.prn", "lower");
  dir.Write("target", "must stay");
  fs::create_symlink(dir.File("target"), jobs + "U2.PRN");
  mkfifo((jobs + "U3.PRN").c_str(), 0644);
  fs::create_directory(jobs + "U4.PRN");
  EXPECT_EQ(ListJobFiles(jobs), std::vector<std::string>{"u1.prn"});
  for (int i = 0; i < 3; ++i) dlg->Tick();
  EXPECT_EQ(Printed(), std::vector<std::string>{"lower"});
  EXPECT_EQ(dir.Read("target"), "must stay");
  EXPECT_TRUE(fs::is_symlink(jobs + "U2.PRN"));
  EXPECT_TRUE(InJobs("U3.PRN"));
  EXPECT_EQ(dlg->nClaimed, 1);
}

TEST_F(SpoolLoopTest, AClaimNameInUseBlocksThisTickOnly) {
  Job("U0001.PRN", "job");
  Job("00000001.$$$", "left from an earlier run");
  dlg->Tick();
  EXPECT_TRUE(InJobs("U0001.PRN"));
  EXPECT_EQ(dir.Read("jobs/00000001.$$$"), "left from an earlier run");
  EXPECT_EQ(StatLine(3), " Nyomtatva: 0/1");
  dlg->Tick();
  EXPECT_EQ(Printed(), std::vector<std::string>{"job"});
  EXPECT_FALSE(InJobs("00000002.$$$"));
  EXPECT_EQ(StatLine(3), " Nyomtatva: 1/2");
}

TEST_F(SpoolLoopTest, AJobHeldOpenByItsWriterWaitsAndKeepsItsNumberGoing) {
  Job("U0001.PRN", "still writing");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t writer = fork();
  if (writer == 0) {
    int fd = open((jobs + "U0001.PRN").c_str(), O_WRONLY | O_APPEND);
    char c = 1;
    (void)!write(ready[1], &c, 1);
    (void)!read(release[0], &c, 1);
    close(fd);
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  const std::string before = dlg->oME1->Text();
  dlg->Tick();
  dlg->Tick();
  EXPECT_TRUE(InJobs("U0001.PRN"));
  EXPECT_TRUE(Printed().empty());
  EXPECT_EQ(dlg->nJobSeq, 2u);
  EXPECT_EQ(dlg->oME1->Text(), before);
  (void)!write(release[1], &c, 1);
  waitpid(writer, nullptr, 0);
  dlg->Tick();
  EXPECT_EQ(Printed(), std::vector<std::string>{"still writing"});
  EXPECT_EQ(dlg->nJobSeq, 3u) << "the claim uses the number reached by then";
  EXPECT_EQ(StatLine(3), " Nyomtatva: 1/1");
}

TEST_F(SpoolLoopTest, AFailedCopyLeavesTheJobWhereItIs) {
  Job("U0001.PRN", std::string(4096, 'x'));
  // A disk that fills up while the claim copy is written.
  testsupport::WithFileSizeLimit(1000, [&] { dlg->Tick(); });
  EXPECT_EQ(dir.Read("jobs/U0001.PRN"), std::string(4096, 'x'));
  EXPECT_FALSE(InJobs("00000001.$$$")) << "no half copy is left";
  EXPECT_EQ(StatLine(3), " Nyomtatva: 0/1");
  dlg->Tick();
  EXPECT_EQ(Printed(), std::vector<std::string>{std::string(4096, 'x')});
}

TEST_F(SpoolLoopTest, AJobThatCannotBePrintedIsKeptAsErrAndTheNextOnesGoOn) {
  gcPrinterName = "no-such-printer";
  Job("U0001.PRN", AllByteValues());
  dlg->Tick();
  EXPECT_EQ(dir.Read("jobs/U0001.ERR"), AllByteValues());
  EXPECT_FALSE(InJobs("U0001.PRN"));
  EXPECT_FALSE(InJobs("00000001.$$$"));
  EXPECT_EQ(StatLine(3), " Nyomtatva: 0/1");
  EXPECT_EQ(dlg->oFixedText11->Text(), "Hiba: U0001.PRN");
  const std::string log = dir.Read("ZXERROR.LOG");
  EXPECT_NE(log.find("Job U0001.PRN could not be printed on printer 'no-such-printer'; kept as U0001.ERR"),
            std::string::npos)
      << log;

  Job("U0001.PRN", "second");
  dlg->Tick();
  EXPECT_EQ(dir.Read("jobs/U0001_1.ERR"), "second") << "a kept job is never overwritten";
  EXPECT_EQ(dir.Read("jobs/U0001.ERR"), AllByteValues());

  gcPrinterName = spool::kBuiltInPrinter;
  Job("U0002.PRN", "third");
  dlg->Tick();
  EXPECT_EQ(Printed(), std::vector<std::string>{"third"});
  EXPECT_EQ(StatLine(3), " Nyomtatva: 1/3");
}

TEST_F(SpoolLoopTest, TheClaimNumberStartsAgainAt1AfterTheLargestOne) {
  dlg->nJobSeq = 0x7FFFFFFE;
  Job("U1.PRN", "a");
  dlg->Tick();
  EXPECT_EQ(dlg->nJobSeq, 0x7FFFFFFFu);
  Job("U2.PRN", "b");
  dlg->Tick();
  EXPECT_EQ(dlg->nJobSeq, 1u);
  EXPECT_EQ(Printed().size(), 2u);
}

TEST_F(SpoolLoopTest, StopAndStartResetTheCountersButNotTheClaimNumbers) {
  Job("U1.PRN", "a");
  dlg->Tick();
  dlg->PB4();
  EXPECT_FALSE(dlg->lRunning);
  EXPECT_EQ(dlg->oFixedText11->Text(), "Leállítva");
  dlg->PB3();
  EXPECT_EQ(dlg->oFixedText11->Text(), "Elindítva");
  EXPECT_EQ(StatLine(3), " Nyomtatva: 0/0");
  Job("U2.PRN", "b");
  dlg->Tick();
  EXPECT_EQ(dlg->nJobSeq, 2u);
  EXPECT_EQ(StatLine(3), " Nyomtatva: 1/1");
}

TEST_F(SpoolLoopTest, StartAndStopSwitchTheControlsAndThePollTimer) {
  std::vector<gui::Control*> settings = {dlg->oPB1, dlg->oFT2,  dlg->oCBX1, dlg->oFT3,  dlg->oSE1, dlg->oPB2,
                                         dlg->oPB3, dlg->oCB1,  dlg->oCB2,  dlg->oSET,  dlg->oSEL, dlg->oSEB,
                                         dlg->oSER, dlg->oFT7,  dlg->oFT8,  dlg->oFT9,  dlg->oFT10, dlg->oFT12,
                                         dlg->oLS,  dlg->oPRNTIPUS};
  for (auto* c : settings) EXPECT_FALSE(c->IsEnabled()) << c->Name();
  EXPECT_TRUE(dlg->oPB4->IsEnabled());
  EXPECT_TRUE(dlg->TimerActive(MainDialog::kPollTimer));

  EXPECT_EQ(dlg->Dispatch({gui::WM_TIMER, 100, 0}), 1);
  EXPECT_TRUE(dlg->TimerActive(MainDialog::kPollTimer)) << "set again after the tick";

  dlg->PB4();
  for (auto* c : settings) EXPECT_TRUE(c->IsEnabled()) << c->Name();
  EXPECT_FALSE(dlg->oPB4->IsEnabled());
  EXPECT_FALSE(dlg->TimerActive(MainDialog::kPollTimer));
  // A timer event that was already on its way when the server stopped.
  dlg->Dispatch({gui::WM_TIMER, 100, 0});
  EXPECT_FALSE(dlg->TimerActive(MainDialog::kPollTimer));
}

TEST_F(SpoolLoopTest, StartNeedsAPrinterAndAFolder) {
  dlg->PB4();
  boxes->clear();
  gcPrinterName.clear();
  dlg->PB3();
  EXPECT_FALSE(dlg->lRunning);
  gcPrinterName = "p";
  dlg->oSE1->SetText("   ");
  dlg->PB3();
  EXPECT_FALSE(dlg->lRunning);
  ASSERT_EQ(boxes->shown().size(), 2u);
  EXPECT_EQ(boxes->shown()[0].text, "Nincs nyomtató választva!");
  EXPECT_EQ(boxes->shown()[1].text, "Nyomtató munkamappája nincs megadva!");
  EXPECT_TRUE(dlg->oPB3->IsEnabled());
}
