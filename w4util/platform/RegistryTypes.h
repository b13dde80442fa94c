// Result codes, value types, access rights and records shared by the
// registry store and the spooler. The numbers are the host registry's own, so
// code above the platform layer compares against the same constants it would
// on the original host. Plain constants and aggregates: no state, no threads.
#pragma once

#include <cstdint>

namespace w4platform {

// A key handle: a predefined root or a handle returned by an open or create.
// 0 is never a valid handle.
using RegHandle = std::uint64_t;

inline constexpr RegHandle HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr RegHandle HKEY_CURRENT_USER = 0x80000001u;
inline constexpr RegHandle HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr RegHandle HKEY_USERS = 0x80000003u;

// Result codes.
inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t ERROR_OUTOFMEMORY = 14;
inline constexpr std::uint32_t ERROR_DISK_FULL = 112;
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t ERROR_BAD_PATHNAME = 161;
inline constexpr std::uint32_t ERROR_BUSY = 170;
inline constexpr std::uint32_t ERROR_MORE_DATA = 234;
inline constexpr std::uint32_t ERROR_NO_MORE_ITEMS = 259;
inline constexpr std::uint32_t ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr std::uint32_t ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr std::uint32_t ERROR_KEY_DELETED = 1018;
inline constexpr std::uint32_t ERROR_CHILD_MUST_BE_VOLATILE = 1021;
inline constexpr std::uint32_t RPC_S_SERVER_UNAVAILABLE = 1722;
inline constexpr std::uint32_t ERROR_INVALID_PRINTER_NAME = 1801;
inline constexpr std::uint32_t ERROR_PRINTER_ALREADY_EXISTS = 1802;
inline constexpr std::uint32_t ERROR_INVALID_PRINTER_COMMAND = 1803;
inline constexpr std::uint32_t ERROR_INVALID_LEVEL = 124;

// Value types. Every other number is accepted and kept as opaque bytes.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr std::uint32_t REG_LINK = 6;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

// Create options and dispositions.
inline constexpr std::uint32_t REG_OPTION_NON_VOLATILE = 0;
inline constexpr std::uint32_t REG_OPTION_VOLATILE = 1;
inline constexpr std::uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr std::uint32_t REG_OPENED_EXISTING_KEY = 2;

// Access rights of key handles.
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr std::uint32_t KEY_NOTIFY = 0x0010;
inline constexpr std::uint32_t KEY_CREATE_LINK = 0x0020;
inline constexpr std::uint32_t KEY_WOW64_64KEY = 0x0100;
inline constexpr std::uint32_t KEY_WOW64_32KEY = 0x0200;
inline constexpr std::uint32_t DELETE_ACCESS = 0x00010000;
inline constexpr std::uint32_t READ_CONTROL = 0x00020000;
inline constexpr std::uint32_t KEY_READ = 0x00020019;
inline constexpr std::uint32_t KEY_WRITE = 0x00020006;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0x000F003F;
inline constexpr std::uint32_t MAXIMUM_ALLOWED = 0x02000000;

// Limits of names and data. Key names are limited per path component, value
// names as a whole; longer ones answer ERROR_INVALID_PARAMETER.
inline constexpr std::uint32_t kMaxKeyNameLength = 255;
inline constexpr std::uint32_t kMaxValueNameLength = 16383;
// Values larger than this are refused rather than stored (no unbounded
// allocation on read).
inline constexpr std::uint32_t kMaxValueDataSize = 16u * 1024u * 1024u;

// One entry of a multiple-value query. The caller fills valueName; the query
// fills the rest, valuePointer pointing into the caller's buffer.
struct RegValueEntry {
  const char16_t* valueName = nullptr;
  std::uint32_t valueLength = 0;
  std::uint8_t* valuePointer = nullptr;
  std::uint32_t type = 0;
};

// What RegQueryInfoKey reports. Lengths are in characters, without the
// terminating NUL; data length in bytes. lastWriteTime is 100 ns units since
// 1601-01-01 UTC.
struct RegKeyInfo {
  std::uint32_t subKeys = 0;
  std::uint32_t maxSubKeyLength = 0;
  std::uint32_t maxClassLength = 0;
  std::uint32_t values = 0;
  std::uint32_t maxValueNameLength = 0;
  std::uint32_t maxValueLength = 0;
  std::uint32_t securityDescriptorLength = 0;
  std::uint64_t lastWriteTime = 0;
};

}  // namespace w4platform
