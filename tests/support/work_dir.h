// A fresh temporary folder for one test, made the current directory while it
// lives (the program's work directory is the current directory).
#pragma once
#include <string>

namespace testsupport {

class TempWorkDir {
 public:
  explicit TempWorkDir(bool makeCurrent = true);
  ~TempWorkDir();
  const std::string& path() const { return path_; }      // ends in '/'
  std::string File(const std::string& name) const { return path_ + name; }
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;      // "" when missing
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
  std::string previous_;
};

// Folder for files a test leaves for people to look at (build/test-artifacts/).
std::string ArtifactDir();

}  // namespace testsupport
