// The real program in a work directory where its tables cannot be created:
// the operator gets the error box, the log gets the record, and the answer
// "quit" ends the program cleanly with the error's code.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <regex>

#include "support/work_dir.h"

namespace {

struct ProgramRun {
  int exitCode = -1;
  bool crashed = true;
  std::string boxes;
  std::string log;
  std::string stderrText;
};

ProgramRun RunProgram(testsupport::TempWorkDir& dir, const std::string& answers) {
  dir.Write("answers.txt", answers);
  QProcess p;
  auto env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("RV_SCRIPTED_BOXES", QString::fromStdString(dir.File("answers.txt")));
  env.insert("RV_SCRIPTED_BOXES_LOG", QString::fromStdString(dir.File("boxes.log")));
  p.setProcessEnvironment(env);
  p.setWorkingDirectory(QString::fromStdString(dir.path()));
  p.start(RV_PROGRAM, {});
  ProgramRun r;
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    ADD_FAILURE() << "the program did not end";
    return r;
  }
  r.crashed = p.exitStatus() != QProcess::NormalExit;
  r.exitCode = p.exitCode();
  r.stderrText = p.readAllStandardError().toStdString();
  r.boxes = dir.Read("boxes.log");
  r.log = dir.Read("ZXERROR.LOG");
  return r;
}

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

}  // namespace

TEST(ErrorsEndToEnd, ATableThatCannotBeCreatedShowsTheBoxLogsAndQuitsWithTheErrorCode) {
  testsupport::TempWorkDir dir;
  // A folder where the form table belongs: the table cannot be created.
  std::filesystem::create_directory(dir.File("FORM.DBF"));

  ProgramRun run = RunProgram(dir, "3\n");  // the operator quits
  ASSERT_FALSE(run.crashed) << run.stderrText;

  // One English error box naming the table, with quit among its answers.
  ASSERT_EQ(Count(run.boxes, "--- box\n"), 1u) << run.boxes;
  EXPECT_NE(run.boxes.find("title: ERROR\n"), std::string::npos) << run.boxes;
  EXPECT_NE(run.boxes.find("Quit=3"), std::string::npos) << run.boxes;
  EXPECT_NE(run.boxes.find("answer: 3\n"), std::string::npos) << run.boxes;
  EXPECT_EQ(run.boxes.find("not offered"), std::string::npos) << run.boxes;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.boxes, m, std::regex("text:\n(Error Code:  ([0-9]+) \\[ [A-Z ]+ \\]\n[\\s\\S]*?)\n--- end\n")))
      << run.boxes;
  std::string boxText = m[1];
  int gencode = std::stoi(m[2]);
  EXPECT_GT(gencode, 0);
  EXPECT_NE(boxText.find("FORM.DBF"), std::string::npos) << boxText;

  // The log holds one record with the text of the box.
  std::string crlf;
  for (char ch : boxText) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  EXPECT_EQ(run.log.rfind("***********************ERROR****", 0), 0u) << run.log;
  EXPECT_EQ(Count(run.log, "Error Object created:\r\n"), 1u) << run.log;
  EXPECT_NE(run.log.find("Error message:\r\n--------------\r\n" + crlf + "\r\nError Object created:"), std::string::npos)
      << run.log << "\n---\n" << crlf;

  // Quit ends the program cleanly with the error's general code.
  EXPECT_EQ(run.exitCode, gencode) << run.stderrText;
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("FORM.DBF")));
}
