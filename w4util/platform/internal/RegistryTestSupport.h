// Test support for the registry and spooler tests: a temporary data folder
// that lives as long as the object and is removed with everything in it.
// Internal; header-only so each test target can use it. Not thread-safe.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace w4util_platform_internal {

class TempFolder {
 public:
  // `prefix` names the folder in /tmp, e.g. "w4reg" for /tmp/w4reg-XXXXXX.
  explicit TempFolder(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // Empty when the folder could not be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace w4util_platform_internal
