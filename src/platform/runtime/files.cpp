#include "files.h"

#include <filesystem>

namespace rt {

std::string WithTrailingSlash(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

std::string WorkDir() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  return WithTrailingSlash(ec ? std::string(".") : p.string());
}

}  // namespace rt
