// The spool loop end to end when printing cannot work as usual: an empty
// job, no spooler at all. Nothing may be lost: a job is printed or kept.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "spool_fixture.h"

using namespace std::chrono_literals;

namespace {

using e2e::Joined;
using e2e::SpoolLoopE2E;

class EmptyJobE2E : public SpoolLoopE2E, public ::testing::WithParamInterface<std::string> {};

TEST_P(EmptyJobE2E, AnEmptyJobIsPrintedOrKeptAndTheNextJobPrints) {
  StartServer(jobs, queue->name(), GetParam());
  e2e::WriteJob(Job("U0001.PRN"), "");
  std::this_thread::sleep_for(1s);
  std::string next = GetParam() == "2" ? e2e::UniqueRawBytes(2000) : "NEXT JOB\r\n";
  e2e::WriteJob(Job("U0002.PRN"), next);
  ASSERT_TRUE(e2e::WaitUntil([&] { return JobFolder().empty() || JobFolder() == std::vector<std::string>{"U0001.ERR"}; }))
      << Joined(JobFolder()) << server->Output();
  ASSERT_TRUE(e2e::WaitUntil([&] { return queue->OutputFiles().size() >= 1; })) << server->Output();
  std::this_thread::sleep_for(1s);

  bool kept = e2e::Exists(Job("U0001.ERR"));
  size_t printedJobs = queue->OutputFiles().size();
  // Either the spooler got two jobs (the empty one too), or one and the
  // empty job is kept.
  EXPECT_EQ(printedJobs, kept ? 1u : 2u) << "kept: " << kept << ", spooler outputs: " << printedJobs << "\n"
                                         << server->Output();
  if (kept) {
    EXPECT_EQ(e2e::ReadFile(Job("U0001.ERR")), "");
  }
}

// (A raw empty job: empty_raw_job_e2e_test.cpp.)
INSTANTIATE_TEST_SUITE_P(PrinterTypes, EmptyJobE2E, ::testing::Values("1"),
                         [](const auto& info) { return info.param == "2" ? "Raw" : "Pages"; });

class NoSpoolerE2E : public SpoolLoopE2E, public ::testing::WithParamInterface<std::string> {};

TEST_P(NoSpoolerE2E, WithoutAReachableSpoolerJobsAreKept) {
  // The program's spooler is a socket where no cupsd listens.
  StartServer(jobs, queue->name(), GetParam(), dir.File("no-cupsd.sock"));
  std::string bytes = GetParam() == "2" ? e2e::UniqueRawBytes(4096) : "A TEXT JOB\r\nsecond line\r\n";
  e2e::WriteJob(Job("U0001.PRN"), bytes);
  ASSERT_TRUE(e2e::WaitUntil([&] { return !e2e::Exists(Job("U0001.PRN")); })) << server->Output();
  std::this_thread::sleep_for(1s);

  EXPECT_EQ(e2e::ReadFile(Job("U0001.ERR")), bytes) << Joined(JobFolder()) << server->Output();
  EXPECT_EQ(JobFolder(), std::vector<std::string>{"U0001.ERR"});
  EXPECT_TRUE(queue->OutputFiles().empty());
  EXPECT_TRUE(server->Running()) << server->Output();
}

INSTANTIATE_TEST_SUITE_P(PrinterTypes, NoSpoolerE2E, ::testing::Values("2", "1"),
                         [](const auto& info) { return info.param == "2" ? "Raw" : "Pages"; });

TEST_F(SpoolLoopE2E, SigtermWhileAJobIsBeingClaimedAndPrintedEndsAfterTheJobWithNothingLost) {
  StartServer();
  std::string warmUp = e2e::UniqueRawBytes(100);
  e2e::WriteJob(Job("U0000.PRN"), warmUp);
  ASSERT_TRUE(Printed("U0000.PRN", warmUp));

  // Large enough that claiming and spooling take a while.
  std::string bytes = e2e::UniqueRawBytes(40 * 1024 * 1024);
  e2e::WriteJob(Job("U0001.PRN"), bytes);
  auto claimSeen = [&] {
    for (const auto& name : JobFolder())
      if (name.size() > 4 && name.substr(name.size() - 4) == ".$$$") return true;
    return false;
  };
  bool during = e2e::WaitUntil(claimSeen, 20000);
  ASSERT_TRUE(server->Stop(60000)) << "the program did not end on SIGTERM";
  EXPECT_EQ(server->ExitStatus(), QProcess::NormalExit);
  EXPECT_EQ(server->ExitCode(), 0) << server->Output();

  // The job was printed whole, once, or is still there to be printed.
  bool printed = queue->WaitFor(bytes, 20000);
  if (printed) {
    EXPECT_EQ(queue->CopiesOf(bytes), 1);
    EXPECT_TRUE(JobFolder().empty()) << Joined(JobFolder());
  } else {
    EXPECT_EQ(e2e::ReadFile(Job("U0001.PRN")), bytes) << Joined(JobFolder());
  }
  EXPECT_TRUE(during) << "the claim was not seen; the signal came after the job";
}

// Page jobs reach the spooler at the end of the job: a refusal there must
// still keep the job.
TEST_F(SpoolLoopE2E, ATextJobTheSpoolerRefusesIsKeptAndTheNextJobsPrint) {
  ASSERT_TRUE(queue->Reject());
  StartServer(jobs, queue->name(), "1");
  std::string refused = "REFUSED TEXT JOB\r\n";
  e2e::WriteJob(Job("U0001.PRN"), refused);
  ASSERT_TRUE(e2e::WaitUntil([&] { return !e2e::Exists(Job("U0001.PRN")); })) << server->Output();
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(e2e::ReadFile(Job("U0001.ERR")), refused) << "the refused job is gone: folder " << Joined(JobFolder())
                                                      << "\n" << server->Output();

  ASSERT_TRUE(queue->Accept());
  e2e::WriteJob(Job("U0002.PRN"), "ACCEPTED TEXT JOB\r\n");
  ASSERT_TRUE(e2e::WaitUntil([&] { return queue->OutputFiles().size() == 1; })) << server->Output();
  EXPECT_NE(e2e::PdfPageText(queue->OutputFiles()[0], 1).find("ACCEPTED TEXT JOB"), std::string::npos);
}

}  // namespace
