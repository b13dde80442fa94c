#include "w4util/config/RegistryMultiValueOperations.h"

#include <gtest/gtest.h>

#include "w4util/config/RegistryTestStore.h"
#include "w4util/errors/ExceptionCatalogue.h"

namespace {

using namespace w4platform;

using RegistryMultiValueTest = RegistryKeyFixture;

TEST_F(RegistryMultiValueTest, DefaultsAreCreatedThenReadBackInOneCall) {
  bool flag = true;
  std::int32_t count = 12;
  CXString text(u"hello");
  ByteBuffer bytes;
  bytes.push_back(3);
  RegistryMultiValueOperations ops;
  ops.AddBooleanValueToOperateOn(u"Flag", &flag);
  ops.AddLongValueToOperateOn(u"Count", &count);
  ops.AddStringValueToOperateOn(u"Text", &text);
  ops.AddBytesValueToOperateOn(u"Bytes", &bytes);
  ops.AddLongValueToOperateOn(u"Ignored", nullptr);
  key_->SetLongValue(u"Count", 99);
  ops.EnsureAllValuesExist(*key_);
  EXPECT_EQ(key_->GetLongValue(u"Count", 0), 99);  // existing values are kept
  EXPECT_FALSE(key_->DoesValueExist(u"Ignored"));

  flag = false;
  count = 0;
  text = u"";
  bytes.clear();
  ops.ReadAllFromRegistry(*key_);
  EXPECT_TRUE(flag);
  EXPECT_EQ(count, 99);
  EXPECT_EQ(text, CXString(u"hello"));
  ASSERT_EQ(bytes.size(), 1u);
  EXPECT_EQ(bytes[0], 3);

  count = -1;
  text = u"changed";
  ops.WriteAllToRegistry(*key_);
  EXPECT_EQ(key_->GetLongValue(u"Count", 0), -1);
  EXPECT_EQ(key_->GetStringValue(u"Text", u""), CXString(u"changed"));

  key_->DeleteValue(u"Text");
  EXPECT_THROW(ops.ReadAllFromRegistry(*key_), ExceptionRegistryRequest);
}

TEST_F(RegistryMultiValueTest, MismatchedOrShortRecordsLeaveVariablesUnchanged) {
  const struct {
    const char16_t* name;
    std::uint32_t type;
    std::initializer_list<int> bytes;
  } stored[] = {
      {u"LongAsText", REG_SZ, {'7', 0, 0, 0}},
      {u"ShortLong", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 7}},
      {u"EmptyBool", REG_BINARY, {}},
      {u"Unterminated", REG_SZ, {'a', 0, 'b', 0}},
      {u"TextAsBinary", REG_BINARY, {'a', 0, 0, 0}},
      {u"BytesAsDword", REG_DWORD, {1, 2, 3, 4}},
  };
  for (const auto& s : stored) Raw(s.name, s.type, s.bytes);
  std::int32_t longAsText = 5, shortLong = 6;
  bool emptyBool = true;
  CXString unterminated(u"keep"), textAsBinary(u"keep");
  ByteBuffer bytesAsDword;
  bytesAsDword.push_back(0xAA);
  RegistryMultiValueOperations ops;
  ops.AddLongValueToOperateOn(u"LongAsText", &longAsText);
  ops.AddLongValueToOperateOn(u"ShortLong", &shortLong);
  ops.AddBooleanValueToOperateOn(u"EmptyBool", &emptyBool);
  ops.AddStringValueToOperateOn(u"Unterminated", &unterminated);
  ops.AddStringValueToOperateOn(u"TextAsBinary", &textAsBinary);
  ops.AddBytesValueToOperateOn(u"BytesAsDword", &bytesAsDword);
  ops.ReadAllFromRegistry(*key_);
  EXPECT_EQ(longAsText, 5);
  EXPECT_EQ(shortLong, 6);
  EXPECT_TRUE(emptyBool);
  EXPECT_EQ(unterminated, CXString(u"keep"));
  EXPECT_EQ(textAsBinary, CXString(u"keep"));
  ASSERT_EQ(bytesAsDword.size(), 1u);
}

// Past the 100 records reserved up front, earlier bindings still read their
// own values.
TEST_F(RegistryMultiValueTest, MoreThanAHundredValues) {
  constexpr int kValues = 250;
  std::vector<std::int32_t> variables(kValues, -1);
  RegistryMultiValueOperations ops;
  for (int i = 0; i < kValues; ++i) {
    const CXString name = ZelvoUtilities::SafeFormatString(u"V%ld", i);
    key_->SetLongValue(name, i * 3);
    ops.AddLongValueToOperateOn(name, &variables[i]);
  }
  ops.ReadAllFromRegistry(*key_);
  for (int i = 0; i < kValues; ++i) EXPECT_EQ(variables[i], i * 3) << i;
}

TEST_F(RegistryMultiValueTest, NothingBoundMakesNoRegistryCall) {
  RegistryMultiValueOperations ops;
  RegistryKey invalid(0, false);
  EXPECT_NO_THROW(ops.ReadAllFromRegistry(invalid));
  std::int32_t v = 0;
  ops.AddLongValueToOperateOn(u"v", &v);
  EXPECT_THROW(ops.ReadAllFromRegistry(invalid), ExceptionRegistryRequest);
}

TEST(RegistryDataMap, ValueEntryDebugString) {
  const unsigned char text[] = {'h', 0, 'i', 0, 0, 0};
  const unsigned char dword[] = {0xFE, 0xFF, 0xFF, 0xFF};
  const unsigned char one[] = {1};
  const struct {
    std::uint32_t type;
    const unsigned char* data;
    std::uint32_t length;
    const char16_t* want;
  } cases[] = {
      {REG_SZ, text, 6, u"name:N type:REG_SZ len:6 data:hi"},
      {REG_SZ, text, 4, u"name:N type:REG_SZ len:4 data:<Interpretation not implemented!>"},
      {REG_DWORD, dword, 4, u"name:N type:REG_DWORD len:4 data:-2"},
      {REG_DWORD, dword, 2, u"name:N type:REG_DWORD len:2 data:<Interpretation not implemented!>"},
      {REG_BINARY, one, 1, u"name:N type:REG_BINARY len:1 data:true"},
      {REG_BINARY, one, 0, u"name:N type:REG_BINARY len:0 data:false"},
      {REG_QWORD, one, 0, u"name:N type:REG_QWORD len:0 data:<Interpretation not implemented!>"},
      {42, one, 1, u"name:N type:<Unknown Type!> len:1 data:<Interpretation not implemented!>"},
  };
  for (const auto& c : cases) {
    value_entW record;
    record.valueName = u"N";
    record.type = c.type;
    record.valueLength = c.length;
    record.valuePointer = const_cast<std::uint8_t*>(c.data);
    EXPECT_EQ(RegistryDataMap::GetValueEntryDebugString(record), CXString(c.want));
  }
}

}  // namespace
