// Shared by the fuzz targets: a private scratch folder and file writing.
#pragma once
#include <fstream>
#include <string>
#include <unistd.h>

namespace fuzz {

inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::string d = "/dev/shm/rv-fuzz-" + std::to_string(::getpid()) + "/";
    std::system(("mkdir -p " + d).c_str());
    return d;
  }();
  return dir;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

}  // namespace fuzz
