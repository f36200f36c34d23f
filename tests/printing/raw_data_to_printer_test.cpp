// Raw output through the private cupsd's capture queue and the built-in file
// printer: the bytes that arrive, and the pages the spooler layer counted.
#include <fcntl.h>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cups/capture.h"
#include "platform/spool/spooler.h"
#include "printing/raw_data_to_printer.h"
#include "support/work_dir.h"

namespace {

const std::string kDocName = "Zozadodeded nyomtatás";

std::string AllBytes(int times) {
  std::string s;
  for (int t = 0; t < times; ++t)
    for (int b = 0; b < 256; ++b) s += char(b);
  return s;
}

// A file of `size` letters with form feeds at the given 1-based byte positions.
std::string WithFormFeeds(size_t size, std::initializer_list<size_t> positions) {
  std::string s;
  for (size_t i = 0; i < size; ++i) s += char('a' + i % 26);
  for (size_t p : positions) s[p - 1] = '\f';
  return s;
}

struct Case {
  const char* what;
  std::string bytes;
  int pages;
};

std::vector<Case> Cases() {
  return {
      {"empty file: one empty page", "", 1},
      {"no form feed: one page", std::string(1300, 'x'), 1},
      {"two letters, form feed, two letters", "ab\fcd", 2},
      {"ends with a form feed", "ab\f", 1},
      {"form feed at byte 512", WithFormFeeds(512, {512}), 1},
      {"form feeds at bytes 512 and 1024, file ends there", WithFormFeeds(1024, {512, 1024}), 2},
      {"form feed at byte 512, more after it", WithFormFeeds(700, {512}), 2},
      {"form feed at byte 513", WithFormFeeds(1000, {513}), 2},
      {"form feed at byte 65536, more after it", WithFormFeeds(70000, {65536}), 2},
      {"form feeds at bytes 65536 and 131072, file ends there", WithFormFeeds(131072, {65536, 131072}), 2},
      {"form feed at byte 65537", WithFormFeeds(66000, {65537}), 2},
      {"two form feeds in a row", "ab\f\fcd", 3},
      {"only form feeds", "\f\f", 2},
      {"all 256 byte values, four times", AllBytes(4), 5},
      {"escape sequences and zero bytes", std::string("\x1b" "E\x1b&l0O\0\0\x1b" "E", 12), 1},
  };
}

// Jobs of the queue that are not finished (pending, held or printing).
int ActiveJobs(const std::string& queue) {
  cups_job_t* jobs = nullptr;
  int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
  cupsFreeJobs(n, jobs);
  return n;
}

int OpenFile(const testsupport::TempWorkDir& dir, const std::string& bytes) {
  dir.Write("job.prn", bytes);
  return open(dir.File("job.prn").c_str(), O_RDONLY);
}

}  // namespace

TEST(RawDataToPrinter, CupsQueueReceivesTheBytesUnchangedOnePagePerFormFeed) {
  testsupport::TempWorkDir dir;
  ASSERT_TRUE(spool::CupsReachable());
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    int fd = OpenFile(dir, c.bytes);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(RawDataToPrinter("rawcap", kDocName, fd));
    close(fd);
    spool::JobRecord job = spool::LastJob();
    EXPECT_EQ(job.printer, "rawcap");
    EXPECT_EQ(job.docName, kDocName);
    EXPECT_TRUE(job.completed);
    EXPECT_EQ(job.pages, c.pages);
    EXPECT_EQ(job.bytes, c.bytes.size());
    if (c.bytes.empty()) {
      // CUPS takes no empty document: the job is withdrawn, none stays queued.
      EXPECT_EQ(ActiveJobs("rawcap"), 0);
      continue;
    }
    std::string arrived;
    ASSERT_TRUE(testcups::WaitForJob("rawcap", job.jobId, &arrived));
    EXPECT_EQ(arrived, c.bytes);
  }
}

TEST(RawDataToPrinter, BuiltInPrinterWritesTheBytesAsAFile) {
  testsupport::TempWorkDir dir;
  spool::SetOutputFolder(dir.path() + "out");
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    int fd = OpenFile(dir, c.bytes);
    ASSERT_TRUE(RawDataToPrinter(spool::kBuiltInPrinter, kDocName, fd));
    close(fd);
    spool::JobRecord job = spool::LastJob();
    EXPECT_EQ(job.pages, c.pages);
    ASSERT_FALSE(job.outputFile.empty());
    EXPECT_EQ(job.outputFile.rfind(dir.path() + "out/", 0), 0u);
    std::string written;
    std::ifstream in(job.outputFile, std::ios::binary);
    written.assign(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(written, c.bytes);
  }
  spool::SetOutputFolder("");
}

TEST(RawDataToPrinter, SendsOnlyWhatFollowsTheHandlesPositionAndLeavesItOpen) {
  testsupport::TempWorkDir dir;
  int fd = OpenFile(dir, "HEADER\fbody\fend");
  char skip[7];
  ASSERT_EQ(read(fd, skip, 7), 7);
  ASSERT_TRUE(RawDataToPrinter("  rawcap  ", kDocName, fd));   // blanks around the name
  spool::JobRecord job = spool::LastJob();
  EXPECT_EQ(job.printer, "rawcap");
  EXPECT_EQ(job.pages, 2);
  std::string arrived;
  ASSERT_TRUE(testcups::WaitForJob("rawcap", job.jobId, &arrived));
  EXPECT_EQ(arrived, "body\fend");
  // The caller's handle is still open, at the end of the file.
  char more;
  EXPECT_EQ(read(fd, &more, 1), 0);
  EXPECT_EQ(close(fd), 0);
}

TEST(RawDataToPrinter, UnknownPrinterGivesFalseAndNoJob) {
  testsupport::TempWorkDir dir;
  int fd = OpenFile(dir, "data\f");
  ASSERT_TRUE(RawDataToPrinter("rawcap", "marker", fd));
  const int lastId = spool::LastJob().jobId;
  const auto countFiles = [] {
    size_t n = 0;
    for (auto& e : std::filesystem::directory_iterator(testcups::CupsDir() + "out/rawcap")) n += e.is_regular_file();
    return n;
  };
  usleep(300000);
  const size_t before = countFiles();
  for (const char* name : {"nincs-ilyen", "", "   ", "raw cap", "RAWCAP-X"}) {
    SCOPED_TRACE(name);
    lseek(fd, 0, SEEK_SET);
    EXPECT_FALSE(RawDataToPrinter(name, kDocName, fd));
    EXPECT_EQ(spool::LastJob().jobId, lastId);
    // Nothing was read from the handle.
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
  }
  close(fd);
  usleep(300000);
  EXPECT_EQ(countFiles(), before);
}

TEST(RawDataToPrinter, DocumentThatCannotStartGivesFalse) {
  // The built-in printer cannot create its file: the document does not start.
  testsupport::TempWorkDir dir;
  dir.Write("blocker", "a file where the folder should be");
  spool::SetOutputFolder(dir.File("blocker") + "/out");
  int fd = OpenFile(dir, "data");
  const spool::JobRecord before = spool::LastJob();
  EXPECT_FALSE(RawDataToPrinter(spool::kBuiltInPrinter, kDocName, fd));
  EXPECT_EQ(spool::LastJob().jobId, before.jobId);
  EXPECT_EQ(spool::LastJob().printer, before.printer);
  close(fd);
  spool::SetOutputFolder("");
}

TEST(RawDataToPrinter, ReadErrorCountsAsTheEndOfTheFile) {
  // A handle that cannot be read (a folder): an empty job that succeeds.
  testsupport::TempWorkDir dir;
  int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(RawDataToPrinter("rawcap", kDocName, fd));
  close(fd);
  spool::JobRecord job = spool::LastJob();
  EXPECT_EQ(job.pages, 1);
  EXPECT_EQ(job.bytes, 0u);
  EXPECT_TRUE(job.completed);
  EXPECT_EQ(ActiveJobs("rawcap"), 0);
}
