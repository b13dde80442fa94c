#include "w4util/platform/RegistryStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "w4util/platform/RegistryCaseFold.h"
#include "w4util/platform/ThreadToken.h"
#include "w4util/platform/internal/RegistryTestSupport.h"

namespace w4platform {
namespace {

using w4util_platform_internal::TempFolder;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> out;
  for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text) {
  std::vector<std::uint8_t> out((text.size() + 1) * 2, 0);
  std::memcpy(out.data(), text.data(), text.size() * 2);
  return out;
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { store_ = RegistryStore::OpenInMemory(); }

  RegHandle Create(RegHandle root, std::u16string_view path, std::uint32_t options = 0) {
    RegHandle h = 0;
    EXPECT_EQ(store_->RegCreateKeyEx(root, path, options, KEY_ALL_ACCESS, &h, nullptr), 0u);
    return h;
  }
  std::uint32_t Set(RegHandle h, std::u16string_view name, std::uint32_t type,
                    const std::vector<std::uint8_t>& data) {
    return store_->RegSetValueEx(h, name, type, data.data(),
                                 static_cast<std::uint32_t>(data.size()));
  }
  // The size-query-then-read sequence callers use.
  std::uint32_t Get(RegHandle h, std::u16string_view name, std::vector<std::uint8_t>* out,
                    std::uint32_t* type = nullptr) {
    std::uint32_t size = 0;
    if (std::uint32_t err = store_->RegQueryValueEx(h, name, type, nullptr, &size)) return err;
    out->assign(size, 0);
    std::uint32_t err = store_->RegQueryValueEx(h, name, type, out->data(), &size);
    out->resize(size);
    return err;
  }
  std::vector<std::u16string> KeyNames(RegHandle h, std::uint32_t* last) {
    std::vector<std::u16string> names;
    for (std::uint32_t i = 0;; ++i) {
      char16_t buffer[256];
      std::uint32_t length = 256;
      *last = store_->RegEnumKeyEx(h, i, buffer, &length);
      if (*last != 0) return names;
      names.emplace_back(buffer, length);
    }
  }
  std::vector<std::u16string> ValueNames(RegHandle h, std::uint32_t* last) {
    std::vector<std::u16string> names;
    for (std::uint32_t i = 0;; ++i) {
      std::vector<char16_t> buffer(kMaxValueNameLength + 1);
      std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
      *last = store_->RegEnumValue(h, i, buffer.data(), &length, nullptr, nullptr, nullptr);
      if (*last != 0) return names;
      names.emplace_back(buffer.data(), length);
    }
  }

  std::unique_ptr<RegistryStore> store_;
};

TEST_F(RegistryStoreTest, CreateOpenAndDispositionIgnoreCaseButKeepIt) {
  RegHandle a = 0;
  std::uint32_t disposition = 0;
  ASSERT_EQ(store_->RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Zelvo\\Ärger", 0,
                                   KEY_ALL_ACCESS, &a, &disposition),
            0u);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegHandle b = 0;
  ASSERT_EQ(store_->RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"SOFTWARE\\zelvo\\äRGER\\", 0,
                                   KEY_ALL_ACCESS, &b, &disposition),
            0u);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  ASSERT_EQ(Set(a, u"Größe", REG_DWORD, Bytes({7, 0, 0, 0})), 0u);
  std::vector<std::uint8_t> data;
  std::uint32_t type = 0;
  EXPECT_EQ(Get(b, u"GRÖßE", &data, &type), 0u);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(data, Bytes({7, 0, 0, 0}));
  // Overwriting under another spelling keeps the first one.
  ASSERT_EQ(Set(b, u"gröSSe", REG_DWORD, Bytes({8, 0, 0, 0})), 0u);  // ß is not SS
  ASSERT_EQ(Set(b, u"GRÖSSE", REG_DWORD, Bytes({9, 0, 0, 0})), 0u);
  std::uint32_t last = 0;
  EXPECT_EQ(ValueNames(a, &last), (std::vector<std::u16string>{u"Größe", u"gröSSe"}));
  EXPECT_EQ(last, ERROR_NO_MORE_ITEMS);

  RegHandle zelvo = 0;
  ASSERT_EQ(store_->RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"software\\ZELVO", 0, KEY_READ, &zelvo), 0u);
  EXPECT_EQ(KeyNames(zelvo, &last), std::vector<std::u16string>{u"Ärger"});
  RegHandle missing = 7;
  EXPECT_EQ(store_->RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Nope", 0, KEY_READ, &missing),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing, 0u);
  for (RegHandle h : {a, b, zelvo}) EXPECT_EQ(store_->RegCloseKey(h), 0u);
}

TEST(RegistryCaseFold, FoldsAcrossScriptsOneUnitAtATime) {
  EXPECT_EQ(FoldRegistryName(u"abcÿàæ"), u"ABCŸÀÆ");
  EXPECT_EQ(FoldRegistryName(u"привет ёж"), u"ПРИВЕТ ЁЖ");
  EXPECT_EQ(FoldRegistryName(u"αβγσς"), u"ΑΒΓΣΣ");
  EXPECT_EQ(FoldRegistryName(u"łźāž"), u"ŁŹĀŽ");
  EXPECT_EQ(FoldRegistryName(u"ß÷µ"), u"ß÷Μ");
  EXPECT_EQ(FoldRegistryName(u"ｚ中"), u"Ｚ中");
}

TEST_F(RegistryStoreTest, ValuesRoundTripWithSizeQueryAndMoreData) {
  const RegHandle key = Create(HKEY_CURRENT_USER, u"Software\\Zelvo");
  struct Case {
    const char16_t* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  const std::vector<Case> cases = {
      {u"", REG_SZ, Utf16Bytes(u"default value")},
      {u"Sz", REG_SZ, Utf16Bytes(u"Zelvo")},
      {u"Expand", REG_EXPAND_SZ, Utf16Bytes(u"%TEMP%")},
      {u"Bin", REG_BINARY, Bytes({1, 0, 255})},
      {u"Empty", REG_BINARY, {}},
      {u"Dword", REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12})},
      {u"Multi", REG_MULTI_SZ, Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0})},
      {u"Qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
      {u"None", REG_NONE, Bytes({9})},
      {u"Opaque", 0x12345678u, Bytes({1, 2, 3})},
  };
  for (const Case& c : cases) ASSERT_EQ(Set(key, c.name, c.type, c.data), 0u) << c.type;
  for (const Case& c : cases) {
    std::vector<std::uint8_t> data;
    std::uint32_t type = 0;
    EXPECT_EQ(Get(key, c.name, &data, &type), 0u);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(data, c.data);
  }
  std::uint8_t small[2] = {0xAA, 0xAA};
  std::uint32_t size = sizeof small;
  EXPECT_EQ(store_->RegQueryValueEx(key, u"Sz", nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);
  size = 0;
  std::uint32_t type = 99;
  EXPECT_EQ(store_->RegQueryValueEx(key, u"missing", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  store_->RegCloseKey(key);
}

TEST_F(RegistryStoreTest, ValueDeletedBetweenSizeQueryAndReadIsNotFound) {
  const RegHandle key = Create(HKEY_LOCAL_MACHINE, u"K");
  ASSERT_EQ(Set(key, u"V", REG_BINARY, Bytes({1, 2, 3})), 0u);
  std::uint32_t size = 0;
  ASSERT_EQ(store_->RegQueryValueEx(key, u"V", nullptr, nullptr, &size), 0u);
  ASSERT_EQ(store_->RegDeleteValue(key, u"V"), 0u);
  std::vector<std::uint8_t> data(size);
  EXPECT_EQ(store_->RegQueryValueEx(key, u"V", nullptr, data.data(), &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store_->RegDeleteValue(key, u"V"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStoreTest, EnumerationEndsWithNoMoreItemsOnlyOnLiveKeys) {
  const RegHandle key = Create(HKEY_LOCAL_MACHINE, u"E");
  for (const char16_t* sub : {u"beta", u"Alpha", u"gamma"}) store_->RegCloseKey(Create(key, sub));
  for (const char16_t* v : {u"z", u"a", u"m"}) ASSERT_EQ(Set(key, v, REG_BINARY, {}), 0u);
  std::uint32_t last = 0;
  EXPECT_EQ(KeyNames(key, &last), (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma"}));
  EXPECT_EQ(last, ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(ValueNames(key, &last), (std::vector<std::u16string>{u"z", u"a", u"m"}));
  EXPECT_EQ(last, ERROR_NO_MORE_ITEMS);

  char16_t tiny[3];
  std::uint32_t length = 3;
  EXPECT_EQ(store_->RegEnumKeyEx(key, 0, tiny, &length), ERROR_MORE_DATA);
  EXPECT_EQ(length, 5u);

  // Deleted meanwhile (through another handle): an error, never "the end".
  RegHandle other = 0;
  ASSERT_EQ(store_->RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"e", 0, KEY_ALL_ACCESS, &other), 0u);
  ASSERT_EQ(store_->SHDeleteKey(HKEY_LOCAL_MACHINE, u"E"), 0u);
  EXPECT_TRUE(KeyNames(key, &last).empty());
  EXPECT_EQ(last, ERROR_KEY_DELETED);
  EXPECT_TRUE(ValueNames(other, &last).empty());
  EXPECT_EQ(last, ERROR_KEY_DELETED);
  std::vector<std::uint8_t> data;
  EXPECT_EQ(Get(key, u"z", &data), ERROR_KEY_DELETED);
  EXPECT_EQ(Set(key, u"z", REG_BINARY, {}), ERROR_KEY_DELETED);
  RegKeyInfo info;
  EXPECT_EQ(store_->RegQueryInfoKey(key, &info), ERROR_KEY_DELETED);
  RegHandle child = 0;
  EXPECT_EQ(store_->RegCreateKeyEx(key, u"again", 0, KEY_ALL_ACCESS, &child, nullptr),
            ERROR_KEY_DELETED);
  // Recreating the same path makes a new key; old handles stay dead.
  store_->RegCloseKey(Create(HKEY_LOCAL_MACHINE, u"E"));
  EXPECT_EQ(Get(other, u"z", &data), ERROR_KEY_DELETED);
  EXPECT_EQ(store_->RegCloseKey(key), 0u);
  EXPECT_EQ(store_->RegCloseKey(other), 0u);
}

TEST_F(RegistryStoreTest, DeleteKeyAndTrees) {
  const RegHandle root = Create(HKEY_LOCAL_MACHINE, u"D");
  store_->RegCloseKey(Create(root, u"a\\b\\c"));
  ASSERT_EQ(Set(root, u"v", REG_BINARY, Bytes({1})), 0u);
  EXPECT_EQ(store_->RegDeleteKey(root, u"a"), ERROR_ACCESS_DENIED);  // has subkeys
  EXPECT_EQ(store_->RegDeleteKey(root, u"a\\b\\c"), 0u);
  EXPECT_EQ(store_->RegDeleteKey(root, u"a\\b\\c"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store_->SHDeleteKey(root, u"a"), 0u);
  RegHandle h = 0;
  EXPECT_EQ(store_->RegOpenKeyEx(root, u"a\\b", 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
  store_->RegCloseKey(Create(root, u"x\\y"));
  EXPECT_EQ(store_->RegDeleteTree(root, u""), 0u);  // contents only
  RegKeyInfo info;
  ASSERT_EQ(store_->RegQueryInfoKey(root, &info), 0u);
  EXPECT_EQ(info.subKeys, 0u);
  EXPECT_EQ(info.values, 0u);
  EXPECT_EQ(store_->RegDeleteKey(root, u""), 0u);  // the key itself
  EXPECT_EQ(store_->RegDeleteKey(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
  store_->RegCloseKey(root);
}

TEST_F(RegistryStoreTest, CopyKeyAcrossHivesAndIntoItsOwnSubtree) {
  const RegHandle src = Create(HKEY_LOCAL_MACHINE, u"Src");
  const RegHandle deep = Create(src, u"One\\Two");
  ASSERT_EQ(Set(src, u"top", REG_DWORD, Bytes({1, 0, 0, 0})), 0u);
  ASSERT_EQ(Set(deep, u"leaf", REG_SZ, Utf16Bytes(u"x")), 0u);
  const RegHandle dst = Create(HKEY_CURRENT_USER, u"Dst");
  ASSERT_EQ(store_->SHCopyKey(HKEY_LOCAL_MACHINE, u"Src", dst), 0u);
  std::vector<std::uint8_t> data;
  RegHandle copied = 0;
  ASSERT_EQ(store_->RegOpenKeyEx(dst, u"one\\two", 0, KEY_READ, &copied), 0u);
  EXPECT_EQ(Get(copied, u"LEAF", &data), 0u);
  EXPECT_EQ(data, Utf16Bytes(u"x"));
  EXPECT_EQ(Get(dst, u"top", &data), 0u);
  // Into its own subtree: copies the tree as it was, once.
  ASSERT_EQ(store_->SHCopyKey(src, u"", deep), 0u);
  std::uint32_t last = 0;
  EXPECT_EQ(KeyNames(deep, &last), std::vector<std::u16string>{u"One"});
  RegHandle nested = 0;
  EXPECT_EQ(store_->RegOpenKeyEx(deep, u"One\\Two", 0, KEY_READ, &nested), 0u);
  EXPECT_EQ(KeyNames(nested, &last).size(), 0u);
  EXPECT_EQ(store_->SHCopyKey(src, u"Missing", dst), ERROR_FILE_NOT_FOUND);
  for (RegHandle h : {src, deep, dst, copied, nested}) store_->RegCloseKey(h);
}

TEST_F(RegistryStoreTest, QueryMultipleValuesAsksForMoreThenFills) {
  const RegHandle key = Create(HKEY_LOCAL_MACHINE, u"M");
  ASSERT_EQ(Set(key, u"A", REG_DWORD, Bytes({5, 0, 0, 0})), 0u);
  ASSERT_EQ(Set(key, u"B", REG_SZ, Utf16Bytes(u"hi")), 0u);
  RegValueEntry entries[2];
  entries[0].valueName = u"b";
  entries[1].valueName = u"a";
  std::vector<std::uint8_t> buffer;
  std::uint32_t size = 0;
  ASSERT_EQ(store_->RegQueryMultipleValues(key, entries, 2, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 10u);
  buffer.resize(size);
  ASSERT_EQ(store_->RegQueryMultipleValues(key, entries, 2, buffer.data(), &size), 0u);
  EXPECT_EQ(entries[0].type, REG_SZ);
  EXPECT_EQ(entries[0].valueLength, 6u);
  EXPECT_EQ(std::vector<std::uint8_t>(entries[0].valuePointer, entries[0].valuePointer + 6),
            Utf16Bytes(u"hi"));
  EXPECT_EQ(entries[1].type, REG_DWORD);
  EXPECT_EQ(entries[1].valuePointer[0], 5);
  entries[1].valueName = u"nope";
  EXPECT_EQ(store_->RegQueryMultipleValues(key, entries, 2, buffer.data(), &size),
            ERROR_FILE_NOT_FOUND);
  store_->RegCloseKey(key);
}

TEST_F(RegistryStoreTest, QueryInfoKeyCountsAndLongestNames) {
  const RegHandle key = Create(HKEY_LOCAL_MACHINE, u"Info");
  store_->RegCloseKey(Create(key, u"abc"));
  store_->RegCloseKey(Create(key, u"abcdefg"));
  ASSERT_EQ(Set(key, u"12345", REG_BINARY, Bytes({1, 2, 3, 4, 5, 6})), 0u);
  ASSERT_EQ(Set(key, u"1", REG_BINARY, Bytes({1})), 0u);
  RegKeyInfo info;
  ASSERT_EQ(store_->RegQueryInfoKey(key, &info), 0u);
  EXPECT_EQ(info.subKeys, 2u);
  EXPECT_EQ(info.maxSubKeyLength, 7u);
  EXPECT_EQ(info.values, 2u);
  EXPECT_EQ(info.maxValueNameLength, 5u);
  EXPECT_EQ(info.maxValueLength, 6u);
  EXPECT_GT(info.lastWriteTime, 0u);
  store_->RegCloseKey(key);
}

TEST_F(RegistryStoreTest, HandlesAndAccessRights) {
  const RegHandle key = Create(HKEY_LOCAL_MACHINE, u"H");
  EXPECT_EQ(store_->RegCloseKey(key), 0u);
  EXPECT_EQ(store_->RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Set(key, u"v", REG_BINARY, {}), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Set(0x4242, u"v", REG_BINARY, {}), ERROR_INVALID_HANDLE);
  EXPECT_EQ(store_->RegCloseKey(HKEY_LOCAL_MACHINE), 0u);

  RegHandle reader = 0;
  ASSERT_EQ(store_->RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"H", 0, KEY_READ, &reader), 0u);
  EXPECT_EQ(Set(reader, u"v", REG_BINARY, {}), ERROR_ACCESS_DENIED);
  EXPECT_EQ(store_->SetKeyDeniedAccess(reader, KEY_SET_VALUE | KEY_CREATE_SUB_KEY), 0u);
  RegHandle h = 0;
  EXPECT_EQ(store_->RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"H", 0, KEY_ALL_ACCESS, &h),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(store_->RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"H", 0, KEY_WRITE, &h, nullptr),
            ERROR_ACCESS_DENIED);
  ASSERT_EQ(store_->RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"H", 0, MAXIMUM_ALLOWED, &h), 0u);
  EXPECT_EQ(Set(h, u"v", REG_BINARY, {}), ERROR_ACCESS_DENIED);
  std::vector<std::uint8_t> data;
  EXPECT_EQ(Get(h, u"v", &data), ERROR_FILE_NOT_FOUND);
  store_->RegCloseKey(h);
  store_->RegCloseKey(reader);
}

TEST_F(RegistryStoreTest, PredefinedRootsAndDuplicateHandles) {
  const RegHandle classes = Create(HKEY_CLASSES_ROOT, u".zlv");
  RegHandle same = 0;
  ASSERT_EQ(store_->RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.ZLV", 0, KEY_READ, &same),
            0u);
  // An empty subkey opens a second handle on the same key; each closes alone.
  RegHandle dup = 0;
  ASSERT_EQ(store_->RegOpenKeyEx(classes, u"", 0, KEY_ALL_ACCESS, &dup), 0u);
  EXPECT_NE(dup, classes);
  EXPECT_EQ(store_->RegCloseKey(dup), 0u);
  ASSERT_EQ(Set(classes, u"", REG_SZ, Utf16Bytes(u"Zelvo settings")), 0u);
  std::vector<std::uint8_t> data;
  EXPECT_EQ(Get(same, u"", &data), 0u);
  EXPECT_EQ(data, Utf16Bytes(u"Zelvo settings"));
  EXPECT_EQ(Set(HKEY_USERS, u"v", REG_BINARY, {}), ERROR_ACCESS_DENIED);
  RegHandle h = 0;
  EXPECT_EQ(store_->RegCreateKeyEx(HKEY_USERS, u"", 0, KEY_ALL_ACCESS, &h, nullptr),
            ERROR_ACCESS_DENIED);
  store_->RegCloseKey(classes);
  store_->RegCloseKey(same);
}

TEST_F(RegistryStoreTest, MalformedNamesAndValuesAnswerCodes) {
  const RegHandle key = Create(HKEY_LOCAL_MACHINE, u"Bad");
  const std::u16string name255(255, u'k');
  const std::u16string name256(256, u'k');
  const std::u16string withNul(u"a\0b", 3);
  struct KeyCase {
    std::u16string path;
    std::uint32_t expected;
  };
  const std::vector<KeyCase> keyCases = {
      {name255, 0},
      {name256, ERROR_INVALID_PARAMETER},
      {u"ok\\" + name256, ERROR_INVALID_PARAMETER},
      {u"\\lead", ERROR_BAD_PATHNAME},
      {u"a\\\\b", ERROR_BAD_PATHNAME},
      {withNul, ERROR_INVALID_PARAMETER},
  };
  for (const KeyCase& c : keyCases) {
    RegHandle h = 0;
    EXPECT_EQ(store_->RegCreateKeyEx(key, c.path, 0, KEY_ALL_ACCESS, &h, nullptr), c.expected);
    EXPECT_EQ(h != 0, c.expected == 0);
    store_->RegCloseKey(h);
  }
  RegHandle h = 0;
  EXPECT_EQ(store_->RegCreateKeyEx(key, u"x", 0x10, KEY_ALL_ACCESS, &h, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(store_->RegOpenKeyEx(key, u"x", 0, 0x40000000u, &h), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store_->RegCreateKeyEx(key, u"x", 0, KEY_ALL_ACCESS, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);

  const std::u16string value16383(16383, u'v');
  const std::u16string value16384(16384, u'v');
  struct ValueCase {
    std::u16string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::uint32_t expected;
  };
  const std::vector<ValueCase> valueCases = {
      {value16383, REG_BINARY, Bytes({1}), 0},
      {value16384, REG_BINARY, Bytes({1}), ERROR_INVALID_PARAMETER},
      {withNul, REG_BINARY, Bytes({1}), ERROR_INVALID_PARAMETER},
      {u"dword3", REG_DWORD, Bytes({1, 2, 3}), ERROR_INVALID_PARAMETER},
      {u"qword4", REG_QWORD, Bytes({1, 2, 3, 4}), ERROR_INVALID_PARAMETER},
      {u"oddsz", REG_SZ, Bytes({'a', 0, 0}), ERROR_INVALID_PARAMETER},
      {u"big", REG_BINARY, std::vector<std::uint8_t>(kMaxValueDataSize + 1),
       ERROR_INVALID_PARAMETER},
  };
  for (const ValueCase& c : valueCases) {
    EXPECT_EQ(Set(key, c.name, c.type, c.data), c.expected) << c.name.size();
    std::vector<std::uint8_t> data;
    EXPECT_EQ(Get(key, c.name, &data), c.expected == 0 ? 0u : c.name.size() > 16383 ||
                                                                      c.name.find(u'\0') !=
                                                                          std::u16string::npos
                                                                  ? ERROR_INVALID_PARAMETER
                                                                  : ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(store_->RegSetValueEx(key, u"nullData", REG_BINARY, nullptr, 4),
            ERROR_INVALID_PARAMETER);
  std::uint8_t byte = 0;
  EXPECT_EQ(store_->RegQueryValueEx(key, u"x", nullptr, &byte, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(store_->RegEnumKeyEx(key, 0, nullptr, nullptr), ERROR_INVALID_PARAMETER);
  // The long value name enumerates in full.
  std::uint32_t last = 0;
  EXPECT_EQ(ValueNames(key, &last), std::vector<std::u16string>{value16383});
  store_->RegCloseKey(key);
}

TEST_F(RegistryStoreTest, ImpersonationRedirectsTheCurrentUserRoot) {
  const RegHandle own = Create(HKEY_CURRENT_USER, u"Software\\Zelvo");
  ASSERT_EQ(Set(own, u"who", REG_SZ, Utf16Bytes(u"self")), 0u);
  const TokenUser guest{u"S-1-22-1-4242", u"guest"};
  {
    ScopedImpersonation as(guest);
    EXPECT_TRUE(ThreadTokenService::IsThisThreadImpersonating());
    RegHandle h = 0;
    EXPECT_EQ(store_->RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Zelvo", 0, KEY_READ, &h),
              ERROR_FILE_NOT_FOUND);
    const RegHandle theirs = Create(HKEY_CURRENT_USER, u"Software\\Zelvo");
    ASSERT_EQ(Set(theirs, u"who", REG_SZ, Utf16Bytes(u"guest")), 0u);
    RegHandle cu = 0;
    ASSERT_EQ(store_->RegOpenCurrentUser(KEY_READ, &cu), 0u);
    std::vector<std::uint8_t> data;
    ASSERT_EQ(store_->RegOpenKeyEx(cu, u"Software\\Zelvo", 0, KEY_READ, &h), 0u);
    EXPECT_EQ(Get(h, u"who", &data), 0u);
    EXPECT_EQ(data, Utf16Bytes(u"guest"));
    for (RegHandle x : {theirs, cu, h}) store_->RegCloseKey(x);
  }
  EXPECT_FALSE(ThreadTokenService::IsThisThreadImpersonating());
  std::vector<std::uint8_t> data;
  EXPECT_EQ(Get(own, u"who", &data), 0u);
  EXPECT_EQ(data, Utf16Bytes(u"self"));
  // Both hives are reachable under HKEY_USERS.
  RegHandle h = 0;
  ASSERT_EQ(store_->RegOpenKeyEx(HKEY_USERS, u"S-1-22-1-4242\\Software\\Zelvo", 0, KEY_READ, &h),
            0u);
  EXPECT_EQ(Get(h, u"who", &data), 0u);
  EXPECT_EQ(data, Utf16Bytes(u"guest"));
  store_->RegCloseKey(h);
  std::uint32_t last = 0;
  const auto users = KeyNames(HKEY_USERS, &last);
  EXPECT_EQ(last, ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(users.size(), 2u);
  EXPECT_EQ(store_->RegOpenKeyEx(HKEY_USERS, u"S-1-22-1-999", 0, KEY_READ, &h),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store_->RegOpenKeyEx(HKEY_USERS, u"..", 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
  store_->RegCloseKey(own);
}

TEST_F(RegistryStoreTest, BatchCommitsWholeOrNothing) {
  const RegHandle key = Create(HKEY_LOCAL_MACHINE, u"B");
  EXPECT_EQ(store_->Batch(key,
                          [&] {
                            EXPECT_EQ(Set(key, u"a", REG_BINARY, Bytes({1})), 0u);
                            return ERROR_INVALID_PARAMETER;
                          }),
            ERROR_INVALID_PARAMETER);
  std::vector<std::uint8_t> data;
  EXPECT_EQ(Get(key, u"a", &data), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store_->Batch(key, [&] { return Set(key, u"a", REG_BINARY, Bytes({1})); }), 0u);
  EXPECT_EQ(Get(key, u"a", &data), 0u);
  store_->RegCloseKey(key);
}

TEST(RegistryStoreFiles, PersistsInWalAndDropsVolatileKeysOnANewBoot) {
  TempFolder folder("w4reg");
  {
    auto store = RegistryStore::OpenFolder(folder.path(), "boot-1");
    RegHandle stay = 0;
    RegHandle vol = 0;
    RegHandle child = 0;
    ASSERT_EQ(store->RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Stay", 0, KEY_ALL_ACCESS, &stay, nullptr),
              0u);
    ASSERT_EQ(store->RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Vol", REG_OPTION_VOLATILE,
                                    KEY_ALL_ACCESS, &vol, nullptr),
              0u);
    EXPECT_EQ(store->RegCreateKeyEx(vol, u"Child", 0, KEY_ALL_ACCESS, &child, nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);
    ASSERT_EQ(store->RegCreateKeyEx(vol, u"Child", REG_OPTION_VOLATILE, KEY_ALL_ACCESS, &child,
                                    nullptr),
              0u);
    const std::uint8_t one[4] = {1, 0, 0, 0};
    ASSERT_EQ(store->RegSetValueEx(stay, u"v", REG_DWORD, one, 4), 0u);
    ASSERT_EQ(store->RegSetValueEx(child, u"v", REG_DWORD, one, 4), 0u);
  }
  const auto opens = [&](RegistryStore& store, const char16_t* path) {
    RegHandle h = 0;
    const std::uint32_t err = store.RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &h);
    store.RegCloseKey(h);
    return err;
  };
  {
    auto sameBoot = RegistryStore::OpenFolder(folder.path(), "boot-1");
    EXPECT_EQ(opens(*sameBoot, u"Vol\\Child"), 0u);
    EXPECT_EQ(opens(*sameBoot, u"Stay"), 0u);
  }
  {
    auto nextBoot = RegistryStore::OpenFolder(folder.path(), "boot-2");
    EXPECT_EQ(opens(*nextBoot, u"Vol\\Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(opens(*nextBoot, u"Vol"), ERROR_FILE_NOT_FOUND);
    RegHandle stay = 0;
    ASSERT_EQ(nextBoot->RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"stay", 0, KEY_READ, &stay), 0u);
    std::uint8_t data[4] = {};
    std::uint32_t size = 4;
    EXPECT_EQ(nextBoot->RegQueryValueEx(stay, u"V", nullptr, data, &size), 0u);
    EXPECT_EQ(data[0], 1);
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder.path() + "/registry/machine.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "wal");
  sqlite3_finalize(st);
  sqlite3_close(db);
}

TEST(RegistryStoreFiles, DataFolderFollowsTheEnvironment) {
  struct SavedVariable {
    explicit SavedVariable(const char* name) : name(name) {
      const char* v = std::getenv(name);
      had = v != nullptr;
      if (had) value = v;
    }
    ~SavedVariable() {
      if (had) {
        setenv(name, value.c_str(), 1);
      } else {
        unsetenv(name);
      }
    }
    const char* name;
    bool had = false;
    std::string value;
  };
  SavedVariable home("W4UTIL_HOME");
  SavedVariable xdg("XDG_DATA_HOME");
  setenv("W4UTIL_HOME", "/tmp/w4-home", 1);
  EXPECT_EQ(RegistryStore::DefaultDataFolder(), "/tmp/w4-home");
  unsetenv("W4UTIL_HOME");
  setenv("XDG_DATA_HOME", "/tmp/xdg", 1);
  EXPECT_EQ(RegistryStore::DefaultDataFolder(), "/tmp/xdg/w4util");
}

}  // namespace
}  // namespace w4platform
