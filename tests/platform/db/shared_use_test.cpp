// Two processes append to one shared table at the same time; afterwards the
// table holds every record intact and the index finds each of them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "error_recorder.h"
#include "platform/db/dbserver.h"
#include "platform/db/settings.h"
#include "platform/db/table.h"
#include "platform/db/workarea.h"
#include "platform/runtime/strings.h"
#include "support/work_dir.h"

namespace db {
namespace {

constexpr int kPerProcess = 2000;

std::string Name(int writer, int i) { return "W" + std::to_string(writer) + "-" + rt::PadL(std::to_string(i), 5, '0'); }
std::string Note(int writer, int i) { return Name(writer, i) + " " + std::string(size_t(i % 150), char('a' + writer)); }

// Runs in a child process: appends kPerProcess records, each written in
// two steps (key field, then memo and amount) so that updates interleave.
int Writer(const std::string& file, int writer) {
  Table t;
  auto failed = [](const Status& s, int code) {
    std::fprintf(stderr, "writer: %s\n", s.description.c_str());
    return code;
  };
  if (Status s = t.Open(file, true, false); !s.ok()) return failed(s, 2);
  for (int i = 0; i < kPerProcess; ++i) {
    if (Status s = t.Append(); !s.ok()) return failed(s, 3);
    if (Status s = t.FieldPut(0, rt::Value(Name(writer, i))); !s.ok()) return failed(s, 4);
    if (Status s = t.Commit(); !s.ok()) return failed(s, 5);
    if (Status s = t.FieldPut(1, rt::Value(double(i))); !s.ok()) return failed(s, 6);
    if (Status s = t.FieldPut(2, rt::Value(Note(writer, i))); !s.ok()) return failed(s, 7);
    if (Status s = t.Commit(); !s.ok()) return failed(s, 8);
  }
  Status s = t.Close();
  return s.ok() ? 0 : failed(s, 9);
}

TEST(SharedUse, TwoProcessesAppendToOneTable) {
  testsupport::TempWorkDir dir;
  SetDeleted(true);
  ASSERT_TRUE(DbCreate(dir.File("SHARED.DBF"), {{"NAME", 'C', 12, 0}, {"AMOUNT", 'N', 6, 0}, {"NOTE", 'M', 10, 0}}));
  {
    Table t;
    ASSERT_TRUE(t.Open(dir.File("SHARED.DBF"), false, false).ok());
    ASSERT_TRUE(t.CreateTag("NAME", "NAME", [](const RecordView& r) { return r.FieldGet("NAME"); }).ok());
  }
  std::vector<pid_t> children;
  for (int w = 1; w <= 2; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(Writer(dir.File("SHARED.DBF"), w));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(0, WEXITSTATUS(status));
  }

  Table t;
  ASSERT_TRUE(t.Open(dir.File("SHARED.DBF"), false, true).ok());
  uint32_t count;
  ASSERT_TRUE(t.RecCount(count).ok());
  EXPECT_EQ(uint32_t(2 * kPerProcess), count);
  std::string bytes = dir.Read("SHARED.DBF");
  EXPECT_EQ(size_t(t.header().headerLen) + count * t.header().recordLen + 1, bytes.size());
  EXPECT_EQ('\x1A', bytes.back());
  std::set<std::string> names;
  for (uint32_t r = 1; r <= count; ++r) {
    ASSERT_TRUE(t.GoTo(r).ok());
    rt::Value name, amount, note;
    ASSERT_TRUE(t.FieldGet(0, name).ok());
    ASSERT_TRUE(t.FieldGet(1, amount).ok());
    ASSERT_TRUE(t.FieldGet(2, note).ok());
    std::string n = rt::Trim(name.AsString());
    int writer = n[1] - '0', i = std::stoi(n.substr(3));
    ASSERT_EQ(Name(writer, i), n) << "record " << r;
    ASSERT_EQ(double(i), amount.AsNumber()) << "record " << r;
    ASSERT_EQ(Note(writer, i), note.AsString()) << "record " << r;
    names.insert(n);
  }
  EXPECT_EQ(size_t(2 * kPerProcess), names.size());
  for (const std::string& n : names) {
    bool found;
    ASSERT_TRUE(t.Seek(rt::Value(n), false, found).ok());
    ASSERT_TRUE(found) << n;
    rt::Value v;
    ASSERT_TRUE(t.FieldGet(0, v).ok());
    ASSERT_EQ(n, rt::Trim(v.AsString()));
  }
  // The key order is complete and in order.
  std::vector<std::string> walked;
  ASSERT_TRUE(t.GoTop().ok());
  while (!t.Eof()) {
    rt::Value v;
    ASSERT_TRUE(t.FieldGet(0, v).ok());
    walked.push_back(rt::Trim(v.AsString()));
    ASSERT_TRUE(t.Skip(1).ok());
  }
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.end()), walked);
  ASSERT_TRUE(t.Close().ok());
  std::string out;
  EXPECT_EQ(0, testsupport::RunCommand("/usr/bin/python3 " + testsupport::DbFixtures() + "inspect.py " +
                                           dir.File("SHARED.CDX"), &out))
      << out;
}

}  // namespace
}  // namespace db
