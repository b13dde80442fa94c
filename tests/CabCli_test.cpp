// `w4util cab` and `w4util compress|expand` run as a user runs them, on
// temporary files; the cabinets are also read back with cabextract.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/CliTool.h"

namespace {

namespace fs = std::filesystem;

class CabCli : public ::testing::Test {
 protected:
  void SetUp() override {
    m_tool = w4clitest::ToolPath();
    if (m_tool.empty()) GTEST_SKIP() << "the w4util tool is not built";
    m_dir = fs::temp_directory_path() / ("w4util-cabcli-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  // Runs the tool; returns the exit code, stdout in `out`, stderr in `err`.
  int Run(const std::string& args, std::string& out, std::string& err) {
    const fs::path errFile = m_dir / "stderr";
    const int code = w4clitest::RunShell(
        "cd '" + m_dir.string() + "' && '" + m_tool + "' " + args + " 2>'" + errFile.string() + "'", out);
    err = Slurp(errFile);
    return code;
  }
  static std::string Slurp(const fs::path& p) { return w4clitest::ReadWholeFile(p); }
  void Write(const std::string& name, const std::string& content) {
    std::ofstream(m_dir / name, std::ios::binary) << content;
  }

  std::string m_tool;
  fs::path m_dir;
};

TEST_F(CabCli, CreateListExtract) {
  std::string big;
  for (int i = 0; i < 5000; ++i) big += "feature=" + std::to_string(i % 300) + ";";
  Write("a.txt", "alpha");
  Write("big.txt", big);
  std::string out, err;
  ASSERT_EQ(Run("cab create set.cab a.txt big.txt", out, err), 0) << err;
  ASSERT_EQ(Run("cab list set.cab", out, err), 0) << err;
  EXPECT_EQ(out, "5\ta.txt\n" + std::to_string(big.size()) + "\tbig.txt\n");
  ASSERT_EQ(Run("cab extract set.cab x", out, err), 0) << err;
  EXPECT_EQ(Slurp(m_dir / "x" / "a.txt"), "alpha");
  EXPECT_EQ(Slurp(m_dir / "x" / "big.txt"), big);
  if (std::system("cabextract --version >/dev/null 2>&1") == 0) {
    EXPECT_EQ(std::system(("cabextract -q -t '" + (m_dir / "set.cab").string() + "' >/dev/null").c_str()), 0);
  }
}

TEST_F(CabCli, CompressAndExpandAFile) {
  std::string data;
  for (int i = 0; i < 70000; ++i) data += static_cast<char>((i * 31) % 7 + 'a');
  Write("plain", data);
  std::string out, err;
  ASSERT_EQ(Run("compress plain state", out, err), 0) << err;
  const std::string state = Slurp(m_dir / "state");
  ASSERT_GE(state.size(), 13u);
  EXPECT_EQ(state.substr(state.size() - 4), "COM5");
  EXPECT_EQ(state.substr(0, 4), "MSCF");
  ASSERT_EQ(Run("expand state back", out, err), 0) << err;
  EXPECT_EQ(Slurp(m_dir / "back"), data);
}

TEST_F(CabCli, FailuresExitWithOneAndAMessage) {
  Write("junk", "this is no compressed state");
  const char* commands[] = {"expand junk out", "cab list junk", "cab extract missing.cab x",
                            "cab create out.cab missing.txt", "compress missing out"};
  for (const char* command : commands) {
    std::string out, err;
    EXPECT_EQ(Run(command, out, err), 1) << command;
    EXPECT_FALSE(err.empty()) << command;
  }
  std::string out, err;
  EXPECT_EQ(Run("cab create", out, err), 2);
}

}  // namespace
