// Compressed-buffer states: footers of every release, round trips, legacy
// zlib conversion (against Python's zlib) and states that must be refused.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "w4util/compression/CabCompressedBuffer.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/platform/internal/CabinetTestSupport.h"

namespace {

ByteBuffer Bytes(std::initializer_list<int> values) {
  ByteBuffer b;
  for (int v : values) b.push_back(static_cast<unsigned char>(v));
  return b;
}

ByteBuffer SettingsLike(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  ByteBuffer b(size, 0);
  for (std::size_t i = 0; i < size; ++i) {
    b[i] = (i % 16 < 10) ? static_cast<unsigned char>("ZlvDeviceSettings"[i % 17])
                         : static_cast<unsigned char>(random() % 8);
  }
  return b;
}

void AppendBe(ByteBuffer& b, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<unsigned char>(v >> shift));
}

ByteBuffer ZlibCompress(const ByteBuffer& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  ByteBuffer out(size, 0);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 6), Z_OK);
  out.resize(size);
  return out;
}

ByteBuffer Footer40(const ByteBuffer& zlib, std::int32_t level, std::uint32_t size) {
  ByteBuffer state = zlib;
  AppendBe(state, static_cast<std::uint32_t>(level));
  AppendBe(state, size);
  state.insert(state.end(), {'C', 'O', 'M', '4'});
  return state;
}

ByteBuffer Footer37(const ByteBuffer& zlib, std::uint32_t size) {
  ByteBuffer state = zlib;
  AppendBe(state, size);
  state.insert(state.end(), {'C', 'O', 'M', 'P'});
  return state;
}

ByteBuffer StateOf(const ByteBuffer& data) {
  return CabCompressedBuffer::CreateWithUncompressedData(data, -1)->GetCompressedBufferState();
}

TEST(CompressedBuffer, NewAndEmptyBuffersHoldOnlyTheFooter) {
  const ByteBuffer expected = Bytes({2, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 'C', 'O', 'M', '5'});
  CabCompressedBuffer fresh;
  EXPECT_EQ(fresh.GetCompressedBufferState(), expected);
  ByteBuffer out = Bytes({1, 2, 3});
  fresh.GetOriginalData(out);
  EXPECT_TRUE(out.empty());

  CabCompressedBuffer stored;
  stored.Store(SettingsLike(100, 1));
  stored.Store(ByteBuffer());
  EXPECT_EQ(stored.GetCompressedBufferState(), expected);
  EXPECT_EQ(stored.GetOriginalDataSize(), 0u);
}

TEST(CompressedBuffer, StoredDataRestoreThroughAPersistedState) {
  for (std::size_t size : {1u, 300u, 32768u, 100000u}) {
    const ByteBuffer data = SettingsLike(size, static_cast<std::uint32_t>(size));
    const ByteBuffer state = StateOf(data);
    auto loaded = CabCompressedBuffer::CreateWithBufferState(state);
    EXPECT_EQ(loaded->GetOriginalDataSize(), size);
    EXPECT_EQ(loaded->GetCompressionLevel(), -1);
    EXPECT_EQ(loaded->GetCompressedBufferState(), state);
    ByteBuffer restored;
    loaded->GetOriginalData(restored);
    EXPECT_EQ(restored, data) << size;
    // The footer is big-endian and ends the state.
    EXPECT_EQ(state[state.size() - 13], 2);
    EXPECT_EQ(state[state.size() - 5], static_cast<unsigned char>(size));
    ByteBuffer cabinet;
    loaded->GetCompressedData(cabinet);
    EXPECT_EQ(cabinet.size(), state.size() - 13);
    EXPECT_EQ(std::string(cabinet.begin(), cabinet.begin() + 4), "MSCF");
  }
}

TEST(CompressedBuffer, StoreReplacesALongerEarlierState) {
  CabCompressedBuffer buffer;
  buffer.Store(SettingsLike(50000, 9));
  const ByteBuffer small = SettingsLike(10, 3);
  buffer.Store(small);
  EXPECT_EQ(buffer.GetCompressedBufferState(), StateOf(small));
}

TEST(CompressedBuffer, FootersOfEveryLayoutAreRead) {
  struct Case {
    const char* label;
    ByteBuffer state;
    bool ok;
    std::int32_t size, level, format;
    std::uint32_t footerSize;
  };
  ByteBuffer com4 = Bytes({0, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 6, 0, 0, 1, 0, 'C', 'O', 'M', '4'});
  ByteBuffer com5short = Bytes({9, 0, 0, 0, 7, 'C', 'O', 'M', '5'});
  const Case cases[] = {
      {"com4_20_bytes", com4, true, 256, 6, 1, 12},
      {"com5_9_bytes_uses_8_byte_layout", com5short, true, 7, -1, 1, 8},
      {"comp", Bytes({0, 0, 0, 5, 'C', 'O', 'M', 'P'}), true, 5, -1, 1, 8},
      {"com5", Bytes({2, 0, 0, 0, 3, 0, 0, 0, 4, 'C', 'O', 'M', '5'}), true, 4, 3, 2, 13},
      {"seven_bytes", Bytes({0, 0, 0, 'C', 'O', 'M', '5'}), false, 0, 0, 0, 0},
      {"no_signature", Bytes({0, 0, 0, 0, 0, 'C', 'O', 'M', '6'}), false, 0, 0, 0, 0},
      {"negative_size", Bytes({2, 0, 0, 0, 0, 0x80, 0, 0, 0, 'C', 'O', 'M', '5'}), false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    CompressedBuffer::FooterInfo info;
    EXPECT_EQ(CompressedBuffer::ReadFooter(c.state, info, false), c.ok) << c.label;
    if (!c.ok) {
      EXPECT_THROW(CompressedBuffer::ReadFooter(c.state, info, true),
                   ExceptionMissingOrBadCompressedBufferFooter)
          << c.label;
      EXPECT_THROW(CabCompressedBuffer::CreateWithBufferState(c.state),
                   ExceptionMissingOrBadCompressedBufferFooter)
          << c.label;
      continue;
    }
    EXPECT_EQ(info.originalSize, c.size) << c.label;
    EXPECT_EQ(info.level, c.level) << c.label;
    EXPECT_EQ(info.format, c.format) << c.label;
    EXPECT_EQ(info.footerSize, c.footerSize) << c.label;
  }
}

TEST(CompressedBuffer, LegacyZlibStatesAreConvertedToCabinets) {
  for (std::size_t size : {0u, 1u, 5000u, 32767u}) {
    const ByteBuffer data = SettingsLike(size, 4);
    const ByteBuffer zlib = ZlibCompress(data);
    for (const ByteBuffer& state : {Footer40(zlib, 6, static_cast<std::uint32_t>(size)),
                                    Footer37(zlib, static_cast<std::uint32_t>(size))}) {
      auto loaded = CabCompressedBuffer::CreateWithBufferState(state);
      ByteBuffer restored;
      loaded->GetOriginalData(restored);
      EXPECT_EQ(restored, data) << size;
      const ByteBuffer current = loaded->GetCompressedBufferState();
      EXPECT_EQ(std::string(current.end() - 4, current.end()), "COM5");
      EXPECT_EQ(current[current.size() - 13], 2);
      // Loading the rewritten state again gives the same state.
      EXPECT_EQ(CabCompressedBuffer::CreateWithBufferState(current)->GetCompressedBufferState(),
                current);
    }
  }
}

TEST(CompressedBuffer, LegacyStatesThatCannotBeConvertedAreRefused) {
  const ByteBuffer big = ZlibCompress(SettingsLike(32768, 4));
  const ByteBuffer unknownFormat = Bytes({0x10, 0x20, 7, 0, 0, 0, 0, 0, 0, 0, 1, 'C', 'O', 'M', '5'});
  for (const ByteBuffer& state :
       {Footer40(big, -1, 32768), Footer37(ByteBuffer(1, 0x78), 1), Footer37(ByteBuffer(), 0),
        unknownFormat}) {
    EXPECT_THROW(CabCompressedBuffer::CreateWithBufferState(state),
                 ExceptionIncompatibleCompressionFormat);
    ByteBuffer buffer = state;
    EXPECT_FALSE(CabCompressedBuffer::TryToUncompressStateData(buffer));
    EXPECT_EQ(buffer, state);
  }
}

TEST(CompressedBuffer, LegacyConversionUsesTheLengthThatCameBack) {
  // A zlib stream of 100 bytes under a footer that claims 200.
  const ByteBuffer data = SettingsLike(100, 2);
  const ByteBuffer state = Footer40(ZlibCompress(data), -1, 200);
  ByteBuffer buffer = state;
  // The wrapped cabinet claims 200 bytes too, which the blocks do not give.
  if (CabCompressedBuffer::TryToUncompressStateData(buffer)) {
    EXPECT_EQ(buffer, data);
  } else {
    EXPECT_EQ(buffer, state);
  }
}

// A footer whose size disagrees with the cabinet, in either direction, and
// an absurd size: restoring fails without allocating what the footer claims.
TEST(CompressedBuffer, RestoringChecksTheFooterSizeAgainstTheData) {
  const ByteBuffer data = SettingsLike(1000, 5);
  ByteBuffer cabinet;
  CabCompressedBuffer::CompressBuffer(const_cast<unsigned char*>(data.data()),
                                      static_cast<std::uint32_t>(data.size()), cabinet, -1);
  for (std::uint32_t claimed : {999u, 1001u, 0x7FFFFFFFu}) {
    ByteBuffer state = cabinet;
    CompressedBuffer::AppendFooter(state, static_cast<std::int32_t>(claimed), -1, 2);
    auto loaded = CabCompressedBuffer::CreateWithBufferState(state);
    ByteBuffer out = Bytes({42});
    EXPECT_THROW(loaded->GetOriginalData(out), ExceptionCompression) << claimed;
    EXPECT_EQ(out, Bytes({42}));
    ByteBuffer buffer = state;
    EXPECT_FALSE(CabCompressedBuffer::TryToUncompressStateData(buffer));
    EXPECT_EQ(buffer, state);
  }
}

// A cabinet that names some other file must not write anything anywhere.
TEST(CompressedBuffer, ACabinetNamingAnotherFileIsRefused) {
  const std::filesystem::path victim =
      std::filesystem::temp_directory_path() / ("w4util-cabctx-victim-" + std::to_string(::getpid()));
  std::filesystem::remove(victim);
  for (const std::string& name : {victim.string(), std::string("Uncompressed-Data")}) {
    w4util_platform_internal::CabBytes cab;
    CabinetErf erf;
    ASSERT_TRUE(w4util_platform_internal::WriteTestCabinet({{name, {1, 2, 3}}}, tcompTYPE_MSZIP,
                                                           cab, erf));
    ByteBuffer state(cab.begin(), cab.end());
    CompressedBuffer::AppendFooter(state, 3, -1, 2);
    ByteBuffer out;
    EXPECT_THROW(CabCompressedBuffer::CreateWithBufferState(state)->GetOriginalData(out),
                 ExceptionCompression);
    EXPECT_THROW(CabCompressedBuffer::UncompressBuffer(ByteBuffer(cab.begin(), cab.end()), out),
                 ExceptionCompression);
  }
  EXPECT_FALSE(std::filesystem::exists(victim));
}

TEST(CompressedBuffer, CopiesAndFactoriesKeepTheState) {
  const ByteBuffer data = SettingsLike(777, 8);
  auto original = CabCompressedBuffer::CreateWithUncompressedData(data, 4);
  EXPECT_EQ(original->GetCompressionLevel(), 4);
  const std::unique_ptr<CompressedBuffer> clone = original->Clone();
  EXPECT_EQ(clone->GetCompressedBufferState(), original->GetCompressedBufferState());
  CabCompressedBuffer assigned;
  assigned = *original;
  EXPECT_EQ(assigned.GetCompressedBufferState(), original->GetCompressedBufferState());
  ByteBuffer cabinet;
  original->GetCompressedData(cabinet);
  auto rebuilt = CabCompressedBuffer::CreateWithCompressedData(cabinet);
  ByteBuffer restored;
  rebuilt->GetOriginalData(restored);
  EXPECT_EQ(restored, data);
  ByteBuffer state = original->GetCompressedBufferState();
  ASSERT_TRUE(CabCompressedBuffer::TryToUncompressStateData(state));
  EXPECT_EQ(state, data);
}

// Release 4.0 and 3.7 states made by Python's zlib, the compressor those
// releases used.
TEST(CompressedBufferInterop, PythonZlibStatesOfBothOldFootersLoad) {
  if (std::system("python3 -c 'import zlib' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("w4util-cabctx-py-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const ByteBuffer data = SettingsLike(20000, 11);
  {
    std::ofstream(dir / "plain", std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  const std::string script =
      "import zlib,struct,sys\n"
      "d=open(sys.argv[1]+'/plain','rb').read()\n"
      "for level in (1,9):\n"
      "  z=zlib.compress(d,level)\n"
      "  open(sys.argv[1]+'/s40_%d'%level,'wb').write(z+struct.pack('>iI',level,len(d))+b'COM4')\n"
      "  open(sys.argv[1]+'/s37_%d'%level,'wb').write(z+struct.pack('>I',len(d))+b'COMP')\n";
  {
    std::ofstream(dir / "make.py") << script;
  }
  ASSERT_EQ(std::system(("python3 " + (dir / "make.py").string() + " " + dir.string()).c_str()), 0);
  for (const char* name : {"s40_1", "s40_9", "s37_1", "s37_9"}) {
    std::ifstream in(dir / name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ByteBuffer state;
    state.assign(bytes.begin(), bytes.end());
    auto loaded = CabCompressedBuffer::CreateWithBufferState(state);
    EXPECT_EQ(loaded->GetCompressionLevel(), name[1] == '4' ? name[4] - '0' : -1) << name;
    ByteBuffer restored;
    loaded->GetOriginalData(restored);
    EXPECT_EQ(restored, data) << name;
  }
  std::filesystem::remove_all(dir);
}

// The cabinet inside a state opens in a standard cabinet tool.
TEST(CompressedBufferInterop, StateCabinetPassesCabextract) {
  if (std::system("cabextract --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no cabextract";
  const ByteBuffer data = SettingsLike(70000, 12);
  ByteBuffer cabinet;
  CabCompressedBuffer::CreateWithUncompressedData(data, -1)->GetCompressedData(cabinet);
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("w4util-cabctx-" + std::to_string(::getpid()) + ".cab");
  {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(cabinet.data()), static_cast<std::streamsize>(cabinet.size()));
  }
  EXPECT_EQ(std::system(("cabextract -q -t " + file.string() + " >/dev/null").c_str()), 0);
  std::filesystem::remove(file);
}

}  // namespace
