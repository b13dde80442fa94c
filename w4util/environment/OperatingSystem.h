// OperatingSystem: what the driver asks about the machine it runs on (version
// class, 64-bit, server, locale conventions, session type, rights to its own
// registry branch) and thin wrappers for modules, files, temporary names and
// directory removal.
//
// The host's answers that Linux cannot give (version numbers, product type,
// service pack, locale country and measurement, themes, high contrast, the
// session protocol) come from values under the machine hive's key
// "SOFTWARE\Zelvo\Host" (kHostKey), each with the default listed below, so
// that every decision can be exercised by setting values:
//   MajorVersion 6, MinorVersion 1, BuildNumber 7601 (REG_DWORD)
//   PlatformId 2 (NT family), ProductType 1 (workstation; 2 domain
//   controller, 3 server), VersionQueryFails 0: a non-zero value makes the
//   version query fail
//   Is64Bit: the host's architecture (uname)
//   ServicePack "" (REG_SZ)
//   Country "1", Measure "1" (REG_SZ: the locale's ICOUNTRY and IMEASURE)
//   HighContrast 0, ThemeActive 0
//   SessionProtocol 0 (0 console, 1 ICA, 2 RDP; a value that is not 4 bytes
//   answers -1), SessionId 1 (0xFFFFFFFF answers -1)
// The browser version is the "Version" text under the machine hive's
// "Software\Microsoft\Internet Explorer\".
//
// Caching: GetCurrentOS and Is64BitProcess answer once per process; the
// locale and display answers once per object. Paths are native (both "/"
// and "\" accepted where a path is split). Objects are used by one thread;
// the statics are thread-safe.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/platform/Handles.h"

class W4UTIL_EXPORT OperatingSystem {
 public:
  enum OperatingSystemType {
    Unknown = 0,
    Win2000 = 3,
    WinXP32 = 4,
    WinXP64 = 5,
    WinServer2003_32 = 6,
    WinServer2003_64 = 7,
    Vista32 = 8,
    Vista64 = 9,
    Win7_32 = 10,
    Win7_64 = 11,
    WinServer2008_32 = 12,
    WinServer2008_64 = 13,
    Other = 14,
  };

  // The facts the classification reads; valid false is a failed query.
  struct VersionFacts {
    bool valid = false;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t platformId = 0;
    std::uint32_t productType = 0;
    CXString servicePack;
  };

  static constexpr const char16_t* kHostKey = u"SOFTWARE\\Zelvo\\Host";

  OperatingSystem();
  virtual ~OperatingSystem();
  OperatingSystem(const OperatingSystem&) = delete;
  OperatingSystem& operator=(const OperatingSystem&) = delete;

  // Classification and versions.
  static OperatingSystemType GetCurrentOS();
  static OperatingSystemType ClassifyOS(const VersionFacts& facts, bool is64Bit);
  static VersionFacts QueryVersion();
  CXString GetOSEnumAsString(OperatingSystemType type);
  bool IsOSSupported(const CXString& list, bool listIsSupported, OperatingSystemType type);
  static bool IsOsVersionGreaterThanOrEqual(std::uint32_t major, std::uint32_t minor);
  static bool IsOsVersionVistaOrLater() { return IsOsVersionGreaterThanOrEqual(6, 0); }
  static bool IsOsVersionWin7OrLater() { return IsOsVersionGreaterThanOrEqual(6, 1); }
  static bool Is64BitProcess();
  static bool IsServerOS(bool defaultAnswer);
  static CXString GetDisplayableOsVersion();
  bool GetInternetExplorerVersion(std::uint16_t& a, std::uint16_t& b, std::uint16_t& c,
                                  std::uint16_t& d);

  // Locale and display.
  bool UseEnglishPaperSizes();
  bool IsMetricCountry();
  bool IsHighContrastAccessibilityEnabled();
  bool IsUiThemeEnabled();
  std::uint32_t GetCodePage() const noexcept { return m_CodePage; }
  std::uint16_t GetLanguagePage() const noexcept { return m_LanguageId; }

  // Sessions and rights.
  static std::int32_t GetTerminalServicesClientProtocol();
  static bool IsTerminalServicesOrCitrixSession() { return GetTerminalServicesClientProtocol() != -1; }
  static bool IsRdpTerminalServicesConsoleSession() { return GetTerminalServicesClientProtocol() == 0; }
  static bool IsIcaCitrixSession() { return GetTerminalServicesClientProtocol() == 1; }
  static bool IsRdpTerminalServicesSession() { return GetTerminalServicesClientProtocol() == 2; }
  static std::int32_t GetTerminalServicesSessionId();
  static bool IsCitrixCpsvcProcess();
  static bool IsThreadWithLowPermissions();
  // No windows on this host: nothing to raise; answers 0.
  static std::int32_t SetForegroundWindowAcrossProcesses(HWND window, std::int32_t topMost);

  // Modules. The object holds one loaded module at a time.
  HINSTANCE LoadModule(const CXString& path, bool throwOnFailure);
  HINSTANCE LoadModule(const CXString& path) { return LoadModule(path, false); }
  void UnloadModule();
  // Forgets the module without unloading it; the caller takes it over.
  HINSTANCE ReleaseModule();
  HINSTANCE GetCurrentModule() const noexcept { return m_Module; }
  // A null module names the running program.
  static CXString GetNameOfModule(HMODULE module, bool fullPath);
  static CXString GetModulePath(HMODULE module);

  // Files. Files on this host carry no version block: GetFileVersion answers
  // false and GetFileLanguage throws ExceptionOperatingSystemFailure.
  bool GetFileVersion(const CXString& file, std::uint64_t& version);
  CXString GetDisplayableFileVersion(const CXString& file);
  std::uint16_t GetFileLanguage(const CXString& file);
  static bool FileExists(const CXString& file);
  static bool IsFileInUse(const CXString& file);
  static bool FileIsReadOnly(const CXString& file);
  // Read-only here; "hidden" has no meaning on this host.
  static bool SetFileReadonlyHidden(const CXString& file, bool set);
  // Seconds since 1970-01-01 UTC; false when the file cannot be read.
  static bool GetFileCreationTime(const CXString& file, std::int64_t& unixSeconds);
  static bool GetFileModifiedTime(const CXString& file, std::int64_t& unixSeconds);
  static bool DeleteFileW(const CXString& file);
  // With a trailing separator.
  static CXString GetTempPathW();
  // Creates a new empty file in path (mode 0600) and answers its name; empty
  // on failure.
  static CXString GetTempFileNameW(const CXString& path, const CXString& prefix);
  // The data folder of the library stands in for the system's folder.
  static CXString GetWindowsDirectoryW();
  static CXString GetSystemDirectoryW();
  static CXString GetCurrentDirectoryW();
  static CXString GetColorDirectoryPath();
  static CXString MakeSurePathEndsWithBackslash(const CXString& path);
  static CXString RemoveTrailingBackslashIfPresent(const CXString& path);

  // Directories.
  static bool CreateDirectoryW(const CXString& path);
  // 0 for "" and for paths of fewer than 4 characters once a trailing
  // separator is gone; else 1 when the directory is gone. Symbolic links are
  // removed, never followed.
  static std::int32_t DeleteDirectoryRecursively(CXString path, bool recurse);
  static bool DeleteDirectoryUsingShell(const CXString& path);
  static bool CopyDirectoryUsingShell(const CXString& from, const CXString& to);
  // Files in use can be unlinked on this host, so the directory is removed
  // at once; no helper program is written or started.
  static bool DeleteDirUsingSelfDeletingDll(CXString& path);

  void Dump() const {}

 private:
  std::uint8_t m_EnglishPaperSizes = 0;  // 0 not asked, 1 no, 2 yes
  std::uint8_t m_MetricCountry = 0;
  std::uint8_t m_HighContrast = 0;
  std::uint16_t m_UiTheme = 0;
  std::uint16_t m_BrowserVersion[4] = {0, 0, 0, 0};
  bool m_BrowserVersionRead = false;
  bool m_BrowserVersionFound = false;
  HINSTANCE m_Module = nullptr;
  ByteBuffer m_VersionBlock;
  std::uint32_t m_CodePage = 1252;
  std::uint16_t m_LanguageId = 0x0409;
};
