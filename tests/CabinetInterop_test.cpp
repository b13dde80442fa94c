// Cabinets exchanged with cabinet tools nobody here wrote: cabextract and
// gcab must extract what the engine writes, and the engine must extract what
// gcab writes, byte for byte.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "w4util/platform/internal/CabinetTestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace w4util_platform_internal;

bool HaveTool(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int RunQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

CabBytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return CabBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const CabBytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class CabinetInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "w4cab-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }
  // A set that spans several blocks and shares blocks between files.
  static std::vector<CabEntry> Inputs() {
    std::mt19937 generator(42);
    CabBytes random(100000);
    for (auto& b : random) b = static_cast<unsigned char>(generator());
    CabBytes text(300000);
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<unsigned char>("spooler queue data "[i % 19] + (i / 4096) % 3);
    return {{"small.txt", CabBytes{'h', 'i', '\n'}}, {"random.bin", random}, {"empty.dat", {}}, {"text.txt", text}};
  }
  std::string Quote(const fs::path& p) const { return "'" + p.string() + "'"; }
  fs::path m_dir;
};

struct Variant {
  const char* label;
  std::uint16_t type;
  std::uint32_t reserve;
};
const Variant kVariants[] = {{"mszip", tcompTYPE_MSZIP, 0}, {"stored", tcompTYPE_NONE, 0}, {"mszip_reserve", tcompTYPE_MSZIP, 6}};

TEST_F(CabinetInterop, CabextractRestoresWhatWeWrite) {
  if (!HaveTool("cabextract")) GTEST_SKIP() << "cabextract is not installed (scripts/setup installs it)";
  const auto inputs = Inputs();
  for (const Variant& v : kVariants) {
    CabinetCcab ccab;
    ccab.cbReserveCFHeader = v.reserve;
    ccab.cbReserveCFFolder = v.reserve;
    ccab.cbReserveCFData = v.reserve;
    CabBytes cabinet;
    CabinetErf erf;
    ASSERT_TRUE(WriteTestCabinet(inputs, v.type, cabinet, erf, ccab)) << v.label;
    const fs::path cab = m_dir / (std::string(v.label) + ".cab");
    const fs::path out = m_dir / (std::string(v.label) + "-cabextract");
    WriteAll(cab, cabinet);
    EXPECT_EQ(RunQuietly("cabextract -t " + Quote(cab)), 0) << v.label << ": checksums or data rejected";
    ASSERT_EQ(RunQuietly("cabextract -q -d " + Quote(out) + " " + Quote(cab)), 0) << v.label;
    for (const CabEntry& e : inputs) {
      EXPECT_TRUE(ReadAll(out / e.name) == e.data) << v.label << " " << e.name;
    }
  }
}

TEST_F(CabinetInterop, GcabRestoresWhatWeWrite) {
  if (!HaveTool("gcab")) GTEST_SKIP() << "gcab is not installed (scripts/setup installs it)";
  const auto inputs = Inputs();
  for (const Variant& v : kVariants) {
    if (v.reserve != 0) continue;  // gcab keeps no reserved areas of its own
    CabBytes cabinet;
    CabinetErf erf;
    ASSERT_TRUE(WriteTestCabinet(inputs, v.type, cabinet, erf)) << v.label;
    const fs::path cab = m_dir / (std::string(v.label) + ".cab");
    const fs::path out = m_dir / (std::string(v.label) + "-gcab");
    fs::create_directories(out);
    WriteAll(cab, cabinet);
    ASSERT_EQ(RunQuietly("gcab -x -C " + Quote(out) + " " + Quote(cab)), 0) << v.label;
    for (const CabEntry& e : inputs) {
      EXPECT_TRUE(ReadAll(out / e.name) == e.data) << v.label << " " << e.name;
    }
  }
}

TEST_F(CabinetInterop, WeRestoreWhatGcabWrites) {
  if (!HaveTool("gcab")) GTEST_SKIP() << "gcab is not installed (scripts/setup installs it)";
  const auto inputs = Inputs();
  const fs::path src = m_dir / "src";
  fs::create_directories(src);
  std::string names;
  for (const CabEntry& e : inputs) {
    WriteAll(src / e.name, e.data);
    names += " " + e.name;
  }
  for (const char* flags : {"-c -z", "-c"}) {
    const fs::path cab = m_dir / "gcab.cab";
    fs::remove(cab);
    ASSERT_EQ(RunQuietly("cd " + Quote(src) + " && gcab " + flags + " " + Quote(cab) + names), 0) << flags;
    std::vector<CabEntry> out;
    CabinetErf erf;
    ASSERT_TRUE(ExtractTestCabinet(ReadAll(cab), out, erf)) << flags << " error " << erf.erfOper;
    ASSERT_EQ(out.size(), inputs.size()) << flags;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      EXPECT_EQ(out[i].name, inputs[i].name) << flags;
      EXPECT_TRUE(out[i].data == inputs[i].data) << flags << " " << inputs[i].name;
    }
  }
}

}  // namespace
