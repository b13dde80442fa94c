// Finding and running the w4util tool of this build tree from its tests, as
// a user runs it from a shell. The tool is named by $W4UTIL_BINARY_DIR (set
// by ctest), else found beside the tree holding the test binary (tests/ sits
// beside cli/). Stateless; safe from any test.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace w4clitest {

// The tool's path, or "" when it has not been built in this tree.
inline std::string ToolPath() {
  namespace fs = std::filesystem;
  const char* bin = std::getenv("W4UTIL_BINARY_DIR");
  std::error_code ec;
  const fs::path root = bin ? fs::path(bin) : fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path();
  const fs::path tool = fs::absolute(root / "cli" / "w4util", ec);
  return fs::exists(tool, ec) ? tool.string() : std::string();
}

// Runs a shell command line; out gets what it wrote to stdout. Returns its
// exit code, -1 when it did not run or did not exit.
inline int RunShell(const std::string& line, std::string& out) {
  out.clear();
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The whole file as bytes; "" when it cannot be read.
inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace w4clitest
