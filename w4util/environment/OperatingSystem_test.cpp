#include "w4util/environment/OperatingSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "w4util/config/RegistryKey.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/platform/ChildProcess.h"
#include "w4util/platform/RegistryStore.h"

namespace {

using namespace w4platform;
namespace fs = std::filesystem;

class OperatingSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegistryStore::ReplaceProcessStore(RegistryStore::OpenInMemory());
    RegistryKey machine(HKEY_LOCAL_MACHINE, false);
    host_ = std::make_unique<RegistryKey>(
        RegistryKey::CreateRegistryKey(machine, OperatingSystem::kHostKey, KEY_ALL_ACCESS, false));
  }
  void TearDown() override { host_.reset(); }

  std::unique_ptr<RegistryKey> host_;
};

TEST_F(OperatingSystemTest, ClassificationTable) {
  using OS = OperatingSystem;
  const struct {
    std::uint32_t major, minor, productType;
    bool is64;
    OS::OperatingSystemType want;
    const char16_t* name;
  } cases[] = {
      {5, 0, 1, false, OS::Win2000, u"Win2000"},
      {5, 1, 1, false, OS::WinXP32, u"WinXP32"},
      {5, 1, 1, true, OS::WinXP64, u"WinXP64"},
      {5, 2, 1, true, OS::WinXP64, u"WinXP64"},
      {5, 2, 1, false, OS::Other, u"Other"},
      {5, 2, 3, false, OS::WinServer2003_32, u"WinServer2003_32"},
      {5, 2, 2, true, OS::WinServer2003_64, u"WinServer2003_64"},
      {6, 0, 1, false, OS::Vista32, u"Vista32"},
      {6, 0, 1, true, OS::Vista64, u"Vista64"},
      {6, 1, 1, false, OS::Win7_32, u"Win7_32"},
      {6, 1, 3, false, OS::Win7_32, u"Win7_32"},
      {6, 1, 3, true, OS::Win7_64, u"Win7_64"},
      {6, 0, 3, false, OS::WinServer2008_32, u"WinServer2008_32"},
      {6, 0, 2, true, OS::WinServer2008_64, u"WinServer2008_64"},
      {6, 2, 1, true, OS::Other, u"Other"},
      {4, 0, 1, false, OS::Other, u"Other"},
  };
  OperatingSystem os;
  for (const auto& c : cases) {
    host_->SetLongValue(u"MajorVersion", static_cast<std::int32_t>(c.major));
    host_->SetLongValue(u"MinorVersion", static_cast<std::int32_t>(c.minor));
    host_->SetLongValue(u"ProductType", static_cast<std::int32_t>(c.productType));
    const OS::OperatingSystemType got = OS::ClassifyOS(OS::QueryVersion(), c.is64);
    EXPECT_EQ(got, c.want) << c.major << "." << c.minor << " " << c.productType << " " << c.is64;
    EXPECT_EQ(os.GetOSEnumAsString(got), CXString(c.name));
  }
  // Another platform family, and a failed version query.
  host_->SetLongValue(u"PlatformId", 1);
  EXPECT_EQ(OS::ClassifyOS(OS::QueryVersion(), true), OS::Other);
  host_->SetLongValue(u"PlatformId", 2);
  host_->SetLongValue(u"VersionQueryFails", 1);
  EXPECT_EQ(OS::ClassifyOS(OS::QueryVersion(), true), OS::Other);
  EXPECT_TRUE(OS::IsServerOS(true));
  EXPECT_FALSE(OS::IsServerOS(false));
  EXPECT_FALSE(OS::IsOsVersionVistaOrLater());
  EXPECT_EQ(os.GetOSEnumAsString(static_cast<OS::OperatingSystemType>(99)), CXString(u"Other"));
  EXPECT_EQ(os.GetOSEnumAsString(static_cast<OS::OperatingSystemType>(1)), CXString(u"Other"));
}

// The process-wide answer is decided once: a child process sees its values.
TEST_F(OperatingSystemTest, CurrentOsIsClassifiedOnceFromTheHostValues) {
  host_->SetLongValue(u"MajorVersion", 6);
  host_->SetLongValue(u"MinorVersion", 0);
  host_->SetLongValue(u"ProductType", 3);
  host_->SetLongValue(u"Is64Bit", 0);
  EXPECT_EQ(RunInChildProcess([this] {
              const auto first = OperatingSystem::GetCurrentOS();
              host_->SetLongValue(u"MinorVersion", 1);
              OperatingSystem os;
              const bool ok = first == OperatingSystem::WinServer2008_32 &&
                              OperatingSystem::GetCurrentOS() == first &&
                              os.GetOSEnumAsString(OperatingSystem::Unknown) ==
                                  CXString(u"WinServer2008_32") &&
                              !OperatingSystem::Is64BitProcess();
              return ok ? 0 : 1;
            }),
            0);
}

TEST_F(OperatingSystemTest, VersionsServersAndDisplayText) {
  using OS = OperatingSystem;
  OperatingSystem os;
  EXPECT_TRUE(os.IsOSSupported(u"Vista32,Win7_32", true, OS::Vista32));
  EXPECT_FALSE(os.IsOSSupported(u"Vista32,Win7_32", false, OS::Vista32));
  EXPECT_TRUE(os.IsOSSupported(u"Vista32,Win7_32", false, OS::Vista64));

  // Defaults: 6.1 build 7601 workstation.
  EXPECT_TRUE(OS::IsOsVersionWin7OrLater());
  EXPECT_TRUE(OS::IsOsVersionGreaterThanOrEqual(5, 9));
  EXPECT_FALSE(OS::IsOsVersionGreaterThanOrEqual(6, 2));
  EXPECT_FALSE(OS::IsServerOS(true));
  const CXString bits = OS::Is64BitProcess() ? u"64" : u"32";
  EXPECT_EQ(OS::GetDisplayableOsVersion(),
            CXString(u"Windows 6.1, build 7601 (") + bits + u" bit)");
  host_->SetStringValue(u"ServicePack", u"Service Pack 1");
  host_->SetLongValue(u"ProductType", 2);
  EXPECT_EQ(OS::GetDisplayableOsVersion(),
            CXString(u"Windows 6.1, build 7601 (") + bits + u" bit) with Service Pack 1");
  EXPECT_TRUE(OS::IsServerOS(false));

  std::uint16_t a = 9, b = 9, c = 9, d = 9;
  EXPECT_FALSE(os.GetInternetExplorerVersion(a, b, c, d));
  RegistryKey machine(HKEY_LOCAL_MACHINE, false);
  RegistryKey ie = RegistryKey::CreateRegistryKey(machine, u"Software\\Microsoft\\Internet Explorer",
                                                  KEY_ALL_ACCESS, false);
  ie.SetStringValue(u"Version", u"9.11.19041.1");
  OperatingSystem fresh;
  ASSERT_TRUE(fresh.GetInternetExplorerVersion(a, b, c, d));
  EXPECT_EQ((std::vector<int>{a, b, c, d}), (std::vector<int>{9, 11, 19041, 1}));
  ie.SetStringValue(u"Version", u"10");
  ASSERT_TRUE(fresh.GetInternetExplorerVersion(a, b, c, d));  // read once
  EXPECT_EQ(a, 9);
}

TEST_F(OperatingSystemTest, LocaleAndDisplayAnswersAreCachedPerObject) {
  const struct {
    const char16_t* country;
    bool english;
  } countries[] = {{u"1", true},  {u"0", true},    {u"2", true},   {u"52", true},
                   {u"59", true}, {u"44", false},  {u"49", false}, {u"503", true},
                   {u"600", false}, {u"abc", false}, {u"", false},
                   {u"99999999999", false}};
  for (const auto& c : countries) {
    host_->SetStringValue(u"Country", c.country);
    OperatingSystem os;
    EXPECT_EQ(os.UseEnglishPaperSizes(), c.english) << CXString(c.country).GetAsMultiByte().data();
  }
  OperatingSystem os;
  EXPECT_FALSE(os.IsMetricCountry());
  EXPECT_FALSE(os.IsHighContrastAccessibilityEnabled());
  EXPECT_FALSE(os.IsUiThemeEnabled());
  host_->SetStringValue(u"Measure", u"0");
  host_->SetLongValue(u"HighContrast", 1);
  host_->SetLongValue(u"ThemeActive", 1);
  EXPECT_FALSE(os.IsMetricCountry());  // cached
  OperatingSystem fresh;
  EXPECT_TRUE(fresh.IsMetricCountry());
  EXPECT_TRUE(fresh.IsHighContrastAccessibilityEnabled());
  EXPECT_TRUE(fresh.IsUiThemeEnabled());
}

TEST_F(OperatingSystemTest, SessionsAndRights) {
  using OS = OperatingSystem;
  EXPECT_EQ(OS::GetTerminalServicesClientProtocol(), 0);
  EXPECT_TRUE(OS::IsRdpTerminalServicesConsoleSession());
  EXPECT_EQ(OS::GetTerminalServicesSessionId(), 1);
  const struct {
    std::int32_t protocol;
    bool any, console, ica, rdp;
  } cases[] = {{0, true, true, false, false},
               {1, true, false, true, false},
               {2, true, false, false, true}};
  for (const auto& c : cases) {
    host_->SetLongValue(u"SessionProtocol", c.protocol);
    EXPECT_EQ(OS::IsTerminalServicesOrCitrixSession(), c.any);
    EXPECT_EQ(OS::IsRdpTerminalServicesConsoleSession(), c.console);
    EXPECT_EQ(OS::IsIcaCitrixSession(), c.ica);
    EXPECT_EQ(OS::IsRdpTerminalServicesSession(), c.rdp);
  }
  const unsigned char two[] = {2, 0};
  host_->SetValue(u"SessionProtocol", REG_BINARY, two, 2);
  EXPECT_EQ(OS::GetTerminalServicesClientProtocol(), -1);
  EXPECT_FALSE(OS::IsTerminalServicesOrCitrixSession());
  host_->SetLongValue(u"SessionId", -1);
  EXPECT_EQ(OS::GetTerminalServicesSessionId(), -1);

  EXPECT_FALSE(OS::IsCitrixCpsvcProcess());
  EXPECT_TRUE(OS::IsThreadWithLowPermissions());  // no Software\Zelvo yet
  RegistryKey user(HKEY_CURRENT_USER, false);
  RegistryKey zelvo = RegistryKey::CreateRegistryKey(user, u"Software\\Zelvo", KEY_ALL_ACCESS,
                                                     false);
  EXPECT_FALSE(OS::IsThreadWithLowPermissions());
  ASSERT_EQ(RegistryStore::Process().SetKeyDeniedAccess(zelvo.GetKey(), KEY_SET_VALUE), 0u);
  EXPECT_TRUE(OS::IsThreadWithLowPermissions());
}

class OperatingSystemFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/w4os-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  static CXString W(const fs::path& p) { return CXString(p.string().c_str()); }
  static void Touch(const fs::path& p) { std::ofstream(p) << "x"; }

  fs::path root_;
};

TEST_F(OperatingSystemFiles, DeleteDirectoryRecursivelyNeverFollowsLinks) {
  const fs::path outside = root_ / "outside";
  fs::create_directories(outside / "keep");
  Touch(outside / "keep" / "file");
  fs::permissions(outside / "keep" / "file", fs::perms::owner_read, fs::perm_options::replace);

  const fs::path tree = root_ / "tree";
  ASSERT_TRUE(OperatingSystem::CreateDirectoryW(W(tree / "a" / "b")));
  Touch(tree / "top");
  Touch(tree / "a" / "b" / "deep");
  fs::permissions(tree / "a" / "b" / "deep", fs::perms::owner_read, fs::perm_options::replace);
  fs::create_directory_symlink(outside, tree / "a" / "linkdir");
  fs::create_symlink(outside / "keep" / "file", tree / "linkfile");

  // Without recursion subdirectories stay, so the directory cannot go.
  EXPECT_EQ(OperatingSystem::DeleteDirectoryRecursively(W(tree), false), 0);
  EXPECT_FALSE(fs::exists(tree / "top"));
  EXPECT_FALSE(fs::is_symlink(tree / "linkfile"));
  EXPECT_TRUE(fs::exists(tree / "a"));

  EXPECT_EQ(OperatingSystem::DeleteDirectoryRecursively(W(tree) + u"/", true), 1);
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_TRUE(fs::exists(outside / "keep" / "file"));
  EXPECT_EQ(fs::status(outside / "keep" / "file").permissions() & fs::perms::owner_write,
            fs::perms::none);

  // A link given as the directory itself is not followed either.
  fs::create_directory_symlink(outside, root_ / "alias");
  EXPECT_EQ(OperatingSystem::DeleteDirectoryRecursively(W(root_ / "alias"), true), 0);
  EXPECT_TRUE(fs::exists(outside / "keep"));

  for (const char16_t* refused : {u"", u"C:\\", u"/", u"/ab", u"/ab/"}) {
    EXPECT_EQ(OperatingSystem::DeleteDirectoryRecursively(refused, true), 0);
  }
}

TEST_F(OperatingSystemFiles, FilesTemporaryNamesAndPaths) {
  using OS = OperatingSystem;
  const fs::path file = root_ / "f.txt";
  EXPECT_FALSE(OS::FileExists(W(file)));
  Touch(file);
  EXPECT_TRUE(OS::FileExists(W(file)));
  EXPECT_FALSE(OS::FileIsReadOnly(W(file)));
  EXPECT_TRUE(OS::SetFileReadonlyHidden(W(file), true));
  EXPECT_TRUE(OS::FileIsReadOnly(W(file)));
  EXPECT_TRUE(OS::SetFileReadonlyHidden(W(file), false));
  EXPECT_FALSE(OS::IsFileInUse(W(file)));
  std::int64_t created = 0, modified = 0;
  EXPECT_TRUE(OS::GetFileCreationTime(W(file), created));
  EXPECT_TRUE(OS::GetFileModifiedTime(W(file), modified));
  EXPECT_GT(modified, 0);
  EXPECT_FALSE(OS::GetFileModifiedTime(W(root_ / "none"), modified));
  EXPECT_TRUE(OS::DeleteFileW(W(file)));
  EXPECT_FALSE(OS::DeleteFileW(W(file)));

  const CXString temp = OS::GetTempFileNameW(W(root_), u"zlv/x");
  ASSERT_FALSE(temp.IsEmpty());
  EXPECT_TRUE(fs::is_regular_file(temp.GetAsMultiByte().data()));
  EXPECT_EQ(fs::path(temp.GetAsMultiByte().data()).parent_path(), root_);
  EXPECT_TRUE(OS::GetTempFileNameW(W(root_ / "missing"), u"z").IsEmpty());
  const CXString tempDir = OS::GetTempPathW();
  EXPECT_EQ(tempDir[tempDir.GetLength() - 1], u'/');

  EXPECT_EQ(OS::MakeSurePathEndsWithBackslash(u"/a"), CXString(u"/a/"));
  EXPECT_EQ(OS::MakeSurePathEndsWithBackslash(u"/a\\"), CXString(u"/a\\"));
  EXPECT_EQ(OS::RemoveTrailingBackslashIfPresent(u"/a/"), CXString(u"/a"));
  EXPECT_EQ(OS::RemoveTrailingBackslashIfPresent(u""), CXString(u""));

  ASSERT_TRUE(OS::CreateDirectoryW(W(root_ / "src" / "sub")));
  Touch(root_ / "src" / "sub" / "x");
  EXPECT_TRUE(OS::CopyDirectoryUsingShell(W(root_ / "src"), W(root_ / "dst")));
  EXPECT_TRUE(fs::exists(root_ / "dst" / "sub" / "x"));
  CXString dst = W(root_ / "dst");
  EXPECT_TRUE(OS::DeleteDirUsingSelfDeletingDll(dst));
  EXPECT_FALSE(fs::exists(root_ / "dst"));
  EXPECT_TRUE(OS::DeleteDirectoryUsingShell(W(root_ / "src")));
  Touch(root_ / "plain");
  EXPECT_FALSE(OS::CreateDirectoryW(W(root_ / "plain" / "x")));
}

TEST_F(OperatingSystemFiles, ModulesAndVersions) {
  OperatingSystem os;
  EXPECT_EQ(os.LoadModule(W(root_ / "missing.so")), nullptr);
  EXPECT_THROW(os.LoadModule(W(root_ / "missing.so"), true), ExceptionOperatingSystemFailure);
  Touch(root_ / "junk.so");
  EXPECT_EQ(os.LoadModule(W(root_ / "junk.so")), nullptr);
  HINSTANCE libz = os.LoadModule(u"libz.so.1", false);
  ASSERT_NE(libz, nullptr);
  EXPECT_EQ(os.GetCurrentModule(), libz);
  EXPECT_EQ(OperatingSystem::GetNameOfModule(libz, false).Find(u"libz.so"), 0);
  EXPECT_EQ(OperatingSystem::GetNameOfModule(nullptr, false), CXString(u"environment_tests"));
  EXPECT_FALSE(OperatingSystem::GetModulePath(nullptr).IsEmpty());
  os.UnloadModule();
  EXPECT_EQ(os.GetCurrentModule(), nullptr);

  std::uint64_t version = 1;
  EXPECT_FALSE(os.GetFileVersion(u"/bin/sh", version));
  EXPECT_EQ(os.GetDisplayableFileVersion(u"/bin/sh"), CXString(u"??.??.??.??"));
  EXPECT_THROW(os.GetFileLanguage(u"/bin/sh"), ExceptionOperatingSystemFailure);
}

}  // namespace
