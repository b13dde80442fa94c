#include "w4util/config/RegistryKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "w4util/config/RegistryTestStore.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/platform/ThreadToken.h"

namespace {

using namespace w4platform;

using RegistryKeyTest = RegistryKeyFixture;

TEST_F(RegistryKeyTest, TypedValuesRoundTripAndFallBackToDefaults) {
  key_->SetBooleanValue(u"Flag", true);
  key_->SetLongValue(u"Count", -7);
  key_->SetStringValue(u"Text", u"caf\u00e9");
  ByteBuffer bytes;
  bytes.push_back(9);
  bytes.push_back(0);
  key_->SetBytesValue(u"Blob", bytes);

  EXPECT_TRUE(key_->GetBooleanValue(u"Flag", false));
  EXPECT_EQ(key_->GetLongValue(u"Count", 0), -7);
  EXPECT_EQ(key_->GetStringValue(u"Text", u""), CXString(u"caf\u00e9"));
  EXPECT_EQ(key_->GetBytesValue(u"Blob", ByteBuffer()), bytes);

  EXPECT_FALSE(key_->GetBooleanValue(u"Missing", false));
  EXPECT_EQ(key_->GetLongValue(u"Missing", 42), 42);
  EXPECT_EQ(key_->GetStringValue(u"Missing", u"dflt"), CXString(u"dflt"));
  EXPECT_FALSE(key_->DoesValueExist(u"Missing"));
  EXPECT_TRUE(key_->DoesValueExist(u"flag"));

  // The stored forms are the host's.
  std::uint32_t type = 0;
  ByteBuffer raw;
  ASSERT_TRUE(key_->GetValue(u"Text", raw, &type));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(raw.size(), 10u);
  ASSERT_TRUE(key_->GetValue(u"Count", raw, &type));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(raw, ByteBuffer(reinterpret_cast<const unsigned char*>("\xF9\xFF\xFF\xFF"), 4));
}

TEST_F(RegistryKeyTest, StoredBytesAreReadAsTheirTypeNeeds) {
  Raw(u"Seven", REG_DWORD, {7, 0, 0, 0});
  Raw(u"Empty", REG_BINARY, {});
  Raw(u"Short", REG_BINARY, {1, 0});
  Raw(u"Unterminated", REG_SZ, {'a', 0, 'b', 0});
  Raw(u"Odd", REG_BINARY, {'x', 0, 'y'});

  EXPECT_EQ(key_->GetLongValue(u"Seven", 0), 7);
  EXPECT_TRUE(key_->GetBooleanValue(u"Seven", false));
  EXPECT_EQ(key_->GetLongValue(u"Empty", 5), 5);
  EXPECT_TRUE(key_->GetBooleanValue(u"Empty", true));
  EXPECT_THROW(key_->GetLongValue(u"Short", 0), ExceptionNotEnoughBytesForDesiredDataType);
  EXPECT_EQ(key_->GetStringValue(u"Unterminated", u""), CXString(u"ab"));
  EXPECT_EQ(key_->GetStringValue(u"Odd", u""), CXString(u"x"));
}

TEST_F(RegistryKeyTest, MalformedNamesAnswerWithoutCrashing) {
  const CXString longName(u'n', 20000);
  const char16_t nul[] = {u'a', u'\0', u'b'};
  const CXString embedded(nul, 3);
  EXPECT_THROW(key_->SetLongValue(longName, 1), ExceptionRegistryRequest);
  EXPECT_THROW(key_->SetLongValue(embedded, 1), ExceptionRegistryRequest);
  EXPECT_THROW(key_->GetLongValue(longName, 1), ExceptionRegistryRequest);
  // The default value has the empty name.
  key_->SetStringValue(u"", u"default");
  EXPECT_EQ(key_->GetStringValue(u"", u""), CXString(u"default"));

  RegistryKey machine(HKEY_LOCAL_MACHINE, false);
  EXPECT_THROW(RegistryKey::OpenRegistryKey(machine, CXString(u'k', 300), KEY_READ),
               ExceptionRegistryRequest);
  EXPECT_THROW(RegistryKey::CreateRegistryKey(machine, u"a\\\\b", KEY_ALL_ACCESS, false),
               ExceptionRegistryRequest);
}

TEST_F(RegistryKeyTest, OpenAndCreateReportFailuresAsSpecified) {
  RegistryKey machine(HKEY_LOCAL_MACHINE, false);
  EXPECT_EQ(RegistryKey::OpenRegistryKey(machine, u"SOFTWARE\\Nope", KEY_READ), nullptr);
  auto opened = RegistryKey::OpenRegistryKey(machine, u"SOFTWARE\\Zelvo\\Test", KEY_READ);
  ASSERT_NE(opened, nullptr);
  EXPECT_TRUE(opened->IsKeyValid());

  auto denied = RegistryKey::CreateRegistryKey(*key_, u"Denied", KEY_ALL_ACCESS, false);
  ASSERT_EQ(Store().SetKeyDeniedAccess(denied.GetKey(), KEY_READ), 0u);
  EXPECT_THROW(RegistryKey::OpenRegistryKey(*key_, u"Denied", KEY_READ), ExceptionRegistryRequest);

  std::int32_t result = 0;
  EXPECT_EQ(RegistryKey::CreateRegistryKey(*key_, u"Denied", KEY_READ, false, result), nullptr);
  EXPECT_EQ(result, 5);
  CXString error(u"stale");
  EXPECT_EQ(RegistryKey::CreateRegistryKey(*key_, u"Denied", KEY_READ, false, error), nullptr);
  EXPECT_EQ(error, CXString(u"RegCreateKeyEx(Denied) failed! Access is denied."));
  EXPECT_NE(RegistryKey::CreateRegistryKey(*key_, u"Fine", KEY_READ, false, error), nullptr);
  EXPECT_TRUE(error.IsEmpty());

  // A volatile parent takes only volatile children.
  auto vol = RegistryKey::CreateRegistryKey(*key_, u"Vol", KEY_ALL_ACCESS, true);
  EXPECT_THROW(RegistryKey::CreateRegistryKey(vol, u"Child", KEY_ALL_ACCESS, false),
               ExceptionRegistryRequest);
  EXPECT_NO_THROW(RegistryKey::CreateRegistryKey(vol, u"Child", KEY_ALL_ACCESS, true));
}

TEST_F(RegistryKeyTest, EnumerationsCountsAndDeletion) {
  for (const char16_t* name : {u"B", u"A", u"C"}) {
    RegistryKey::CreateRegistryKey(*key_, name, KEY_ALL_ACCESS, false);
  }
  const CXString longKey(u'k', 255);
  RegistryKey::CreateRegistryKey(*key_, longKey, KEY_ALL_ACCESS, false);
  // Value names longer than the first enumeration buffer still come out.
  const CXString longValue(u'v', 2000);
  key_->SetLongValue(longValue, 1);
  key_->SetLongValue(u"x", 2);

  std::vector<CXString> names;
  key_->EnumKeyNames(names);
  ASSERT_EQ(names.size(), 4u);
  EXPECT_NE(std::find(names.begin(), names.end(), longKey), names.end());
  key_->EnumValueNames(names);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_NE(std::find(names.begin(), names.end(), longValue), names.end());
  EXPECT_EQ(key_->GetCountOfSubKeys(), 4u);
  EXPECT_EQ(key_->GetCountOfValues(), 2u);
  EXPECT_TRUE(key_->AnySubKeysExist());

  auto a = RegistryKey::OpenRegistryKey(*key_, u"A", KEY_ALL_ACCESS);
  a->SetLongValue(u"v", 1);
  RegistryKey::CreateRegistryKey(*a, u"Deep", KEY_ALL_ACCESS, false);
  EXPECT_FALSE(RegistryKey::OpenRegistryKey(*key_, u"B", KEY_READ)->AnySubKeysExist());

  EXPECT_EQ(key_->DeleteKey(u"A"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(key_->CopyKeyAndSubkeysFrom(key_->GetKey(), u"A"), 0u);  // into itself
  EXPECT_EQ(key_->GetLongValue(u"v", 0), 1);
  EXPECT_EQ(key_->DeleteKeyAndSubkeys(u"A"), 0u);
  EXPECT_EQ(key_->DeleteKey(u"B"), 0u);
  EXPECT_EQ(key_->DeleteKey(u"B"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key_->DeleteValue(u"x"), 0u);
  EXPECT_EQ(key_->DeleteValue(u"x"), ERROR_FILE_NOT_FOUND);

  // A key deleted under an open handle ends enumerations instead of looping.
  auto c = RegistryKey::OpenRegistryKey(*key_, u"C", KEY_ALL_ACCESS);
  EXPECT_EQ(key_->DeleteKey(u"C"), 0u);
  c->EnumValueNames(names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(c->GetCountOfSubKeys(), 0u);
  EXPECT_FALSE(c->AnySubKeysExist());

  RegistryKey none(0, false);
  EXPECT_FALSE(none.IsKeyValid());
  EXPECT_EQ(none.GetCountOfValues(), 0u);
  none.EnumKeyNames(names);
  EXPECT_TRUE(names.empty());
}

TEST_F(RegistryKeyTest, RenameValue) {
  key_->SetLongValue(u"A", 5);
  EXPECT_TRUE(key_->RenameValue(u"A", u"a"));
  std::vector<CXString> names;
  key_->EnumValueNames(names);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], CXString(u"a"));
  EXPECT_EQ(key_->GetLongValue(u"a", 0), 5);

  EXPECT_TRUE(key_->RenameValue(u"a", u"Other"));
  EXPECT_FALSE(key_->DoesValueExist(u"a"));
  EXPECT_EQ(key_->GetLongValue(u"Other", 0), 5);
  EXPECT_FALSE(key_->RenameValue(u"Missing", u"X"));

  // A write that fails leaves the old value where it was.
  EXPECT_FALSE(key_->RenameValue(u"Other", CXString(u'n', 20000)));
  EXPECT_EQ(key_->GetLongValue(u"Other", 0), 5);
  const char16_t nul[] = {u'o', u't', u'h', u'e', u'r', u'\0'};
  EXPECT_FALSE(key_->RenameValue(u"Other", CXString(nul, 6)));
  EXPECT_EQ(key_->GetLongValue(u"Other", 0), 5);
}

// A read-only handle: the case-only rename deletes nothing and keeps the value.
TEST_F(RegistryKeyTest, RenameOnReadOnlyKeyKeepsTheValue) {
  key_->SetLongValue(u"A", 5);
  RegistryKey machine(HKEY_LOCAL_MACHINE, false);
  auto readOnly = RegistryKey::OpenRegistryKey(machine, u"SOFTWARE\\Zelvo\\Test", KEY_READ);
  EXPECT_FALSE(readOnly->RenameValue(u"A", u"a"));
  EXPECT_FALSE(readOnly->RenameValue(u"A", u"B"));
  std::vector<CXString> names;
  key_->EnumValueNames(names);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], CXString(u"A"));
  EXPECT_THROW(readOnly->SetLongValue(u"A", 1), ExceptionRegistryRequest);
}

TEST_F(RegistryKeyTest, AssignmentMovesHandlesAndClosesEachOnce) {
  RegistryKey machine(HKEY_LOCAL_MACHINE, false);
  RegistryKey first = RegistryKey::CreateRegistryKey(machine, u"SOFTWARE\\One", KEY_ALL_ACCESS,
                                                     false);
  RegistryKey second = RegistryKey::CreateRegistryKey(machine, u"SOFTWARE\\Two", KEY_ALL_ACCESS,
                                                      false);
  const HKEY firstHandle = first.GetKey();
  const HKEY secondHandle = second.GetKey();
  first = second;
  // The target's own handle was closed; the source no longer owns its one.
  EXPECT_EQ(Store().RegCloseKey(firstHandle), ERROR_INVALID_HANDLE);
  EXPECT_EQ(first.GetKey(), secondHandle);
  first.SetLongValue(u"v", 1);
  {
    RegistryKey copy(first);
    EXPECT_EQ(copy.GetKey(), secondHandle);
  }
  EXPECT_EQ(Store().RegCloseKey(secondHandle), ERROR_INVALID_HANDLE);

  // Redirected current-user keys: both handles move and close once.
  ThreadTokenService::RevertToSelf();
  {
    ScopedImpersonation as(TokenUser{u"S-1-22-1-4242", u"guest"});
    RegistryKey user(HKEY_CURRENT_USER, false);
    const HKEY redirected = user.GetKey();
    EXPECT_NE(redirected, HKEY_CURRENT_USER);
    RegistryKey other(HKEY_CURRENT_USER, false);
    other = user;
    EXPECT_EQ(other.GetKey(), redirected);
    RegistryKey self(HKEY_CURRENT_USER, false);
    self = self;
    EXPECT_NE(self.GetKey(), HKEY_CURRENT_USER);
  }
}

TEST_F(RegistryKeyTest, ImpersonatedCurrentUserKeysReachTheImpersonatedHive) {
  const TokenUser guest{u"S-1-22-1-4242", u"guest"};
  {
    ScopedImpersonation as(guest);
    RegistryKey user(HKEY_CURRENT_USER, false);
    RegistryKey driver = RegistryKey::CreateRegistryKey(user, u"Software\\Zelvo\\PrinterDriver",
                                                        KEY_ALL_ACCESS, false);
    driver.SetStringValue(u"Hive", u".default");
    EXPECT_TRUE(RegistryKey::IsHkcuRegistryHiveHkuDotDefault());
    EXPECT_TRUE(RegistryKey::DoesThreadHavePermissiontoWriteToHkcu());
  }
  EXPECT_FALSE(RegistryKey::IsHkcuRegistryHiveHkuDotDefault());
  RegistryKey users(HKEY_USERS, false);
  auto stored = RegistryKey::OpenRegistryKey(
      users, u"S-1-22-1-4242\\Software\\Zelvo\\PrinterDriver", KEY_READ);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->GetStringValue(u"Hive", u""), CXString(u".default"));
  // Case matters for the hive name.
  stored = RegistryKey::OpenRegistryKey(users, u"S-1-22-1-4242\\Software\\Zelvo\\PrinterDriver",
                                        KEY_ALL_ACCESS);
  stored->SetStringValue(u"Hive", u".DEFAULT");
  ScopedImpersonation as(guest);
  EXPECT_FALSE(RegistryKey::IsHkcuRegistryHiveHkuDotDefault());
}

TEST_F(RegistryKeyTest, WriteAccessToTheCurrentUserBranch) {
  RegistryKey user(HKEY_CURRENT_USER, false);
  RegistryKey software = RegistryKey::CreateRegistryKey(user, u"Software", KEY_ALL_ACCESS, false);
  EXPECT_TRUE(RegistryKey::DoesThreadHavePermissiontoWriteToHkcu());
  ASSERT_EQ(Store().SetKeyDeniedAccess(software.GetKey(), KEY_WRITE), 0u);
  EXPECT_FALSE(RegistryKey::DoesThreadHavePermissiontoWriteToHkcu());
}

}  // namespace
