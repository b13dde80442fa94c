#include "w4util/attributes/AttributeBytesNameSpaces.h"

#include <gtest/gtest.h>

#include <string>

#include "w4util/attributes/internal/TestSupport.h"

namespace {

using namespace attributes_test;

constexpr const char* kFeatureNotFound = "019:000";
constexpr const char* kDuplicate = "028:000";
const std::string kOneNameSpace =
    "41 42 4E 53 41 14 35 08 00 00 00 00 41 42 49 4C 41 42 52 4C 09 01 00 00 00 0B 00 00 0F 00 00 00 "
    "41 42 52 4C 02 AC 00 00 00 03 00 2C 01 00 00";

AttributeBytesRawList OneRecord(std::int32_t feature, std::int32_t value) {
  AttributeBytesRawList raw;
  raw.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(feature), AttributeBytesIntegerValue(value, true)));
  return raw;
}

TEST(AttributeBytesNameSpaces, StateOfOneNameSpace) {
  AttributeBytesNameSpaces spaces;
  EXPECT_TRUE(spaces.IsEmpty());
  spaces.SetNameSpaceAttributes(AttributeBytesNameSpacesId(1), OneRecord(172, 300));
  EXPECT_EQ(ToHex(spaces.GetAttributeBytesNameSpacesState()), kOneNameSpace);

  DriverVersion version;
  const AttributeBytesNameSpaces decoded(Hex(kOneNameSpace), &version);
  EXPECT_TRUE(version == DriverVersion(5185, 2101, 0, 0));
  EXPECT_TRUE(decoded.Exists(AttributeBytesNameSpacesId(1)));
  AttributeBytesRawList raw;
  decoded.GetNameSpaceAttributes(AttributeBytesNameSpacesId(1), raw);
  EXPECT_TRUE(raw == OneRecord(172, 300));
}

TEST(AttributeBytesNameSpaces, WritesTheLibraryVersionWhateverWasRead) {
  std::string older = kOneNameSpace;
  older.replace(12, 11, "01 00 02 00");  // version words 1, 2, 0, 0
  AttributeBytesNameSpaces spaces;
  const DriverVersion read = spaces.ImportAttributeBytesNameSpacesState(Hex(older));
  EXPECT_TRUE(read == DriverVersion(1, 2, 0, 0));
  EXPECT_EQ(ToHex(spaces.GetAttributeBytesNameSpacesState()), kOneNameSpace);
}

TEST(AttributeBytesNameSpaces, ByIndexInNumberOrderAndTheErrors) {
  AttributeBytesNameSpaces spaces;
  spaces.SetNameSpaceAttributes(AttributeBytesNameSpacesId(3), OneRecord(3, 3));
  spaces.SetNameSpaceAttributes(AttributeBytesNameSpacesId(1), OneRecord(1, 1));
  spaces.SetNameSpaceAttributes(AttributeBytesNameSpacesId(3), OneRecord(3, 4));  // replaces
  ASSERT_EQ(spaces.GetNumberOfNameSpaces(), 2u);
  AttributeBytesRawList raw;
  spaces.GetNameSpaceByIndex(0, raw);
  EXPECT_TRUE(raw == OneRecord(1, 1));
  spaces.GetNameSpaceByIndex(1, raw);
  EXPECT_TRUE(raw == OneRecord(3, 4));
  EXPECT_EQ(ThrownCode([&] { spaces.GetNameSpaceByIndex(spaces.GetNumberOfNameSpaces(), raw); }), kIndexOutOfBounds);
  EXPECT_EQ(ThrownCode([&] { spaces.GetNameSpaceAttributes(AttributeBytesNameSpacesId(2), raw); }), kFeatureNotFound);
  spaces.DeleteNameSpaceAttributes(AttributeBytesNameSpacesId(2));
  spaces.DeleteNameSpaceAttributes(AttributeBytesNameSpacesId(1));
  EXPECT_FALSE(spaces.Exists(AttributeBytesNameSpacesId(1)));

  // A name-space record that holds no list.
  const AttributeBytesNameSpaces odd(Hex("41 42 4E 53 41 14 35 08 00 00 00 00 41 42 49 4C 41 42 52 4C "
                                         "09 07 00 00 00 03 00 01 00 00 00"));
  EXPECT_EQ(ThrownCode([&] { odd.GetNameSpaceAttributes(AttributeBytesNameSpacesId(7), raw); }), kTypeMismatch);
}

// A failed import leaves the group exactly as it was before it.
TEST(AttributeBytesNameSpaces, FailedImportsLeaveTheGroupAsItWas) {
  const std::string header = "41 42 4E 53 41 14 35 08 00 00 00 00 41 42 49 4C 41 42 52 4C ";
  const std::string space1 = "09 01 00 00 00 0B 00 00 04 00 00 00 41 42 52 4C ";
  const struct {
    std::string state;
    const char* code;
  } cases[] = {
      {"41 42 4E 54 41 14 35 08 00 00 00 00 41 42 49 4C 41 42 52 4C", kBadAttributeBytesFormat},
      {"41 42 4E", kNotEnoughBytes},
      {"41 42 4E 53 41 14 35 08 00 00", kNotEnoughBytes},
      {"41 42 4E 53 41 14 35 08 00 00 00 00 41 42 49 4D 41 42 52 4C", kBadAttributeBytesFormat},
      {header + space1 + space1, kDuplicate},
      {header + space1 + "09 02 00 00 00 0B 00 00 09 00 00 00 41 42 52 4C", kNotEnoughBytes},
      {header + space1 + "0C", kUnhandledSyntax},
  };
  for (const auto& c : cases) {
    AttributeBytesNameSpaces spaces;
    spaces.SetNameSpaceAttributes(AttributeBytesNameSpacesId(5), OneRecord(1, 1));
    const ByteBuffer before = spaces.GetAttributeBytesNameSpacesState();
    EXPECT_EQ(ThrownCode([&] { spaces.ImportAttributeBytesNameSpacesState(Hex(c.state)); }), c.code) << c.state;
    EXPECT_EQ(ToHex(spaces.GetAttributeBytesNameSpacesState()), ToHex(before)) << c.state;
  }
}

}  // namespace
