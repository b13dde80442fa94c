// Extraction of cabinets on disk: overwrite modes, the single-file form and
// stored names that must not leave the destination.
#include "w4util/compression/CCabFileMpt.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "w4util/platform/internal/CabinetTestSupport.h"

namespace {

namespace fs = std::filesystem;
using w4util_platform_internal::CabBytes;
using w4util_platform_internal::CabEntry;

class CCabFileMptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("w4util-cabctx-mpt-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  CXString WriteCabinet(const std::vector<CabEntry>& entries) {
    CabBytes cab;
    CabinetErf erf;
    EXPECT_TRUE(w4util_platform_internal::WriteTestCabinet(entries, tcompTYPE_MSZIP, cab, erf));
    const fs::path file = m_dir / "in.cab";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(cab.data()),
                                                static_cast<std::streamsize>(cab.size()));
    return CXString(file.c_str());
  }
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static CabBytes B(const std::string& s) { return CabBytes(s.begin(), s.end()); }
  CXString Out() const { return CXString((m_dir / "out").c_str()); }

  fs::path m_dir;
};

// 1 March 2021, 10:20:30
constexpr std::uint16_t kDate = (41 << 9) | (3 << 5) | 1;
constexpr std::uint16_t kTime = (10 << 11) | (20 << 5) | 15;

TEST_F(CCabFileMptTest, ExtractsEveryFileAndHonoursTheOverwriteFlags) {
  const CXString cab = WriteCabinet({{"a.txt", B("alpha"), kDate, kTime}, {"sub\\b.txt", B("beta"), kDate, kTime}});
  std::int32_t result = -1;
  ASSERT_TRUE(CCabFileMpt::ExtractCabFile(cab, Out(), result, CAB_OVERWRITE_NEVER));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Slurp(m_dir / "out" / "a.txt"), "alpha");
  EXPECT_EQ(Slurp(m_dir / "out" / "sub" / "b.txt"), "beta");

  const struct {
    _CAB_OverwriteFlags flags;
    std::int32_t result;
    const char* content;
  } cases[] = {
      {CAB_OVERWRITE_NEVER, 0, "changed"},
      {CAB_OVERWRITE_IF_DIFFERENT, 0, "alpha"},  // times differ now
      {CAB_OVERWRITE_IF_DIFFERENT, 5503, "alpha"},  // same time as the entry
      {CAB_OVERWRITE_ALWAYS, 0, "alpha"},
  };
  const CXString single = WriteCabinet({{"a.txt", B("alpha"), kDate, kTime}});
  for (const auto& c : cases) {
    if (c.result == 0) { std::ofstream(m_dir / "out" / "a.txt") << "changed"; }
    ASSERT_TRUE(CCabFileMpt::ExtractCabFile(single, Out(), result, c.flags));
    EXPECT_EQ(Slurp(m_dir / "out" / "a.txt"), c.content) << c.flags;
    if (c.flags != CAB_OVERWRITE_NEVER) {
      EXPECT_EQ(result, c.result) << c.flags;
    }
  }
}

TEST_F(CCabFileMptTest, SingleFileFormTakesTheNamedFileOnly) {
  const CXString cab = WriteCabinet({{"a.txt", B("alpha")}, {"B.TXT", B("beta")}, {"b2.txt", B("beta2")}});
  std::int32_t result = -1;
  ASSERT_TRUE(CCabFileMpt::ExtractCabFile(cab, Out(), CXString(u"b"), result, CAB_OVERWRITE_ALWAYS));
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(fs::exists(m_dir / "out" / "a.txt"));
  EXPECT_EQ(Slurp(m_dir / "out" / "B.TXT"), "beta");
  EXPECT_FALSE(fs::exists(m_dir / "out" / "b2.txt"));

  EXPECT_FALSE(CCabFileMpt::ExtractCabFile(cab, Out(), CXString(u"zzz"), result, CAB_OVERWRITE_ALWAYS));
  EXPECT_EQ(result, 5502);
}

TEST_F(CCabFileMptTest, NamesThatLeaveTheDestinationAreSkipped) {
  const std::string longName(300, 'n');
  const CXString cab = WriteCabinet({{"../escaped.txt", B("x")},
                                     {"sub\\..\\..\\escaped2.txt", B("x")},
                                     {(m_dir / "absolute.txt").string(), B("x")},
                                     {longName.substr(0, 250), B("x")},
                                     {"fine.txt", B("fine")}});
  std::int32_t result = -1;
  fs::create_directories(m_dir / "out");
  EXPECT_FALSE(CCabFileMpt::ExtractCabFile(cab, CXString((m_dir / "out" / std::string(20, 'd')).c_str()),
                                           result, CAB_OVERWRITE_ALWAYS));
  EXPECT_EQ(result, 5501);
  EXPECT_FALSE(fs::exists(m_dir / "out" / "escaped.txt"));
  EXPECT_FALSE(fs::exists(m_dir / "escaped.txt"));
  EXPECT_FALSE(fs::exists(m_dir / "escaped2.txt"));
  EXPECT_FALSE(fs::exists(m_dir / "absolute.txt"));
  EXPECT_EQ(Slurp(m_dir / "out" / std::string(20, 'd') / "fine.txt"), "fine");
}

TEST_F(CCabFileMptTest, MissingCabinetAndUncreatableDirectoryFail) {
  std::int32_t result = -1;
  EXPECT_FALSE(CCabFileMpt::ExtractCabFile(CXString((m_dir / "none.cab").c_str()), Out(), result,
                                           CAB_OVERWRITE_ALWAYS));
  EXPECT_NE(result, 0);
  const CXString cab = WriteCabinet({{"a.txt", B("alpha")}});
  { std::ofstream(m_dir / "file") << "x"; }
  EXPECT_FALSE(CCabFileMpt::ExtractCabFile(cab, CXString((m_dir / "file").c_str()), result, CAB_OVERWRITE_ALWAYS));
  EXPECT_EQ(result, 5501);
}

}  // namespace
