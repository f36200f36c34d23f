#include "program_info.h"

#include <filesystem>

namespace rt {

std::string ProgramFile() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

std::string VersionText() { return "Rivodiva Runtime 1.0"; }

}  // namespace rt
