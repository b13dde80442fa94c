// Cabinets written by the compressor and read back by the decompressor.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <random>

#include "w4util/platform/CabinetCompressor.h"
#include "w4util/platform/CabinetDecompressor.h"
#include "w4util/platform/CabinetMemoryFiles.h"
#include "w4util/platform/internal/CabinetFormat.h"
#include "w4util/platform/internal/CabinetTestSupport.h"

namespace {

using namespace w4util_platform_internal;

CabBytes RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 generator(seed);
  CabBytes bytes(size);
  for (auto& b : bytes) b = static_cast<unsigned char>(generator());
  return bytes;
}

CabBytes TextBytes(std::size_t size) {
  static const char kText[] = "PrinterDriverData ZlvDeviceSettings feature=172 value=5001; ";
  CabBytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(kText[(i * 7 / 5) % (sizeof kText - 1)]);
  return bytes;
}

struct Payload {
  const char* label;
  std::size_t size;
  bool random;
};

class CabinetRoundTrip : public ::testing::TestWithParam<std::tuple<Payload, std::uint16_t>> {};

TEST_P(CabinetRoundTrip, RestoresEveryByte) {
  const auto& [payload, type] = GetParam();
  const CabBytes data = payload.random ? RandomBytes(payload.size, 7) : TextBytes(payload.size);
  CabinetErf erf;
  CabBytes cabinet;
  ASSERT_TRUE(WriteTestCabinet({{"//Uncompressed-Data//", data}}, type, cabinet, erf))
      << erf.erfOper;
  ASSERT_GE(cabinet.size(), kCfHeaderSize);
  // One folder of ceil(size / 32768) blocks.
  EXPECT_EQ(LoadLe16(&cabinet[26]), 1);
  EXPECT_EQ(LoadLe16(&cabinet[36 + 4]), (payload.size + 32767) / 32768);
  EXPECT_EQ(LoadLe16(&cabinet[36 + 6]), type);
  EXPECT_EQ(LoadLe32(&cabinet[8]), cabinet.size());

  std::vector<CabEntry> out;
  ASSERT_TRUE(ExtractTestCabinet(cabinet, out, erf)) << erf.erfOper;
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].name, "//Uncompressed-Data//");
  EXPECT_TRUE(out[0].data == data);
}

const Payload kPayloads[] = {
    {"empty", 0, false},           {"one_byte", 1, false},
    {"one_block", 32768, true},    {"one_block_and_a_byte", 32769, false},
    {"mib_random", 1 << 20, true}, {"mib_text", 1 << 20, false},
};

INSTANTIATE_TEST_SUITE_P(
    Payloads, CabinetRoundTrip,
    ::testing::Combine(::testing::ValuesIn(kPayloads), ::testing::Values(tcompTYPE_MSZIP, tcompTYPE_NONE)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).label) +
             (std::get<1>(info.param) == tcompTYPE_MSZIP ? "_mszip" : "_stored");
    });

TEST(CabinetRoundTripSet, SeveralFilesShareBlocksAndKeepTheirAttributes) {
  std::vector<CabEntry> in = {
      {"a.txt", TextBytes(10), 0, 0, 0, false},
      {"b.bin", RandomBytes(40000, 1), 0, 0, 0, true},
      {"empty", {}, 0, 0, 0, false},
      {"dir\\c.txt", TextBytes(70000), 0, 0, 0, false},
  };
  for (std::uint16_t type : {tcompTYPE_MSZIP, tcompTYPE_NONE}) {
    CabinetErf erf;
    CabBytes cabinet;
    ASSERT_TRUE(WriteTestCabinet(in, type, cabinet, erf));
    std::vector<CabEntry> out;
    ASSERT_TRUE(ExtractTestCabinet(cabinet, out, erf)) << erf.erfOper;
    ASSERT_EQ(out.size(), in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
      EXPECT_EQ(out[i].name, in[i].name);
      EXPECT_TRUE(out[i].data == in[i].data) << in[i].name;
      EXPECT_EQ(out[i].execute, in[i].execute);
      EXPECT_EQ(out[i].date, (40 << 9) | (1 << 5) | 1);
    }
  }
}

TEST(CabinetRoundTripSet, ReservedAreasAreWrittenAndSkipped) {
  CabinetCcab ccab;
  ccab.cbReserveCFHeader = 10;
  ccab.cbReserveCFFolder = 5;
  ccab.cbReserveCFData = 3;
  const CabBytes data = TextBytes(100000);
  CabinetErf erf;
  CabBytes cabinet;
  ASSERT_TRUE(WriteTestCabinet({{"r", data}}, tcompTYPE_MSZIP, cabinet, erf, ccab));
  EXPECT_EQ(LoadLe16(&cabinet[30]) & kFlagReservePresent, kFlagReservePresent);
  std::vector<CabEntry> out;
  ASSERT_TRUE(ExtractTestCabinet(cabinet, out, erf)) << erf.erfOper;
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].data == data);
}

TEST(CabinetRoundTripSet, FilesAreExtractedInTheOrderOfTheirData) {
  // Swapping the folder offsets of two equally long entries puts the second
  // entry's data first; it is extracted first, and each folder decoded once.
  const CabBytes first = RandomBytes(40000, 3);
  const CabBytes second = TextBytes(40000);
  CabinetErf erf;
  CabBytes cabinet;
  ASSERT_TRUE(WriteTestCabinet({{"a", first}, {"b", second}}, tcompTYPE_MSZIP, cabinet, erf));
  const std::uint32_t files = LoadLe32(&cabinet[16]);
  const std::uint32_t secondEntry = files + kCfFileSize + 2;
  const std::uint32_t offsetA = LoadLe32(&cabinet[files + 4]);
  const std::uint32_t offsetB = LoadLe32(&cabinet[secondEntry + 4]);
  StoreLe32(&cabinet[files + 4], offsetB);
  StoreLe32(&cabinet[secondEntry + 4], offsetA);
  std::vector<CabEntry> out;
  ASSERT_TRUE(ExtractTestCabinet(cabinet, out, erf)) << erf.erfOper;
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].name, "b");
  EXPECT_TRUE(out[0].data == first);
  EXPECT_EQ(out[1].name, "a");
  EXPECT_TRUE(out[1].data == second);
}

TEST(CabinetRoundTripSet, FlushFolderStartsANewFolderAndTypeChangesToo) {
  CabinetMemoryFiles files;
  files.SetFile("x", TextBytes(5000));
  files.SetFile("y", RandomBytes(5000, 9));
  CabinetErf erf;
  CabinetCcab ccab;
  ccab.szCabPath = "dir/";
  ccab.szCab = "out.cab";
  auto fci = CabinetCompressor::Create(erf, files, ccab);
  ASSERT_TRUE(fci);
  ASSERT_TRUE(fci->AddFile("x", "x1", false, tcompTYPE_MSZIP));
  ASSERT_TRUE(fci->FlushFolder());
  ASSERT_TRUE(fci->AddFile("y", "y1", false, tcompTYPE_MSZIP));
  ASSERT_TRUE(fci->AddFile("x", "x2", false, tcompTYPE_NONE));
  ASSERT_TRUE(fci->FlushCabinet(false));
  ASSERT_TRUE(fci->Destroy());
  const CabBytes* cabinet = files.GetFile("dir/out.cab");
  ASSERT_NE(cabinet, nullptr);
  EXPECT_EQ(LoadLe16(&(*cabinet)[26]), 3);
  // Only the cabinet and the two sources are left: the temporary file is gone.
  EXPECT_EQ(files.GetFileNames().size(), 3u);
  EXPECT_EQ(files.OpenHandleCount(), 0u);
  std::vector<CabEntry> out;
  ASSERT_TRUE(ExtractTestCabinet(*cabinet, out, erf));
  ASSERT_EQ(out.size(), 3u);
  EXPECT_TRUE(out[1].data == *files.GetFile("y"));
  EXPECT_TRUE(out[2].data == *files.GetFile("x"));
}

TEST(CabinetRoundTripSet, IsCabinetReportsTheHeader) {
  CabinetErf erf;
  CabBytes cabinet;
  ASSERT_TRUE(WriteTestCabinet({{"a", TextBytes(3)}, {"b", TextBytes(4)}}, tcompTYPE_MSZIP, cabinet, erf));
  CabinetMemoryFiles files;
  files.SetFile("c", cabinet);
  files.SetFile("not", {'M', 'S', 'C', 'X', 0, 0, 0, 0});
  auto fdi = CabinetDecompressor::Create(erf, files);
  ASSERT_TRUE(fdi);
  std::int32_t error = 0;
  CabHandle h = files.Open("c", kCabOpenReadOnly, 0, error);
  FdiCabinetInfo info;
  ASSERT_TRUE(fdi->IsCabinet(h, info));
  EXPECT_EQ(info.cbCabinet, static_cast<std::int32_t>(cabinet.size()));
  EXPECT_EQ(info.cFolders, 1);
  EXPECT_EQ(info.cFiles, 2);
  EXPECT_EQ(info.iCabinet, 1);
  EXPECT_FALSE(info.fReserve || info.hasprev || info.hasnext);
  CabHandle n = files.Open("not", kCabOpenReadOnly, 0, error);
  EXPECT_FALSE(fdi->IsCabinet(n, info));
  EXPECT_EQ(erf.erfOper, FDIERROR_NOT_A_CABINET);
  EXPECT_TRUE(erf.fError);
}

TEST(CabinetRoundTripSet, NotificationsSkipAndAbort) {
  CabinetErf erf;
  CabBytes cabinet;
  ASSERT_TRUE(WriteTestCabinet({{"a", TextBytes(3)}, {"b", TextBytes(4)}}, tcompTYPE_MSZIP, cabinet, erf));
  CabinetMemoryFiles files;
  files.SetFile("c", cabinet);
  auto fdi = CabinetDecompressor::Create(erf, files);
  std::vector<std::string> seen;
  EXPECT_TRUE(fdi->Copy("c", "", 0, [&](FdiNotificationType type, FdiNotification& n) -> CabHandle {
    if (type == fdintCOPY_FILE) seen.push_back(n.psz1);
    return 0;
  }));
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(fdi->Copy("c", "", 0, [&](FdiNotificationType type, FdiNotification&) -> CabHandle {
    return type == fdintCOPY_FILE ? -1 : 0;
  }));
  EXPECT_EQ(erf.erfOper, FDIERROR_USER_ABORT);
  EXPECT_FALSE(fdi->Copy("missing", "", 0, [](FdiNotificationType, FdiNotification&) -> CabHandle { return 0; }));
  EXPECT_EQ(erf.erfOper, FDIERROR_CABINET_NOT_FOUND);
  EXPECT_EQ(files.OpenHandleCount(), 0u);
}

TEST(CabinetRoundTripSet, TargetWriteFailureClosesTheOutput) {
  CabinetErf erf;
  CabBytes cabinet;
  ASSERT_TRUE(WriteTestCabinet({{"a", TextBytes(100000)}}, tcompTYPE_MSZIP, cabinet, erf));
  CabinetMemoryFiles files;
  files.SetFile("c", cabinet);
  auto fdi = CabinetDecompressor::Create(erf, files);
  files.FailNthWrite(2);
  EXPECT_FALSE(fdi->Copy("c", "", 0, [&](FdiNotificationType type, FdiNotification&) -> CabHandle {
    std::int32_t error = 0;
    return type == fdintCOPY_FILE ? files.Open("o", kCabOpenCreate | kCabOpenWriteOnly, 0, error) : 0;
  }));
  EXPECT_EQ(erf.erfOper, FDIERROR_TARGET_FILE);
  EXPECT_EQ(files.OpenHandleCount(), 0u);
}

// Compressor failures, each with the error code the caller sees.
class FailingStatus final : public FciCallbacks {
 public:
  explicit FailingStatus(CabinetMemoryFiles& files) : m_files(files) {}
  CabHandle Open(const char* n, std::int32_t f, std::int32_t m, std::int32_t& e) override { return m_files.Open(n, f, m, e); }
  std::int32_t Read(CabHandle h, void* b, std::uint32_t c, std::int32_t& e) override { return m_files.Read(h, b, c, e); }
  std::int32_t Write(CabHandle h, const void* b, std::uint32_t c, std::int32_t& e) override { return m_files.Write(h, b, c, e); }
  std::int32_t Seek(CabHandle h, std::int32_t d, std::int32_t o, std::int32_t& e) override { return m_files.Seek(h, d, o, e); }
  std::int32_t Close(CabHandle h, std::int32_t& e) override { return m_files.Close(h, e); }
  std::int32_t Delete(const char* n, std::int32_t& e) override { return m_files.Delete(n, e); }
  bool GetTempFile(char* b, std::int32_t s) override { return !failTemp && m_files.GetTempFile(b, s); }
  CabHandle GetOpenInfo(const char* n, std::uint16_t& d, std::uint16_t& t, std::uint16_t& a, std::int32_t& e) override {
    return m_files.GetOpenInfo(n, d, t, a, e);
  }
  std::int32_t Status(std::uint32_t type, std::uint32_t, std::uint32_t) override { return type == abortOn ? -1 : 0; }
  std::uint32_t abortOn = 99;
  bool failTemp = false;

 private:
  CabinetMemoryFiles& m_files;
};

TEST(CabinetCompressorErrors, ReportTheirCodes) {
  CabinetMemoryFiles files;
  files.SetFile("src", TextBytes(40000));
  FailingStatus callbacks(files);
  CabinetErf erf;
  CabinetCcab ccab;
  ccab.szCab = "o.cab";

  callbacks.failTemp = true;
  EXPECT_FALSE(CabinetCompressor::Create(erf, callbacks, ccab));
  EXPECT_EQ(erf.erfOper, FCIERR_TEMP_FILE);
  callbacks.failTemp = false;

  CabinetCcab bad = ccab;
  bad.cbReserveCFData = 256;
  EXPECT_FALSE(CabinetCompressor::Create(erf, callbacks, bad));
  EXPECT_EQ(erf.erfOper, FCIERR_CAB_FORMAT_LIMIT);

  const std::string longName(256, 'n');
  struct Case {
    const char* source;
    const char* name;
    std::uint16_t type;
    std::int32_t code;
  } cases[] = {
      {"missing", "x", tcompTYPE_MSZIP, FCIERR_OPEN_SRC},
      {"src", "x", tcompTYPE_LZX, FCIERR_BAD_COMPR_TYPE},
      {"src", "", tcompTYPE_MSZIP, FCIERR_CAB_FORMAT_LIMIT},
      {"src", longName.c_str(), tcompTYPE_MSZIP, FCIERR_CAB_FORMAT_LIMIT},
  };
  for (const Case& c : cases) {
    auto fci = CabinetCompressor::Create(erf, callbacks, ccab);
    ASSERT_TRUE(fci);
    EXPECT_FALSE(fci->AddFile(c.source, c.name, false, c.type));
    EXPECT_EQ(erf.erfOper, c.code) << c.source << " " << c.type;
    EXPECT_TRUE(erf.fError);
    EXPECT_FALSE(fci->FlushCabinet(false)) << "a failed compressor takes no more work";
  }

  callbacks.abortOn = statusFile;
  {
    auto fci = CabinetCompressor::Create(erf, callbacks, ccab);
    EXPECT_FALSE(fci->AddFile("src", "x", false, tcompTYPE_MSZIP));
    EXPECT_EQ(erf.erfOper, FCIERR_USER_ABORT);
  }
  callbacks.abortOn = statusCabinet;
  {
    auto fci = CabinetCompressor::Create(erf, callbacks, ccab);
    EXPECT_TRUE(fci->AddFile("src", "x", false, tcompTYPE_MSZIP));
    EXPECT_FALSE(fci->FlushCabinet(false));
    EXPECT_EQ(erf.erfOper, FCIERR_USER_ABORT);
  }
  callbacks.abortOn = 99;
  {
    auto fci = CabinetCompressor::Create(erf, callbacks, ccab);
    EXPECT_TRUE(fci->AddFile("src", "x", false, tcompTYPE_MSZIP));
    files.FailNthWrite(2);  // the first block goes to the temporary file
    EXPECT_FALSE(fci->FlushCabinet(false));
    EXPECT_EQ(erf.erfOper, FCIERR_CAB_FILE);
  }
  {
    CabinetCcab small = ccab;
    small.cb = 100;
    auto fci = CabinetCompressor::Create(erf, callbacks, small);
    EXPECT_TRUE(fci->AddFile("src", "x", false, tcompTYPE_NONE));
    EXPECT_FALSE(fci->FlushCabinet(false));
    EXPECT_EQ(erf.erfOper, FCIERR_CAB_FORMAT_LIMIT);
  }
  EXPECT_EQ(files.OpenHandleCount(), 0u);
  EXPECT_EQ(files.GetFileNames().size(), 2u) << "temporary files are deleted, the cabinet stays";
}

// A zlib stream whose two-byte header is replaced by "CK", behind a fixed
// 91-byte cabinet header: how data of an earlier release is brought into
// cabinet form. The file name is followed by one spare byte before the block,
// the block has no checksum and carries the zlib trailer after its end.
TEST(CabinetRoundTripSet, ReadsZlibDataWrappedAsOneBlock) {
  const CabBytes original = TextBytes(30000);
  uLongf zlibSize = compressBound(static_cast<uLong>(original.size()));
  CabBytes zlibData(zlibSize);
  ASSERT_EQ(compress2(zlibData.data(), &zlibSize, original.data(), static_cast<uLong>(original.size()), 9), Z_OK);
  zlibData.resize(zlibSize);
  const auto blockSize = static_cast<std::uint32_t>(zlibData.size());
  CabBytes c(91, 0);
  std::memcpy(&c[0], "MSCF", 4);
  StoreLe32(&c[8], blockSize + 91);
  StoreLe32(&c[16], 44);
  c[24] = 3;
  c[25] = 1;
  StoreLe16(&c[26], 1);
  StoreLe16(&c[28], 1);
  StoreLe32(&c[36], 83);
  StoreLe16(&c[40], 1);
  StoreLe16(&c[42], 1);
  StoreLe32(&c[44], static_cast<std::uint32_t>(original.size()));
  StoreLe16(&c[54], 8812);
  StoreLe16(&c[56], 22970);
  std::memcpy(&c[60], "//Uncompressed-Data//", 22);
  StoreLe16(&c[87], static_cast<std::uint16_t>(blockSize));
  StoreLe16(&c[89], static_cast<std::uint16_t>(original.size()));
  zlibData[0] = 'C';
  zlibData[1] = 'K';
  c.insert(c.end(), zlibData.begin(), zlibData.end());
  // A compressed-buffer footer behind the cabinet is not read.
  c.insert(c.end(), {0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x75, 0x30, 'C', 'O', 'M', '5'});
  std::vector<CabEntry> out;
  CabinetErf erf;
  ASSERT_TRUE(ExtractTestCabinet(c, out, erf)) << erf.erfOper;
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].name, "//Uncompressed-Data//");
  EXPECT_EQ(out[0].date, 8812);
  EXPECT_TRUE(out[0].data == original);
}

}  // namespace
