// The fixture of the spool loop's end-to-end tests: a fresh work directory
// with a job folder, a capture queue of the test's own, and the program.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "server_process.h"
#include "support/work_dir.h"
#include "test_queue.h"

namespace e2e {

inline std::string Joined(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) s += "[" + n + "] ";
  return s;
}

inline std::string Companion(int claim) {
  char name[32];
  std::snprintf(name, sizeof name, "%08X.prn", claim);
  return name;
}

class SpoolLoopE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(jobs);
    queue = std::make_unique<e2e::TestQueue>(dir.File("out"));
    ASSERT_TRUE(queue->ok()) << "lpadmin could not create the test queue";
  }
  void TearDown() override {
    if (server && server->Running()) {
      EXPECT_TRUE(server->Stop()) << "the program did not end on SIGTERM";
    }
  }

  void StartServer(const std::string& folder, const std::string& printer, const std::string& type = "2",
                   const std::string& cupsServer = "") {
    server = std::make_unique<e2e::ServerProcess>(dir.path(), e2e::ServerSettings{folder, printer, type, cupsServer});
    ASSERT_TRUE(server->Running()) << server->Output();
  }
  void StartServer() { StartServer(jobs, queue->name()); }

  std::string Job(const std::string& name) const { return jobs + name; }
  std::vector<std::string> JobFolder() const { return e2e::FolderNames(jobs); }

  // Waits until the job's bytes have reached the spooler's output and its
  // file has left the folder.
  ::testing::AssertionResult Printed(const std::string& name, const std::string& bytes) {
    if (!queue->WaitFor(bytes))
      return ::testing::AssertionFailure() << name << " was not printed; folder: " << Joined(JobFolder()) << "\n" << server->Output();
    if (!e2e::WaitUntil([&] { return !e2e::Exists(Job(name)); }, 5000))
      return ::testing::AssertionFailure() << name << " was printed but is still in the folder";
    return ::testing::AssertionSuccess();
  }

  // The companion goes right after the job has been handed to the spooler,
  // which may be a moment after its output is complete.
  bool CompanionErased(int claim) const {
    return WaitUntil([&] { return !Exists(Job(Companion(claim))); }, 5000);
  }

  testsupport::TempWorkDir dir;
  std::string jobs = dir.File("jobs/");
  std::unique_ptr<e2e::TestQueue> queue;
  std::unique_ptr<e2e::ServerProcess> server;
};

}  // namespace e2e
