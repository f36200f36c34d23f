// The spool loop end to end: the real program polls a job folder in a fresh
// work directory and prints raw jobs on a capture queue of the test's own;
// the tests write jobs as a producer does and check what the spooler got and
// what is left in the folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "spool_fixture.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using e2e::Companion;
using e2e::Joined;
using e2e::SpoolLoopE2E;

TEST_F(SpoolLoopE2E, ARawJobArrivesByteForByteOnceAndLeavesNothingBehind) {
  StartServer();
  // Larger than one copy buffer, with form feeds (page ends), NUL, CR LF, ESC.
  std::string bytes = e2e::UniqueRawBytes(200 * 1024 + 17);
  e2e::WriteJob(Job("U0001.PRN"), bytes);

  ASSERT_TRUE(Printed("U0001.PRN", bytes));
  EXPECT_TRUE(e2e::WaitUntil([&] { return JobFolder().empty(); }, 5000)) << Joined(JobFolder());
  std::this_thread::sleep_for(1s);   // several more ticks
  EXPECT_EQ(queue->Outputs().size(), 1u);
  EXPECT_EQ(queue->CopiesOf(bytes), 1);
  EXPECT_TRUE(JobFolder().empty()) << Joined(JobFolder());
  EXPECT_TRUE(server->Running()) << server->Output();
  // The spooler knows the job by the server's document name.
  ASSERT_TRUE(e2e::WaitUntil([&] { return !queue->PageLog().empty(); }, 5000));
  EXPECT_EQ(queue->PageLog().size(), 1u);
  EXPECT_NE(queue->PageLog()[0].find(" Zozadodeded nyomtatás "), std::string::npos) << queue->PageLog()[0];
}

TEST_F(SpoolLoopE2E, JobNamesMatchInAnyLetterCaseInAFolderGivenRelativeAndWithoutItsSlash) {
  const std::vector<std::string> names = {"u1.prn", "U2.Prn", "U.PRN", "uXyZ.pRn", "Uárvíz tűrő.prn"};
  std::map<std::string, std::string> bytes;
  for (size_t i = 0; i < names.size(); ++i) bytes[names[i]] = e2e::UniqueRawBytes(1000 + i);
  // The work directory is the program's current directory.
  StartServer("jobs", queue->name());
  for (const auto& [name, b] : bytes) e2e::WriteJob(Job(name), b);

  for (const auto& [name, b] : bytes) EXPECT_TRUE(Printed(name, b));
  std::this_thread::sleep_for(1s);
  for (const auto& [name, b] : bytes) EXPECT_EQ(queue->CopiesOf(b), 1) << name;
  EXPECT_EQ(queue->Outputs().size(), names.size());
  EXPECT_TRUE(JobFolder().empty()) << Joined(JobFolder());
  // The start saved the settings: the folder as given, with its slash.
  std::string saved = dir.Read("KWVAROZE.CFG");
  ASSERT_EQ(saved.size(), 1050u);
  EXPECT_EQ(std::string(saved.c_str() + 259), "jobs/");
  EXPECT_EQ(std::string(saved.c_str() + 540), queue->name());
  EXPECT_EQ(std::string(saved.c_str() + 795), "2");
}

TEST_F(SpoolLoopE2E, FilesThatAreNotJobsAreNeverOpenedPrintedOrErased) {
  // Regular files whose names only look like jobs.
  std::map<std::string, std::string> decoys;
  for (std::string name : {"A1.PRN", "U1.PRN.TMP", "U1.PR", "XU1.PRN", "U1PRN", "U1.PRNX", "1.PRN", "U1.PRN "})
    decoys[name] = e2e::UniqueRawBytes(300);
  for (const auto& [name, b] : decoys) e2e::WriteJob(Job(name), b);
  // A link to a file outside the folder, a dangling link, a named pipe (an
  // open would block) and a folder, all named like jobs.
  std::string outside = e2e::UniqueRawBytes(400);
  e2e::WriteJob(dir.File("outside.txt"), outside);
  ASSERT_EQ(symlink(dir.File("outside.txt").c_str(), Job("U7.PRN").c_str()), 0);
  ASSERT_EQ(symlink(dir.File("missing.txt").c_str(), Job("U6.PRN").c_str()), 0);
  ASSERT_EQ(mkfifo(Job("U8.PRN").c_str(), 0600), 0);
  fs::create_directory(Job("U9.PRN"));
  e2e::WriteJob(Job("U9.PRN/U1.PRN"), "inside a folder named like a job");
  // The companion of the first claim as a link: its target is never erased.
  e2e::WriteJob(dir.File("precious.txt"), "precious");
  ASSERT_EQ(symlink(dir.File("precious.txt").c_str(), Job(Companion(1)).c_str()), 0);

  StartServer();
  std::this_thread::sleep_for(1s);   // ticks over the folder with nothing to take
  std::string real = e2e::UniqueRawBytes(2048);
  e2e::WriteJob(Job("U5.PRN"), real);
  ASSERT_TRUE(Printed("U5.PRN", real));
  std::this_thread::sleep_for(1s);

  EXPECT_EQ(queue->Outputs().size(), 1u) << "only the real job is printed";
  EXPECT_EQ(queue->CopiesOf(real), 1);
  for (const auto& [name, b] : decoys) EXPECT_EQ(e2e::ReadFile(Job(name)), b) << name;
  struct stat st;
  ASSERT_EQ(lstat(Job("U7.PRN").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(e2e::ReadFile(dir.File("outside.txt")), outside);
  ASSERT_EQ(lstat(Job("U6.PRN").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(lstat(Job("U8.PRN").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_TRUE(fs::is_directory(Job("U9.PRN")));
  EXPECT_EQ(e2e::ReadFile(Job("U9.PRN/U1.PRN")), "inside a folder named like a job");
  EXPECT_EQ(e2e::ReadFile(dir.File("precious.txt")), "precious");
  ASSERT_EQ(lstat(Job(Companion(1)).c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  // Nothing else appeared: no claim copies, no kept jobs.
  EXPECT_EQ(JobFolder().size(), decoys.size() + 5) << Joined(JobFolder());
}

TEST_F(SpoolLoopE2E, TwoWaitingJobsArePrintedInTurnEachUnderItsOwnClaim) {
  // Companions of the claim names: erased after the job of that claim.
  for (int claim = 1; claim <= 3; ++claim) e2e::WriteJob(Job(Companion(claim)), "companion");
  std::string first = e2e::UniqueRawBytes(5000), second = e2e::UniqueRawBytes(7000);
  e2e::WriteJob(Job("U0001.PRN"), first);
  e2e::WriteJob(Job("U0002.PRN"), second);

  StartServer();
  EXPECT_TRUE(Printed("U0001.PRN", first));
  EXPECT_TRUE(Printed("U0002.PRN", second));
  std::this_thread::sleep_for(1s);

  EXPECT_EQ(queue->Outputs().size(), 2u);
  EXPECT_EQ(queue->CopiesOf(first), 1);
  EXPECT_EQ(queue->CopiesOf(second), 1);
  // Claims 1 and 2 were used, one job each; claim 3 never was.
  EXPECT_EQ(JobFolder(), std::vector<std::string>{Companion(3)});
}

TEST_F(SpoolLoopE2E, AJobItsWriterStillHoldsOpenIsTakenOnlyOnceClosedAndThenOnce) {
  for (int claim = 1; claim <= 60; ++claim) e2e::WriteJob(Job(Companion(claim)), "companion");
  StartServer();
  // A first job shows that the server is polling (it uses claim 1).
  std::string warmUp = e2e::UniqueRawBytes(100);
  e2e::WriteJob(Job("U0000.PRN"), warmUp);
  ASSERT_TRUE(Printed("U0000.PRN", warmUp));
  ASSERT_TRUE(CompanionErased(1));

  std::string bytes = e2e::UniqueRawBytes(64 * 1024);
  size_t half = bytes.size() / 2;
  int fd = ::open(Job("U0001.PRN").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), half), ssize_t(half));
  std::this_thread::sleep_for(2s);   // about ten ticks while the writer holds the file

  EXPECT_EQ(e2e::ReadFile(Job("U0001.PRN")), bytes.substr(0, half)) << "the open job was touched";
  EXPECT_EQ(queue->Outputs().size(), 1u) << "part of an open job was printed";
  for (const auto& name : JobFolder()) EXPECT_EQ(name.find(".$$$"), std::string::npos) << name;

  ASSERT_EQ(::write(fd, bytes.data() + half, bytes.size() - half), ssize_t(bytes.size() - half));
  ASSERT_EQ(::close(fd), 0);
  ASSERT_TRUE(Printed("U0001.PRN", bytes));
  std::this_thread::sleep_for(1s);

  EXPECT_EQ(queue->CopiesOf(bytes), 1);
  EXPECT_EQ(queue->Outputs().size(), 2u);
  // Every tick that saw the open job used up a claim number: the job was
  // claimed under a number past 2, and only that companion is gone.
  std::vector<int> erased;
  for (int claim = 2; claim <= 60; ++claim)
    if (!e2e::Exists(Job(Companion(claim)))) erased.push_back(claim);
  ASSERT_EQ(erased.size(), 1u) << Joined(JobFolder());
  EXPECT_GT(erased[0], 2);
  EXPECT_EQ(JobFolder().size(), 58u) << Joined(JobFolder());
}

TEST_F(SpoolLoopE2E, AJobHeldOpenDoesNotHoldUpTheJobsBesideIt) {
  StartServer();
  std::string held = e2e::UniqueRawBytes(3000);
  int fd = ::open(Job("U0001.PRN").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, held.data(), 1000), 1000);
  std::map<std::string, std::string> free;
  for (std::string name : {"U0002.PRN", "U0003.PRN"}) {
    free[name] = e2e::UniqueRawBytes(2000);
    e2e::WriteJob(Job(name), free[name]);
  }
  for (const auto& [name, bytes] : free) EXPECT_TRUE(Printed(name, bytes));
  EXPECT_TRUE(e2e::ReadFile(Job("U0001.PRN")) == held.substr(0, 1000)) << "the open job was touched";

  ASSERT_EQ(::write(fd, held.data() + 1000, held.size() - 1000), ssize_t(held.size() - 1000));
  ASSERT_EQ(::close(fd), 0);
  ASSERT_TRUE(Printed("U0001.PRN", held));
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(queue->Outputs().size(), 3u);
  EXPECT_EQ(queue->CopiesOf(held), 1);
  EXPECT_TRUE(JobFolder().empty()) << Joined(JobFolder());
}

TEST_F(SpoolLoopE2E, ClaimNumbersStartAtOneSkipAClaimLeftFromBeforeAndStartAgainWithTheProgram) {
  for (int claim = 1; claim <= 4; ++claim) e2e::WriteJob(Job(Companion(claim)), "companion");
  // A claim copy left by an earlier run under the second claim name.
  std::string stale = e2e::UniqueRawBytes(3000);
  e2e::WriteJob(Job("00000002.$$$"), stale);

  StartServer();
  std::string a = e2e::UniqueRawBytes(1500);
  e2e::WriteJob(Job("U0001.PRN"), a);
  ASSERT_TRUE(Printed("U0001.PRN", a));
  EXPECT_TRUE(CompanionErased(1));
  EXPECT_TRUE(e2e::Exists(Job(Companion(2))));

  // Claim 2 is taken by the old copy: that tick leaves the job where it is,
  // the next claims it as 3.
  std::string b = e2e::UniqueRawBytes(1600);
  e2e::WriteJob(Job("U0002.PRN"), b);
  ASSERT_TRUE(Printed("U0002.PRN", b));
  EXPECT_TRUE(e2e::Exists(Job(Companion(2))));
  EXPECT_TRUE(CompanionErased(3));
  EXPECT_EQ(e2e::ReadFile(Job("00000002.$$$")), stale) << "the old claim copy was overwritten";
  EXPECT_EQ(queue->CopiesOf(stale), 0);

  // A new run of the program counts from 1 again. SIGTERM ends the first
  // run the way closing the dialog does.
  ASSERT_TRUE(server->Stop());
  EXPECT_EQ(server->ExitStatus(), QProcess::NormalExit);
  EXPECT_EQ(server->ExitCode(), 0) << server->Output();
  e2e::WriteJob(Job(Companion(1)), "companion");
  StartServer();
  std::string c = e2e::UniqueRawBytes(1700);
  e2e::WriteJob(Job("U0003.PRN"), c);
  ASSERT_TRUE(Printed("U0003.PRN", c));
  EXPECT_TRUE(CompanionErased(1));
  std::this_thread::sleep_for(1s);

  EXPECT_EQ(queue->Outputs().size(), 3u);
  for (const auto& bytes : {a, b, c}) EXPECT_EQ(queue->CopiesOf(bytes), 1);
  EXPECT_EQ(JobFolder(), (std::vector<std::string>{"00000002.$$$", Companion(2), Companion(4)}));
}

// Raw ("2") and page printing ("1") alike.
class KeptJobsE2E : public SpoolLoopE2E, public ::testing::WithParamInterface<std::string> {};

TEST_P(KeptJobsE2E, JobsForAPrinterThatDoesNotExistAreKeptAsErrWithTheirBytesAndLogged) {
  std::string printer = "no-such-printer-" + std::to_string(getpid());
  StartServer(jobs, printer, GetParam());
  std::string a = e2e::UniqueRawBytes(4096), b = e2e::UniqueRawBytes(4097), c = e2e::UniqueRawBytes(4098);
  e2e::WriteJob(Job("U0001.PRN"), a);
  ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ReadFile(Job("U0001.ERR")) == a; }))
      << Joined(JobFolder()) << server->Output();
  e2e::WriteJob(Job("U0002.PRN"), b);
  ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ReadFile(Job("U0002.ERR")) == b; })) << Joined(JobFolder());
  // The same job name again: the first kept job stays as it is.
  e2e::WriteJob(Job("U0001.PRN"), c);
  ASSERT_TRUE(e2e::WaitUntil([&] { return JobFolder().size() == 3 && !e2e::Exists(Job("U0001.PRN")); }))
      << Joined(JobFolder());
  std::this_thread::sleep_for(1s);

  EXPECT_EQ(e2e::ReadFile(Job("U0001.ERR")), a);
  EXPECT_EQ(e2e::ReadFile(Job("U0002.ERR")), b);
  std::multiset<std::string> kept;
  for (const auto& name : JobFolder()) {
    EXPECT_EQ(name.substr(name.size() - 4), ".ERR") << name;
    kept.insert(e2e::ReadFile(Job(name)));
  }
  EXPECT_EQ(kept, (std::multiset<std::string>{a, b, c}));
  // Nothing went to a printer of the test setup instead.
  for (const auto& bytes : {a, b, c}) EXPECT_EQ(queue->CopiesOf(bytes), 0);
  EXPECT_TRUE(server->Running()) << server->Output();

  // Each failure is in the error log of the work directory, with the job,
  // the printer and the name it is kept under.
  std::string log = dir.Read("ZXERROR.LOG");
  EXPECT_NE(log.find("U0001.PRN"), std::string::npos) << log;
  EXPECT_NE(log.find("U0002.PRN"), std::string::npos) << log;
  EXPECT_NE(log.find("U0001.ERR"), std::string::npos) << log;
  EXPECT_NE(log.find("U0002.ERR"), std::string::npos) << log;
  EXPECT_NE(log.find(printer), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(PrinterTypes, KeptJobsE2E, ::testing::Values("2", "1"),
                         [](const auto& info) { return info.param == "2" ? "Raw" : "Pages"; });

TEST_F(SpoolLoopE2E, AJobTheSpoolerRefusesIsKeptAndTheNextJobsPrint) {
  ASSERT_TRUE(queue->Reject());
  StartServer();
  std::string refused = e2e::UniqueRawBytes(4096);
  e2e::WriteJob(Job("U0001.PRN"), refused);
  ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ReadFile(Job("U0001.ERR")) == refused; }))
      << Joined(JobFolder()) << server->Output();

  ASSERT_TRUE(queue->Accept());
  std::string next = e2e::UniqueRawBytes(4096);
  e2e::WriteJob(Job("U0002.PRN"), next);
  ASSERT_TRUE(Printed("U0002.PRN", next));
  std::this_thread::sleep_for(1s);

  EXPECT_EQ(queue->CopiesOf(refused), 0);
  EXPECT_EQ(queue->CopiesOf(next), 1);
  EXPECT_EQ(JobFolder(), std::vector<std::string>{"U0001.ERR"});
}

TEST_F(SpoolLoopE2E, ABurstOfJobsIsPrintedCompletelyEachJobOnce) {
  StartServer();
  std::map<std::string, std::string> sent;
  for (int i = 1; i <= 20; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "U%04d.PRN", i);
    sent[name] = e2e::UniqueRawBytes(i == 7 ? 3 * 1024 * 1024 : size_t(100 * i));
    e2e::WriteJob(Job(name), sent[name]);
  }
  for (const auto& [name, bytes] : sent) EXPECT_TRUE(Printed(name, bytes));
  std::this_thread::sleep_for(1s);

  EXPECT_EQ(queue->Outputs().size(), sent.size());
  for (const auto& [name, bytes] : sent) EXPECT_EQ(queue->CopiesOf(bytes), 1) << name;
  EXPECT_TRUE(JobFolder().empty()) << Joined(JobFolder());
}

TEST_F(SpoolLoopE2E, ATextJobIsPrintedAsPagesWithItsLinesOnTheNamedPrinter) {
  // The queue of this test is not the default printer (that is the setup's
  // pdfcap): the job must still print on the printer of the settings.
  std::string tag = std::to_string(getpid()) + "X" + std::to_string(std::rand() % 100000);
  std::string job = "FIRST PAGE " + tag + "\r\n" + "second line\r\n" + "\f" + "THIRD LINE " + tag + "\r\n" +
                    // "Árvíztűrő tükörfúrógép" in the OEM code page (CP852).
                    "\xB5rv\xA1zt\xFBr\x8B t\x81k\x94rf\xA3r\xA2g\x82p\r\n";
  StartServer(jobs, queue->name(), "1");
  e2e::WriteJob(Job("U0001.PRN"), job);

  ASSERT_TRUE(e2e::WaitUntil([&] { return !queue->OutputFiles().empty() && !e2e::Exists(Job("U0001.PRN")); }))
      << Joined(JobFolder()) << server->Output();
  std::this_thread::sleep_for(1s);
  auto files = queue->OutputFiles();
  ASSERT_EQ(files.size(), 1u);
  std::filesystem::copy_file(files[0], testsupport::ArtifactDir() + "e2e-text-job.pdf",
                             std::filesystem::copy_options::overwrite_existing);
  ASSERT_EQ(e2e::ReadFile(files[0]).rfind("%PDF", 0), 0u) << "not a PDF";

  EXPECT_EQ(e2e::PdfPages(files[0]), 2);
  EXPECT_NE(e2e::PdfInfo(files[0]).find("Title:           Zozadodeded nyomtatás\n"), std::string::npos)
      << e2e::PdfInfo(files[0]);
  std::string first = e2e::PdfPageText(files[0], 1), second = e2e::PdfPageText(files[0], 2);
  auto firstLine = first.find("FIRST PAGE " + tag);
  EXPECT_NE(firstLine, std::string::npos) << first;
  EXPECT_NE(first.find("second line", firstLine), std::string::npos) << first;
  EXPECT_EQ(first.find("THIRD LINE"), std::string::npos) << first;
  EXPECT_NE(second.find("THIRD LINE " + tag), std::string::npos) << second;
  EXPECT_NE(second.find("Árvíztűrő tükörfúrógép"), std::string::npos) << second;
  EXPECT_TRUE(JobFolder().empty()) << Joined(JobFolder());
}

TEST_F(SpoolLoopE2E, TheLeftMarginOfTheSettingsMovesTextJobsByOneCharacter) {
  // 1 mm in the settings: a margin of one character; 2 mm: two.
  std::map<int, double> left;
  for (int margin : {1000, 2000}) {
    server = std::make_unique<e2e::ServerProcess>(
        dir.path(), e2e::ServerSettings{jobs, queue->name(), "1", "", margin});
    auto before = queue->OutputFiles();
    e2e::WriteJob(Job("U0001.PRN"), "MARGINTEST\r\n");
    ASSERT_TRUE(e2e::WaitUntil([&] { return queue->OutputFiles().size() == before.size() + 1; }))
        << server->Output();
    ASSERT_TRUE(server->Stop());
    for (const auto& file : queue->OutputFiles())
      if (std::find(before.begin(), before.end(), file) == before.end()) left[margin] = e2e::PdfWordLeft(file, "MARGINTEST");
  }
  ASSERT_EQ(left.size(), 2u);
  ASSERT_GT(left[1000], 0);
  // Courier at 10 characters per inch: one character is 7.2 points.
  EXPECT_NEAR(left[2000] - left[1000], 7.2, 0.3);
}

TEST_F(SpoolLoopE2E, TheBuiltInFilePrinterTakesRawAndTextJobsIntoTheWorkDirectory) {
  // Raw: the bytes unchanged in a file of the output folder.
  std::string raw = e2e::UniqueRawBytes(9000);
  StartServer(jobs, "KWPRINT-FILE", "2");
  e2e::WriteJob(Job("U0001.PRN"), raw);
  std::string out = dir.File("KWPRINT-OUT/");
  auto outputs = [&] {
    std::vector<std::string> done;
    for (const auto& name : e2e::FolderNames(out))
      if (name.find(".part") == std::string::npos) done.push_back(name);
    return done;
  };
  ASSERT_TRUE(e2e::WaitUntil([&] { return outputs().size() == 1 && !e2e::Exists(Job("U0001.PRN")); }))
      << Joined(JobFolder()) << server->Output();
  EXPECT_EQ(e2e::ReadFile(out + outputs()[0]), raw);
  ASSERT_TRUE(server->Stop());

  // Text: a PDF with the job's lines.
  StartServer(jobs, "KWPRINT-FILE", "1");
  e2e::WriteJob(Job("U0002.PRN"), "BUILT-IN PRINTER\r\n");
  ASSERT_TRUE(e2e::WaitUntil([&] { return outputs().size() == 2 && !e2e::Exists(Job("U0002.PRN")); }))
      << Joined(JobFolder()) << server->Output();
  std::string pdf;
  for (const auto& name : outputs())
    if (e2e::ReadFile(out + name) != raw) pdf = out + name;
  EXPECT_EQ(e2e::PdfPages(pdf), 1);
  EXPECT_NE(e2e::PdfPageText(pdf, 1).find("BUILT-IN PRINTER"), std::string::npos) << e2e::PdfPageText(pdf, 1);
  EXPECT_TRUE(JobFolder().empty()) << Joined(JobFolder());
  EXPECT_TRUE(queue->OutputFiles().empty());
}

}  // namespace
