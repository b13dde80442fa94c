// `w4util settings`, `w4util job` and `w4util demo` run as a user runs them,
// on a temporary store (--store). Queues are made and stored values damaged
// through the registry store itself, beside the tool. Skipped when the tool
// has not been built in this tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/CliTool.h"
#include "w4util/platform/RegistryStore.h"
#include "w4util/platform/SpoolerService.h"

namespace {

namespace fs = std::filesystem;
using w4platform::PrinterHandle;
using w4platform::RegistryStore;
using w4platform::SpoolerService;

std::string ReadFile(const fs::path& path) { return w4clitest::ReadWholeFile(path); }

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class SettingsCli : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = w4clitest::ToolPath();
    if (tool_.empty()) GTEST_SKIP() << "the w4util tool is not built";
    char pattern[] = "/tmp/w4util-settings-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    store_ = dir_ / "store";
    AddQueue(u"Office");
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }

  // Runs the tool with shell-quoted arguments and --store (after the
  // command words); returns the exit code, stdout in out, stderr in err.
  int Run(const std::string& command, const std::string& args, std::string& out, std::string& err) {
    const fs::path errFile = dir_ / "stderr.txt";
    const std::string line = "W4UTIL_HOME='" + (dir_ / "home").string() + "' '" + tool_ + "' " + command +
                             " --store '" + store_.string() + "' " + args + " 2>'" + errFile.string() + "'";
    const int code = w4clitest::RunShell(line, out);
    err = ReadFile(errFile);
    return code;
  }
  int Run(const std::string& command, const std::string& args, std::string& out) {
    std::string err;
    const int code = Run(command, args, out, err);
    EXPECT_TRUE(code != 0 || err.empty()) << err;
    return code;
  }

  // The store is opened only for the call, so the tool is not kept waiting.
  template <typename Work>
  void WithSpooler(const char16_t* queue, Work work) {
    std::unique_ptr<RegistryStore> store = RegistryStore::OpenFolder(store_.string());
    SpoolerService spooler(*store);
    PrinterHandle h = 0;
    w4platform::PrinterDefaults admin;
    admin.DesiredAccess = w4platform::PRINTER_ALL_ACCESS;
    ASSERT_EQ(spooler.OpenPrinter(queue, &h, &admin), 0u);
    work(spooler, h);
    spooler.ClosePrinter(h);
  }
  void AddQueue(const char16_t* name) {
    std::unique_ptr<RegistryStore> store = RegistryStore::OpenFolder(store_.string());
    SpoolerService spooler(*store);
    std::u16string n = name, port = u"FILE:", driver = u"Zelvo Universal";
    w4platform::PrinterInfo2 info{};
    info.pPrinterName = n.data();
    info.pPortName = port.data();
    info.pDriverName = driver.data();
    PrinterHandle h = 0;
    ASSERT_EQ(spooler.AddPrinter(2, &info, &h), 0u);
    spooler.ClosePrinter(h);
  }
  // "ZlvDeviceSettings" as stored; "<absent>" when there is none.
  std::string Stored(const char16_t* queue = u"Office") {
    std::string bytes = "<absent>";
    WithSpooler(queue, [&](SpoolerService& spooler, PrinterHandle h) {
      std::uint32_t type = 0, needed = 0;
      if (spooler.GetPrinterData(h, u"ZlvDeviceSettings", &type, nullptr, 0, &needed) != 234) return;
      std::vector<std::uint8_t> data(needed);
      ASSERT_EQ(spooler.GetPrinterData(h, u"ZlvDeviceSettings", &type, data.data(), needed, &needed), 0u);
      bytes.assign(data.begin(), data.end());
    });
    return bytes;
  }
  void Store(const std::string& bytes, const char16_t* queue = u"Office") {
    WithSpooler(queue, [&](SpoolerService& spooler, PrinterHandle h) {
      ASSERT_EQ(spooler.SetPrinterData(h, u"ZlvDeviceSettings", 3, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       static_cast<std::uint32_t>(bytes.size())),
                0u);
    });
  }
  std::uint32_t JobCount(const char16_t* queue = u"Office") {
    std::uint32_t count = 0;
    WithSpooler(queue, [&](SpoolerService& spooler, PrinterHandle h) {
      std::uint32_t needed = 0, returned = 0;
      spooler.EnumJobs(h, 0, 1000, 1, nullptr, 0, &needed, &returned);
      std::vector<std::uint8_t> buffer(needed + 1);
      ASSERT_EQ(spooler.EnumJobs(h, 0, 1000, 1, buffer.data(), needed, &needed, &returned), 0u);
      count = returned;
    });
    return count;
  }
  // Sets the settings the tests start from.
  void SetSome() {
    std::string out;
    for (const char* a : {"172=dim:210mm", "s:MyFeature=str:Hello", "9=res:600x1200/1", "5=101", "3=bool:true",
                          "s:Tray=s:Upper", "50=blob:00ff10", "60=time:2026-01-15T09:30:00Z", "11=range:1..99",
                          "40=dimrange:76.2mm..215.9mm", "2=int:-7"}) {
      ASSERT_EQ(Run("settings set", std::string("--printer Office '") + a + "'", out), 0) << a;
    }
  }

  std::string tool_;
  fs::path dir_;
  fs::path store_;
};

TEST_F(SettingsCli, SetGetShowAndUnset) {
  std::string out;
  ASSERT_EQ(Run("settings show", "--printer Office", out), 0);
  EXPECT_TRUE(Contains(out, "no stored settings")) << out;
  EXPECT_EQ(Stored(), "<absent>");  // showing writes nothing

  ASSERT_EQ(Run("settings set", "--printer Office 172=dim:210mm", out), 0);
  EXPECT_TRUE(Contains(out, "172")) << out;
  EXPECT_TRUE(Contains(out, "feature")) << out;
  EXPECT_TRUE(Contains(out, "dimension")) << out;
  EXPECT_TRUE(Contains(out, "dim:210mm")) << out;
  EXPECT_TRUE(Contains(out, "specified")) << out;
  SetSome();
  ASSERT_EQ(Run("settings set", "--printer Office --unspecified 13=int:0", out), 0);
  EXPECT_TRUE(Contains(out, "unspecified")) << out;

  const struct {
    const char* id;
    const char* kind;
    const char* type;
    const char* value;
  } cases[] = {
      {"172", "feature", "dimension", "dim:210mm"},
      {"s:MyFeature", "new-feature", "string", "str:Hello"},
      {"9", "feature", "resolution", "res:600x1200/1"},
      {"5", "feature", "option", "101"},
      {"3", "feature", "boolean", "bool:true"},
      {"s:Tray", "new-feature", "option", "s:Upper"},
      {"50", "feature", "blob", "blob:00ff10"},
      {"60", "feature", "date-time", "time:2026-01-15T09:30:00Z"},
      {"11", "feature", "range", "range:1..99"},
      {"40", "feature", "dimension-range", "dimrange:76.2mm..215.9mm"},
      {"2", "feature", "integer", "int:-7"},
  };
  std::string all;
  ASSERT_EQ(Run("settings show", "--printer Office", all), 0);
  EXPECT_TRUE(Contains(all, "12 attribute(s), stored in")) << all;
  for (const auto& c : cases) {
    ASSERT_EQ(Run("settings get", std::string("--printer Office '") + c.id + "'", out), 0) << c.id;
    for (const char* part : {c.id, c.kind, c.type, c.value}) EXPECT_TRUE(Contains(out, part)) << c.id << ": " << out;
    EXPECT_TRUE(Contains(all, out)) << out;  // show has the same line
  }
  ASSERT_EQ(Run("settings unset", "--printer Office 5", out), 0);
  std::string err;
  EXPECT_EQ(Run("settings get", "--printer Office 5", out, err), 1);
  EXPECT_TRUE(Contains(err, "no setting 5")) << err;
  EXPECT_EQ(Run("settings unset", "--printer Office 5", out, err), 1);
}

TEST_F(SettingsCli, ExportAndImportTheWholeSet) {
  SetSome();
  AddQueue(u"Copy");
  std::string out, shown, copied;
  const fs::path json = dir_ / "settings.json", bytes = dir_ / "settings.bin";
  ASSERT_EQ(Run("settings export", "--printer Office -o '" + json.string() + "'", out), 0);
  ASSERT_EQ(Run("settings export", "--printer Office --format bytes -o '" + bytes.string() + "'", out), 0);
  EXPECT_EQ(ReadFile(bytes), Stored());

  // Python's json module reads the export.
  const std::string check = "python3 -c \"import json,sys; d=json.load(open(sys.argv[1])); "
                            "print(len(d['settings']), d['settings'][0]['id'], d['settings'][0]['specified'])\" '" +
                            json.string() + "'";
  std::string printed;
  ASSERT_EQ(w4clitest::RunShell(check, printed), 0);
  EXPECT_EQ(printed, "11 2 True\n");

  ASSERT_EQ(Run("settings show", "--printer Office", shown), 0);
  for (const char* format : {"json", "bytes"}) {
    SCOPED_TRACE(format);
    const fs::path& file = std::string(format) == "json" ? json : bytes;
    ASSERT_EQ(Run("settings import", std::string("--printer Copy --format ") + format + " '" + file.string() + "'", out), 0);
    EXPECT_TRUE(Contains(out, "imported 11 attribute(s)")) << out;
    ASSERT_EQ(Run("settings show", "--printer Copy", copied), 0);
    EXPECT_EQ(copied.substr(copied.find('\n')), shown.substr(shown.find('\n')));
    EXPECT_EQ(Stored(u"Copy"), Stored());
  }
}

// The stored value is a 16-byte header, then a cabinet, then a 13-byte
// footer: a standard cabinet tool opens the middle.
TEST_F(SettingsCli, StoredSettingsHoldAStandardCabinet) {
  if (std::system("command -v cabextract >/dev/null 2>&1") != 0) GTEST_SKIP() << "cabextract is not installed";
  SetSome();
  const std::string stored = Stored();
  ASSERT_GT(stored.size(), 16u + 13u);
  EXPECT_EQ(stored.substr(stored.size() - 4), "COM5");
  const fs::path cab = dir_ / "settings.cab", extracted = dir_ / "extracted.bin";
  WriteFile(cab, stored.substr(16, stored.size() - 16 - 13));
  ASSERT_EQ(std::system(("cabextract -q -p '" + cab.string() + "' >'" + extracted.string() + "'").c_str()), 0);
  const std::string restored = ReadFile(extracted);
  ASSERT_GE(restored.size(), 20u);
  EXPECT_EQ(restored.substr(0, 4), "ABNS");
  EXPECT_TRUE(Contains(restored, "ABIL")) << restored.size();
}

TEST_F(SettingsCli, FailuresSayWhatAndChangeNothing) {
  SetSome();
  const std::string before = Stored();
  std::string out, err;
  const struct {
    const char* command;
    const char* args;
    const char* says;
  } cases[] = {
      {"settings show", "--printer Nowhere", "Nowhere"},
      {"settings set", "--printer Nowhere 172=dim:210mm", "Nowhere"},
      {"settings set", "--printer Office 172=dim:210", "dim:210"},
      {"settings set", "--printer Office 172=dim:abcmm", "dim:abcmm"},
      {"settings set", "--printer Office 172=bogus", "bogus"},
      {"settings set", "--printer Office 172=int:99999999999", "int:99999999999"},
      {"settings set", "--printer Office abc=1", "abc"},
      {"settings set", "--printer Office 172", "IDENTIFIER=VALUE"},
      {"settings set", "--printer Office 50=blob:0g", "blob:0g"},
      {"settings set", "--printer Office 60=time:yesterday", "time:yesterday"},
      {"settings import", "--printer Office /no/such/file.json", "/no/such/file.json"},
      {"job submit", "--printer Office 7=maybe", "7=maybe"},
      {"job params", "--printer Office --job 4242", "4242"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.command, c.args, out, err), 1) << c.args;
    EXPECT_TRUE(Contains(err, c.says)) << c.args << ": " << err;
    EXPECT_EQ(Stored(), before) << c.args;
  }
  EXPECT_EQ(JobCount(), 0u);  // the refused submit left no job
  EXPECT_EQ(Run("settings export", "--printer Office --format xml", out, err), 2);
}

TEST_F(SettingsCli, DamagedStoredSettingsAreReportedAndKeptUntilImported) {
  SetSome();
  std::string good = Stored();
  std::string out, err;
  const fs::path json = dir_ / "good.json";
  ASSERT_EQ(Run("settings export", "--printer Office -o '" + json.string() + "'", out), 0);
  std::string damaged = good;
  for (std::size_t i = 24; i < damaged.size() - 13; ++i) damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
  const std::string truncated = good.substr(0, good.size() - 7);
  std::string future = good;
  future[0] = 24;
  for (const std::string& bad : {damaged, truncated, future, std::string("0123456789")}) {
    Store(bad);
    for (const char* args : {"show --printer Office", "get --printer Office 172", "set --printer Office 172=dim:1mm",
                             "unset --printer Office 172", "export --printer Office"}) {
      EXPECT_EQ(Run(std::string("settings ") + std::string(args).substr(0, std::string(args).find(' ')),
                    std::string(args).substr(std::string(args).find(' ') + 1), out, err),
                1)
          << args;
      EXPECT_FALSE(err.empty()) << args;
      EXPECT_EQ(Stored(), bad) << args;
    }
  }
  ASSERT_EQ(Run("settings import", "--printer Office '" + json.string() + "'", out), 0);
  EXPECT_EQ(Stored(), good);
}

TEST_F(SettingsCli, JobParametersEndToEnd) {
  std::string out, err;
  ASSERT_EQ(Run("job submit", "--printer Office --document Report 1=int:100 21=str:twenty-one 11=1100 "
                              "'2=str:semi;colon=equals' 3=blob:00ff3b3d",
                out),
            0);
  ASSERT_TRUE(Contains(out, "job ")) << out;
  const std::string job = out.substr(4, out.find(' ', 4) - 4);
  ASSERT_EQ(Run("job params", "--printer Office --job " + job, out), 0);
  for (const char* line : {"number 1 = 100\n", "string 21 = twenty-one\n", "number 11 = 1100\n",
                           "string 2 = semi;colon=equals\n", "string 3 = AP87PQ==\n"}) {
    EXPECT_TRUE(Contains(out, line)) << line << out;
  }
  EXPECT_TRUE(Contains(out, "stored text: S3=")) << out;

  ASSERT_EQ(Run("job set-param", "--printer Office --job " + job + " 1=str:one", out), 0);
  ASSERT_EQ(Run("job remove", "--printer Office --job " + job + " --param 1", out), 0);
  // Only the newest entry of 1 went; 11 and 21 are untouched.
  ASSERT_EQ(Run("job params", "--printer Office --job " + job, out), 0);
  EXPECT_TRUE(Contains(out, "number 1 = 100\n")) << out;
  EXPECT_FALSE(Contains(out, "string 1 = one")) << out;
  EXPECT_TRUE(Contains(out, "number 11 = 1100\n")) << out;
  EXPECT_TRUE(Contains(out, "string 21 = twenty-one\n")) << out;
  EXPECT_EQ(Run("job remove", "--printer Office --job " + job + " --param 31", out, err), 1);
  EXPECT_TRUE(Contains(err, "no parameter 31")) << err;

  ASSERT_EQ(Run("job remove", "--printer Office --job " + job, out), 0);
  EXPECT_EQ(JobCount(), 0u);
  EXPECT_EQ(Run("job params", "--printer Office --job " + job, out, err), 1);
  EXPECT_EQ(Run("job set-param", "--printer Office --job " + job + " 1=2", out, err), 1);
}

TEST_F(SettingsCli, DemoRunsTwice) {
  std::string first, second;
  ASSERT_EQ(Run("demo", "", first), 0);
  EXPECT_TRUE(Contains(first, "created")) << first;
  EXPECT_TRUE(Contains(first, "identical records")) << first;
  EXPECT_TRUE(Contains(first, "[8/8]")) << first;
  EXPECT_TRUE(Contains(first, "them all back")) << first;
  ASSERT_EQ(Run("demo", "", second), 0);
  EXPECT_TRUE(Contains(second, "is there already")) << second;
  EXPECT_TRUE(Contains(second, "identical records")) << second;
  std::string out;
  ASSERT_EQ(Run("settings get", "--printer 'Zelvo Demo' 9", out), 0);
  EXPECT_TRUE(Contains(out, "res:1200x1200/1")) << out;
  EXPECT_EQ(JobCount(u"Zelvo Demo"), 2u);
}

}  // namespace
