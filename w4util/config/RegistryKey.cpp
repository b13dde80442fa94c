#include "w4util/config/RegistryKey.h"

#include <cstring>
#include <string_view>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/foundation/Endian.h"
#include "w4util/errors/Throw.h"
#include "w4util/platform/HresultText.h"
#include "w4util/platform/RegistryCaseFold.h"
#include "w4util/platform/RegistryStore.h"
#include "w4util/platform/ThreadToken.h"

namespace {

using namespace w4platform;

// Enumeration buffers start at the host's usual value-name size.
constexpr std::uint32_t kEnumNameChars = 520;
// A value that keeps growing between size query and read is given up on.
constexpr int kMaxReadAttempts = 8;
// Bytes offered to the first read of a value.
constexpr std::uint32_t kFirstReadSize = 256;

RegistryStore& Store() { return RegistryStore::Process(); }

std::u16string_view View(const CXString& text) {
  return std::u16string_view(static_cast<const char16_t*>(text),
                             static_cast<std::size_t>(text.GetLength()));
}

CXString SystemErrorText(std::uint32_t code) {
  std::u16string text = SystemMessageForHresult(static_cast<std::int32_t>(0x80070000u | code));
  if (text.empty()) return ZelvoUtilities::SafeFormatString(u"Error %lu.", code);
  return CXString(text.c_str(), static_cast<std::int32_t>(text.size()));
}

// Walks index by index until "no more items" or any other failure; the name
// buffer grows when the registry asks for more.
template <typename Enum, typename Visit>
void EnumerateNames(std::uint32_t initialChars, Enum enumerate, Visit visit) {
  std::vector<char16_t> buffer(initialChars + 1);
  for (std::uint32_t index = 0;;) {
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    const std::uint32_t result = enumerate(index, buffer.data(), &length);
    if (result == ERROR_MORE_DATA && length + 1 > buffer.size() &&
        length <= kMaxValueNameLength) {
      buffer.resize(length + 1);
      continue;
    }
    if (result != ERROR_SUCCESS) return;
    if (!visit(CXString(buffer.data(), static_cast<std::int32_t>(length)))) return;
    ++index;
  }
}

}  // namespace

RegistryKey::RegistryKey(HKEY key, bool owns) : key_(key), owns_(owns) {
  if (key == HKEY_CURRENT_USER && ThreadTokenService::IsThisThreadImpersonating()) {
    HKEY user = 0;
    if (Store().RegOpenCurrentUser(MAXIMUM_ALLOWED, &user) == ERROR_SUCCESS) currentUser_ = user;
  }
}

RegistryKey::RegistryKey(RegistryKey& other) noexcept { TakeFrom(other); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept { TakeFrom(other); }

RegistryKey& RegistryKey::operator=(RegistryKey& other) noexcept {
  if (this != &other) {
    CloseOwned();
    TakeFrom(other);
  }
  return *this;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept { return *this = other; }

RegistryKey::~RegistryKey() { CloseOwned(); }

void RegistryKey::CloseOwned() noexcept {
  if (owns_ && key_ != 0) Store().RegCloseKey(key_);
  if (currentUser_ != 0 && currentUser_ != key_) Store().RegCloseKey(currentUser_);
  key_ = 0;
  owns_ = false;
  currentUser_ = 0;
}

void RegistryKey::TakeFrom(RegistryKey& other) noexcept {
  key_ = other.key_;
  owns_ = other.owns_;
  currentUser_ = other.currentUser_;
  other.owns_ = false;
  other.currentUser_ = 0;
}

bool RegistryKey::DoesThreadHavePermissiontoWriteToHkcu() {
  RegistryKey user(HKEY_CURRENT_USER, false);
  HKEY created = 0;
  const std::uint32_t result =
      Store().RegCreateKeyEx(user.GetKey(), u"Software", 0, KEY_WRITE, &created, nullptr);
  if (result == ERROR_SUCCESS) Store().RegCloseKey(created);
  return result != ERROR_ACCESS_DENIED;
}

RegistryKey RegistryKey::CreateRegistryKey(RegistryKey& parent, const CXString& subkey,
                                           std::uint32_t access, bool isVolatile) {
  HKEY created = 0;
  const std::uint32_t result =
      Store().RegCreateKeyEx(parent.GetKey(), View(subkey),
                             isVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE, access,
                             &created, nullptr);
  if (result != ERROR_SUCCESS) {
    ZELVO_THROW_NO_MESSAGE(ExceptionRegistryRequest, "RegistryKey::CreateRegistryKey");
  }
  return RegistryKey(created, true);
}

std::unique_ptr<RegistryKey> RegistryKey::CreateRegistryKey(RegistryKey& parent,
                                                            const CXString& subkey,
                                                            std::uint32_t access, bool isVolatile,
                                                            std::int32_t& result) {
  HKEY created = 0;
  result = static_cast<std::int32_t>(
      Store().RegCreateKeyEx(parent.GetKey(), View(subkey),
                             isVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE, access,
                             &created, nullptr));
  if (result != 0) return nullptr;
  return std::make_unique<RegistryKey>(created, true);
}

std::unique_ptr<RegistryKey> RegistryKey::CreateRegistryKey(RegistryKey& parent,
                                                            const CXString& subkey,
                                                            std::uint32_t access, bool isVolatile,
                                                            CXString& error) {
  error.Empty();
  std::int32_t result = 0;
  std::unique_ptr<RegistryKey> key = CreateRegistryKey(parent, subkey, access, isVolatile, result);
  if (!key) {
    const CXString text = SystemErrorText(static_cast<std::uint32_t>(result));
    error = ZelvoUtilities::SafeFormatString(u"RegCreateKeyEx(%s) failed! %s",
                                             static_cast<const char16_t*>(subkey),
                                             static_cast<const char16_t*>(text));
  }
  return key;
}

std::unique_ptr<RegistryKey> RegistryKey::OpenRegistryKey(RegistryKey& parent,
                                                          const CXString& subkey,
                                                          std::uint32_t access) {
  HKEY opened = 0;
  const std::uint32_t result = Store().RegOpenKeyEx(parent.GetKey(), View(subkey), 0, access,
                                                    &opened);
  if (result == ERROR_FILE_NOT_FOUND) return nullptr;
  if (result != ERROR_SUCCESS) {
    ZELVO_THROW_NO_MESSAGE(ExceptionRegistryRequest, "RegistryKey::OpenRegistryKey");
  }
  return std::make_unique<RegistryKey>(opened, true);
}

bool RegistryKey::IsHkcuRegistryHiveHkuDotDefault() {
  try {
    RegistryKey user(HKEY_CURRENT_USER, false);
    std::unique_ptr<RegistryKey> driver =
        OpenRegistryKey(user, CXString(u"Software\\Zelvo\\PrinterDriver"), KEY_READ);
    if (!driver) return false;
    return driver->GetStringValue(CXString(u"Hive"), CXString()).Compare(u".default") == 0;
  } catch (const ExceptionRegistryRequest&) {
    return false;
  }
}

bool RegistryKey::DoesValueExist(const CXString& name) const {
  std::uint32_t size = 0;
  return Store().RegQueryValueEx(GetKey(), View(name), nullptr, nullptr, &size) !=
         ERROR_FILE_NOT_FOUND;
}

bool RegistryKey::GetValue(const CXString& name, ByteBuffer& out, std::uint32_t* type) const {
  // The first query already offers a small buffer: most values fit, and the
  // size query and the read become one call. Larger values answer "more
  // data" with their size, as a size query would.
  out.resize(kFirstReadSize);
  std::uint32_t size = kFirstReadSize;
  std::uint32_t result = Store().RegQueryValueEx(GetKey(), View(name), type, out.data(), &size);
  const bool exists = result == ERROR_SUCCESS || result == ERROR_MORE_DATA;
  for (int attempt = 0; result == ERROR_MORE_DATA; ++attempt) {
    if (attempt == kMaxReadAttempts || size > kMaxValueDataSize) break;
    out.resize(size);
    result = Store().RegQueryValueEx(GetKey(), View(name), type, out.data(), &size);
  }
  if (result == ERROR_SUCCESS) {
    out.resize(size);
    return exists;
  }
  out.clear();
  switch (result) {
    case ERROR_FILE_NOT_FOUND:  // also a value deleted since the first query
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
      return false;
    default:
      ZELVO_THROW_NO_MESSAGE(ExceptionRegistryRequest, "RegistryKey::GetValue");
  }
}

bool RegistryKey::GetBooleanValue(const CXString& name, bool defaultValue) const {
  ByteBuffer bytes;
  if (!GetValue(name, bytes) || bytes.empty()) return defaultValue;
  return bytes[0] != 0;
}

std::int32_t RegistryKey::GetLongValue(const CXString& name, std::int32_t defaultValue) const {
  ByteBuffer bytes;
  if (!GetValue(name, bytes) || bytes.empty()) return defaultValue;
  unsigned char* cursor = bytes.data();
  unsigned int left = static_cast<unsigned int>(bytes.size());
  return ByteBuffer::WalkBufferToGetLong(cursor, left);
}

CXString RegistryKey::GetStringValue(const CXString& name, const CXString& defaultValue) const {
  ByteBuffer bytes;
  if (!GetValue(name, bytes)) return defaultValue;
  std::u16string text(bytes.size() / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), bytes.data(), text.size() * 2);
  const std::size_t end = text.find(u'\0');
  if (end != std::u16string::npos) text.resize(end);
  return CXString(text.c_str(), static_cast<std::int32_t>(text.size()));
}

ByteBuffer RegistryKey::GetBytesValue(const CXString& name, const ByteBuffer& defaultValue) const {
  ByteBuffer bytes;
  if (!GetValue(name, bytes)) return defaultValue;
  return bytes;
}

void RegistryKey::SetValue(const CXString& name, std::uint32_t type, const unsigned char* data,
                           std::uint32_t size) {
  if (Store().RegSetValueEx(GetKey(), View(name), type, data, size) != ERROR_SUCCESS) {
    ZELVO_THROW_NO_MESSAGE(ExceptionRegistryRequest, "RegistryKey::SetValue");
  }
}

void RegistryKey::SetBooleanValue(const CXString& name, bool value) {
  const unsigned char byte = value ? 1 : 0;
  SetValue(name, REG_BINARY, &byte, 1);
}

void RegistryKey::SetLongValue(const CXString& name, std::int32_t value) {
  unsigned char bytes[4];
  w4util::little_endian::Store32(bytes, static_cast<std::uint32_t>(value));
  SetValue(name, REG_DWORD, bytes, 4);
}

void RegistryKey::SetStringValue(const CXString& name, const CXString& value) {
  const std::uint32_t units = static_cast<std::uint32_t>(value.GetLength()) + 1;
  SetValue(name, REG_SZ,
           reinterpret_cast<const unsigned char*>(static_cast<const char16_t*>(value)), units * 2);
}

void RegistryKey::SetBytesValue(const CXString& name, const ByteBuffer& value) {
  SetValue(name, REG_BINARY, value.data(), static_cast<std::uint32_t>(value.size()));
}

void RegistryKey::QueryMultipleValues(std::vector<value_entW>& records, ByteBuffer& data) const {
  std::uint32_t result = ERROR_MORE_DATA;
  for (int attempt = 0; result == ERROR_MORE_DATA && attempt < kMaxReadAttempts; ++attempt) {
    std::uint32_t size = static_cast<std::uint32_t>(data.size());
    result = Store().RegQueryMultipleValues(GetKey(), records.data(),
                                            static_cast<std::uint32_t>(records.size()),
                                            data.data(), &size);
    if (result == ERROR_MORE_DATA) data.resize(size);
  }
  if (result != ERROR_SUCCESS) {
    ZELVO_THROW_NO_MESSAGE(ExceptionRegistryRequest, "RegistryKey::QueryMultipleValues");
  }
}

void RegistryKey::EnumKeyNames(std::vector<CXString>& names) const {
  names.clear();
  RegKeyInfo info;
  if (Store().RegQueryInfoKey(GetKey(), &info) != ERROR_SUCCESS) return;
  const std::uint32_t count = info.subKeys;
  EnumerateNames(
      info.maxSubKeyLength,
      [this](std::uint32_t index, char16_t* name, std::uint32_t* length) {
        return Store().RegEnumKeyEx(GetKey(), index, name, length);
      },
      [&names, count](CXString name) {
        names.push_back(std::move(name));
        return names.size() < count;
      });
}

void RegistryKey::EnumValueNames(std::vector<CXString>& names) const {
  names.clear();
  EnumerateNames(
      kEnumNameChars,
      [this](std::uint32_t index, char16_t* name, std::uint32_t* length) {
        return Store().RegEnumValue(GetKey(), index, name, length, nullptr, nullptr, nullptr);
      },
      [&names](CXString name) {
        names.push_back(std::move(name));
        return true;
      });
}

std::uint32_t RegistryKey::GetCountOfSubKeys() const {
  if (GetKey() == 0) return 0;
  std::uint32_t count = 0;
  EnumerateNames(
      kEnumNameChars,
      [this](std::uint32_t index, char16_t* name, std::uint32_t* length) {
        return Store().RegEnumKeyEx(GetKey(), index, name, length);
      },
      [&count](const CXString&) { return ++count, true; });
  return count;
}

std::uint32_t RegistryKey::GetCountOfValues() const {
  if (GetKey() == 0) return 0;
  std::uint32_t count = 0;
  EnumerateNames(
      kEnumNameChars,
      [this](std::uint32_t index, char16_t* name, std::uint32_t* length) {
        return Store().RegEnumValue(GetKey(), index, name, length, nullptr, nullptr, nullptr);
      },
      [&count](const CXString&) { return ++count, true; });
  return count;
}

bool RegistryKey::AnySubKeysExist() const {
  char16_t name[kEnumNameChars + 1];
  std::uint32_t length = kEnumNameChars + 1;
  const std::uint32_t result = Store().RegEnumKeyEx(GetKey(), 0, name, &length);
  return result == ERROR_SUCCESS || result == ERROR_MORE_DATA;
}

std::uint32_t RegistryKey::DeleteValue(const CXString& name) {
  return Store().RegDeleteValue(GetKey(), View(name));
}

std::uint32_t RegistryKey::DeleteKey(const CXString& subkey) {
  return Store().RegDeleteKey(GetKey(), View(subkey));
}

std::uint32_t RegistryKey::DeleteKeyAndSubkeys(const CXString& subkey) {
  return Store().SHDeleteKey(GetKey(), View(subkey));
}

std::uint32_t RegistryKey::CopyKeyAndSubkeysFrom(HKEY source, const CXString& subkey) {
  return Store().SHCopyKey(source, View(subkey), GetKey());
}

bool RegistryKey::RenameValue(const CXString& oldName, const CXString& newName) {
  ByteBuffer data;
  std::uint32_t type = 0;
  try {
    if (!GetValue(oldName, data, &type)) return false;
  } catch (const ExceptionRegistryRequest&) {
    return false;
  }
  const std::uint32_t size = static_cast<std::uint32_t>(data.size());
  const bool sameName = FoldRegistryName(View(oldName)) == FoldRegistryName(View(newName));
  if (sameName) {
    // Only a delete and a fresh write change the stored spelling.
    if (DeleteValue(oldName) != ERROR_SUCCESS) return false;
    if (Store().RegSetValueEx(GetKey(), View(newName), type, data.data(), size) == ERROR_SUCCESS) {
      return true;
    }
    Store().RegSetValueEx(GetKey(), View(oldName), type, data.data(), size);
    return false;
  }
  if (Store().RegSetValueEx(GetKey(), View(newName), type, data.data(), size) != ERROR_SUCCESS) {
    return false;
  }
  return DeleteValue(oldName) == ERROR_SUCCESS;
}
