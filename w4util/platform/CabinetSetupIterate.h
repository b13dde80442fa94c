// Extraction of a cabinet on disk through a per-file callback, in the shape
// of the host's setup call (SetupIterateCabinetW) that the installer-side
// code was written against.
//
// The callback sees SPFILENOTIFY_CABINETINFO (param1: const SetupCabinetInfo*),
// then for each file SPFILENOTIFY_FILEINCABINET (param1: FileInCabinetInfo*,
// param2: the cabinet's path as const char16_t*) and, after a file was
// written, SPFILENOTIFY_FILEEXTRACTED (param1: const SetupFilePaths*).
// For FILEINCABINET it answers FILEOP_DOIT after writing the target path into
// FullTargetName, FILEOP_SKIP, or FILEOP_ABORT with Win32Error set (0 ends
// the iteration as a success); for the other notifications 0 goes on and any
// other value stops with that error. Targets are created or truncated, get
// the entry's DOS time as their modification time, and a target left half
// written by a failure is removed. Names stored in the cabinet are decoded as
// UTF-8 when flagged so, else in the ANSI code page.
// Thread-safe as far as the callback is; the engine keeps no global state.
#pragma once

#include <cstdint>
#include <functional>

#include "w4util/Export.h"

namespace w4platform {

inline constexpr std::uint32_t SPFILENOTIFY_CABINETINFO = 0x10;
inline constexpr std::uint32_t SPFILENOTIFY_FILEINCABINET = 0x11;
inline constexpr std::uint32_t SPFILENOTIFY_NEEDNEWCABINET = 0x12;
inline constexpr std::uint32_t SPFILENOTIFY_FILEEXTRACTED = 0x13;

inline constexpr std::uint32_t FILEOP_ABORT = 0;
inline constexpr std::uint32_t FILEOP_DOIT = 1;
inline constexpr std::uint32_t FILEOP_SKIP = 2;

inline constexpr std::uint32_t kSetupMaxPath = 260;

// Result codes as the host numbers them.
inline constexpr std::uint32_t kSetupErrorSuccess = 0;
inline constexpr std::uint32_t kSetupErrorFileNotFound = 2;
inline constexpr std::uint32_t kSetupErrorPathNotFound = 3;
inline constexpr std::uint32_t kSetupErrorAccessDenied = 5;
inline constexpr std::uint32_t kSetupErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kSetupErrorInvalidData = 13;
inline constexpr std::uint32_t kSetupErrorWriteFault = 29;
inline constexpr std::uint32_t kSetupErrorInvalidParameter = 87;

struct SetupCabinetInfo {
  const char16_t* CabinetPath;
  const char16_t* CabinetFile;
  const char16_t* DiskName;
  std::uint16_t SetId;
  std::uint16_t CabinetNumber;
};

struct FileInCabinetInfo {
  const char16_t* NameInCabinet;
  std::uint32_t FileSize;
  std::uint32_t Win32Error;
  std::uint16_t DosDate;
  std::uint16_t DosTime;
  std::uint16_t DosAttribs;
  char16_t FullTargetName[kSetupMaxPath];
};

struct SetupFilePaths {
  const char16_t* Target;
  const char16_t* Source;
  std::uint32_t Win32Error;
  std::uint32_t Flags;
};

using SetupFileCallback =
    std::function<std::uint32_t(std::uint32_t notification, std::uintptr_t param1, std::uintptr_t param2)>;

// Returns true when the iteration ran to its end or was ended by the callback
// without an error; `lastError` receives the result code (0 on success).
// `reserved` must be 0.
W4UTIL_EXPORT bool SetupIterateCabinet(const char16_t* cabinetFile, std::uint32_t reserved,
                                       const SetupFileCallback& callback, std::uint32_t& lastError);

}  // namespace w4platform
