// Result of an engine operation: ok, or a general error code with the
// operating-system code and a description naming the file and what is wrong.
#pragma once
#include <cstdint>
#include <string>

#include "platform/runtime/error.h"

namespace db {

struct Status {
  uint32_t genCode = 0;     // rt::EG_* code; 0 = ok
  uint32_t osCode = 0;      // errno, 0 when none
  std::string description;  // "FORM.CDX: page 0x600 is damaged (...)"

  bool ok() const { return genCode == 0; }
  static Status Ok() { return {}; }
  static Status Error(uint32_t gen, std::string what, uint32_t os = 0) { return {gen, os, std::move(what)}; }
  static Status Corrupt(const std::string& file, const std::string& what) {
    return {rt::EG_CORRUPTION, 0, file + ": " + what};
  }
};

}  // namespace db
