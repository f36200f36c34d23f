#include "support/work_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

TempWorkDir::TempWorkDir(bool makeCurrent) {
  std::string tmpl = (fs::temp_directory_path() / "rvtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl + "/";
  if (makeCurrent) {
    previous_ = fs::current_path().string();
    fs::current_path(path_);
  }
}

TempWorkDir::~TempWorkDir() {
  std::error_code ec;
  if (!previous_.empty()) fs::current_path(previous_, ec);
  fs::remove_all(path_, ec);
}

void TempWorkDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream(File(name), std::ios::binary) << bytes;
}

std::string TempWorkDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempWorkDir::Exists(const std::string& name) const { return fs::exists(File(name)); }

std::string ArtifactDir() {
  const char* bin = std::getenv("RV_BINARY_DIR");
  std::string dir = std::string(bin ? bin : ".") + "/test-artifacts/";
  fs::create_directories(dir);
  return dir;
}

}  // namespace testsupport
