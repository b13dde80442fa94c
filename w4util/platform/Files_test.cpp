#include "w4util/platform/Files.h"

#include <unistd.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "w4util/platform/ModuleName.h"
#include "w4util/platform/SystemErrorText.h"

namespace {

namespace fs = std::filesystem;
using w4platform::FileOpenMode;

class PosixFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("w4util-files-" + std::to_string(::getpid()) +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  static std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
};

TEST_F(PosixFiles, WriteReadSeekAndSize) {
  auto& files = w4platform::PosixFileSystem();
  int error = 0;
  auto file = files.Open(Path("a"), FileOpenMode::kWriteAlways, error);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Write("hello world", 11), 0);
  EXPECT_EQ(file->Sync(), 0);
  file.reset();
  file = files.Open(Path("a"), FileOpenMode::kRead, error);
  ASSERT_TRUE(file);
  std::uint64_t size = 0;
  EXPECT_EQ(file->Size(size), 0);
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(file->Seek(6), 0);
  char buffer[16] = {};
  EXPECT_EQ(file->Read(buffer, sizeof buffer, error), 5);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(file->Read(buffer, sizeof buffer, error), 0);

  EXPECT_FALSE(files.Open(Path("missing"), FileOpenMode::kRead, error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(files.Open(dir_.string(), FileOpenMode::kRead, error));
  EXPECT_EQ(error, EISDIR);
}

TEST_F(PosixFiles, ReadOnlyIsTheOwnerWriteBit) {
  auto& files = w4platform::PosixFileSystem();
  std::ofstream(Path("r")) << "x";
  fs::permissions(Path("r"), fs::perms(0664));
  ASSERT_EQ(files.SetReadOnly(Path("r"), true), 0);
  EXPECT_EQ(fs::status(Path("r")).permissions(), fs::perms(0464));
  w4platform::FileInfo info;
  ASSERT_EQ(files.GetInfo(Path("r"), info), 0);
  EXPECT_TRUE(info.readOnly);
  ASSERT_EQ(files.SetReadOnly(Path("r"), false), 0);
  EXPECT_EQ(fs::status(Path("r")).permissions(), fs::perms(0664));
  EXPECT_EQ(files.SetReadOnly(Path("none"), true), ENOENT);
}

TEST_F(PosixFiles, TemporaryBesideTakesTheTargetsPermissions) {
  auto& files = w4platform::PosixFileSystem();
  std::ofstream(Path("t")) << "old";
  fs::permissions(Path("t"), fs::perms(0640));
  std::string temp;
  int error = 0;
  auto file = files.CreateTemporaryBeside(Path("t"), temp, error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(fs::path(temp).parent_path(), dir_);
  EXPECT_EQ(fs::status(temp).permissions(), fs::perms(0640));
  EXPECT_EQ(file->Write("new", 3), 0);
  file.reset();
  EXPECT_EQ(files.Rename(temp, Path("t")), 0);
  EXPECT_EQ(files.SyncDirectory(dir_.string()), 0);
  EXPECT_EQ(Content(Path("t")), "new");
}

TEST_F(PosixFiles, ResolveLinksAndListing) {
  auto& files = w4platform::PosixFileSystem();
  std::ofstream(Path("target")) << "x";
  fs::create_symlink("target", Path("link"));
  fs::create_directory(Path("sub"));
  EXPECT_EQ(files.ResolveLinks(Path("link")), Path("target"));
  EXPECT_EQ(files.ResolveLinks(Path("target")), Path("target"));
  std::vector<w4platform::DirectoryEntry> entries;
  ASSERT_EQ(files.ListDirectory(dir_.string(), entries), 0);
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& e : entries) EXPECT_EQ(e.isDirectory, e.name == "sub") << e.name;
}

TEST_F(PosixFiles, FaultInjectionFailsTheNthCall) {
  w4platform::FaultInjectingFileSystem faulty(w4platform::PosixFileSystem());
  int error = 0;
  faulty.FailWrite(2);
  auto file = faulty.Open(Path("f"), FileOpenMode::kWriteAlways, error);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Write("a", 1), 0);
  EXPECT_EQ(file->Write("b", 1), EIO);
  EXPECT_EQ(file->Write("c", 1), 0);
  faulty.FailSync(1);
  EXPECT_EQ(file->Sync(), EIO);
  EXPECT_EQ(file->Sync(), 0);
  faulty.FailRename(1);
  EXPECT_EQ(faulty.Rename(Path("f"), Path("g")), EIO);
  EXPECT_EQ(faulty.Rename(Path("f"), Path("g")), 0);
  std::string temp;
  faulty.FailCreateTemporary(1);
  EXPECT_FALSE(faulty.CreateTemporaryBeside(Path("g"), temp, error));
  EXPECT_EQ(error, EIO);
  {
    w4platform::ScopedFileSystem scoped(faulty);
    EXPECT_EQ(&w4platform::CurrentFileSystem(), &faulty);
  }
  EXPECT_EQ(&w4platform::CurrentFileSystem(), &w4platform::PosixFileSystem());
}

TEST(SystemErrorText, TableThenCLibrary) {
  std::u16string text;
  ASSERT_TRUE(w4platform::SystemErrorText(5, text));
  EXPECT_EQ(text, u"Access is denied.\r\n");
  // Not in the table: an errno value (EDOM).
  ASSERT_TRUE(w4platform::SystemErrorText(33, text));
  EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
  EXPECT_FALSE(w4platform::SystemErrorText(99999, text));
  EXPECT_TRUE(text.empty());
}

TEST(ModuleName, ExecutableAndOwnModule) {
  const std::string exe = w4platform::ExecutableFileName();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.front(), '/');
  // The tests link the library's objects into the executable.
  EXPECT_EQ(w4platform::ModuleFileNameContaining(w4platform::OwnModuleAddress()), exe);
  EXPECT_EQ(w4platform::ModuleFileNameContaining(nullptr), "");
}

}  // namespace
