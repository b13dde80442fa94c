// `w4util crcfile` and `w4util attrs dump` run as a user runs them, on
// temporary files. Skipped when the tool has not been built in this tree.
#include <unistd.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/CliTool.h"
#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/AttributeBytesValue.h"
#include "w4util/attributes/PersistentAttributes.h"

namespace {

namespace fs = std::filesystem;

class FilesCli : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = w4clitest::ToolPath();
    if (tool_.empty()) GTEST_SKIP() << "the w4util tool is not built";
    dir_ = fs::temp_directory_path() / ("w4util-files-cli-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Runs the tool with shell-quoted arguments; returns the exit code, fills
  // out with stdout and err with stderr.
  int Run(const std::string& args, std::string& out, std::string* err = nullptr) {
    const std::string errFile = (dir_ / "stderr").string();
    const int code = w4clitest::RunShell("'" + tool_ + "' " + args + " 2>'" + errFile + "'", out);
    if (err != nullptr) *err = Read("stderr");
    return code;
  }
  std::string P(const char* name) const { return "'" + (dir_ / name).string() + "'"; }
  std::string Read(const char* name) const { return w4clitest::ReadWholeFile(dir_ / name); }
  void Write(const char* name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }

  std::string tool_;
  fs::path dir_;
};

TEST_F(FilesCli, CrcFileWriteReadCheck) {
  std::string out;
  Write("in", "abc");
  ASSERT_EQ(Run("crcfile write " + P("c") + " --from " + P("in"), out), 0);
  EXPECT_EQ(Read("c"), std::string("\xC2\x41\x24\x35\x00\x00\x00\x00" "abc", 11));
  ASSERT_EQ(Run("crcfile read " + P("c"), out), 0);
  EXPECT_EQ(out, "abc");
  ASSERT_EQ(Run("crcfile read " + P("c") + " --to " + P("out"), out), 0);
  EXPECT_EQ(Read("out"), "abc");
  ASSERT_EQ(Run("crcfile check " + P("c"), out), 0);
  EXPECT_NE(out.find("ok, 3 payload bytes, CRC-32 352441C2"), std::string::npos) << out;
  // Standard input is the default source.
  ASSERT_EQ(Run("crcfile write " + P("d") + " < " + P("in"), out), 0);
  EXPECT_EQ(Read("d"), Read("c"));
}

TEST_F(FilesCli, CrcFileFailuresExitOne) {
  std::string out, err;
  Write("bad", std::string("\x00\x00\x00\x00\x00\x00\x00\x00" "abc", 11));
  EXPECT_EQ(Run("crcfile check " + P("bad"), out, &err), 1);
  EXPECT_NE(err.find("ExceptionReadFile"), std::string::npos) << err;
  EXPECT_EQ(Run("crcfile read " + P("missing"), out, &err), 1);
  EXPECT_NE(err.find("ExceptionCreateFileForReading"), std::string::npos) << err;
  EXPECT_EQ(Run("crcfile write " + P("no/dir/f") + " --from " + P("bad"), out, &err), 1);
  EXPECT_EQ(Run("crcfile write " + P("f") + " --from " + P("missing"), out, &err), 1);
  EXPECT_EQ(Run("crcfile", out, &err), 2);
  EXPECT_EQ(Run("crcfile check", out, &err), 2);
}

TEST_F(FilesCli, AttrsDumpShowsEveryNameSpaceAndRecord) {
  AttributeBytesRawList nested;
  nested.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(172), AttributeBytesIntegerValue(2100, true)));
  AttributeBytesRawList doc;
  doc.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(42), AttributeBytesIntegerValue(4711, true)));
  doc.AddAttributeBytes(AttributeBytes(AttributeBytesNewFeatureId(CXString(u"Watermark")),
                                       AttributeBytesStringValue(CXString(u"Draft"), true)));
  doc.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(43), AttributeBytesListValue(0, nested)));
  AttributeBytesRawList device;
  device.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(7), AttributeBytesBooleanValue(true, false)));
  AttributeBytesNameSpaces spaces;
  spaces.SetNameSpaceAttributes(PersistentAttributes::GetDataModelDocPropNameSpaceId(), doc);
  spaces.SetNameSpaceAttributes(PersistentAttributes::GetDataModelDevicePropNameSpaceId(), device);
  const ByteBuffer state = PersistentAttributes(spaces).GetPersistentAttributesState();
  Write("state", std::string(state.begin(), state.end()));

  std::string out, fromStdin;
  ASSERT_EQ(Run("attrs dump " + P("state"), out), 0);
  ASSERT_EQ(Run("attrs dump - < " + P("state"), fromStdin), 0);
  EXPECT_EQ(out, fromStdin);
  for (const char* want : {"name spaces: 2", "4711", "Watermark", "Draft", "2100", "ABVTE_INTEGER", "ABVTE_STRING",
                           "ABIDE_FEATURE", "5.185.21.1.0.0.0"}) {
    EXPECT_NE(out.find(want), std::string::npos) << want << "\n" << out;
  }
  // The nested record is indented below its list.
  EXPECT_NE(out.find("\n    record"), std::string::npos) << out;

  std::string err;
  Write("short", std::string(state.begin(), state.begin() + 15));
  EXPECT_EQ(Run("attrs dump " + P("short"), out, &err), 1);
  EXPECT_NE(err.find("ExceptionMissingOrBadPersistentAttributesFormat"), std::string::npos) << err;
  Write("garbage", std::string(state.begin(), state.begin() + 16) + "garbage behind the header");
  EXPECT_EQ(Run("attrs dump " + P("garbage"), out, &err), 1);
  EXPECT_EQ(Run("attrs dump " + P("missing"), out, &err), 1);
}

}  // namespace
