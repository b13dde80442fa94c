#include "w4util/foundation/FileNames.h"

#include <string>

#include "w4util/platform/CodePage.h"
#include "w4util/platform/Files.h"
#include "w4util/platform/ModuleName.h"

namespace ZelvoUtilities {
namespace {

bool IsSeparator(char16_t ch) { return ch == u'/' || ch == u'\\'; }

std::int32_t LastSeparator(const CXString& path) {
  for (std::int32_t i = path.GetLength() - 1; i >= 0; --i) {
    if (IsSeparator(path[i])) return i;
  }
  return -1;
}

// The position of the extension's dot, -1 when there is none.
std::int32_t ExtensionDot(const CXString& path) {
  const std::int32_t nameStart = LastSeparator(path) + 1;
  for (std::int32_t i = path.GetLength() - 1; i >= nameStart; --i) {
    if (path[i] == u'.') return i;
  }
  return -1;
}

CXString WithForwardSlashes(CXString text) {
  text.Replace(u'\\', u'/');
  return text;
}

CXString FromNative(const std::string& path) {
  std::u16string wide;
  w4platform::MultiByteToUtf16(w4platform::kCodePageUtf8, path.data(), path.size(), wide);
  return CXString(wide.c_str(), static_cast<std::int32_t>(wide.size()));
}

std::string ToNative(const CXString& path) {
  std::string narrow;
  w4platform::Utf16ToMultiByte(w4platform::kCodePageUtf8, path, static_cast<std::size_t>(path.GetLength()),
                               narrow);
  return narrow;
}

char16_t FoldAscii(char16_t ch) { return ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch + 32) : ch; }

// Wildcard match without case (as the host's file search), iterative with
// one back-tracking point so that no pattern costs more than n * m steps.
bool Matches(const std::u16string& name, const std::u16string& pattern) {
  if (pattern == u"*" || pattern == u"*.*") return true;
  std::size_t n = 0, p = 0, starP = std::u16string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

void Search(const std::string& dir, const CXString& shownDir, const std::u16string& pattern, bool fullPaths,
            std::vector<CXString>& out, int depth) {
  // Links can make the tree a cycle; a bound keeps the walk finite.
  if (depth > 64) return;
  std::vector<w4platform::DirectoryEntry> entries;
  if (w4platform::CurrentFileSystem().ListDirectory(dir, entries) != 0) return;
  for (const auto& entry : entries) {
    const CXString name = FromNative(entry.name);
    CXString full = shownDir;
    full += name;
    if (entry.isDirectory) {
      full += u'/';
      Search(dir + "/" + entry.name, full, pattern, fullPaths, out, depth + 1);
    } else if (Matches(std::u16string(name, static_cast<std::size_t>(name.GetLength())), pattern)) {
      out.push_back(fullPaths ? full : name);
    }
  }
}

}  // namespace

CXString getPathFromFileName(const CXString& path) {
  const std::int32_t slash = LastSeparator(path);
  return slash < 0 ? CXString() : WithForwardSlashes(path.Left(slash + 1));
}

CXString getFileNameFromFullPath(const CXString& path) {
  const std::int32_t slash = LastSeparator(path);
  return slash < 0 ? path : path.Mid(slash + 1);
}

CXString GetNameWithoutExtension(const CXString& path) {
  const std::int32_t dot = ExtensionDot(path);
  return WithForwardSlashes(dot < 0 ? path : path.Left(dot));
}

CXString GetExtensionFromFileName(const CXString& path) {
  const std::int32_t dot = ExtensionDot(path);
  return dot < 0 ? CXString() : path.Mid(dot);
}

CXString GetNameWithoutExtensionOrSpaces(const CXString& path) {
  CXString name = GetNameWithoutExtension(path);
  name.Remove(u' ');
  return name;
}

CXString getModuleName(HINSTANCE module) {
  return FromNative(module == nullptr ? w4platform::ExecutableFileName()
                                      : w4platform::ModuleFileNameContaining(module));
}

CXString getModuleName() {
  return FromNative(w4platform::ModuleFileNameContaining(w4platform::OwnModuleAddress()));
}

CXString getModulePath(HINSTANCE module) { return getPathFromFileName(getModuleName(module)); }

CXString getModulePath() { return getPathFromFileName(getModuleName()); }

bool FindFilesInSubdirectories(const CXString& root, const CXString& pattern, bool fullPaths,
                               std::vector<CXString>& out) {
  CXString shownRoot = WithForwardSlashes(root);
  if (shownRoot.IsEmpty()) shownRoot = u"./";
  if (shownRoot[shownRoot.GetLength() - 1] != u'/') shownRoot += u'/';
  std::string nativeRoot = ToNative(shownRoot);
  if (nativeRoot.size() > 1) nativeRoot.pop_back();
  w4platform::FileInfo info;
  if (w4platform::CurrentFileSystem().GetInfo(nativeRoot, info) != 0 || !info.isDirectory) return false;
  std::vector<w4platform::DirectoryEntry> probe;
  if (w4platform::CurrentFileSystem().ListDirectory(nativeRoot, probe) != 0) return false;
  Search(nativeRoot, shownRoot, std::u16string(pattern, static_cast<std::size_t>(pattern.GetLength())),
         fullPaths, out, 0);
  return true;
}

}  // namespace ZelvoUtilities
