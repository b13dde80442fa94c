#include "w4util/environment/OperatingSystem.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "w4util/config/RegistryKey.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/Utf8.h"
#include "w4util/platform/CodePage.h"
#include "w4util/platform/OsServices.h"
#include "w4util/platform/RegistryStore.h"

namespace {

using namespace w4platform;

std::string Native(const CXString& path) {
  const ByteBuffer bytes =
      ZelvoUtilities::UTF8_Encode(path, static_cast<std::uint32_t>(path.GetLength()));
  std::string out(bytes.begin(), bytes.end());
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

CXString Wide(const std::string& text) {
  const ByteBuffer bytes =
      ZelvoUtilities::UTF8_Decode(text.data(), static_cast<std::uint32_t>(text.size()));
  return CXString(reinterpret_cast<const char16_t*>(bytes.data()),
                  static_cast<std::int32_t>(bytes.size() / 2));
}

// The host-facts key, or null when it does not exist.
std::unique_ptr<RegistryKey> HostKey() {
  try {
    RegistryKey machine(HKEY_LOCAL_MACHINE, false);
    return RegistryKey::OpenRegistryKey(machine, OperatingSystem::kHostKey, KEY_READ);
  } catch (const ZelvoException&) {
    return nullptr;
  }
}

// A REG_DWORD fact; the default when absent or not 4 bytes.
std::uint32_t HostNumber(const char16_t* name, std::uint32_t defaultValue) {
  std::unique_ptr<RegistryKey> key = HostKey();
  if (!key) return defaultValue;
  ByteBuffer bytes;
  std::uint32_t type = 0;
  try {
    if (!key->GetValue(name, bytes, &type) || type != REG_DWORD || bytes.size() != 4) {
      return defaultValue;
    }
  } catch (const ZelvoException&) {
    return defaultValue;
  }
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

CXString HostText(const char16_t* name, const char16_t* defaultValue) {
  std::unique_ptr<RegistryKey> key = HostKey();
  if (!key) return CXString(defaultValue);
  try {
    return key->GetStringValue(name, defaultValue);
  } catch (const ZelvoException&) {
    return CXString(defaultValue);
  }
}

// A decimal text as the locale functions give it; -1 when it is none.
std::int64_t Decimal(const CXString& text) {
  if (text.IsEmpty() || text.GetLength() > 9) return -1;
  std::int64_t value = 0;
  for (std::int32_t i = 0; i < text.GetLength(); ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') return -1;
    value = value * 10 + (c - u'0');
  }
  return value;
}

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

std::uint32_t AnsiCodePageNumber() {
  const std::string& name = AnsiCodePageName();
  std::uint32_t number = 0;
  for (char c : name) {
    if (c >= '0' && c <= '9') number = number * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return number != 0 ? number : 1252;
}

}  // namespace

OperatingSystem::OperatingSystem()
    : m_CodePage(AnsiCodePageNumber()),
      m_LanguageId(static_cast<std::uint16_t>(HostNumber(u"LanguageId", 0x0409))) {}

OperatingSystem::~OperatingSystem() { UnloadModule(); }

OperatingSystem::VersionFacts OperatingSystem::QueryVersion() {
  VersionFacts facts;
  if (HostNumber(u"VersionQueryFails", 0) != 0) return facts;
  facts.valid = true;
  facts.major = HostNumber(u"MajorVersion", 6);
  facts.minor = HostNumber(u"MinorVersion", 1);
  facts.build = HostNumber(u"BuildNumber", 7601);
  facts.platformId = HostNumber(u"PlatformId", 2);
  facts.productType = HostNumber(u"ProductType", 1);
  facts.servicePack = HostText(u"ServicePack", u"");
  return facts;
}

OperatingSystem::OperatingSystemType OperatingSystem::ClassifyOS(const VersionFacts& facts,
                                                                 bool is64Bit) {
  constexpr std::uint32_t kPlatformNt = 2;
  constexpr std::uint32_t kWorkstation = 1;
  if (!facts.valid || facts.platformId != kPlatformNt) return Other;
  const bool workstation = facts.productType == kWorkstation;
  if (facts.major == 5) {
    switch (facts.minor) {
      case 0: return Win2000;
      case 1: return is64Bit ? WinXP64 : WinXP32;
      case 2:
        if (workstation) return is64Bit ? WinXP64 : Other;
        return is64Bit ? WinServer2003_64 : WinServer2003_32;
      default: return Other;
    }
  }
  if (facts.major == 6) {
    switch (facts.minor) {
      case 0:
        if (workstation) return is64Bit ? Vista64 : Vista32;
        return is64Bit ? WinServer2008_64 : WinServer2008_32;
      case 1: return is64Bit ? Win7_64 : Win7_32;
      default: return Other;
    }
  }
  return Other;
}

OperatingSystem::OperatingSystemType OperatingSystem::GetCurrentOS() {
  static const OperatingSystemType current = ClassifyOS(QueryVersion(), Is64BitProcess());
  return current;
}

CXString OperatingSystem::GetOSEnumAsString(OperatingSystemType type) {
  if (type == Unknown) type = GetCurrentOS();
  switch (type) {
    case Unknown: return u"Unknown";
    case Win2000: return u"Win2000";
    case WinXP32: return u"WinXP32";
    case WinXP64: return u"WinXP64";
    case WinServer2003_32: return u"WinServer2003_32";
    case WinServer2003_64: return u"WinServer2003_64";
    case Vista32: return u"Vista32";
    case Vista64: return u"Vista64";
    case Win7_32: return u"Win7_32";
    case Win7_64: return u"Win7_64";
    case WinServer2008_32: return u"WinServer2008_32";
    case WinServer2008_64: return u"WinServer2008_64";
    default: return u"Other";
  }
}

bool OperatingSystem::IsOSSupported(const CXString& list, bool listIsSupported,
                                    OperatingSystemType type) {
  const bool listed = list.Find(GetOSEnumAsString(type)) >= 0;
  return listIsSupported ? listed : !listed;
}

bool OperatingSystem::IsOsVersionGreaterThanOrEqual(std::uint32_t major, std::uint32_t minor) {
  const VersionFacts facts = QueryVersion();
  if (!facts.valid) return false;
  return facts.major > major || (facts.major == major && facts.minor >= minor);
}

bool OperatingSystem::Is64BitProcess() {
  static const bool is64 = HostNumber(u"Is64Bit", IsHost64Bit() ? 1 : 0) != 0;
  return is64;
}

bool OperatingSystem::IsServerOS(bool defaultAnswer) {
  const VersionFacts facts = QueryVersion();
  if (!facts.valid) return defaultAnswer;
  return facts.productType == 3 || facts.productType == 2;
}

CXString OperatingSystem::GetDisplayableOsVersion() {
  const VersionFacts facts = QueryVersion();
  const std::int32_t bits = Is64BitProcess() ? 64 : 32;
  if (facts.servicePack.IsEmpty()) {
    return ZelvoUtilities::SafeFormatString(u"Windows %d.%d, build %u (%d bit)", facts.major,
                                            facts.minor, facts.build, bits);
  }
  return ZelvoUtilities::SafeFormatString(u"Windows %d.%d, build %u (%d bit) with %s",
                                          facts.major, facts.minor, facts.build, bits,
                                          static_cast<const char16_t*>(facts.servicePack));
}

bool OperatingSystem::GetInternetExplorerVersion(std::uint16_t& a, std::uint16_t& b,
                                                 std::uint16_t& c, std::uint16_t& d) {
  if (!m_BrowserVersionRead) {
    m_BrowserVersionRead = true;
    try {
      RegistryKey machine(HKEY_LOCAL_MACHINE, false);
      std::unique_ptr<RegistryKey> key = RegistryKey::OpenRegistryKey(
          machine, u"Software\\Microsoft\\Internet Explorer", KEY_READ);
      if (key && key->DoesValueExist(u"Version")) {
        const CXString text = key->GetStringValue(u"Version", u"");
        std::vector<CXString> parts = text.Tokenize(u'.');
        for (std::size_t i = 0; i < 4 && i < parts.size(); ++i) {
          const std::int64_t part = Decimal(parts[i]);
          m_BrowserVersion[i] = static_cast<std::uint16_t>(part < 0 || part > 0xFFFF ? 0 : part);
        }
        m_BrowserVersionFound = !text.IsEmpty();
      }
    } catch (const ZelvoException&) {
      m_BrowserVersionFound = false;
    }
  }
  a = m_BrowserVersion[0];
  b = m_BrowserVersion[1];
  c = m_BrowserVersion[2];
  d = m_BrowserVersion[3];
  return m_BrowserVersionFound;
}

bool OperatingSystem::UseEnglishPaperSizes() {
  if (m_EnglishPaperSizes == 0) {
    const std::int64_t country = Decimal(HostText(u"Country", u"1"));
    const bool english = (country >= 0 && country <= 2) || (country >= 50 && country <= 59) ||
                         (country >= 500 && country <= 599);
    m_EnglishPaperSizes = english ? 2 : 1;
  }
  return m_EnglishPaperSizes == 2;
}

bool OperatingSystem::IsMetricCountry() {
  if (m_MetricCountry == 0) {
    m_MetricCountry = Decimal(HostText(u"Measure", u"1")) == 0 ? 2 : 1;
  }
  return m_MetricCountry == 2;
}

bool OperatingSystem::IsHighContrastAccessibilityEnabled() {
  if (m_HighContrast == 0) m_HighContrast = HostNumber(u"HighContrast", 0) != 0 ? 2 : 1;
  return m_HighContrast == 2;
}

bool OperatingSystem::IsUiThemeEnabled() {
  if (m_UiTheme == 0) m_UiTheme = HostNumber(u"ThemeActive", 0) != 0 ? 2 : 1;
  return m_UiTheme == 2;
}

std::int32_t OperatingSystem::GetTerminalServicesClientProtocol() {
  std::unique_ptr<RegistryKey> key = HostKey();
  if (!key) return 0;
  ByteBuffer bytes;
  try {
    if (!key->GetValue(u"SessionProtocol", bytes)) return 0;
  } catch (const ZelvoException&) {
    return -1;
  }
  if (bytes.size() != 4) return -1;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) |
                                   static_cast<std::uint32_t>(bytes[1]) << 8 |
                                   static_cast<std::uint32_t>(bytes[2]) << 16 |
                                   static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::int32_t OperatingSystem::GetTerminalServicesSessionId() {
  return static_cast<std::int32_t>(HostNumber(u"SessionId", 1));
}

bool OperatingSystem::IsCitrixCpsvcProcess() {
  return GetNameOfModule(nullptr, false).CompareNoCase(u"cpsvc.exe") == 0;
}

bool OperatingSystem::IsThreadWithLowPermissions() {
  try {
    RegistryKey user(HKEY_CURRENT_USER, false);
    return RegistryKey::OpenRegistryKey(user, u"Software\\Zelvo", KEY_ALL_ACCESS) == nullptr;
  } catch (const ZelvoException&) {
    return true;
  }
}

std::int32_t OperatingSystem::SetForegroundWindowAcrossProcesses(HWND, std::int32_t) { return 0; }

HINSTANCE OperatingSystem::LoadModule(const CXString& path, bool throwOnFailure) {
  UnloadModule();
  std::string error;
  void* module = LoadSharedModule(Native(path), error);
  if (module == nullptr) {
    if (throwOnFailure) {
      ZELVO_THROW(ExceptionOperatingSystemFailure, "OperatingSystem::LoadModule",
                  "Cannot load %s: %S", static_cast<const char16_t*>(path), error.c_str());
    }
    return nullptr;
  }
  m_Module = reinterpret_cast<HINSTANCE>(module);
  return m_Module;
}

void OperatingSystem::UnloadModule() {
  if (m_Module != nullptr) UnloadSharedModule(reinterpret_cast<void*>(m_Module));
  m_Module = nullptr;
}

HINSTANCE OperatingSystem::ReleaseModule() {
  HINSTANCE module = m_Module;
  m_Module = nullptr;
  return module;
}

CXString OperatingSystem::GetNameOfModule(HMODULE module, bool fullPath) {
  CXString name = Wide(SharedModuleFileName(reinterpret_cast<void*>(module)));
  if (fullPath) return name;
  std::int32_t cut = -1;
  for (std::int32_t i = 0; i < name.GetLength(); ++i) {
    if (IsSeparator(name[i])) cut = i;
  }
  return name.Mid(cut + 1);
}

CXString OperatingSystem::GetModulePath(HMODULE module) {
  const CXString name = GetNameOfModule(module, true);
  std::int32_t cut = -1;
  for (std::int32_t i = 0; i < name.GetLength(); ++i) {
    if (IsSeparator(name[i])) cut = i;
  }
  return cut < 0 ? CXString() : name.Left(cut);
}

bool OperatingSystem::GetFileVersion(const CXString&, std::uint64_t& version) {
  m_VersionBlock.clear();
  version = 0;
  return false;
}

CXString OperatingSystem::GetDisplayableFileVersion(const CXString& file) {
  std::uint64_t version = 0;
  if (!GetFileVersion(file, version)) return u"??.??.??.??";
  return ZelvoUtilities::SafeFormatString(
      u"%u.%u.%u.%u", static_cast<std::uint32_t>(version >> 48),
      static_cast<std::uint32_t>((version >> 32) & 0xFFFF),
      static_cast<std::uint32_t>((version >> 16) & 0xFFFF),
      static_cast<std::uint32_t>(version & 0xFFFF));
}

std::uint16_t OperatingSystem::GetFileLanguage(const CXString& file) {
  ZELVO_THROW(ExceptionOperatingSystemFailure, "OperatingSystem::GetFileLanguage",
              "%s has no translation table.", static_cast<const char16_t*>(file));
}

bool OperatingSystem::FileExists(const CXString& file) {
  return !file.IsEmpty() && PathExists(Native(file));
}

bool OperatingSystem::IsFileInUse(const CXString& file) { return IsFileLocked(Native(file)); }

bool OperatingSystem::FileIsReadOnly(const CXString& file) { return IsReadOnly(Native(file)); }

bool OperatingSystem::SetFileReadonlyHidden(const CXString& file, bool set) {
  return SetReadOnly(Native(file), set) == 0;
}

bool OperatingSystem::GetFileCreationTime(const CXString& file, std::int64_t& unixSeconds) {
  FileTimes times;
  if (GetFileTimes(Native(file), times) != 0) return false;
  unixSeconds = times.creationUnixSeconds;
  return true;
}

bool OperatingSystem::GetFileModifiedTime(const CXString& file, std::int64_t& unixSeconds) {
  FileTimes times;
  if (GetFileTimes(Native(file), times) != 0) return false;
  unixSeconds = times.modifiedUnixSeconds;
  return true;
}

bool OperatingSystem::DeleteFileW(const CXString& file) { return RemoveFile(Native(file)) == 0; }

CXString OperatingSystem::GetTempPathW() { return Wide(TemporaryDirectory()); }

CXString OperatingSystem::GetTempFileNameW(const CXString& path, const CXString& prefix) {
  std::string name;
  // Prefixes are cut to three characters, as the host's call does; no
  // separator may come from them.
  std::string head = Native(prefix.Left(3));
  for (char& c : head) {
    if (c == '/') c = '_';
  }
  if (CreateUniqueFile(Native(path), head, name) != 0) return CXString();
  return Wide(name);
}

CXString OperatingSystem::GetWindowsDirectoryW() {
  return Wide(RegistryStore::DefaultDataFolder());
}

CXString OperatingSystem::GetSystemDirectoryW() {
  return GetModulePath(nullptr);
}

CXString OperatingSystem::GetCurrentDirectoryW() { return Wide(CurrentDirectory()); }

CXString OperatingSystem::GetColorDirectoryPath() { return u"/usr/share/color/icc"; }

CXString OperatingSystem::MakeSurePathEndsWithBackslash(const CXString& path) {
  if (!path.IsEmpty() && IsSeparator(path[path.GetLength() - 1])) return path;
  return path + u'/';
}

CXString OperatingSystem::RemoveTrailingBackslashIfPresent(const CXString& path) {
  if (!path.IsEmpty() && IsSeparator(path[path.GetLength() - 1])) {
    return path.Left(path.GetLength() - 1);
  }
  return path;
}

bool OperatingSystem::CreateDirectoryW(const CXString& path) {
  return CreateDirectories(Native(path)) == 0;
}

std::int32_t OperatingSystem::DeleteDirectoryRecursively(CXString path, bool recurse) {
  if (path.IsEmpty()) return 0;
  path = RemoveTrailingBackslashIfPresent(path);
  if (path.GetLength() < 4) return 0;
  return RemoveDirectoryTree(Native(path), recurse) == 0 ? 1 : 0;
}

bool OperatingSystem::DeleteDirectoryUsingShell(const CXString& path) {
  return DeleteDirectoryRecursively(path, true) != 0;
}

bool OperatingSystem::CopyDirectoryUsingShell(const CXString& from, const CXString& to) {
  std::error_code ec;
  std::filesystem::copy(Native(from), Native(to),
                        std::filesystem::copy_options::recursive |
                            std::filesystem::copy_options::copy_symlinks |
                            std::filesystem::copy_options::overwrite_existing,
                        ec);
  return !ec;
}

bool OperatingSystem::DeleteDirUsingSelfDeletingDll(CXString& path) {
  return DeleteDirectoryRecursively(path, true) != 0;
}
