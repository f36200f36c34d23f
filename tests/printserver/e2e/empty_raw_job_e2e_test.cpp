// An empty raw job: the spooler refuses a document without data and cancels
// the job, so the job must be kept (or printed), never dropped.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "spool_fixture.h"

using namespace std::chrono_literals;

namespace {

using e2e::Joined;
using e2e::SpoolLoopE2E;

TEST_F(SpoolLoopE2E, AnEmptyRawJobIsPrintedOrKeptAndTheNextJobPrints) {
  StartServer();
  e2e::WriteJob(Job("U0001.PRN"), "");
  std::this_thread::sleep_for(1s);
  std::string next = e2e::UniqueRawBytes(2000);
  e2e::WriteJob(Job("U0002.PRN"), next);
  ASSERT_TRUE(Printed("U0002.PRN", next));
  std::this_thread::sleep_for(1s);

  bool kept = e2e::ReadFile(Job("U0001.ERR")).empty() && e2e::Exists(Job("U0001.ERR"));
  bool printed = queue->CopiesOf("") == 1;
  EXPECT_TRUE(kept || printed) << "the empty job is gone: folder " << Joined(JobFolder()) << ", "
                               << queue->OutputFiles().size() << " spooler outputs\n" << server->Output();
  EXPECT_EQ(queue->CopiesOf(next), 1);
}

}  // namespace
