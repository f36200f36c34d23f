#include "server_process.h"

#include <QProcessEnvironment>
#include <grp.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {

namespace {
constexpr size_t kRecordSize = 1050;
constexpr size_t kSlotSize = 255;
constexpr size_t kFolderSlot = 259;
constexpr size_t kPrinterSlot = 540;
constexpr size_t kTypeSlot = 795;
constexpr size_t kLeftMargin = 522;   // int32, little-endian

void PutSlot(std::string& rec, size_t offset, const std::string& text) {
  // The slots hold CP1250; the tests use plain ASCII names only.
  for (unsigned char c : text)
    if (c >= 0x80) throw std::invalid_argument("settings text must be ASCII: " + text);
  if (text.size() >= kSlotSize) throw std::invalid_argument("settings text too long: " + text);
  rec.replace(offset, text.size(), text);
}
}  // namespace

std::string SettingsRecord(const ServerSettings& s) {
  std::string rec(kRecordSize, '\0');
  // Magic number 0x5F3E4A05, little-endian.
  rec[0] = '\x05';
  rec[1] = '\x4A';
  rec[2] = '\x3E';
  rec[3] = '\x5F';
  PutSlot(rec, kFolderSlot, s.folder);
  PutSlot(rec, kPrinterSlot, s.printer);
  PutSlot(rec, kTypeSlot, s.printerType);
  for (int i = 0; i < 4; ++i) rec[kLeftMargin + i] = char((uint32_t(s.leftMargin) >> (8 * i)) & 0xFF);
  return rec;
}

std::string ProgramPath() { return RV_PROGRAM; }

ServerProcess::ServerProcess(const std::string& workDir, const ServerSettings& settings)
    : process_(std::make_unique<QProcess>()) {
  dir_ = workDir.empty() || workDir.back() == '/' ? workDir : workDir + "/";
  const std::string& dir = dir_;
  std::ofstream(dir + "KWVAROZE.CFG", std::ios::binary) << SettingsRecord(settings);
  // Boxes are answered with their default and recorded, so none can wait
  // for a person (an empty answers file).
  std::ofstream(dir + "e2e-box-answers.txt").flush();

  auto env = QProcessEnvironment::systemEnvironment();  // holds CUPS_SERVER of the test's cupsd
  env.insert("QT_QPA_PLATFORM", "offscreen");
  if (!settings.cupsServer.empty()) env.insert("CUPS_SERVER", QString::fromStdString(settings.cupsServer));
  env.insert("RV_SCRIPTED_BOXES", QString::fromStdString(dir + "e2e-box-answers.txt"));
  env.insert("RV_SCRIPTED_BOXES_LOG", QString::fromStdString(dir + "e2e-boxes.log"));
  process_->setProcessEnvironment(env);
  process_->setWorkingDirectory(QString::fromStdString(dir));
  // Into a file, so that a chatty program never blocks on a full pipe.
  process_->setProcessChannelMode(QProcess::MergedChannels);
  process_->setStandardOutputFile(QString::fromStdString(dir + "e2e-server.log"));
  if (settings.runAsUid >= 0) {
    uid_t uid = uid_t(settings.runAsUid);
    gid_t gid = gid_t(settings.runAsGid);
    process_->setChildProcessModifier([uid, gid] {
      if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(126);
    });
  }
  process_->start(QString::fromStdString(ProgramPath()), {});
  process_->waitForStarted(10000);
}

ServerProcess::~ServerProcess() {
  if (Running()) Stop();
}

bool ServerProcess::Running() {
  return process_->state() != QProcess::NotRunning && !process_->waitForFinished(0);
}

pid_t ServerProcess::Pid() const { return pid_t(process_->processId()); }

bool ServerProcess::Stop(int timeoutMs) {
  if (!Running()) return true;
  ::kill(Pid(), SIGTERM);
  if (process_->waitForFinished(timeoutMs)) return true;
  process_->kill();
  process_->waitForFinished(5000);
  return false;
}

std::string ServerProcess::State() {
  if (Running()) return "the program is running";
  if (process_->exitStatus() == QProcess::CrashExit) return "the program crashed";
  return "the program ended with exit code " + std::to_string(process_->exitCode());
}

std::string ServerProcess::Output() {
  auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  return "--- " + State() + "; its output:\n" + read(dir_ + "e2e-server.log") + "--- boxes:\n" + read(dir_ + "e2e-boxes.log");
}

}  // namespace e2e
