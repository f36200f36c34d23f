// Test helper: an error block that records every raised Error and answers
// retry a given number of times, then "default".
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/error.h"

namespace testsupport {

class ErrorRecorder {
 public:
  explicit ErrorRecorder(int retries = 0) : retriesLeft_(retries) {
    previous_ = rt::SetErrorBlock(rt::Value(rt::CodeBlock([this](const std::vector<rt::Value>& args) {
      auto e = std::dynamic_pointer_cast<rt::Error>(args.empty() ? nullptr : args[0].AsObject());
      if (e) errors.push_back(e);
      if (e && e->CanRetry && retriesLeft_ > 0) {
        --retriesLeft_;
        return rt::Value(true);
      }
      return rt::Value(false);
    })));
  }
  ~ErrorRecorder() { rt::SetErrorBlock(previous_); }

  std::string Descriptions() const {
    std::string all;
    for (const auto& e : errors) all += e->Description + "\n";
    return all;
  }

  std::vector<std::shared_ptr<rt::Error>> errors;

 private:
  int retriesLeft_;
  rt::Value previous_;
};

// Source folder of the fixtures beside these tests.
inline std::string DbFixtures() {
  const char* src = std::getenv("RV_SOURCE_DIR");
  return std::string(src ? src : ".") + "/tests/platform/db/fixtures/";
}

// Runs a shell command; returns its exit status and fills out with stdout.
int RunCommand(const std::string& command, std::string* out = nullptr);

}  // namespace testsupport
