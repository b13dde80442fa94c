// The host registry: hives of keys holding named, typed values, reached
// through key handles with the calls, arguments and result codes of the
// original host's registry API (0 success, 2 not found, 5 access denied,
// 6 invalid handle, 87 invalid parameter, 234 more data, 259 no more items,
// 1018 key deleted, ...). No call throws.
//
// Hives: the machine hive (HKEY_LOCAL_MACHINE; HKEY_CLASSES_ROOT is its
// "SOFTWARE\Classes" key) and one hive per user (HKEY_USERS\<sid>).
// HKEY_CURRENT_USER resolves, on every call, to the hive of the calling
// thread's effective user (ThreadTokenService): an impersonating thread
// reaches the impersonated user's hive. A folder-backed store keeps each hive
// in an SQLite database under <folder>/registry ("machine.db",
// "users/<sid>.db"), shared safely by every process and thread that opens
// it; an in-memory store keeps private in-memory hives (tests).
//
// Names: key names are paths of components joined by "\" (each at most 255
// characters, no empty component, no leading "\", no NUL); value names at
// most 16383 characters, no NUL, "" is the default value. Names compare
// without regard to case (FoldRegistryName) and keep their first spelling.
// Data: at most kMaxValueDataSize bytes; REG_DWORD / REG_DWORD_BIG_ENDIAN
// must be 4 bytes, REG_QWORD 8, the string types an even count; other types
// are opaque bytes. Violations answer ERROR_INVALID_PARAMETER.
//
// Volatile keys (REG_OPTION_VOLATILE) last until the host reboots: a hive
// opened under a different boot id than the one that created them no longer
// has them. Subkeys of volatile keys must be volatile (1021 otherwise).
//
// Handles: never reused within a store; closing twice or using a closed or
// unknown handle answers ERROR_INVALID_HANDLE; a handle whose key was deleted
// (by anyone, in any process) answers ERROR_KEY_DELETED. Enumerations answer
// ERROR_NO_MORE_ITEMS only past the end of a live key.
//
// Thread-safety: every member may be called concurrently. The store must
// outlive the handles' use; Process() lives until exit.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "w4util/Export.h"
#include "w4util/platform/RegistryTypes.h"

namespace w4platform {

namespace internal {
class SqliteHive;
}

class W4UTIL_EXPORT RegistryStore {
 public:
  // The process's store over DefaultDataFolder(), created on first use.
  static RegistryStore& Process();
  // Makes `store` the process's store (tests). Must not race with other users
  // of Process(); the former store stays alive until exit.
  static void ReplaceProcessStore(std::unique_ptr<RegistryStore> store);

  static std::unique_ptr<RegistryStore> OpenInMemory();
  // bootId "" means this host's boot id (HostBootId()).
  static std::unique_ptr<RegistryStore> OpenFolder(const std::string& folder,
                                                   const std::string& bootId = "");
  // $W4UTIL_HOME, else $XDG_DATA_HOME/w4util, else ~/.local/share/w4util.
  static std::string DefaultDataFolder();
  static std::string HostBootId();

  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  std::uint32_t RegOpenKeyEx(RegHandle key, std::u16string_view subKey, std::uint32_t options,
                             std::uint32_t access, RegHandle* result);
  // disposition may be null.
  std::uint32_t RegCreateKeyEx(RegHandle key, std::u16string_view subKey, std::uint32_t options,
                               std::uint32_t access, RegHandle* result,
                               std::uint32_t* disposition);
  // The root of the calling thread's effective user's hive.
  std::uint32_t RegOpenCurrentUser(std::uint32_t access, RegHandle* result);
  // Closing a predefined root is accepted and does nothing.
  std::uint32_t RegCloseKey(RegHandle key);

  // data null: size query (*size = length). *size smaller than the length:
  // ERROR_MORE_DATA with *size = length. type may be null.
  std::uint32_t RegQueryValueEx(RegHandle key, std::u16string_view valueName, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* size);
  std::uint32_t RegSetValueEx(RegHandle key, std::u16string_view valueName, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t size);
  std::uint32_t RegDeleteValue(RegHandle key, std::u16string_view valueName);
  // Deletes a key without subkeys ("" deletes `key` itself); one with
  // subkeys answers ERROR_ACCESS_DENIED.
  std::uint32_t RegDeleteKey(RegHandle key, std::u16string_view subKey);

  // nameLength: in, the buffer's size in characters including the NUL; out,
  // the name's length without it. Too small: ERROR_MORE_DATA, *nameLength =
  // the name's length.
  std::uint32_t RegEnumKeyEx(RegHandle key, std::uint32_t index, char16_t* name,
                             std::uint32_t* nameLength);
  // Name as RegEnumKeyEx; type, data and dataSize as RegQueryValueEx (each
  // may be null).
  std::uint32_t RegEnumValue(RegHandle key, std::uint32_t index, char16_t* name,
                             std::uint32_t* nameLength, std::uint32_t* type, std::uint8_t* data,
                             std::uint32_t* dataSize);
  std::uint32_t RegQueryInfoKey(RegHandle key, RegKeyInfo* info);
  // Reads every entry's value into `buffer` from one snapshot. *totalSize: in,
  // the buffer's size; too small: ERROR_MORE_DATA with the size needed. A
  // missing value answers ERROR_FILE_NOT_FOUND.
  std::uint32_t RegQueryMultipleValues(RegHandle key, RegValueEntry* entries, std::uint32_t count,
                                       std::uint8_t* buffer, std::uint32_t* totalSize);

  // Deletes subKey with everything below it.
  std::uint32_t SHDeleteKey(RegHandle key, std::u16string_view subKey);
  // As SHDeleteKey; an empty subKey deletes the contents of `key` (values
  // and subkeys) and keeps the key.
  std::uint32_t RegDeleteTree(RegHandle key, std::u16string_view subKey);
  // Copies the values and subkeys of source\subKey into destination
  // (merging, overwriting values of the same name). Works across hives and
  // into the source's own subtree (the source is read first).
  std::uint32_t SHCopyKey(RegHandle source, std::u16string_view subKey, RegHandle destination);

  // Host extension standing in for a key's access-control list: the rights
  // in `mask` are refused to every later open or create of the key.
  std::uint32_t SetKeyDeniedAccess(RegHandle key, std::uint32_t mask);
  // Runs body as one transaction of the hive that holds `key`: calls body
  // makes on that hive commit together when it answers 0, or not at all.
  std::uint32_t Batch(RegHandle key, const std::function<std::uint32_t()>& body);

 private:
  struct Resolved;
  struct HandleEntry;

  RegistryStore(std::string folder, std::string bootId);
  std::uint32_t Resolve(RegHandle key, Resolved* out);
  std::uint32_t MachineHive(std::shared_ptr<internal::SqliteHive>* out);
  std::uint32_t UserHive(std::u16string_view sid, bool create,
                         std::shared_ptr<internal::SqliteHive>* out);
  std::uint32_t OpenOrCreate(RegHandle key, std::u16string_view subKey, std::uint32_t options,
                             std::uint32_t access, bool create, RegHandle* result,
                             std::uint32_t* disposition);
  RegHandle AddHandle(const HandleEntry& entry);

  const std::string folder_;  // "" for in-memory
  const std::string bootId_;
  std::mutex mutex_;
  std::shared_ptr<internal::SqliteHive> machine_;
  std::map<std::u16string, std::shared_ptr<internal::SqliteHive>> users_;  // by folded sid
  std::unordered_map<RegHandle, std::shared_ptr<HandleEntry>> handles_;
  RegHandle nextHandle_ = 0x1000;
};

}  // namespace w4platform
