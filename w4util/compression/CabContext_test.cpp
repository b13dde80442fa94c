// The contexts over pseudo-files and real files, their callbacks and the
// registry they leave behind; real-file cabinets are checked with cabextract
// and gcab.
#include "w4util/compression/CabContext.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "w4util/compression/CabBufferAsFile.h"
#include "w4util/compression/CabFile.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/foundation/Endian.h"

namespace {

namespace fs = std::filesystem;

ByteBuffer Text(std::size_t n) {
  ByteBuffer b;
  for (std::size_t i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>("feature=172;"[i % 12]));
  return b;
}

ByteBuffer CompressInMemory(ByteBuffer data) {
  ByteBuffer cabinet;
  CabBufferAsFile input("//Uncompressed-Data//", data.data(), static_cast<std::uint32_t>(data.size()),
                        static_cast<std::uint32_t>(data.size()), nullptr);
  CabBufferAsFile output(CXString(u"//Compressed-Data//"), cabinet, nullptr);
  CabCompressionContext(input, output).CompressSourceFile();
  return cabinet;
}

TEST(CabContext, InMemoryCabinetHoldsOneMszipFileAndRestores) {
  const std::size_t before = CabFileObjectManager::GetNumberOfRegisteredFiles();
  const ByteBuffer data = Text(50000);
  ByteBuffer cabinet = CompressInMemory(data);
  using namespace w4util::little_endian;
  ASSERT_GT(cabinet.size(), 60u);
  EXPECT_EQ(Load16(&cabinet[26]), 1);             // folders
  EXPECT_EQ(Load16(&cabinet[28]), 1);             // files
  EXPECT_EQ(Load16(&cabinet[36 + 6]) & 0xF, 1);   // MSZIP
  EXPECT_EQ(Load16(&cabinet[34 - 2]), 12345);     // set id
  const std::uint32_t file = Load32(&cabinet[16]);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&cabinet[file + 16])), "//Uncompressed-Data//");

  ByteBuffer restored;
  CabBufferAsFile input("//Compressed-Data//", cabinet.data(), static_cast<std::uint32_t>(cabinet.size()),
                        static_cast<std::uint32_t>(cabinet.size()), nullptr);
  CabBufferAsFile output(CXString(u"//Uncompressed-Data//"), restored, nullptr);
  {
    CabDecompressionContext context(input, output);
    context.DecompressSourceFile();
    EXPECT_EQ(context.CreateDisplayStringFromCurrentCabinetErrors(), CXString(u"None"));
  }
  EXPECT_EQ(restored, data);
  EXPECT_EQ(CabFileObjectManager::GetNumberOfRegisteredFiles(), before);
}

TEST(CabContext, NotACabinetFailsWithTheCabinetError) {
  ByteBuffer junk = Text(100);
  ByteBuffer restored;
  CabBufferAsFile input("//Compressed-Data//", junk.data(), 100, 100, nullptr);
  CabBufferAsFile output(CXString(u"//Uncompressed-Data//"), restored, nullptr);
  CabDecompressionContext context(input, output);
  try {
    context.DecompressSourceFile();
    FAIL();
  } catch (const ExceptionCompression&) {
    EXPECT_NE(context.CreateDisplayStringFromCurrentCabinetErrors().Find(u"FDIERROR_NOT_A_CABINET"), -1);
  }
}

TEST(CabContext, StatusAndDisplayTexts) {
  ByteBuffer a, b;
  CabBufferAsFile in(CXString(u"in"), a, nullptr), out(CXString(u"out"), b, nullptr);
  CabCompressionContext context(in, out);
  EXPECT_EQ(context.DoFciGetStatus(0, 5, 6), 0);
  EXPECT_EQ(context.DoFciGetStatus(1, 5, 6), 0);
  EXPECT_EQ(context.DoFciGetStatus(2, 5, 6), 6);
  EXPECT_EQ(context.DoFciGetStatus(7, 5, 6), 0);
  EXPECT_EQ(context.GetErrorDetails(),
            CXString(u"CabCompressionContext::DoFciGetStatus(): Unrecognized type status 7! Ignoring it. "));
  EXPECT_EQ(context.CreateDisplayStringFromOperationError(4),
            CXString(u"FCIERR_TEMP_FILE (Could not create a temporary file)"));
  EXPECT_EQ(context.CreateDisplayStringFromOperationError(9), CXString(u"Unknown FCIERR_XXX value"));
  CabDecompressionContext d(in, out);
  EXPECT_EQ(d.CreateDisplayStringFromOperationError(11), CXString(u"FDIERROR_USER_ABORT (FDI aborted)"));
  EXPECT_EQ(d.CreateDisplayStringFromOperationError(12), CXString(u"Unknown FDIERROR_XXX value"));
}

TEST(CabContext, UnknownHandlesAndNamesGiveMinusOne) {
  ByteBuffer a, b;
  CabBufferAsFile in(CXString(u"in"), a, nullptr), out(CXString(u"out"), b, nullptr);
  CabCompressionContext context(in, out);
  std::int32_t error = 0;
  char byte = 0;
  // Descriptor 0 is open in every process; it must not be read through here.
  EXPECT_EQ(context.DoRead(0, &byte, 1, error), -1);
  EXPECT_EQ(context.DoWrite(1, &byte, 1, error), -1);
  EXPECT_EQ(context.DoSeek(2, 0, 0, error), -1);
  EXPECT_EQ(context.DoClose(-1, error), -1);
  EXPECT_EQ(context.DoOpen("/etc/passwd", 0, 0, error), kCabInvalidHandle);
  EXPECT_EQ(error, 2);
}

class CabContextFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("w4util-cabctx-ctx-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  fs::path m_dir;
};

TEST_F(CabContextFiles, RealFilesRoundTripAndOpenInStandardTools) {
  const ByteBuffer data = Text(100000);
  { std::ofstream(m_dir / "settings.bin", std::ios::binary).write(reinterpret_cast<const char*>(data.data()), 100000); }
  CabFile source(CXString((m_dir / "settings.bin").c_str()), nullptr);
  CabFile cabinet(CXString((m_dir / "out.cab").c_str()), nullptr);
  CabCompressionContext(source, cabinet).CompressSourceFile();

  if (std::system("cabextract --version >/dev/null 2>&1") == 0) {
    fs::create_directories(m_dir / "x");
    ASSERT_EQ(std::system(("cabextract -q -d " + (m_dir / "x").string() + " " + (m_dir / "out.cab").string()).c_str()), 0);
    EXPECT_EQ(Slurp(m_dir / "x" / "settings.bin"), Slurp(m_dir / "settings.bin"));
  }
  fs::create_directories(m_dir / "y");
  { std::ofstream(m_dir / "y" / "settings.bin") << "an older and much longer content that must go away entirely " << std::string(200000, 'x'); }
  CabFile target(CXString((m_dir / "y" / "settings.bin").c_str()), nullptr);
  CabDecompressionContext(cabinet, target).DecompressSourceFile();
  EXPECT_EQ(Slurp(m_dir / "y" / "settings.bin"), Slurp(m_dir / "settings.bin"));
}

TEST_F(CabContextFiles, GcabCabinetsRestoreOnlyIntoTheOutput) {
  if (std::system("gcab --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no gcab";
  { std::ofstream(m_dir / "a.txt") << "alpha alpha alpha"; }
  ASSERT_EQ(std::system(("cd " + m_dir.string() + " && gcab -c -z g.cab a.txt").c_str()), 0);
  CabFile cab(CXString((m_dir / "g.cab").c_str()), nullptr);
  CabFile right(CXString((m_dir / "a.txt.out").c_str()), nullptr);
  // Stored name "a.txt" is neither the output's full name nor its name.
  EXPECT_THROW(CabDecompressionContext(cab, right).DecompressSourceFile(), ExceptionCompression);
  EXPECT_FALSE(fs::exists(m_dir / "a.txt.out"));
  fs::create_directories(m_dir / "o");
  CabFile out(CXString((m_dir / "o" / "a.txt").c_str()), nullptr);
  CabDecompressionContext(cab, out).DecompressSourceFile();
  EXPECT_EQ(Slurp(m_dir / "o" / "a.txt"), "alpha alpha alpha");
}

TEST_F(CabContextFiles, MissingSourceReportsTheOpenFailure) {
  CabFile source(CXString((m_dir / "missing").c_str()), nullptr);
  CabFile cabinet(CXString((m_dir / "out.cab").c_str()), nullptr);
  CabCompressionContext context(source, cabinet);
  try {
    context.CompressSourceFile();
    FAIL();
  } catch (const ExceptionCompression& e) {
    EXPECT_NE(context.GetErrorDetails().Find(u"CabFile::GetOpenInfo(): Failed to open the file"), -1);
  }
}

TEST_F(CabContextFiles, TemporaryRealFilesAreMadeWithMkstemp) {
  CabFile any(CXString(u"x"), nullptr);
  char name[256];
  std::unique_ptr<CabAbstractFile> temp = any.GetTempCabFile(name, sizeof name);
  ASSERT_TRUE(temp);
  EXPECT_TRUE(fs::exists(name));
  std::int32_t error = 0;
  const std::int64_t h = temp->OpenCabFile(0, 0, error);
  ASSERT_NE(h, -1);
  EXPECT_EQ(temp->WriteCabFile(h, "abc", 3, error), 3);
  EXPECT_EQ(temp->SeekCabFile(h, 0, 0, error), 0);
  char back[3];
  EXPECT_EQ(temp->ReadCabFile(h, back, 3, error), 3);
  EXPECT_EQ(temp->CloseCabFile(h, error), 0);
  EXPECT_EQ(temp->DeleteCabFile(error), 0);
  EXPECT_FALSE(fs::exists(name));
}

}  // namespace
