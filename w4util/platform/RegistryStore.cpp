#include "w4util/platform/RegistryStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>
#include <vector>

#include "w4util/platform/RegistryCaseFold.h"
#include "w4util/platform/ThreadToken.h"
#include "w4util/platform/internal/RegistryText.h"
#include "w4util/platform/internal/SqliteHive.h"

namespace w4platform {

using internal::KeyRow;
using internal::SqliteHive;

struct RegistryStore::HandleEntry {
  std::shared_ptr<SqliteHive> hive;  // null for HKEY_USERS itself
  std::int64_t keyId = 0;
  std::uint32_t access = 0;
};

struct RegistryStore::Resolved {
  std::shared_ptr<SqliteHive> hive;
  std::int64_t keyId = 0;
  std::uint32_t access = 0;
  bool usersRoot = false;
};

namespace {

// More entries than any key could sensibly be asked for at once.
constexpr std::uint32_t kMaxMultipleValues = 1u << 16;

constexpr std::uint32_t kKnownRights = KEY_ALL_ACCESS | KEY_WOW64_32KEY | KEY_WOW64_64KEY |
                                       MAXIMUM_ALLOWED | 0x00080000u /* WRITE_OWNER */ |
                                       0x00040000u /* WRITE_DAC */;

// Splits a key path; answers 0, ERROR_BAD_PATHNAME or ERROR_INVALID_PARAMETER.
std::uint32_t SplitPath(std::u16string_view path, std::vector<std::u16string_view>* parts) {
  parts->clear();
  if (path.empty()) return ERROR_SUCCESS;
  if (path.front() == u'\\') return ERROR_BAD_PATHNAME;
  if (path.back() == u'\\') path.remove_suffix(1);
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    const std::u16string_view part = path.substr(start, end - start);
    if (part.empty()) return ERROR_BAD_PATHNAME;
    if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    if (part.find(u'\0') != std::u16string_view::npos) return ERROR_INVALID_PARAMETER;
    parts->push_back(part);
    if (parts->size() > static_cast<std::size_t>(SqliteHive::kMaxDepth)) {
      return ERROR_INVALID_PARAMETER;
    }
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

std::uint32_t CheckValueName(std::u16string_view name) {
  if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  if (name.find(u'\0') != std::u16string_view::npos) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

std::uint32_t CheckValueData(std::uint32_t type, const std::uint8_t* data, std::uint32_t size) {
  if (size > kMaxValueDataSize) return ERROR_INVALID_PARAMETER;
  if (size > 0 && data == nullptr) return ERROR_INVALID_PARAMETER;
  switch (type) {
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
      return size == 4 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    case REG_QWORD:
      return size == 8 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
    case REG_LINK:
      return size % 2 == 0 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    default:
      return ERROR_SUCCESS;
  }
}

// A SID becomes a file name only when it is made of safe characters.
bool IsSafeHiveName(std::u16string_view sid) {
  if (sid.empty() || sid.size() > 128) return false;
  if (sid == u"." || sid == u"..") return false;
  return std::all_of(sid.begin(), sid.end(), [](char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
           c == u'-' || c == u'_' || c == u'.';
  });
}

// The rights a handle gets: what was asked (all not denied for
// MAXIMUM_ALLOWED), unless a denied right was asked for explicitly.
std::uint32_t GrantAccess(std::uint32_t requested, std::uint32_t denied, std::uint32_t* granted) {
  if (requested & ~kKnownRights) return ERROR_INVALID_PARAMETER;
  std::uint32_t want = requested & KEY_ALL_ACCESS;
  if (requested & MAXIMUM_ALLOWED) {
    *granted = (KEY_ALL_ACCESS & ~denied) | want;
    if (want & denied) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
  }
  if (want & denied) return ERROR_ACCESS_DENIED;
  *granted = want;
  return ERROR_SUCCESS;
}

std::uint32_t CopyName(const std::u16string& name, char16_t* buffer, std::uint32_t* length) {
  if (buffer == nullptr || length == nullptr) return ERROR_INVALID_PARAMETER;
  if (name.size() + 1 > *length) {
    *length = static_cast<std::uint32_t>(name.size());
    return ERROR_MORE_DATA;
  }
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = u'\0';
  *length = static_cast<std::uint32_t>(name.size());
  return ERROR_SUCCESS;
}

// The size-query-then-read contract shared by value reads.
std::uint32_t CopyData(const std::vector<std::uint8_t>& bytes, std::uint8_t* data,
                       std::uint32_t* size) {
  const auto length = static_cast<std::uint32_t>(bytes.size());
  if (data == nullptr) {
    if (size != nullptr) *size = length;
    return ERROR_SUCCESS;
  }
  if (size == nullptr) return ERROR_INVALID_PARAMETER;
  if (*size < length) {
    *size = length;
    return ERROR_MORE_DATA;
  }
  if (length > 0) std::memcpy(data, bytes.data(), length);
  *size = length;
  return ERROR_SUCCESS;
}

std::unique_ptr<RegistryStore>& ProcessSlot() {
  static std::unique_ptr<RegistryStore> slot;
  return slot;
}

std::vector<std::unique_ptr<RegistryStore>>& RetiredStores() {
  static std::vector<std::unique_ptr<RegistryStore>> retired;
  return retired;
}

std::mutex& ProcessMutex() {
  static std::mutex m;
  return m;
}

}  // namespace

RegistryStore::RegistryStore(std::string folder, std::string bootId)
    : folder_(std::move(folder)), bootId_(std::move(bootId)) {}

RegistryStore::~RegistryStore() = default;

RegistryStore& RegistryStore::Process() {
  std::lock_guard lock(ProcessMutex());
  auto& slot = ProcessSlot();
  if (!slot) slot = OpenFolder(DefaultDataFolder());
  return *slot;
}

void RegistryStore::ReplaceProcessStore(std::unique_ptr<RegistryStore> store) {
  std::lock_guard lock(ProcessMutex());
  auto& slot = ProcessSlot();
  if (slot) RetiredStores().push_back(std::move(slot));
  slot = std::move(store);
}

std::unique_ptr<RegistryStore> RegistryStore::OpenInMemory() {
  return std::unique_ptr<RegistryStore>(new RegistryStore("", "memory"));
}

std::unique_ptr<RegistryStore> RegistryStore::OpenFolder(const std::string& folder,
                                                         const std::string& bootId) {
  return std::unique_ptr<RegistryStore>(
      new RegistryStore(folder.empty() ? std::string(".") : folder,
                        bootId.empty() ? HostBootId() : bootId));
}

std::string RegistryStore::DefaultDataFolder() {
  if (const char* home = std::getenv("W4UTIL_HOME"); home != nullptr && *home != '\0') {
    return home;
  }
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0') {
    return std::string(xdg) + "/w4util";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/.local/share/w4util";
  }
  return "/tmp/w4util";
}

std::string RegistryStore::HostBootId() {
  std::ifstream in("/proc/sys/kernel/random/boot_id");
  std::string id;
  if (in && std::getline(in, id) && !id.empty()) return id;
  return "unknown-boot";
}

std::uint32_t RegistryStore::MachineHive(std::shared_ptr<SqliteHive>* out) {
  std::lock_guard lock(mutex_);
  if (!machine_) {
    std::string path = ":memory:";
    if (!folder_.empty()) {
      std::error_code ec;
      std::filesystem::create_directories(folder_ + "/registry", ec);
      path = folder_ + "/registry/machine.db";
    }
    std::unique_ptr<SqliteHive> hive;
    if (std::uint32_t err = SqliteHive::Open(path, bootId_, &hive)) return err;
    machine_ = std::move(hive);
  }
  *out = machine_;
  return ERROR_SUCCESS;
}

std::uint32_t RegistryStore::UserHive(std::u16string_view sid, bool create,
                                      std::shared_ptr<SqliteHive>* out) {
  if (!IsSafeHiveName(sid)) return create ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND;
  const std::u16string folded = FoldRegistryName(sid);
  std::lock_guard lock(mutex_);
  auto it = users_.find(folded);
  if (it != users_.end()) {
    *out = it->second;
    return ERROR_SUCCESS;
  }
  std::string path = ":memory:";
  if (!folder_.empty()) {
    const std::string dir = folder_ + "/registry/users";
    path = dir + "/" + internal::Utf16ToUtf8(folded) + ".db";
    std::error_code ec;
    if (!create && !std::filesystem::exists(path, ec)) return ERROR_FILE_NOT_FOUND;
    std::filesystem::create_directories(dir, ec);
  } else if (!create) {
    return ERROR_FILE_NOT_FOUND;
  }
  std::unique_ptr<SqliteHive> hive;
  if (std::uint32_t err = SqliteHive::Open(path, bootId_, &hive)) return err;
  std::shared_ptr<SqliteHive> shared = std::move(hive);
  users_.emplace(folded, shared);
  *out = shared;
  return ERROR_SUCCESS;
}

std::uint32_t RegistryStore::Resolve(RegHandle key, Resolved* out) {
  *out = Resolved{};
  switch (key) {
    case HKEY_LOCAL_MACHINE:
      out->access = KEY_ALL_ACCESS;
      out->keyId = SqliteHive::kRootId;
      return MachineHive(&out->hive);
    case HKEY_CURRENT_USER:
      out->access = KEY_ALL_ACCESS;
      out->keyId = SqliteHive::kRootId;
      // A user's own hive exists as soon as the user reaches it.
      return UserHive(ThreadTokenService::EffectiveUser().sid, true, &out->hive);
    case HKEY_USERS:
      out->access = KEY_READ;
      out->usersRoot = true;
      return ERROR_SUCCESS;
    case HKEY_CLASSES_ROOT: {
      out->access = KEY_ALL_ACCESS;
      if (std::uint32_t err = MachineHive(&out->hive)) return err;
      KeyRow row;
      bool created = false;
      std::int64_t parent = SqliteHive::kRootId;
      for (const char16_t* part : {u"SOFTWARE", u"Classes"}) {
        std::uint32_t err = out->hive->FindChild(parent, part, &row);
        if (err == ERROR_FILE_NOT_FOUND) err = out->hive->CreateChild(parent, part, false, &row, &created);
        if (err) return err;
        parent = row.id;
      }
      out->keyId = parent;
      return ERROR_SUCCESS;
    }
    default:
      break;
  }
  std::lock_guard lock(mutex_);
  auto it = handles_.find(key);
  if (it == handles_.end()) return ERROR_INVALID_HANDLE;
  out->hive = it->second->hive;
  out->keyId = it->second->keyId;
  out->access = it->second->access;
  out->usersRoot = !out->hive;
  return ERROR_SUCCESS;
}

RegHandle RegistryStore::AddHandle(const HandleEntry& entry) {
  std::lock_guard lock(mutex_);
  const RegHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(handle, std::make_shared<HandleEntry>(entry));
  return handle;
}

std::uint32_t RegistryStore::OpenOrCreate(RegHandle key, std::u16string_view subKey,
                                          std::uint32_t options, std::uint32_t access,
                                          bool create, RegHandle* result,
                                          std::uint32_t* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = 0;
  if (create && (options & ~REG_OPTION_VOLATILE) != 0) return ERROR_INVALID_PARAMETER;
  std::vector<std::u16string_view> parts;
  if (std::uint32_t err = SplitPath(subKey, &parts)) return err;
  Resolved base;
  if (std::uint32_t err = Resolve(key, &base)) return err;

  if (base.usersRoot) {
    if (parts.empty()) {
      if (create) return ERROR_ACCESS_DENIED;
      std::uint32_t granted = 0;
      if (std::uint32_t err = GrantAccess(access, ~KEY_READ & KEY_ALL_ACCESS, &granted)) {
        return err;
      }
      *result = AddHandle(HandleEntry{nullptr, 0, granted});
      return ERROR_SUCCESS;
    }
    if (std::uint32_t err = UserHive(parts.front(), create, &base.hive)) return err;
    base.keyId = SqliteHive::kRootId;
    parts.erase(parts.begin());
  }
  if (create && !(base.access & KEY_CREATE_SUB_KEY) && !parts.empty()) return ERROR_ACCESS_DENIED;

  SqliteHive& hive = *base.hive;
  const bool isVolatile = (options & REG_OPTION_VOLATILE) != 0;
  KeyRow row;
  bool createdAny = false;
  auto walk = [&]() -> std::uint32_t {
    if (std::uint32_t err = hive.GetKey(base.keyId, &row)) return err;
    for (const std::u16string_view part : parts) {
      if (create) {
        bool created = false;
        if (std::uint32_t err = hive.CreateChild(row.id, part, isVolatile, &row, &created)) {
          return err;
        }
        createdAny = createdAny || created;
      } else {
        if (std::uint32_t err = hive.FindChild(row.id, part, &row)) return err;
      }
    }
    return ERROR_SUCCESS;
  };
  // A created path appears whole or not at all.
  const std::uint32_t walked = create && !parts.empty() ? hive.Batch(walk) : walk();
  if (walked) return walked;
  std::uint32_t granted = 0;
  if (std::uint32_t err = GrantAccess(access, row.denied, &granted)) return err;
  *result = AddHandle(HandleEntry{base.hive, row.id, granted});
  if (disposition != nullptr) {
    *disposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  return ERROR_SUCCESS;
}

std::uint32_t RegistryStore::RegOpenKeyEx(RegHandle key, std::u16string_view subKey,
                                          std::uint32_t options, std::uint32_t access,
                                          RegHandle* result) {
  (void)options;  // REG_OPTION_OPEN_LINK and friends have no meaning here
  return OpenOrCreate(key, subKey, 0, access, false, result, nullptr);
}

std::uint32_t RegistryStore::RegCreateKeyEx(RegHandle key, std::u16string_view subKey,
                                            std::uint32_t options, std::uint32_t access,
                                            RegHandle* result, std::uint32_t* disposition) {
  return OpenOrCreate(key, subKey, options, access, true, result, disposition);
}

std::uint32_t RegistryStore::RegOpenCurrentUser(std::uint32_t access, RegHandle* result) {
  return OpenOrCreate(HKEY_CURRENT_USER, u"", 0, access, false, result, nullptr);
}

std::uint32_t RegistryStore::RegCloseKey(RegHandle key) {
  if (key >= HKEY_CLASSES_ROOT && key <= HKEY_USERS) return ERROR_SUCCESS;
  std::lock_guard lock(mutex_);
  return handles_.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::uint32_t RegistryStore::RegQueryValueEx(RegHandle key, std::u16string_view valueName,
                                             std::uint32_t* type, std::uint8_t* data,
                                             std::uint32_t* size) {
  if (std::uint32_t err = CheckValueName(valueName)) return err;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (r.usersRoot) return ERROR_FILE_NOT_FOUND;
  if (!(r.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  return r.hive->QueryValueInto(r.keyId, valueName, type, data, size);
}

std::uint32_t RegistryStore::RegSetValueEx(RegHandle key, std::u16string_view valueName,
                                           std::uint32_t type, const std::uint8_t* data,
                                           std::uint32_t size) {
  if (std::uint32_t err = CheckValueName(valueName)) return err;
  if (std::uint32_t err = CheckValueData(type, data, size)) return err;
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (r.usersRoot || !(r.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return r.hive->SetValue(r.keyId, valueName, type, data, size);
}

std::uint32_t RegistryStore::RegDeleteValue(RegHandle key, std::u16string_view valueName) {
  if (std::uint32_t err = CheckValueName(valueName)) return err;
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (r.usersRoot || !(r.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return r.hive->DeleteValue(r.keyId, valueName);
}

std::uint32_t RegistryStore::RegDeleteKey(RegHandle key, std::u16string_view subKey) {
  RegHandle target = 0;
  if (std::uint32_t err = RegOpenKeyEx(key, subKey, 0, DELETE_ACCESS, &target)) return err;
  Resolved r;
  std::uint32_t err = Resolve(target, &r);
  if (err == ERROR_SUCCESS) err = r.usersRoot ? ERROR_ACCESS_DENIED : r.hive->DeleteKey(r.keyId);
  RegCloseKey(target);
  return err;
}

std::uint32_t RegistryStore::RegEnumKeyEx(RegHandle key, std::uint32_t index, char16_t* name,
                                          std::uint32_t* nameLength) {
  if (name == nullptr || nameLength == nullptr) return ERROR_INVALID_PARAMETER;
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (!(r.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  std::u16string found;
  if (r.usersRoot) {
    std::set<std::u16string> sids;
    {
      std::lock_guard lock(mutex_);
      for (const auto& entry : users_) sids.insert(entry.first);
    }
    if (!folder_.empty()) {
      std::error_code ec;
      for (const auto& file :
           std::filesystem::directory_iterator(folder_ + "/registry/users", ec)) {
        if (file.path().extension() == ".db") {
          sids.insert(FoldRegistryName(internal::Utf8ToUtf16(file.path().stem().string())));
        }
      }
    }
    if (index >= sids.size()) return ERROR_NO_MORE_ITEMS;
    found = *std::next(sids.begin(), index);
  } else {
    if (std::uint32_t err = r.hive->EnumKey(r.keyId, index, &found)) return err;
  }
  return CopyName(found, name, nameLength);
}

std::uint32_t RegistryStore::RegEnumValue(RegHandle key, std::uint32_t index, char16_t* name,
                                          std::uint32_t* nameLength, std::uint32_t* type,
                                          std::uint8_t* data, std::uint32_t* dataSize) {
  if (name == nullptr || nameLength == nullptr) return ERROR_INVALID_PARAMETER;
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (r.usersRoot) return ERROR_NO_MORE_ITEMS;
  if (!(r.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::u16string found;
  std::uint32_t storedType = 0;
  std::vector<std::uint8_t> bytes;
  if (std::uint32_t err = r.hive->EnumValue(r.keyId, index, &found, &storedType, &bytes)) {
    return err;
  }
  const std::uint32_t nameErr = CopyName(found, name, nameLength);
  if (type != nullptr) *type = storedType;
  const std::uint32_t dataErr = CopyData(bytes, data, dataSize);
  return nameErr != ERROR_SUCCESS ? nameErr : dataErr;
}

std::uint32_t RegistryStore::RegQueryInfoKey(RegHandle key, RegKeyInfo* info) {
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (!(r.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  if (r.usersRoot) {
    *info = RegKeyInfo{};
    char16_t name[kMaxKeyNameLength + 1];
    for (std::uint32_t i = 0;; ++i) {
      std::uint32_t length = kMaxKeyNameLength + 1;
      if (RegEnumKeyEx(key, i, name, &length) != ERROR_SUCCESS) break;
      ++info->subKeys;
      info->maxSubKeyLength = std::max(info->maxSubKeyLength, length);
    }
    return ERROR_SUCCESS;
  }
  return r.hive->Info(r.keyId, info);
}

std::uint32_t RegistryStore::RegQueryMultipleValues(RegHandle key, RegValueEntry* entries,
                                                    std::uint32_t count, std::uint8_t* buffer,
                                                    std::uint32_t* totalSize) {
  if (totalSize == nullptr || (count > 0 && entries == nullptr)) return ERROR_INVALID_PARAMETER;
  if (count > kMaxMultipleValues) return ERROR_INVALID_PARAMETER;
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (r.usersRoot) return ERROR_FILE_NOT_FOUND;
  if (!(r.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::vector<std::uint32_t> types(count);
  std::vector<std::vector<std::uint8_t>> values(count);
  // One transaction: the values come from one state of the key.
  const std::uint32_t read = r.hive->Snapshot([&]() -> std::uint32_t {
    for (std::uint32_t i = 0; i < count; ++i) {
      if (entries[i].valueName == nullptr) return ERROR_INVALID_PARAMETER;
      const std::u16string_view name(entries[i].valueName);
      if (std::uint32_t err = CheckValueName(name)) return err;
      if (std::uint32_t err = r.hive->QueryValue(r.keyId, name, &types[i], &values[i])) {
        return err;
      }
    }
    return ERROR_SUCCESS;
  });
  if (read) return read;
  std::uint64_t needed = 0;
  for (const auto& v : values) needed += v.size();
  if (needed > 0xFFFFFFFFu) return ERROR_INVALID_PARAMETER;
  if (buffer == nullptr || *totalSize < needed) {
    *totalSize = static_cast<std::uint32_t>(needed);
    return ERROR_MORE_DATA;
  }
  std::uint32_t offset = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto length = static_cast<std::uint32_t>(values[i].size());
    if (length > 0) std::memcpy(buffer + offset, values[i].data(), length);
    entries[i].valuePointer = buffer + offset;
    entries[i].valueLength = length;
    entries[i].type = types[i];
    offset += length;
  }
  *totalSize = offset;
  return ERROR_SUCCESS;
}

std::uint32_t RegistryStore::SHDeleteKey(RegHandle key, std::u16string_view subKey) {
  if (subKey.empty()) return ERROR_INVALID_PARAMETER;
  RegHandle target = 0;
  if (std::uint32_t err = RegOpenKeyEx(key, subKey, 0, DELETE_ACCESS, &target)) return err;
  Resolved r;
  std::uint32_t err = Resolve(target, &r);
  if (err == ERROR_SUCCESS) {
    err = r.usersRoot ? ERROR_ACCESS_DENIED : r.hive->DeleteTree(r.keyId, true);
  }
  RegCloseKey(target);
  return err;
}

std::uint32_t RegistryStore::RegDeleteTree(RegHandle key, std::u16string_view subKey) {
  if (!subKey.empty()) return SHDeleteKey(key, subKey);
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (r.usersRoot || !(r.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return r.hive->DeleteTree(r.keyId, false);
}

std::uint32_t RegistryStore::SHCopyKey(RegHandle source, std::u16string_view subKey,
                                       RegHandle destination) {
  RegHandle from = 0;
  if (std::uint32_t err = RegOpenKeyEx(source, subKey, 0, KEY_READ, &from)) return err;
  Resolved src;
  std::uint32_t err = Resolve(from, &src);
  internal::TreeKey tree;
  if (err == ERROR_SUCCESS) err = src.usersRoot ? ERROR_ACCESS_DENIED : src.hive->ReadTree(src.keyId, &tree);
  RegCloseKey(from);
  if (err) return err;
  Resolved dst;
  if (std::uint32_t e = Resolve(destination, &dst)) return e;
  if (dst.usersRoot || (dst.access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) !=
                           (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) {
    return ERROR_ACCESS_DENIED;
  }
  return dst.hive->WriteTree(dst.keyId, tree);
}

std::uint32_t RegistryStore::SetKeyDeniedAccess(RegHandle key, std::uint32_t mask) {
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (r.usersRoot) return ERROR_ACCESS_DENIED;
  return r.hive->SetDenied(r.keyId, mask & KEY_ALL_ACCESS);
}

std::uint32_t RegistryStore::Batch(RegHandle key, const std::function<std::uint32_t()>& body) {
  if (!body) return ERROR_INVALID_PARAMETER;
  Resolved r;
  if (std::uint32_t err = Resolve(key, &r)) return err;
  if (r.usersRoot) return ERROR_ACCESS_DENIED;
  return r.hive->Batch(body);
}

}  // namespace w4platform
