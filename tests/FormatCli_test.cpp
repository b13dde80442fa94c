// `w4util format` run as a user runs it. Skipped when the tool has not been
// built in this tree.
#include <gtest/gtest.h>

#include <string>

#include "tests/CliTool.h"

namespace {

class FormatCli : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = w4clitest::ToolPath();
    if (tool_.empty()) GTEST_SKIP() << "the w4util tool is not built";
  }

  // Runs the tool with shell-quoted arguments; returns the exit code and
  // fills out with stdout.
  int Run(const std::string& args, std::string& out, const std::string& env = "") {
    return w4clitest::RunShell(env + " '" + tool_ + "' format " + args + " 2>/dev/null", out);
  }

  std::string tool_;
};

TEST_F(FormatCli, PrintsTheFormattedText) {
  const struct {
    const char* args;
    const char* want;
  } cases[] = {
      {"'%s %d %5.2f %x' printer 4711 3.14159 48879", "printer 4711  3.14 beef\n"},
      {"'%S|%-6s|%c|%%' 'caf\xC3\xA9' ab A", "caf\xC3\xA9|ab    |A|%\n"},
      {"'%I64d %ld' 123456789012 -5", "123456789012 -5\n"},
      {"'%*d|%k|abc%' 4 7", "   7|%k|abc%\n"},
      {"'%n%s' 0 x", "x\n"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(Run(c.args, out), 0) << c.args;
    EXPECT_EQ(out, c.want) << c.args;
  }
}

// Narrow (%S) arguments pass through the ANSI code page, which the
// environment may name.
TEST_F(FormatCli, AnsiCodePageComesFromTheEnvironment) {
  std::string out;
  ASSERT_EQ(Run("'%S' '\xD0\x96'", out, "env -u W4UTIL_ANSI_CODEPAGE"), 0);
  EXPECT_EQ(out, "?\n");  // not in Windows-1252
  ASSERT_EQ(Run("'%S' '\xD0\x96'", out, "W4UTIL_ANSI_CODEPAGE=1251"), 0);
  EXPECT_EQ(out, "\xD0\x96\n");
  ASSERT_EQ(Run("'%S' '\xD0\x96'", out, "W4UTIL_ANSI_CODEPAGE=ISO-8859-5"), 0);
  EXPECT_EQ(out, "\xD0\x96\n");
}

TEST_F(FormatCli, BadUsageExitsWithTwo) {
  const char* cases[] = {"", "'%d' abc", "'%d %d' 1", "'%s' a b", "'%f' 1e999"};
  for (const char* args : cases) {
    std::string out;
    EXPECT_EQ(Run(args, out), 2) << args;
  }
}

}  // namespace
