// The pclxl commands of the w4util tool, run as a user runs them. Skipped
// when the tool has not been built in this tree.
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/pclxl/PclXlReader.h"
#include "tests/CliTool.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int RunTool(const std::string& cmd) {
  const int status = std::system((cmd + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class PclXlCli : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = w4clitest::ToolPath();
    if (tool_.empty()) GTEST_SKIP() << "the w4util tool is not built";
    dir_ = fs::temp_directory_path() / ("w4util_pclxl_cli_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  fs::path tool_, dir_;
};

TEST_F(PclXlCli, TestPageIsACompleteJob) {
  const fs::path out = dir_ / "test.pxl";
  ASSERT_EQ(RunTool("'" + tool_.string() + "' pclxl testpage '" + out.string() + "'"), 0);
  const auto bytes = ReadAll(out);
  w4pclxl::Stream s;
  std::string error;
  ASSERT_TRUE(w4pclxl::DecodeStream(bytes.data(), bytes.size(), s, error)) << error;
  EXPECT_EQ(s.headerLine.rfind(") HP-PCL XL;2;0;", 0), 0u);
  EXPECT_TRUE(s.endedWithUel);
  ASSERT_FALSE(s.operators.empty());
  EXPECT_EQ(s.operators.front().tag, 0x41);
  EXPECT_EQ(s.operators.back().tag, 0x42);
  int pages = 0, texts = 0, images = 0, openPages = 0;
  for (const auto& op : s.operators) {
    if (op.tag == 0x43) ++pages, ++openPages;
    if (op.tag == 0x44) --openPages;
    EXPECT_GE(openPages, 0);
    if (op.tag == 0xA8) ++texts;
    if (op.tag == 0xB1) {
      ++images;
      // Delta rows: each row after its two-byte length, all rows present.
      const auto data = op.joinedData();
      std::size_t pos = 0, rows = 0;
      while (pos + 2 <= data.size()) {
        pos += 2 + (data[pos] | (data[pos + 1] << 8));
        ++rows;
      }
      EXPECT_EQ(pos, data.size());
      EXPECT_EQ(static_cast<double>(rows), op.find(0x63)->at(0));
    }
  }
  EXPECT_EQ(pages, 2);
  EXPECT_EQ(openPages, 0);
  EXPECT_GE(texts, 2);
  EXPECT_EQ(images, 1);
}

TEST_F(PclXlCli, DumpReadsGoodFilesAndRejectsBadOnes) {
  const fs::path good = dir_ / "good.pxl";
  ASSERT_EQ(RunTool("'" + tool_.string() + "' pclxl testpage '" + good.string() + "'"), 0);
  EXPECT_EQ(RunTool("'" + tool_.string() + "' pclxl dump '" + good.string() + "'"), 0);
  auto bytes = ReadAll(good);
  bytes.resize(bytes.size() - 40);
  bytes.push_back(0xC1);  // a value cut short
  const fs::path bad = dir_ / "bad.pxl";
  std::ofstream(bad, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
  EXPECT_EQ(RunTool("'" + tool_.string() + "' pclxl dump '" + bad.string() + "'"), 1);
  EXPECT_EQ(RunTool("'" + tool_.string() + "' pclxl dump"), 2);
  if (std::system("command -v gs >/dev/null 2>&1") == 0) {
    const fs::path ps = dir_ / "p.ps", pxl = dir_ / "gs.pxl";
    std::ofstream(ps) << "%!PS\n/Helvetica findfont 20 scalefont setfont 72 72 moveto (gs) show showpage\n";
    ASSERT_EQ(RunTool("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pxlcolor -sOutputFile='" + pxl.string() + "' '" +
                  ps.string() + "'"),
              0);
    EXPECT_EQ(RunTool("'" + tool_.string() + "' pclxl dump '" + pxl.string() + "'"), 0);
  }
}

}  // namespace
