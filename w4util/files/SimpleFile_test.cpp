#include "w4util/files/SimpleFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/platform/Files.h"

namespace {

namespace fs = std::filesystem;

ByteBuffer Bytes(const std::string& s) {
  return ByteBuffer(reinterpret_cast<const unsigned char*>(s.data()), static_cast<std::uint32_t>(s.size()));
}
std::string Text(const ByteBuffer& b) { return std::string(b.begin(), b.end()); }

class SimpleFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (std::string("w4util-simplefile-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::all, ec);
    fs::remove_all(dir_, ec);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  CXString WidePath(const char* name) const { return CXString(Path(name).c_str()); }
  void Put(const char* name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }
  std::string Get(const char* name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }

  fs::path dir_;
};

TEST_F(SimpleFiles, CrcFileLayoutToTheByte) {
  SimpleFileWithCrc file(WidePath("c"), SimpleFile::CharacterEncodingUnchanged);
  file.WriteTheFile(Bytes("abc"), SimpleFile::FileAttributeActionMakeWritable);
  EXPECT_EQ(Get("c"), std::string("\xC2\x41\x24\x35\x00\x00\x00\x00" "abc", 11));
  ByteBuffer out;
  file.ReadTheFile(out, 0);
  EXPECT_EQ(Text(out), "abc");

  file.WriteTheFile(ByteBuffer(), SimpleFile::FileAttributeActionNone);
  EXPECT_EQ(Get("c"), std::string(8, '\0'));
  EXPECT_THROW(file.ReadTheFile(out, 0), ExceptionReadFile);
}

TEST_F(SimpleFiles, CrcGuardsThePayloadNotTheKind) {
  SimpleFileWithCrc file(WidePath("c"), SimpleFile::CharacterEncodingUnchanged);
  file.WriteTheFile(Bytes("settings"), SimpleFile::FileAttributeActionNone);
  const std::string good = Get("c");
  ByteBuffer out;
  for (std::size_t i = 8; i < good.size(); ++i) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0x01);
    Put("c", bad);
    EXPECT_THROW(file.ReadTheFile(out, 0), ExceptionReadFile) << i;
  }
  std::string kind = good;
  kind[4] = 7;
  Put("c", kind);
  file.ReadTheFile(out, 0);
  EXPECT_EQ(Text(out), "settings");
  Put("c", good.substr(0, 8));
  EXPECT_THROW(file.ReadTheFile(out, 0), ExceptionReadFile);
  EXPECT_THROW(file.ReadFromTheFile(0, 0, 1, out), ExceptionReadFile);
  unsigned char byte = 0;
  EXPECT_THROW(file.WriteToTheFile(0, 0, 1, &byte, SimpleFile::FileAttributeActionNone), ExceptionWriteFile);
}

TEST_F(SimpleFiles, SizeLimits) {
  Put("p", "12345");
  SimpleFile plain(WidePath("p"), SimpleFile::CharacterEncodingUnchanged);
  ByteBuffer out;
  plain.ReadTheFile(out, 5);
  EXPECT_EQ(Text(out), "12345");
  EXPECT_THROW(plain.ReadTheFile(out, 4), ExceptionReadFile);
  plain.ReadTheFile(out, 0);

  SimpleFileWithCrc crc(WidePath("c"), SimpleFile::CharacterEncodingUnchanged);
  crc.WriteTheFile(Bytes("0123456789"), SimpleFile::FileAttributeActionNone);
  crc.ReadTheFile(out, 10);
  EXPECT_THROW(crc.ReadTheFile(out, 9), ExceptionReadFile);
  // 0 is no limit, and a limit near the top does not wrap around.
  crc.ReadTheFile(out, 0);
  EXPECT_EQ(Text(out), "0123456789");
  crc.ReadTheFile(out, 0xFFFFFFFF);
  crc.ReadTheFile(out, 0xFFFFFFF9);
}

TEST_F(SimpleFiles, ByteOrderMarksInModeOne) {
  const struct {
    std::string content;
    std::string mode1;
  } cases[] = {
      {"\xEF\xBB\xBF" "A", "A"},
      {std::string("\xFF\xFE" "A\0", 4), std::string("A\0", 2)},
      {std::string("\xFE\xFF\0A", 4), std::string("\0A", 2)},
      {std::string("\xFF\xFE\0\0" "B", 5), "B"},
      {std::string("\0\0\xFE\xFF" "B", 5), "B"},
      {"\xEF", "\xEF"},
      {"\xEF\xBB", "\xEF\xBB"},
      {"", ""},
  };
  for (const auto& c : cases) {
    Put("b", c.content);
    ByteBuffer out;
    SimpleFile(WidePath("b"), SimpleFile::CharacterEncodingRemoveByteOrderMark).ReadTheFile(out, 0);
    EXPECT_EQ(Text(out), c.mode1);
    SimpleFile(WidePath("b"), SimpleFile::CharacterEncodingUnchanged).ReadTheFile(out, 0);
    EXPECT_EQ(Text(out), c.content);
    // Ranged reads keep every byte.
    if (!c.content.empty()) {
      SimpleFile(WidePath("b"), SimpleFile::CharacterEncodingRemoveByteOrderMark)
          .ReadFromTheFile(0, 0, static_cast<std::uint32_t>(c.content.size()), out);
      EXPECT_EQ(Text(out), c.content);
    }
  }
}

TEST_F(SimpleFiles, RangedReadsAndInPlaceWrites) {
  SimpleFile file(WidePath("r"), SimpleFile::CharacterEncodingUnchanged);
  unsigned char hello[] = {'h', 'e', 'l', 'l', 'o'};
  file.WriteToTheFile(0, 0, 5, hello, SimpleFile::FileAttributeActionNone);
  file.WriteToTheFile(0, 3, 2, hello, SimpleFile::FileAttributeActionNone);
  EXPECT_EQ(Get("r"), "helhe");
  ByteBuffer out;
  file.ReadFromTheFile(0, 1, 3, out);
  EXPECT_EQ(Text(out), "elh");
  file.ReadFromTheFile(0, 5, 0, out);
  EXPECT_TRUE(out.empty());
  EXPECT_THROW(file.ReadFromTheFile(0, 3, 3, out), ExceptionReadFile);
  EXPECT_THROW(file.ReadFromTheFile(0, 0xFFFFFFF0, 0x20, out), ExceptionReadFile);
  EXPECT_THROW(SimpleFile(WidePath("none"), SimpleFile::CharacterEncodingUnchanged).ReadFromTheFile(0, 0, 1, out),
               ExceptionCreateFileForReading);
}

TEST_F(SimpleFiles, OpenFailures) {
  ByteBuffer out;
  EXPECT_THROW(SimpleFile(WidePath("none"), SimpleFile::CharacterEncodingUnchanged).ReadTheFile(out, 0),
               ExceptionCreateFileForReading);
  EXPECT_THROW(SimpleFileWithCrc(WidePath("none"), SimpleFile::CharacterEncodingUnchanged).ReadTheFile(out, 0),
               ExceptionCreateFileForReading);
  EXPECT_THROW(SimpleFile(CXString(dir_.string().c_str()), SimpleFile::CharacterEncodingUnchanged).ReadTheFile(out, 0),
               ExceptionCreateFileForReading);
  EXPECT_THROW(SimpleFile(WidePath("no/such/dir"), SimpleFile::CharacterEncodingUnchanged)
                   .WriteTheFile(Bytes("x"), SimpleFile::FileAttributeActionNone),
               ExceptionCreateFileForWriting);
  EXPECT_THROW(SimpleFile(CXString(dir_.string().c_str()), SimpleFile::CharacterEncodingUnchanged)
                   .WriteTheFile(Bytes("x"), SimpleFile::FileAttributeActionNone),
               ExceptionCreateFileForWriting);
  // Every file-family failure is an ExceptionFile.
  EXPECT_THROW(SimpleFile(WidePath("none"), SimpleFile::CharacterEncodingUnchanged).ReadTheFile(out, 0), ExceptionFile);
}

TEST_F(SimpleFiles, ReadOnlyIsTheOwnerWriteBit) {
  Put("ro", "old");
  fs::permissions(Path("ro"), fs::perms(0444));
  SimpleFile file(WidePath("ro"), SimpleFile::CharacterEncodingUnchanged);
  EXPECT_THROW(file.WriteTheFile(Bytes("new"), SimpleFile::FileAttributeActionNone), ExceptionCreateFileForWriting);
  EXPECT_EQ(Get("ro"), "old");
  // The CRC file always writes with action 1.
  EXPECT_THROW(SimpleFileWithCrc(WidePath("ro"), SimpleFile::CharacterEncodingUnchanged)
                   .WriteTheFile(Bytes("new"), SimpleFile::FileAttributeActionMakeWritable),
               ExceptionCreateFileForWriting);
  EXPECT_FALSE(SimpleFile::DeleteTheFile(WidePath("ro"), SimpleFile::FileAttributeActionNone));
  file.WriteTheFile(Bytes("new"), SimpleFile::FileAttributeActionMakeWritable);
  EXPECT_EQ(Get("ro"), "new");
  EXPECT_EQ(fs::status(Path("ro")).permissions(), fs::perms(0644));

  fs::permissions(Path("ro"), fs::perms(0444));
  EXPECT_TRUE(SimpleFile::EnsureFileIsWritable(WidePath("ro")));
  EXPECT_EQ(fs::status(Path("ro")).permissions(), fs::perms(0644));
  EXPECT_TRUE(file.EnsureFileIsWritable());
  EXPECT_FALSE(SimpleFile::EnsureFileIsWritable(WidePath("none")));
}

TEST_F(SimpleFiles, ExistenceAndDeletion) {
  Put("e", "x");
  EXPECT_TRUE(SimpleFile::DoesFileExist(WidePath("e")));
  EXPECT_FALSE(SimpleFile::DoesFileExist(WidePath("none")));
  EXPECT_FALSE(SimpleFile::DoesFileExist(CXString(dir_.string().c_str())));
  fs::permissions(Path("e"), fs::perms(0444));
  EXPECT_TRUE(SimpleFile::DeleteTheFile(WidePath("e"), SimpleFile::FileAttributeActionMakeWritable));
  EXPECT_FALSE(SimpleFile::DoesFileExist(WidePath("e")));
  EXPECT_FALSE(SimpleFile(WidePath("e"), SimpleFile::CharacterEncodingUnchanged)
                   .DeleteTheFile(SimpleFile::FileAttributeActionNone));
}

TEST_F(SimpleFiles, WritingKeepsPermissionsAndLinks) {
  Put("target", "old");
  fs::permissions(Path("target"), fs::perms(0640));
  fs::create_symlink("target", Path("link"));
  SimpleFile(WidePath("link"), SimpleFile::CharacterEncodingUnchanged)
      .WriteTheFile(Bytes("new"), SimpleFile::FileAttributeActionNone);
  EXPECT_TRUE(fs::is_symlink(Path("link")));
  EXPECT_EQ(Get("target"), "new");
  EXPECT_EQ(fs::status(Path("target")).permissions(), fs::perms(0640));
  EXPECT_EQ(Entries(), 2u);
}

// Each failing step of the replacement leaves the old content, and no
// temporary file, behind.
TEST_F(SimpleFiles, FailedReplacementKeepsTheOldContent) {
  Put("s", "old content");
  w4platform::FaultInjectingFileSystem faulty(w4platform::PosixFileSystem());
  w4platform::ScopedFileSystem scoped(faulty);
  const struct {
    const char* step;
    void (w4platform::FaultInjectingFileSystem::*fail)(int);
  } steps[] = {
      {"create temporary", &w4platform::FaultInjectingFileSystem::FailCreateTemporary},
      {"write", &w4platform::FaultInjectingFileSystem::FailWrite},
      {"fsync", &w4platform::FaultInjectingFileSystem::FailSync},
      {"rename", &w4platform::FaultInjectingFileSystem::FailRename},
  };
  for (const auto& s : steps) {
    (faulty.*s.fail)(1);
    SimpleFileWithCrc file(WidePath("s"), SimpleFile::CharacterEncodingUnchanged);
    try {
      file.WriteTheFile(Bytes("new content"), SimpleFile::FileAttributeActionNone);
      ADD_FAILURE() << s.step << ": no exception";
    } catch (const ExceptionCreateFileForWriting&) {
      EXPECT_STREQ(s.step, "create temporary");
    } catch (const ExceptionWriteFile&) {
      EXPECT_STRNE(s.step, "create temporary");
    }
    (faulty.*s.fail)(0);
    EXPECT_EQ(Get("s"), "old content") << s.step;
    EXPECT_EQ(Entries(), 1u) << s.step;
  }
  // A failed directory sync comes after the rename: reported, new content in place.
  faulty.FailSyncDirectory(1);
  EXPECT_THROW(SimpleFile(WidePath("s"), SimpleFile::CharacterEncodingUnchanged)
                   .WriteTheFile(Bytes("new"), SimpleFile::FileAttributeActionNone),
               ExceptionWriteFile);
  EXPECT_EQ(Get("s"), "new");
}

int WriteIntoLockedDirectory(void* context) {
  const auto* path = static_cast<const std::string*>(context);
  try {
    SimpleFile(CXString(path->c_str()), SimpleFile::CharacterEncodingUnchanged)
        .WriteTheFile(Bytes("new"), SimpleFile::FileAttributeActionNone);
  } catch (const ExceptionCreateFileForWriting&) {
    return 0;
  } catch (...) {
    return 2;
  }
  return 1;
}

// A directory where no new file can be made: the old file is writable but
// cannot be replaced, and stays as it was.
TEST_F(SimpleFiles, DirectoryWithoutRoomForTheTemporaryFile) {
  fs::create_directory(dir_ / "locked");
  const std::string path = (dir_ / "locked" / "f").string();
  std::ofstream(path) << "old";
  fs::permissions(path, fs::perms(0666));
  fs::permissions(dir_, fs::perms(0755));
  fs::permissions(dir_ / "locked", fs::perms(0555));
  std::string target = path;
  EXPECT_EQ(w4platform::RunUnprivilegedInChildProcess(&WriteIntoLockedDirectory, &target), 0);
  std::ifstream in(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "locked"), {}), 1);
}

TEST_F(SimpleFiles, CompressedFileRoundTripAndDamage) {
  SimpleFileWithCompression file(WidePath("z"), SimpleFile::CharacterEncodingUnchanged);
  std::string text;
  for (int i = 0; i < 500; ++i) text += "Feature" + std::to_string(i % 17) + "=Value;";
  file.WriteTheFile(Bytes(text), SimpleFile::FileAttributeActionNone);
  const std::string stored = Get("z");
  ASSERT_GT(stored.size(), 8u + 13u);
  EXPECT_LT(stored.size(), text.size());
  EXPECT_EQ(stored.substr(4, 4), std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(stored.substr(stored.size() - 4), "COM5");
  ByteBuffer out;
  file.ReadTheFile(out, 0);
  EXPECT_EQ(Text(out), text);
  // Read as a plain CRC file, the payload is the compressed state.
  SimpleFileWithCrc(WidePath("z"), SimpleFile::CharacterEncodingUnchanged).ReadTheFile(out, 0);
  EXPECT_EQ(Text(out), stored.substr(8));

  file.WriteTheFile(ByteBuffer(), SimpleFile::FileAttributeActionNone);
  file.ReadTheFile(out, 0);
  EXPECT_TRUE(out.empty());

  // A CRC-valid payload without a footer signature.
  SimpleFileWithCrc(WidePath("z"), SimpleFile::CharacterEncodingUnchanged)
      .WriteTheFile(Bytes("no footer here"), SimpleFile::FileAttributeActionNone);
  EXPECT_THROW(file.ReadTheFile(out, 0), ExceptionMissingOrBadCompressedBufferFooter);
}

}  // namespace
