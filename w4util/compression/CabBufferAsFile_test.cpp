// Pseudo-files: reads, writes, seeks and handles at the edges.
#include "w4util/compression/CabBufferAsFile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "w4util/errors/ExceptionCatalogue.h"

namespace {

class CabBufferAsFileTest : public ::testing::Test {
 protected:
  unsigned char m_block[8] = {1, 2, 3, 4, 5, 0, 0, 0};
  CXString m_details;
  CabBufferAsFile m_fixed{"fixed", m_block, 8, 5, &m_details};
  std::int32_t m_error = 0;
};

TEST_F(CabBufferAsFileTest, ReadsStopAtTheLength) {
  const std::int64_t h = m_fixed.OpenCabFile(0, 0, m_error);
  ASSERT_GE(h, CabBufferAsFile::kFirstPseudoFileHandle);
  unsigned char out[8] = {};
  EXPECT_EQ(m_fixed.SeekCabFile(h, 4, 0, m_error), 4);
  EXPECT_EQ(m_fixed.ReadCabFile(h, out, 8, m_error), 1);
  EXPECT_EQ(out[0], 5);
  EXPECT_EQ(m_fixed.ReadCabFile(h, out, 8, m_error), 0);
  EXPECT_EQ(m_fixed.SeekCabFile(h, 100, 0, m_error), 100);
  EXPECT_EQ(m_fixed.ReadCabFile(h, out, 8, m_error), 0);
  EXPECT_EQ(m_fixed.CloseCabFile(h, m_error), 0);
  EXPECT_FALSE(m_fixed.IsOpen());
}

TEST_F(CabBufferAsFileTest, IllegalSeeksFailWithoutMoving) {
  const std::int64_t h = m_fixed.OpenCabFile(0, 0, m_error);
  m_fixed.SeekCabFile(h, 3, 0, m_error);
  const struct {
    std::int32_t distance, origin;
  } cases[] = {{-1, 0}, {-4, 1}, {-9, 2}, {0, 3}};
  for (const auto& c : cases) {
    m_error = 0;
    EXPECT_EQ(m_fixed.SeekCabFile(h, c.distance, c.origin, m_error), -1);
    EXPECT_EQ(m_error, 9);
    EXPECT_EQ(m_fixed.SeekCabFile(h, 0, 1, m_error), 3);
  }
  EXPECT_NE(m_details.Find(u"illegal seek position results! "), -1);
  EXPECT_EQ(m_fixed.SeekCabFile(h, -2, 2, m_error), 6);  // from the allocated size
}

TEST_F(CabBufferAsFileTest, FixedBlocksRefuseToGrow) {
  const std::int64_t h = m_fixed.OpenCabFile(0, 0, m_error);
  const unsigned char data[4] = {9, 9, 9, 9};
  m_fixed.SeekCabFile(h, 6, 0, m_error);
  EXPECT_EQ(m_fixed.WriteCabFile(h, data, 4, m_error), -1);
  EXPECT_EQ(m_block[6], 0);
  EXPECT_EQ(m_fixed.GetLength(), 5u);
  EXPECT_EQ(m_fixed.WriteCabFile(h, data, 2, m_error), 2);
  EXPECT_EQ(m_fixed.GetLength(), 8u);
}

TEST_F(CabBufferAsFileTest, GrowableFilesGrowAndKeepWhatFollowsAnEarlyWrite) {
  ByteBuffer buffer;
  CabBufferAsFile file(CXString(u"grow"), buffer, &m_details);
  const std::int64_t h = file.OpenCabFile(0, 0, m_error);
  const unsigned char data[3] = {7, 8, 9};
  EXPECT_EQ(file.WriteCabFile(h, data, 3, m_error), 3);
  EXPECT_EQ(file.WriteCabFile(h, data, 3, m_error), 3);
  file.SeekCabFile(h, 1, 0, m_error);
  EXPECT_EQ(file.WriteCabFile(h, data, 1, m_error), 1);
  EXPECT_EQ(file.GetLength(), 6u);
  EXPECT_EQ(static_cast<const std::vector<unsigned char>&>(buffer),
            (std::vector<unsigned char>{7, 7, 9, 7, 8, 9}));
  file.SetGrowthLimit(7);
  file.SeekCabFile(h, 0, 2, m_error);
  EXPECT_EQ(file.WriteCabFile(h, data, 2, m_error), -1);
  EXPECT_EQ(buffer.size(), 6u);
}

TEST_F(CabBufferAsFileTest, HandlesAreOwnAndUnknownHandlesThrow) {
  const std::int64_t a = m_fixed.OpenCabFile(0, 0, m_error);
  const std::int64_t b = m_fixed.OpenCabFile(0, 0, m_error);
  EXPECT_NE(a, b);
  m_fixed.SeekCabFile(a, 2, 0, m_error);
  EXPECT_EQ(m_fixed.SeekCabFile(b, 0, 1, m_error), 0);  // each open has its position
  unsigned char out[1];
  EXPECT_THROW(m_fixed.ReadCabFile(3, out, 1, m_error), ExceptionFileOperationCompression);
  EXPECT_THROW(m_fixed.ReadCabFile(b + 100, out, 1, m_error), ExceptionFileOperationCompression);
}

TEST_F(CabBufferAsFileTest, OpenWithoutStorageFails) {
  CabBufferAsFile none("none", nullptr, 0, 0, &m_details);
  EXPECT_EQ(none.OpenCabFile(0, 0, m_error), -1);
  EXPECT_EQ(m_error, 2);
  EXPECT_NE(m_details.Find(u"There's no buffer specified to serve as the pseudo-file"), -1);
}

TEST_F(CabBufferAsFileTest, TemporaryFilesAreNamedAndGrowable) {
  char name[64];
  std::unique_ptr<CabAbstractFile> temp = m_fixed.GetTempCabFile(name, sizeof name);
  ASSERT_TRUE(temp);
  EXPECT_EQ(std::strncmp(name, "cbaf0x", 6), 0);
  EXPECT_EQ(temp->GetPathAndFileName(), CXString(name));
  const std::int64_t h = temp->OpenCabFile(0, 0, m_error);
  EXPECT_EQ(temp->WriteCabFile(h, name, 4, m_error), 4);

  char tiny[4];
  EXPECT_FALSE(m_fixed.GetTempCabFile(tiny, sizeof tiny));
  EXPECT_NE(m_details.Find(u"Failed to copy the temporary file name"), -1);
}

TEST(CabAbstractFileNames, SplitAtTheLastSeparatorOfTheirKind) {
  ByteBuffer b;
  CabBufferAsFile pseudo(CXString(u"dir\\//Compressed-Data//"), b, nullptr);
  EXPECT_EQ(pseudo.GetFilePath(), CXString(u"dir\\"));
  EXPECT_EQ(pseudo.GetFileNameWithoutPath(), CXString(u"//Compressed-Data//"));
  CabBufferAsFile bare(CXString(u"//Uncompressed-Data//"), b, nullptr);
  EXPECT_TRUE(bare.GetFilePath().IsEmpty());
}

}  // namespace
