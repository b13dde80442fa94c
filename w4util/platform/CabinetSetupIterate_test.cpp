#include "w4util/platform/CabinetSetupIterate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "w4util/platform/CabinetCompressor.h"
#include "w4util/platform/CabinetPosixFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace w4platform;

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A cabinet of three files written through the real-file callbacks.
class CabinetSetupIterate : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "w4cabsetup-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    fs::create_directories(m_dir / "src");
    fs::create_directories(m_dir / "out");
    const char* contents[] = {"first file\n", "", "third, a little longer than the others\n"};
    for (int i = 0; i < 3; ++i) {
      std::ofstream(m_dir / "src" / ("f" + std::to_string(i))) << contents[i];
      m_contents.push_back(contents[i]);
    }
    CabinetPosixFiles files;
    CabinetErf erf;
    CabinetCcab ccab;
    ccab.szCabPath = (m_dir / "").string();
    ccab.szCab = "set.cab";
    auto fci = CabinetCompressor::Create(erf, files, ccab);
    ASSERT_TRUE(fci);
    for (int i = 0; i < 3; ++i) {
      const std::string source = (m_dir / "src" / ("f" + std::to_string(i))).string();
      ASSERT_TRUE(fci->AddFile(source.c_str(), ("name" + std::to_string(i) + ".txt").c_str(), false, tcompTYPE_MSZIP));
    }
    ASSERT_TRUE(fci->FlushCabinet(false));
    ASSERT_TRUE(fci->Destroy());
    m_cabinet = Wide((m_dir / "set.cab").string());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }

  // Extracts into out/, answering FILEINCABINET with `decide(index)`.
  bool Iterate(const std::function<std::uint32_t(int, FileInCabinetInfo&)>& decide, std::uint32_t& error,
               std::vector<std::string>* extracted = nullptr) {
    int index = 0;
    return SetupIterateCabinet(m_cabinet.c_str(), 0, [&](std::uint32_t notification, std::uintptr_t p1, std::uintptr_t) -> std::uint32_t {
      if (notification == SPFILENOTIFY_FILEINCABINET) {
        auto& info = *reinterpret_cast<FileInCabinetInfo*>(p1);
        const std::u16string target = Wide((m_dir / "out" / "").string()) + info.NameInCabinet;
        target.copy(info.FullTargetName, kSetupMaxPath - 1);
        info.FullTargetName[std::min<std::size_t>(target.size(), kSetupMaxPath - 1)] = u'\0';
        return decide(index++, info);
      }
      if (notification == SPFILENOTIFY_FILEEXTRACTED && extracted != nullptr) {
        const auto& paths = *reinterpret_cast<const SetupFilePaths*>(p1);
        extracted->push_back(fs::path(std::string(paths.Target, paths.Target + std::char_traits<char16_t>::length(paths.Target))).filename().string());
      }
      return 0;
    }, error);
  }

  fs::path m_dir;
  std::u16string m_cabinet;
  std::vector<std::string> m_contents;
};

TEST_F(CabinetSetupIterate, ExtractsEveryFileWithItsTime) {
  std::uint32_t error = 99;
  std::vector<std::string> extracted;
  std::vector<std::uint16_t> dates, times;
  ASSERT_TRUE(Iterate([&](int, FileInCabinetInfo& info) {
    dates.push_back(info.DosDate);
    times.push_back(info.DosTime);
    return FILEOP_DOIT;
  }, error, &extracted));
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(extracted, (std::vector<std::string>{"name0.txt", "name1.txt", "name2.txt"}));
  for (int i = 0; i < 3; ++i) {
    const fs::path out = m_dir / "out" / ("name" + std::to_string(i) + ".txt");
    EXPECT_EQ(ReadText(out), m_contents[static_cast<std::size_t>(i)]);
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    std::tm local{};
    ::localtime_r(&st.st_mtime, &local);
    EXPECT_EQ(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday, dates[static_cast<std::size_t>(i)]);
    EXPECT_EQ((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2), times[static_cast<std::size_t>(i)]);
  }
}

TEST_F(CabinetSetupIterate, SkipAndAbortDecideTheOutcome) {
  struct Case {
    const char* label;
    std::uint32_t second;  // answer for the second file
    std::uint32_t win32Error;
    bool ok;
    std::uint32_t error;
    bool thirdWritten;
  } cases[] = {
      {"skip", FILEOP_SKIP, 0, true, 0, true},
      {"abort_without_error", FILEOP_ABORT, 0, true, 0, false},
      {"abort_with_error", FILEOP_ABORT, 1223, false, 1223, false},
      {"unknown_answer", 7, 0, false, kSetupErrorInvalidParameter, false},
  };
  for (const Case& c : cases) {
    fs::remove_all(m_dir / "out");
    fs::create_directories(m_dir / "out");
    std::uint32_t error = 99;
    const bool ok = Iterate([&](int index, FileInCabinetInfo& info) {
      if (index != 1) return FILEOP_DOIT;
      info.Win32Error = c.win32Error;
      return c.second;
    }, error);
    EXPECT_EQ(ok, c.ok) << c.label;
    EXPECT_EQ(error, c.error) << c.label;
    EXPECT_TRUE(fs::exists(m_dir / "out" / "name0.txt")) << c.label;
    EXPECT_FALSE(fs::exists(m_dir / "out" / "name1.txt")) << c.label;
    EXPECT_EQ(fs::exists(m_dir / "out" / "name2.txt"), c.thirdWritten) << c.label;
  }
}

TEST_F(CabinetSetupIterate, FailuresGiveTheirCodes) {
  std::uint32_t error = 0;
  const auto doIt = [](int, FileInCabinetInfo&) { return FILEOP_DOIT; };
  m_cabinet = Wide((m_dir / "missing.cab").string());
  EXPECT_FALSE(Iterate(doIt, error));
  EXPECT_EQ(error, kSetupErrorFileNotFound);

  m_cabinet = Wide((m_dir / "src" / "f0").string());
  EXPECT_FALSE(Iterate(doIt, error));
  EXPECT_EQ(error, kSetupErrorInvalidData);

  m_cabinet = Wide((m_dir / "set.cab").string());
  fs::remove_all(m_dir / "out");  // the target directory is the caller's to make
  EXPECT_FALSE(Iterate(doIt, error));
  EXPECT_EQ(error, kSetupErrorPathNotFound);

  EXPECT_FALSE(SetupIterateCabinet(m_cabinet.c_str(), 1, [](std::uint32_t, std::uintptr_t, std::uintptr_t) { return 0u; }, error));
  EXPECT_EQ(error, kSetupErrorInvalidParameter);
}

}  // namespace
