#include "w4util/foundation/FileNames.h"

#include <unistd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "w4util/platform/ModuleName.h"

namespace {

namespace fs = std::filesystem;
using namespace ZelvoUtilities;

std::u16string S(const CXString& s) { return std::u16string(s, static_cast<std::size_t>(s.GetLength())); }

TEST(FileNames, SplitsOnEitherSeparatorAndWritesSlashes) {
  const struct {
    const char16_t* in;
    const char16_t* path;
    const char16_t* file;
    const char16_t* stem;
    const char16_t* ext;
  } cases[] = {
      {u"a.b.txt", u"", u"a.b.txt", u"a.b", u".txt"},
      {u"noext", u"", u"noext", u"noext", u""},
      {u"/usr/lib/libx.so", u"/usr/lib/", u"libx.so", u"/usr/lib/libx", u".so"},
      {u"C:\\Dir\\file.ini", u"C:/Dir/", u"file.ini", u"C:/Dir/file", u".ini"},
      {u"mixed\\sub/x.y", u"mixed/sub/", u"x.y", u"mixed/sub/x", u".y"},
      {u"dir.d/file", u"dir.d/", u"file", u"dir.d/file", u""},
      {u"trailing/", u"trailing/", u"", u"trailing/", u""},
      {u"", u"", u"", u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(S(getPathFromFileName(c.in)), c.path) << S(CXString(c.in)).size();
    EXPECT_EQ(S(getFileNameFromFullPath(c.in)), c.file);
    EXPECT_EQ(S(GetNameWithoutExtension(c.in)), c.stem);
    EXPECT_EQ(S(GetExtensionFromFileName(c.in)), c.ext);
  }
  EXPECT_EQ(S(GetNameWithoutExtensionOrSpaces(u"My Printer Model.gpd")), u"MyPrinterModel");
}

TEST(FileNames, ModuleNamesAreFullPathsOfTheLoadedFile) {
  const std::string exe = w4platform::ExecutableFileName();
  std::u16string wideExe(exe.begin(), exe.end());
  EXPECT_EQ(S(getModuleName(nullptr)), wideExe);
  // The tests link the library's objects statically.
  EXPECT_EQ(S(getModuleName()), wideExe);
  EXPECT_EQ(S(getModulePath()), S(getPathFromFileName(CXString(wideExe.c_str()))));
  EXPECT_EQ(S(getModulePath()).back(), u'/');
}

TEST(FileNames, FindFilesDescendsAndMatchesWildcards) {
  const fs::path root = fs::temp_directory_path() / ("w4util-findfiles-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "a" / "b");
  for (const char* name : {"x.ini", "a/y.INI", "a/b/z.ini", "a/b/z.txt", "top"}) std::ofstream(root / name) << "1";
  const CXString wideRoot(root.string().c_str());

  std::vector<CXString> found;
  ASSERT_TRUE(FindFilesInSubdirectories(wideRoot, u"*.ini", false, found));
  std::vector<std::u16string> names;
  for (const auto& f : found) names.push_back(S(f));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"x.ini", u"y.INI", u"z.ini"}));

  found.clear();
  ASSERT_TRUE(FindFilesInSubdirectories(CXString((root.string() + "\\a").c_str()), u"?.*", true, found));
  names.clear();
  for (const auto& f : found) names.push_back(S(f));
  std::sort(names.begin(), names.end());
  const std::string base = root.string() + "/a/";
  EXPECT_EQ(names, (std::vector<std::u16string>{std::u16string(base.begin(), base.end()) + u"b/z.ini",
                                                 std::u16string(base.begin(), base.end()) + u"b/z.txt",
                                                 std::u16string(base.begin(), base.end()) + u"y.INI"}));
  found.clear();
  ASSERT_TRUE(FindFilesInSubdirectories(wideRoot, u"*.*", false, found));
  EXPECT_EQ(found.size(), 5u);
  const fs::path before = fs::current_path();
  EXPECT_FALSE(FindFilesInSubdirectories(CXString((root.string() + "/missing").c_str()), u"*", false, found));
  EXPECT_EQ(fs::current_path(), before);
  fs::remove_all(root);
}

}  // namespace
