// `w4util printer` and `w4util reg` run as a user runs them, each test on a
// store folder of its own. Skipped when the tool has not been built in this
// tree. The tool is found beside this test binary's build tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/CliTool.h"

namespace {

namespace fs = std::filesystem;

class HostStoreCli : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = w4clitest::ToolPath();
    if (tool_.empty()) GTEST_SKIP() << "the w4util tool is not built";
    char tmpl[] = "/tmp/w4cli-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }

  // Runs the tool with shell-quoted arguments on this test's store; out gets
  // stdout, err stderr.
  int Run(const std::string& args, std::string* out = nullptr, std::string* err = nullptr) {
    const std::string errFile = (dir_ / "stderr").string();
    const std::string cmd = "'" + tool_ + "' --store '" + (dir_ / "store").string() + "' " +
                            args + " 2>'" + errFile + "'";
    std::string text;
    const int code = w4clitest::RunShell(cmd, text);
    if (out != nullptr) *out = text;
    if (err != nullptr) *err = Slurp(errFile);
    return code;
  }
  static std::string Slurp(const fs::path& path) { return w4clitest::ReadWholeFile(path); }

  std::string tool_;
  fs::path dir_;
};

TEST_F(HostStoreCli, PrinterQueuesAndTheirData) {
  std::string out, err;
  ASSERT_EQ(Run("printer add Office --driver 'Zelvo PCL' --port FILE:"), 0);
  ASSERT_EQ(Run("printer add Hall"), 0);
  EXPECT_EQ(Run("printer add office", nullptr, &err), 1);
  EXPECT_NE(err.find("exists"), std::string::npos);
  ASSERT_EQ(Run("printer list", &out), 0);
  EXPECT_EQ(out, "Hall\tZelvo Universal\tLPT1:\nOffice\tZelvo PCL\tFILE:\n");

  EXPECT_EQ(Run("printer data set Office Copies 3 --type dword"), 0);
  EXPECT_EQ(Run("printer data set Office Blob 01,ff --type binary"), 0);
  EXPECT_EQ(Run("printer data set Office Owner 'Zoë'"), 0);
  ASSERT_EQ(Run("printer data get Office copies", &out), 0);
  EXPECT_EQ(out, "0x00000003 (3)\n");
  ASSERT_EQ(Run("printer data list Office", &out), 0);
  EXPECT_EQ(out,
            "Copies\tREG_DWORD\t0x00000003 (3)\nBlob\tREG_BINARY\t01 ff\n"
            "Owner\tREG_SZ\tZo\xC3\xAB\n");
  ASSERT_EQ(Run("printer data list Hall", &out), 0);
  EXPECT_EQ(out, "");

  // Errors: unknown printer or value exit 1 with a message; usage errors 2.
  EXPECT_EQ(Run("printer data get Nowhere Copies", nullptr, &err), 1);
  EXPECT_NE(err.find("no printer named \"Nowhere\""), std::string::npos);
  EXPECT_EQ(Run("printer data get Office Missing", nullptr, &err), 1);
  EXPECT_NE(err.find("Missing"), std::string::npos);
  EXPECT_EQ(Run("printer remove Nowhere"), 1);
  EXPECT_EQ(Run("printer data set Office X 12z --type dword"), 2);
  EXPECT_EQ(Run("printer data set Office X 1 --type float"), 2);
  EXPECT_EQ(Run("printer data set Office X 0x100000000 --type dword"), 2);
  EXPECT_EQ(Run("printer data get Office"), 2);
  EXPECT_EQ(Run("printer"), 2);

  EXPECT_EQ(Run("printer remove Hall"), 0);
  ASSERT_EQ(Run("printer list", &out), 0);
  EXPECT_EQ(out, "Office\tZelvo PCL\tFILE:\n");
}

// The folder given with --store is the one used, wherever the option stands.
TEST_F(HostStoreCli, StoreOptionChoosesTheFolder) {
  std::string out;
  const std::string other = (dir_ / "other").string();
  ASSERT_EQ(Run("reg set --store '" + other + "' 'HKLM\\SOFTWARE\\Zelvo' V 1 --type dword"), 0);
  EXPECT_TRUE(fs::exists(dir_ / "other" / "registry" / "machine.db"));
  EXPECT_EQ(Run("reg query 'HKLM\\SOFTWARE\\Zelvo' V"), 1);  // not in the default one
  ASSERT_EQ(Run("reg query --store '" + other + "' 'HKLM\\SOFTWARE\\Zelvo' V", &out), 0);
  EXPECT_EQ(out, "0x00000001 (1)\n");
}

TEST_F(HostStoreCli, RegQuerySetDeleteAndUsage) {
  std::string out, err;
  const std::string key = "'HKLM\\SOFTWARE\\Zelvo\\Cli'";
  ASSERT_EQ(Run("reg set " + key + " Text 'a\"b'"), 0);
  ASSERT_EQ(Run("reg set " + key + " @ default"), 0);
  ASSERT_EQ(Run("reg set " + key + " Big 0x0102030405060708 --type qword"), 0);
  ASSERT_EQ(Run("reg set 'HKLM\\SOFTWARE\\Zelvo\\Cli\\Sub' N -1 --type dword"), 0);
  ASSERT_EQ(Run("reg query " + key, &out), 0);
  EXPECT_EQ(out,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zelvo\\Cli\n"
            "    Text    REG_SZ    a\"b\n"
            "    (Default)    REG_SZ    default\n"
            "    Big    REG_QWORD    0x0102030405060708 (72623859790382856)\n"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zelvo\\Cli\\Sub\n");
  ASSERT_EQ(Run("reg query 'hklm\\software\\zelvo\\cli\\sub' n", &out), 0);
  EXPECT_EQ(out, "0xffffffff (4294967295)\n");

  EXPECT_EQ(Run("reg delete " + key + " Text"), 0);
  EXPECT_EQ(Run("reg query " + key + " Text", nullptr, &err), 1);
  EXPECT_NE(err.find("not found"), std::string::npos);
  EXPECT_EQ(Run("reg delete " + key), 0);
  EXPECT_EQ(Run("reg query " + key), 1);
  EXPECT_EQ(Run("reg delete " + key), 1);

  EXPECT_EQ(Run("reg query 'HKXX\\a'"), 2);
  EXPECT_EQ(Run("reg delete HKLM"), 2);
  EXPECT_EQ(Run("reg set " + key + " V zz --type binary"), 2);
  EXPECT_EQ(Run("reg set " + key), 2);
  EXPECT_EQ(Run("reg frobnicate"), 2);
  // Names the store refuses: an overlong key component.
  EXPECT_EQ(Run("reg set 'HKLM\\" + std::string(300, 'k') + "' V 1"), 1);
}

TEST_F(HostStoreCli, ExportWritesTheEditorsTextFormAndImportReadsItBack) {
  const std::string key = "'HKLM\\SOFTWARE\\Zelvo\\Export'";
  ASSERT_EQ(Run("reg set " + key + " Text 'say \"hi\" \\ there'"), 0);
  ASSERT_EQ(Run("reg set " + key + " Count 10 --type dword"), 0);
  ASSERT_EQ(Run("reg set " + key + " Bytes 00112233445566778899aabbccddeeff00112233445566778899 "
                "--type binary"),
            0);
  ASSERT_EQ(Run("reg set " + key + " Path '%TEMP%' --type expand_sz"), 0);
  ASSERT_EQ(Run("reg set 'HKLM\\SOFTWARE\\Zelvo\\Export\\Child' @ x"), 0);
  const fs::path file = dir_ / "export.reg";
  ASSERT_EQ(Run("reg export " + key + " '" + file.string() + "'"), 0);
  const std::string text = Slurp(file);
  EXPECT_EQ(text,
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zelvo\\Export]\n"
            "\"Text\"=\"say \\\"hi\\\" \\\\ there\"\n"
            "\"Count\"=dword:0000000a\n"
            "\"Bytes\"=hex:00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff,00,11,22,33,44,55,\\\n"
            "  66,77,88,99\n"
            "\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zelvo\\Export\\Child]\n"
            "@=\"x\"\n\n");

  // Back into an empty store, then out again: the same text.
  const std::string fresh = (dir_ / "fresh").string();
  ASSERT_EQ(Run("reg import --store '" + fresh + "' '" + file.string() + "'"), 0);
  std::string again;
  ASSERT_EQ(Run("reg export --store '" + fresh + "' " + key, &again), 0);
  EXPECT_EQ(again, text);

  // The editor's own UTF-16LE files, deletions included.
  std::u16string edit =
      u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zelvo\\Export]\r\n"
      u"\"Count\"=-\r\n\"Caf\u00e9\"=\"cr\u00e8me\"\r\n\r\n"
      u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Zelvo\\Export\\Child]\r\n";
  const fs::path utf16 = dir_ / "edit.reg";
  std::ofstream(utf16, std::ios::binary)
      .write(reinterpret_cast<const char*>(edit.data()), static_cast<std::streamsize>(edit.size() * 2));
  ASSERT_EQ(Run("reg import '" + utf16.string() + "'"), 0);
  std::string out;
  ASSERT_EQ(Run("reg query " + key, &out), 0);
  EXPECT_EQ(out.find("Count"), std::string::npos);
  EXPECT_NE(out.find("Caf\xC3\xA9    REG_SZ    cr\xC3\xA8me"), std::string::npos);
  EXPECT_EQ(out.find("Child"), std::string::npos);

  // Malformed files fail with the line, and change nothing after it.
  const struct {
    const char* body;
    const char* message;
  } bad[] = {
      {"not a registry file\n", "no header"},
      {"Windows Registry Editor Version 5.00\n\"v\"=dword:1\n", ":2: value outside a key"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\Zelvo\\B]\n\"v\"=dword:xyz\n",
       ":3: bad dword"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\Zelvo\\B]\n\"v\"=hex:1,2g\n",
       ":3: bad hex"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\Zelvo\\B]\n\"v=\"x\n",
       ":3: expected \"=\""},
      {"Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\Zelvo\\B]\n\"v\"=\"open\n",
       ":3: unterminated string"},
      {"Windows Registry Editor Version 5.00\n[HKXX\\B]\n", "unknown registry root"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\Zelvo\\B]\n\"v\"=hex(zz):00\n",
       ":3: bad hex(type)"},
      {"", "empty"},
  };
  for (const auto& b : bad) {
    const fs::path path = dir_ / "bad.reg";
    std::ofstream(path, std::ios::binary) << b.body;
    std::string err;
    EXPECT_EQ(Run("reg import '" + path.string() + "'", nullptr, &err), 1) << b.body;
    EXPECT_NE(err.find(b.message), std::string::npos) << err;
  }
  EXPECT_EQ(Run("reg import '" + (dir_ / "missing.reg").string() + "'"), 1);
}

}  // namespace
