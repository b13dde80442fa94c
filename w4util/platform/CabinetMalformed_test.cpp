// Damaged and forged cabinets: each must fail with its error code before any
// output is produced, and without reading or writing out of bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "w4util/platform/internal/CabinetFormat.h"
#include "w4util/platform/internal/CabinetTestSupport.h"

namespace {

using namespace w4util_platform_internal;

// Two MSZIP files in one folder of two blocks; checksums present.
CabBytes SmallCabinet() {
  CabBytes a(200);
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<unsigned char>('a' + i % 7);
  CabBytes b(33000);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<unsigned char>(i * 31 / 7);
  CabBytes cabinet;
  CabinetErf erf;
  EXPECT_TRUE(WriteTestCabinet({{"a.txt", a}, {"b.bin", b}}, tcompTYPE_MSZIP, cabinet, erf));
  return cabinet;
}

// Offsets inside SmallCabinet.
constexpr std::size_t kFolder = kCfHeaderSize;
constexpr std::size_t kFile1 = kFolder + kCfFolderSize;
constexpr std::size_t kFile2 = kFile1 + kCfFileSize + 6;  // "a.txt" + NUL
std::size_t FirstBlock(const CabBytes& c) { return LoadLe32(&c[kFolder]); }
std::size_t SecondBlock(const CabBytes& c) {
  return FirstBlock(c) + kCfDataSize + LoadLe16(&c[FirstBlock(c) + 4]);
}

void AppendAndGrow(CabBytes& c, const CabBytes& tail) {
  c.insert(c.end(), tail.begin(), tail.end());
  StoreLe32(&c[8], static_cast<std::uint32_t>(c.size()));
}

bool ExtractsNothing(const CabBytes& cabinet, CabinetErf& erf, bool checkedBeforeOutput = true) {
  std::vector<CabEntry> out;
  const bool ok = ExtractTestCabinet(cabinet, out, erf);
  if (checkedBeforeOutput) {
    EXPECT_TRUE(out.empty()) << "no file may be started";
  }
  return ok;
}

TEST(CabinetMalformed, EveryTruncationFails) {
  const CabBytes valid = SmallCabinet();
  for (std::size_t size = 0; size < valid.size(); ++size) {
    CabBytes cut(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(size));
    CabinetErf erf;
    EXPECT_FALSE(ExtractsNothing(cut, erf)) << size;
    EXPECT_EQ(erf.erfOper, size < 4 ? FDIERROR_NOT_A_CABINET : FDIERROR_CORRUPT_CABINET) << size;
    // The same cut with a header that claims exactly what is left.
    if (size >= kCfHeaderSize) {
      StoreLe32(&cut[8], static_cast<std::uint32_t>(size));
      EXPECT_FALSE(ExtractsNothing(cut, erf)) << size;
      EXPECT_EQ(erf.erfOper, FDIERROR_CORRUPT_CABINET) << size;
    }
  }
}

struct Forgery {
  const char* label;
  std::function<void(CabBytes&)> forge;
  std::int32_t code;
  // Data errors show only while decoding, after the first file has started.
  bool checkedBeforeOutput = true;
};

TEST(CabinetMalformed, ForgedFieldsAreRejected) {
  const Forgery forgeries[] = {
      {"signature", [](CabBytes& c) { c[3] = 'X'; }, FDIERROR_NOT_A_CABINET},
      {"major_version", [](CabBytes& c) { c[25] = 2; }, FDIERROR_UNKNOWN_CABINET_VERSION},
      {"cabinet_size_past_end", [](CabBytes& c) { StoreLe32(&c[8], static_cast<std::uint32_t>(c.size() + 1)); }, FDIERROR_CORRUPT_CABINET},
      {"cabinet_size_below_header", [](CabBytes& c) { StoreLe32(&c[8], 35); }, FDIERROR_CORRUPT_CABINET},
      {"folder_count", [](CabBytes& c) { StoreLe16(&c[26], 0xFFFF); }, FDIERROR_CORRUPT_CABINET},
      {"file_count", [](CabBytes& c) { StoreLe16(&c[28], 0xFFFF); }, FDIERROR_CORRUPT_CABINET},
      {"file_count_one_more", [](CabBytes& c) { StoreLe16(&c[28], 3); }, FDIERROR_CORRUPT_CABINET},
      {"files_offset_past_end", [](CabBytes& c) { StoreLe32(&c[16], 0xFFFFFFF0u); }, FDIERROR_CORRUPT_CABINET},
      {"no_folders", [](CabBytes& c) { StoreLe16(&c[26], 0); }, FDIERROR_CORRUPT_CABINET},
      {"data_offset_past_end", [](CabBytes& c) { StoreLe32(&c[kFolder], 0x7FFFFFFF); }, FDIERROR_CORRUPT_CABINET},
      {"block_count", [](CabBytes& c) { StoreLe16(&c[kFolder + 4], 3); }, FDIERROR_CORRUPT_CABINET},
      {"block_count_huge", [](CabBytes& c) { StoreLe16(&c[kFolder + 4], 0xFFFF); }, FDIERROR_CORRUPT_CABINET},
      {"lzx", [](CabBytes& c) { StoreLe16(&c[kFolder + 6], 0x1503); }, FDIERROR_BAD_COMPR_TYPE},
      {"quantum", [](CabBytes& c) { StoreLe16(&c[kFolder + 6], 0x0002); }, FDIERROR_BAD_COMPR_TYPE},
      {"unknown_type", [](CabBytes& c) { StoreLe16(&c[kFolder + 6], 0x0007); }, FDIERROR_BAD_COMPR_TYPE},
      {"file_past_folder", [](CabBytes& c) { StoreLe32(&c[kFile2], 33001); }, FDIERROR_CORRUPT_CABINET},
      {"file_offset_overflow", [](CabBytes& c) { StoreLe32(&c[kFile2 + 4], 0xFFFFFFFFu); }, FDIERROR_CORRUPT_CABINET},
      {"file_size_overflow", [](CabBytes& c) { StoreLe32(&c[kFile2], 0xFFFFFFFFu); }, FDIERROR_CORRUPT_CABINET},
      {"files_overlap", [](CabBytes& c) { StoreLe32(&c[kFile2 + 4], 199); }, FDIERROR_CORRUPT_CABINET},
      {"same_file_twice", [](CabBytes& c) { std::memcpy(&c[kFile2], &c[kFile1], 8); }, FDIERROR_CORRUPT_CABINET},
      {"folders_share_blocks",
       [](CabBytes& c) {
         // A second folder over the same blocks, and a file in it.
         const std::size_t files = LoadLe32(&c[16]);
         c.insert(c.begin() + static_cast<std::ptrdiff_t>(files), c.begin() + kFolder, c.begin() + kFolder + kCfFolderSize);
         StoreLe16(&c[26], 2);
         StoreLe32(&c[16], static_cast<std::uint32_t>(files + kCfFolderSize));
         StoreLe32(&c[kFolder], LoadLe32(&c[kFolder]) + kCfFolderSize);
         StoreLe32(&c[kFolder + kCfFolderSize], LoadLe32(&c[kFolder]));
         StoreLe16(&c[kFile2 + kCfFolderSize + 8], 1);
         StoreLe32(&c[8], static_cast<std::uint32_t>(c.size()));
       },
       FDIERROR_CORRUPT_CABINET},
      {"blocks_outnumber_the_bytes", [](CabBytes& c) { StoreLe16(&c[kFolder + 4], 0x2000); }, FDIERROR_CORRUPT_CABINET},
      {"folder_index", [](CabBytes& c) { StoreLe16(&c[kFile1 + 8], 1); }, FDIERROR_CORRUPT_CABINET},
      {"empty_name", [](CabBytes& c) { c[kFile1 + kCfFileSize] = 0; }, FDIERROR_CORRUPT_CABINET},
      {"block_uncompressed_over_32k", [](CabBytes& c) { StoreLe16(&c[FirstBlock(c) + 6], 32769); }, FDIERROR_CORRUPT_CABINET},
      {"block_compressed_over_limit", [](CabBytes& c) { StoreLe16(&c[FirstBlock(c) + 4], 32781); }, FDIERROR_CORRUPT_CABINET},
      {"block_compressed_too_small", [](CabBytes& c) { StoreLe16(&c[FirstBlock(c) + 4], 1); }, FDIERROR_CORRUPT_CABINET},
      {"stored_sizes_disagree", [](CabBytes& c) { StoreLe16(&c[kFolder + 6], tcompTYPE_NONE); }, FDIERROR_CORRUPT_CABINET},
      {"checksum", [](CabBytes& c) { c[FirstBlock(c) + 12] ^= 0x40; }, FDIERROR_CORRUPT_CABINET, false},
      {"no_ck_signature", [](CabBytes& c) { c[FirstBlock(c) + 8] = 'X'; StoreLe32(&c[FirstBlock(c)], 0); }, FDIERROR_MDI_FAIL, false},
      {"bad_deflate", [](CabBytes& c) { c[FirstBlock(c) + 10] = 0xFF; StoreLe32(&c[FirstBlock(c)], 0); }, FDIERROR_MDI_FAIL, false},
      {"header_reserve_too_large", [](CabBytes& c) { StoreLe16(&c[30], kFlagReservePresent); StoreLe16(&c[36], 60001); }, FDIERROR_CORRUPT_CABINET},
      {"header_reserve_past_end", [](CabBytes& c) { StoreLe16(&c[30], kFlagReservePresent); StoreLe16(&c[36], 60000); }, FDIERROR_CORRUPT_CABINET},
      {"prev_cabinet_name_unterminated",
       [](CabBytes& c) {
         StoreLe16(&c[30], kFlagPrevCabinet);
         c.resize(kCfHeaderSize);
         AppendAndGrow(c, CabBytes(300, 'p'));
       },
       FDIERROR_CORRUPT_CABINET},
      {"file_name_unterminated_at_end",
       [](CabBytes& c) {
         const std::size_t entry = c.size();
         CabBytes tail(c.begin() + kFile1, c.begin() + kFile1 + kCfFileSize + 5);  // "a.txt", no NUL
         AppendAndGrow(c, tail);
         StoreLe32(&c[16], static_cast<std::uint32_t>(entry));
         StoreLe16(&c[28], 1);
       },
       FDIERROR_CORRUPT_CABINET},
      {"file_name_too_long",
       [](CabBytes& c) {
         const std::size_t entry = c.size();
         CabBytes tail(c.begin() + kFile1, c.begin() + kFile1 + kCfFileSize);
         tail.insert(tail.end(), 256, 'n');
         tail.push_back(0);
         AppendAndGrow(c, tail);
         StoreLe32(&c[16], static_cast<std::uint32_t>(entry));
         StoreLe16(&c[28], 1);
       },
       FDIERROR_CORRUPT_CABINET},
  };
  for (const Forgery& f : forgeries) {
    CabBytes cabinet = SmallCabinet();
    f.forge(cabinet);
    CabinetErf erf;
    EXPECT_FALSE(ExtractsNothing(cabinet, erf, f.checkedBeforeOutput)) << f.label;
    EXPECT_EQ(erf.erfOper, f.code) << f.label;
    EXPECT_TRUE(erf.fError) << f.label;
  }
}

// Sizes that pass the table checks but disagree with what the deflate data
// restores; the second block (the 32,768-byte one) is forged, checksum off.
TEST(CabinetMalformed, DeflateDataMustRestoreExactlyTheDeclaredSize) {
  struct Case {
    const char* label;
    int delta;
  } cases[] = {{"restores_more_than_declared", -1}, {"restores_less_than_declared", +1}};
  for (const Case& c : cases) {
    CabBytes cabinet = SmallCabinet();
    const std::size_t block = SecondBlock(cabinet);
    const int declared = LoadLe16(&cabinet[block + 6]);
    if (declared + c.delta > 32768) {
      // The second block holds the folder's tail; shrink the first instead.
      continue;
    }
    StoreLe16(&cabinet[block + 6], static_cast<std::uint16_t>(declared + c.delta));
    StoreLe32(&cabinet[block], 0);
    StoreLe32(&cabinet[kFile2], static_cast<std::uint32_t>(static_cast<int>(LoadLe32(&cabinet[kFile2])) + c.delta));
    std::vector<CabEntry> out;
    CabinetErf erf;
    EXPECT_FALSE(ExtractTestCabinet(cabinet, out, erf)) << c.label;
    EXPECT_EQ(erf.erfOper, FDIERROR_CORRUPT_CABINET) << c.label;
  }
}

TEST(CabinetMalformed, ContinuedFilesAreNotFollowed) {
  struct Case {
    std::uint16_t folder;
    CabHandle answer;
    bool ok;
    std::int32_t code;
  } cases[] = {
      {kFolderContinuedFromPrev, 0, true, FDIERROR_NONE},
      {kFolderContinuedFromPrev, -1, false, FDIERROR_USER_ABORT},
      {kFolderContinuedPrevAndNext, 0, true, FDIERROR_NONE},
      {kFolderContinuedToNext, 0, false, FDIERROR_CABINET_NOT_FOUND},
      {kFolderContinuedToNext, -1, false, FDIERROR_USER_ABORT},
  };
  for (const Case& c : cases) {
    CabBytes cabinet = SmallCabinet();
    StoreLe16(&cabinet[kFile1 + 8], c.folder);
    std::vector<CabEntry> out;
    CabinetErf erf;
    EXPECT_EQ(ExtractTestCabinet(cabinet, out, erf, c.answer), c.ok) << c.folder;
    EXPECT_EQ(erf.erfOper, c.code) << c.folder;
    if (c.ok) {
      ASSERT_EQ(out.size(), 1u);
      EXPECT_EQ(out[0].name, "b.bin");
    }
  }
}

}  // namespace

namespace {

TEST(CabinetMalformedEdges, AnEmptyFileMayPointAnywhereInItsFolder) {
  CabBytes cabinet = SmallCabinet();
  StoreLe32(&cabinet[kFile2], 0);
  StoreLe32(&cabinet[kFile2 + 4], 100);
  std::vector<CabEntry> out;
  CabinetErf erf;
  ASSERT_TRUE(ExtractTestCabinet(cabinet, out, erf)) << erf.erfOper;
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].data.size(), 200u);
  EXPECT_TRUE(out[1].data.empty());
}

}  // namespace
