#include "w4util/platform/CabinetMemoryFiles.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(CabinetMemoryFiles, ReadsToTheEndThenAnswersZero) {
  CabinetMemoryFiles files;
  files.SetFile("a", {1, 2, 3});
  std::int32_t error = 0;
  CabHandle h = files.Open("a", kCabOpenReadOnly, 0, error);
  ASSERT_NE(h, kCabInvalidHandle);
  unsigned char buffer[8] = {};
  ASSERT_EQ(files.Seek(h, 2, kCabSeekSet, error), 2);
  EXPECT_EQ(files.Read(h, buffer, 8, error), 1);
  EXPECT_EQ(buffer[0], 3);
  EXPECT_EQ(files.Read(h, buffer, 8, error), 0);
  EXPECT_EQ(files.Close(h, error), 0);
  EXPECT_EQ(files.Read(h, buffer, 8, error), -1);
  EXPECT_EQ(error, EBADF);
}

TEST(CabinetMemoryFiles, SeekOutsideFailsAndKeepsPosition) {
  CabinetMemoryFiles files;
  files.SetFile("a", {1, 2, 3, 4});
  std::int32_t error = 0;
  CabHandle h = files.Open("a", kCabOpenReadOnly, 0, error);
  ASSERT_EQ(files.Seek(h, 1, kCabSeekSet, error), 1);
  EXPECT_EQ(files.Seek(h, -5, kCabSeekCurrent, error), -1);
  EXPECT_EQ(files.Seek(h, 0, 7, error), -1);
  EXPECT_EQ(files.Seek(h, 0, kCabSeekCurrent, error), 1);
  EXPECT_EQ(files.Seek(h, -1, kCabSeekEnd, error), 3);
}

TEST(CabinetMemoryFiles, OpenCreatesOnlyWhenAskedAndTruncates) {
  CabinetMemoryFiles files;
  std::int32_t error = 0;
  EXPECT_EQ(files.Open("missing", kCabOpenReadOnly, 0, error), kCabInvalidHandle);
  EXPECT_EQ(error, ENOENT);
  files.SetFile("a", {1, 2, 3});
  CabHandle h = files.Open("a", kCabOpenReadWrite | kCabOpenCreate | kCabOpenTruncate, 0, error);
  ASSERT_NE(h, kCabInvalidHandle);
  EXPECT_TRUE(files.GetFile("a")->empty());
  // Writing past the end fills the gap with zeros.
  ASSERT_EQ(files.Seek(h, 2, kCabSeekSet, error), 2);
  const unsigned char byte = 9;
  EXPECT_EQ(files.Write(h, &byte, 1, error), 1);
  EXPECT_EQ(*files.GetFile("a"), (CabinetMemoryFiles::Bytes{0, 0, 9}));
  EXPECT_EQ(files.Close(h, error), 0);
  EXPECT_EQ(files.Delete("a", error), 0);
  EXPECT_EQ(files.GetFile("a"), nullptr);
}

TEST(CabinetMemoryFiles, TemporaryFilesAreUniqueAndNeedRoom) {
  CabinetMemoryFiles files;
  char a[32];
  char b[32];
  ASSERT_TRUE(files.GetTempFile(a, sizeof a));
  ASSERT_TRUE(files.GetTempFile(b, sizeof b));
  EXPECT_STRNE(a, b);
  EXPECT_NE(files.GetFile(a), nullptr);
  char tiny[4];
  EXPECT_FALSE(files.GetTempFile(tiny, sizeof tiny));
}

TEST(CabinetMemoryFiles, ArmedWriteFaultHitsTheNthWrite) {
  CabinetMemoryFiles files;
  std::int32_t error = 0;
  CabHandle h = files.Open("a", kCabOpenCreate | kCabOpenWriteOnly, 0, error);
  files.FailNthWrite(2);
  const unsigned char byte = 1;
  EXPECT_EQ(files.Write(h, &byte, 1, error), 1);
  EXPECT_EQ(files.Write(h, &byte, 1, error), -1);
  EXPECT_EQ(files.Write(h, &byte, 1, error), 1);
  EXPECT_EQ(files.GetFile("a")->size(), 2u);
}

TEST(CabinetMemoryFiles, OpenInfoReportsTheConfiguredTime) {
  CabinetMemoryFiles files;
  files.SetFile("a", {});
  files.SetFileTime(0x5A21, 0x6000);
  std::uint16_t date = 0, time = 0, attributes = 7;
  std::int32_t error = 0;
  CabHandle h = files.GetOpenInfo("a", date, time, attributes, error);
  ASSERT_NE(h, kCabInvalidHandle);
  EXPECT_EQ(date, 0x5A21);
  EXPECT_EQ(time, 0x6000);
  EXPECT_EQ(attributes, 0);
  EXPECT_EQ(files.GetOpenInfo("missing", date, time, attributes, error), kCabInvalidHandle);
}

}  // namespace
