// RegistryKey: one open key of the host registry with typed reads that fall
// back to defaults, typed writes, enumeration, deletion and copying.
//
// Values: booleans are one REG_BINARY byte (0 or 1), longs four REG_DWORD
// bytes little-endian, strings REG_SZ UTF-16 with a terminating NUL, byte
// blocks REG_BINARY. Missing values are not errors: reads answer their
// default, opens an empty pointer. Other failures throw
// ExceptionRegistryRequest.
//
// A key built on HKEY_CURRENT_USER by a thread that impersonates a user is
// redirected, for the life of the object, to that user's hive (decided once,
// at construction, for the constructing thread).
//
// Ownership: an owning key closes its handle when destroyed; copying or
// assigning moves the handles (the source keeps its handle value but no
// longer closes it). A key is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/platform/RegistryTypes.h"

using HKEY = w4platform::RegHandle;
using value_entW = w4platform::RegValueEntry;

class W4UTIL_EXPORT RegistryKey {
 public:
  RegistryKey(HKEY key, bool owns);
  // Takes over other's handles; other no longer closes them.
  RegistryKey(RegistryKey& other) noexcept;
  RegistryKey(RegistryKey&& other) noexcept;
  // Closes what this key owns, then takes over other's handles.
  RegistryKey& operator=(RegistryKey& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;
  virtual ~RegistryKey();

  // False only when creating "Software" under the current user is denied.
  static bool DoesThreadHavePermissiontoWriteToHkcu();

  // Throws ExceptionRegistryRequest on failure. The new key is owned.
  static RegistryKey CreateRegistryKey(RegistryKey& parent, const CXString& subkey,
                                       std::uint32_t access, bool isVolatile);
  // Empty on failure, with the registry result code in `result`.
  static std::unique_ptr<RegistryKey> CreateRegistryKey(RegistryKey& parent,
                                                        const CXString& subkey,
                                                        std::uint32_t access, bool isVolatile,
                                                        std::int32_t& result);
  // Empty on failure, with "RegCreateKeyEx(<subkey>) failed! <text>" in
  // `error` (emptied first, left empty on success).
  static std::unique_ptr<RegistryKey> CreateRegistryKey(RegistryKey& parent,
                                                        const CXString& subkey,
                                                        std::uint32_t access, bool isVolatile,
                                                        CXString& error);
  // Empty when the subkey does not exist; other failures throw.
  static std::unique_ptr<RegistryKey> OpenRegistryKey(RegistryKey& parent, const CXString& subkey,
                                                      std::uint32_t access);
  // Whether the current user's driver key says the hive is ".default".
  static bool IsHkcuRegistryHiveHkuDotDefault();

  // The handle calls go to (the redirected one when there is one).
  HKEY GetKey() const noexcept { return currentUser_ != 0 ? currentUser_ : key_; }
  bool IsKeyValid() const noexcept { return key_ != 0; }
  bool DoesValueExist(const CXString& name) const;

  // Answers whether the value exists; `out` holds its bytes (empty when
  // absent). A value that vanishes between the size query and the read
  // reads as absent. type may be null.
  bool GetValue(const CXString& name, ByteBuffer& out, std::uint32_t* type = nullptr) const;
  bool GetBooleanValue(const CXString& name, bool defaultValue) const;
  // Throws ExceptionNotEnoughBytesForDesiredDataType for 1 to 3 bytes.
  std::int32_t GetLongValue(const CXString& name, std::int32_t defaultValue) const;
  // The text up to its first NUL, within the stored bytes.
  CXString GetStringValue(const CXString& name, const CXString& defaultValue) const;
  ByteBuffer GetBytesValue(const CXString& name, const ByteBuffer& defaultValue) const;

  void SetValue(const CXString& name, std::uint32_t type, const unsigned char* data,
                std::uint32_t size);
  void SetBooleanValue(const CXString& name, bool value);
  void SetLongValue(const CXString& name, std::int32_t value);
  void SetStringValue(const CXString& name, const CXString& value);
  void SetBytesValue(const CXString& name, const ByteBuffer& value);

  // Fills records from one registry call, their data in `data` (resized as
  // the registry asks). Throws ExceptionRegistryRequest on failure,
  // including a missing value.
  void QueryMultipleValues(std::vector<value_entW>& records, ByteBuffer& data) const;

  void EnumKeyNames(std::vector<CXString>& names) const;
  void EnumValueNames(std::vector<CXString>& names) const;
  std::uint32_t GetCountOfSubKeys() const;
  std::uint32_t GetCountOfValues() const;
  bool AnySubKeysExist() const;

  // Registry result codes.
  std::uint32_t DeleteValue(const CXString& name);
  std::uint32_t DeleteKey(const CXString& subkey);
  std::uint32_t DeleteKeyAndSubkeys(const CXString& subkey);
  std::uint32_t CopyKeyAndSubkeysFrom(HKEY source, const CXString& subkey);

  // True when the value now lives under newName only. A failed write leaves
  // the old value in place and answers false.
  bool RenameValue(const CXString& oldName, const CXString& newName);

  void Dump() const {}

 private:
  void CloseOwned() noexcept;
  void TakeFrom(RegistryKey& other) noexcept;

  HKEY key_ = 0;
  bool owns_ = false;
  HKEY currentUser_ = 0;  // opened for an impersonating thread; always closed
};
