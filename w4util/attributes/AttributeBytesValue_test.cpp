#include "w4util/attributes/AttributeBytesValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/internal/TestSupport.h"

namespace {

using namespace attributes_test;

using MakeValue = std::function<std::unique_ptr<AttributeBytesValue>()>;

template <typename T, typename... Args>
MakeValue Make(Args... args) {
  return [=] { return std::unique_ptr<AttributeBytesValue>(new T(args...)); };
}

Dimension Mm(double mm) { return Dimension(mm, Dimension::ZLV_MMS); }
Dimension Thousandths(double count) { return Dimension(count, Dimension::ZLV_THOUSANDTHS_OF_MMS); }

UtcTime AtTime64(std::int64_t t) {
  UtcTime time;
  time.SetWithTime64(t);
  return time;
}

AttributeBytesRawList OneRecordList() {
  AttributeBytesRawList list;
  list.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(172), AttributeBytesIntegerValue(300, true)));
  return list;
}

ByteBuffer Blob(std::initializer_list<unsigned char> bytes) {
  return ByteBuffer(std::vector<unsigned char>(bytes).data(), static_cast<std::uint32_t>(bytes.size()));
}

struct ValueBytes {
  const char* name;
  MakeValue make;
  AttributeBytesValue::AttributeBytesValueEnum type;
  std::string bytes;
};

const std::vector<ValueBytes>& ValueTable() {
  static const std::vector<ValueBytes> table = {
      {"option value id 7", Make<AttributeBytesOptionValue>(AttributeBytesValueId(7), true),
       AttributeBytesValue::ABVTE_OPTION, "02 00 04 07 00 00 00"},
      {"option new value A4, unspecified", Make<AttributeBytesOptionValue>(AttributeBytesNewValueId(CXString(u"A4")), false),
       AttributeBytesValue::ABVTE_OPTION, "02 01 05 02 00 41 00 34 00"},
      {"option capability", Make<AttributeBytesOptionValue>(AttributeBytesCapabilityId(5, 3), true),
       AttributeBytesValue::ABVTE_OPTION, "02 00 07 03 00 05 00 00 00"},
      {"option default", Make<AttributeBytesOptionValue>(), AttributeBytesValue::ABVTE_OPTION,
       "02 00 06 00 00 00 00"},
      {"integer 300", Make<AttributeBytesIntegerValue>(300, true), AttributeBytesValue::ABVTE_INTEGER,
       "03 00 2C 01 00 00"},
      {"integer -1, unspecified", Make<AttributeBytesIntegerValue>(-1, false), AttributeBytesValue::ABVTE_INTEGER,
       "03 01 FF FF FF FF"},
      {"string empty", Make<AttributeBytesStringValue>(CXString(), true), AttributeBytesValue::ABVTE_STRING,
       "04 00 00 00"},
      {"string Hi, unspecified", Make<AttributeBytesStringValue>(CXString(u"Hi"), false),
       AttributeBytesValue::ABVTE_STRING, "04 01 02 00 48 00 69 00"},
      {"string with 0 unit", Make<AttributeBytesStringValue>(CXString(u"a\0", 2), true),
       AttributeBytesValue::ABVTE_STRING, "04 00 02 00 61 00 00 00"},
      {"boolean true, unspecified", Make<AttributeBytesBooleanValue>(true, false), AttributeBytesValue::ABVTE_BOOLEAN,
       "05 01 01"},
      {"boolean false", Make<AttributeBytesBooleanValue>(false, true), AttributeBytesValue::ABVTE_BOOLEAN, "05 00 00"},
      {"range -5..10", Make<AttributeBytesRangeValue>(-5, 10, true), AttributeBytesValue::ABVTE_RANGE,
       "06 00 FB FF FF FF 0A 00 00 00"},
      {"range of dimension A4", Make<AttributeBytesRangeOfDimensionValue>(Mm(210), Mm(297), true),
       AttributeBytesValue::ABVTE_RANGEOFDIMENSION, "07 00 50 34 03 00 28 88 04 00"},
      {"range of dimension extremes, unspecified",
       Make<AttributeBytesRangeOfDimensionValue>(Thousandths(-2147483648.0), Thousandths(2147483647.0), false),
       AttributeBytesValue::ABVTE_RANGEOFDIMENSION, "07 01 00 00 00 80 FF FF FF 7F"},
      {"dimension 210 mm", Make<AttributeBytesDimensionValue>(Mm(210), true), AttributeBytesValue::ABVTE_DIMENSION,
       "08 00 50 34 03 00"},
      {"dimension 1 inch", Make<AttributeBytesDimensionValue>(Dimension(1, Dimension::ZLV_INCHES), true),
       AttributeBytesValue::ABVTE_DIMENSION, "08 00 38 63 00 00"},
      {"dimension -72 pt", Make<AttributeBytesDimensionValue>(Dimension(-72, Dimension::ZLV_POINTS), true),
       AttributeBytesValue::ABVTE_DIMENSION, "08 00 C8 9C FF FF"},
      {"resolution 600x1200", Make<AttributeBytesResolutionValue>(600, 1200, std::int16_t{1}, true),
       AttributeBytesValue::ABVTE_RESOLUTION, "09 00 B0 04 00 00 58 02 00 00 01 00"},
      {"resolution negative units, unspecified", Make<AttributeBytesResolutionValue>(1, 2, std::int16_t{-2}, false),
       AttributeBytesValue::ABVTE_RESOLUTION, "09 01 02 00 00 00 01 00 00 00 FE FF"},
      {"data blob empty", Make<AttributeBytesDataBlobValue>(ByteBuffer(), true), AttributeBytesValue::ABVTE_DATABLOB,
       "0A 00 00 00 00 00"},
      {"data blob 01 02 FF, unspecified", Make<AttributeBytesDataBlobValue>(Blob({0x01, 0x02, 0xFF}), false),
       AttributeBytesValue::ABVTE_DATABLOB, "0A 01 03 00 00 00 01 02 FF"},
      {"list empty", Make<AttributeBytesListValue>(static_cast<unsigned char>(0), AttributeBytesRawList()),
       AttributeBytesValue::ABVTE_LIST, "0B 00 00 04 00 00 00 41 42 52 4C"},
      {"list kind 3, one record", Make<AttributeBytesListValue>(static_cast<unsigned char>(3), OneRecordList()),
       AttributeBytesValue::ABVTE_LIST, "0B 00 03 0F 00 00 00 41 42 52 4C 02 AC 00 00 00 03 00 2C 01 00 00"},
      {"date-time 2023-11-14T22:13:20Z", Make<AttributeBytesDateTimeValue>(AtTime64(1700000000), true),
       AttributeBytesValue::ABVTE_DATETIME, "0C 00 00 F1 53 65 00 00 00 00"},
      {"date-time epoch, unspecified", Make<AttributeBytesDateTimeValue>(AtTime64(0), false),
       AttributeBytesValue::ABVTE_DATETIME, "0C 01 00 00 00 00 00 00 00 00"},
  };
  return table;
}

std::unique_ptr<AttributeBytesValue> Decode(const ByteBuffer& bytes, unsigned int* leftAfter = nullptr) {
  unsigned char* cursor = const_cast<unsigned char*>(bytes.data());
  unsigned int left = bytes.getDword();
  auto value = AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(cursor, left);
  if (leftAfter != nullptr) {
    *leftAfter = left;
  }
  EXPECT_EQ(cursor, bytes.data() + (bytes.size() - left));
  return value;
}

TEST(AttributeBytesValue, EncodesEveryTypeToItsExactBytes) {
  for (const ValueBytes& row : ValueTable()) {
    SCOPED_TRACE(row.name);
    const auto value = row.make();
    const ByteBuffer expected = Hex(row.bytes);
    EXPECT_EQ(value->GetAttributeBytesValueType(), row.type);
    EXPECT_EQ(ToHex(value->GetTypeAndValueState()), row.bytes);

    ByteBuffer reused = Hex("EE EE EE");
    value->GetTypeAndValueState(reused);
    EXPECT_EQ(ToHex(reused), row.bytes);

    std::vector<unsigned char> dest(expected.size(), 0xEE);
    EXPECT_EQ(value->GetTypeAndValueState(dest.data(), static_cast<std::uint32_t>(dest.size())), expected.size());
    EXPECT_EQ(std::memcmp(dest.data(), expected.data(), expected.size()), 0);
    if (!expected.empty()) {
      EXPECT_EQ(ThrownCode([&] {
                  value->GetTypeAndValueState(dest.data(), static_cast<std::uint32_t>(dest.size() - 1));
                }),
                kNotEnoughBytes);
    }
  }
}

TEST(AttributeBytesValue, DecodesEveryTypeFromItsExactBytesAndStopsAtItsEnd) {
  for (const ValueBytes& row : ValueTable()) {
    SCOPED_TRACE(row.name);
    const auto expected = row.make();
    // A record that follows must be read from its first byte.
    const ByteBuffer bytes = Hex(row.bytes + " 02 AC 00 00 00");
    unsigned int left = 0;
    const auto decoded = Decode(bytes, &left);
    EXPECT_EQ(left, 5u);
    EXPECT_EQ(decoded->GetAttributeBytesValueType(), row.type);
    EXPECT_EQ(decoded->IsSpecified(), expected->IsSpecified());
    EXPECT_TRUE(decoded->IsEqual(*expected));
    EXPECT_TRUE(expected->IsEqual(*decoded));
    EXPECT_EQ(ToHex(decoded->GetTypeAndValueState()), row.bytes);

    const auto clone = decoded->Clone();
    EXPECT_NE(clone.get(), decoded.get());
    const AttributeBytesValue& cloned = *clone;
    const AttributeBytesValue& original = *decoded;
    EXPECT_EQ(typeid(cloned), typeid(original));
    EXPECT_TRUE(clone->IsEqual(*decoded));
    EXPECT_EQ(clone->IsList(), row.type == AttributeBytesValue::ABVTE_LIST);
  }
}

TEST(AttributeBytesValue, NonCanonicalBytesDecodeAndWriteBackCanonically) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"05 00 02", "05 00 01"},  // any non-zero boolean byte is true
      {"05 00 FF", "05 00 01"},
      {"03 02 2C 01 00 00", "03 01 2C 01 00 00"},  // any non-zero mark is "not specified"
      {"05 FF 00", "05 01 00"},
  };
  for (const auto& [input, canonical] : rows) {
    EXPECT_EQ(ToHex(Decode(Hex(input))->GetTypeAndValueState()), canonical) << input;
  }
}

TEST(AttributeBytesValue, DimensionsAreWrittenAsRoundedThousandthsOfMillimetres) {
  struct Row {
    Dimension dimension;
    std::int32_t wire;
  };
  const std::vector<Row> rows = {
      {Dimension(25.4, Dimension::ZLV_MMS), 25400},
      {Dimension(0.0004, Dimension::ZLV_MMS), 0},
      {Thousandths(2.5), 3},  // threshold 0.499999 rounds halves away from zero
      {Thousandths(-2.5), -3},
      {Thousandths(2.4999), 2},
      {Dimension(5, Dimension::ZLV_POINTS), 1764},
      {Dimension(0.5, Dimension::ZLV_HUNDREDTHS_OF_POINTS), 2},
      {Thousandths(2147483647.4), 2147483647},
      {Thousandths(-2147483648.4), -2147483648},
      {Dimension(2147483.647, Dimension::ZLV_MMS), 2147483647},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.wire));
    const AttributeBytesDimensionValue value(row.dimension, true);
    ByteBuffer expected = Hex("08 00");
    expected.append(ByteBuffer::createFromIntValue(row.wire));
    EXPECT_EQ(ToHex(value.GetTypeAndValueState()), ToHex(expected));
    // Read back in thousandths of a millimetre, whatever unit was written.
    const Dimension back = static_cast<const AttributeBytesDimensionValue&>(*Decode(expected)).GetValue();
    EXPECT_EQ(back.GetUnits(), Dimension::ZLV_THOUSANDTHS_OF_MMS);
    EXPECT_EQ(back.GetValue().GetDoubleValue(), static_cast<double>(row.wire));
  }
  // The default before any read: 0 in hundredths of a millimetre.
  EXPECT_EQ(AttributeBytesDimensionValue().GetValue().GetUnits(), Dimension::ZLV_HUNDREDTHS_OF_MMS);
}

TEST(AttributeBytesValue, DimensionsBeyondTheWireRangeAreRefusedOnWriting) {
  const std::vector<Dimension> outOfRange = {
      Thousandths(2147483648.0),
      Thousandths(-2147483649.0),
      Dimension(2.2e6, Dimension::ZLV_MMS),  // 2.2 km
      Dimension(-2.2e6, Dimension::ZLV_MMS),
      Dimension(1e300, Dimension::ZLV_INCHES),
      Dimension(std::numeric_limits<double>::infinity(), Dimension::ZLV_MMS),
      Dimension(std::numeric_limits<double>::quiet_NaN(), Dimension::ZLV_MMS),
  };
  for (const Dimension& d : outOfRange) {
    EXPECT_EQ(ThrownCode([&] { AttributeBytesDimensionValue(d, true).GetTypeAndValueState(); }), kInvalidArgument);
    EXPECT_EQ(ThrownCode([&] { AttributeBytesRangeOfDimensionValue(Mm(1), d, true).GetTypeAndValueState(); }),
              kInvalidArgument);
    EXPECT_EQ(ThrownCode([&] { AttributeBytesRangeOfDimensionValue(d, Mm(1), true).GetTypeAndValueState(); }),
              kInvalidArgument);
  }
}

TEST(AttributeBytesValue, FactoryMakesDefaultsOfEveryTypeAndRefusesOthers) {
  const std::vector<std::pair<std::int32_t, std::string>> defaults = {
      {2, "02 00 06 00 00 00 00"},
      {3, "03 00 00 00 00 00"},
      {4, "04 00 00 00"},
      {5, "05 00 00"},
      {6, "06 00 00 00 00 00 00 00 00 00"},
      {7, "07 00 00 00 00 00 00 00 00 00"},
      {8, "08 00 00 00 00 00"},
      {9, "09 00 00 00 00 00 00 00 00 00 00 00"},
      {10, "0A 00 00 00 00 00"},
      {11, "0B 00 00 04 00 00 00 41 42 52 4C"},
  };
  for (const auto& [type, bytes] : defaults) {
    const auto value = AttributeBytesValueFactory::CreateAttributeBytesValue(
        static_cast<AttributeBytesValue::AttributeBytesValueEnum>(type));
    EXPECT_EQ(value->GetAttributeBytesValueType(), type);
    EXPECT_TRUE(value->IsSpecified());
    EXPECT_EQ(ToHex(value->GetTypeAndValueState()), bytes);
  }
  EXPECT_EQ(AttributeBytesValueFactory::CreateAttributeBytesValue(AttributeBytesValue::ABVTE_DATETIME)
                ->GetAttributeBytesValueType(),
            AttributeBytesValue::ABVTE_DATETIME);
  for (std::int32_t type : {1, 0, 13, 255, -1}) {
    EXPECT_EQ(ThrownCode([&] {
                AttributeBytesValueFactory::CreateAttributeBytesValue(
                    static_cast<AttributeBytesValue::AttributeBytesValueEnum>(type));
              }),
              kUnhandledSyntax)
        << type;
  }
}

TEST(AttributeBytesValue, DebugNamesOfTypes) {
  const std::vector<std::u16string> names = {
      u"UNKNOWN!",       u"ABVTE_UNSPECIFIED", u"ABVTE_OPTION",    u"ABVTE_INTEGER",    u"ABVTE_STRING",
      u"ABVTE_BOOLEAN",  u"ABVTE_RANGE",       u"ABVTE_RANGEOFDIMENSION",           u"ABVTE_DIMENSION",
      u"ABVTE_RESOLUTION", u"ABVTE_DATABLOB",  u"ABVTE_LIST",      u"ABVTE_DATETIME",   u"UNKNOWN!",
  };
  for (std::size_t type = 0; type < names.size(); ++type) {
    EXPECT_EQ(U(AttributeBytesValue::GetDebugDisplayString(
                  static_cast<AttributeBytesValue::AttributeBytesValueEnum>(type))),
              names[type]);
  }
  EXPECT_EQ(U(AttributeBytesRangeValue().GetTypeDebugDisplayString()), u"ABVTE_RANGE");
}

// One value of each type at least, in strictly ascending order: types by
// number, then each type's own order. A single list value only: two lists
// are never ordered.
std::vector<std::unique_ptr<AttributeBytesValue>> AscendingValues() {
  std::vector<std::unique_ptr<AttributeBytesValue>> v;
  v.push_back(std::make_unique<AttributeBytesOptionValue>(AttributeBytesFeatureId(9), true));
  v.push_back(std::make_unique<AttributeBytesOptionValue>(AttributeBytesValueId(1), true));
  v.push_back(std::make_unique<AttributeBytesOptionValue>(AttributeBytesValueId(2), true));
  v.push_back(std::make_unique<AttributeBytesOptionValue>(AttributeBytesNewValueId(CXString(u"A")), true));
  v.push_back(std::make_unique<AttributeBytesIntegerValue>(INT32_MIN, true));
  v.push_back(std::make_unique<AttributeBytesIntegerValue>(-5, true));
  v.push_back(std::make_unique<AttributeBytesIntegerValue>(7, true));
  v.push_back(std::make_unique<AttributeBytesStringValue>(CXString(), true));
  v.push_back(std::make_unique<AttributeBytesStringValue>(CXString(u"B"), true));
  v.push_back(std::make_unique<AttributeBytesStringValue>(CXString(u"a"), true));
  v.push_back(std::make_unique<AttributeBytesStringValue>(CXString(u"ab"), true));
  v.push_back(std::make_unique<AttributeBytesBooleanValue>(false, true));
  v.push_back(std::make_unique<AttributeBytesBooleanValue>(true, true));
  v.push_back(std::make_unique<AttributeBytesRangeValue>(-1, 100, true));
  v.push_back(std::make_unique<AttributeBytesRangeValue>(1, 5, true));
  v.push_back(std::make_unique<AttributeBytesRangeValue>(1, 6, true));
  v.push_back(std::make_unique<AttributeBytesRangeValue>(2, 0, true));
  v.push_back(std::make_unique<AttributeBytesRangeOfDimensionValue>(Mm(1), Mm(9), true));
  v.push_back(std::make_unique<AttributeBytesRangeOfDimensionValue>(Mm(2), Mm(3), true));
  v.push_back(std::make_unique<AttributeBytesRangeOfDimensionValue>(Mm(2), Mm(4), true));
  v.push_back(std::make_unique<AttributeBytesDimensionValue>(Mm(-1), true));
  v.push_back(std::make_unique<AttributeBytesDimensionValue>(Mm(1), true));
  v.push_back(std::make_unique<AttributeBytesDimensionValue>(Dimension(1, Dimension::ZLV_INCHES), true));
  v.push_back(std::make_unique<AttributeBytesResolutionValue>(1200, 300, std::int16_t{1}, true));
  v.push_back(std::make_unique<AttributeBytesResolutionValue>(300, 600, std::int16_t{1}, true));
  v.push_back(std::make_unique<AttributeBytesResolutionValue>(600, 600, std::int16_t{1}, true));
  v.push_back(std::make_unique<AttributeBytesDataBlobValue>(ByteBuffer(), true));
  v.push_back(std::make_unique<AttributeBytesDataBlobValue>(Blob({0x00}), true));
  v.push_back(std::make_unique<AttributeBytesDataBlobValue>(Blob({0x00, 0x00}), true));
  v.push_back(std::make_unique<AttributeBytesDataBlobValue>(Blob({0x7F}), true));
  v.push_back(std::make_unique<AttributeBytesDataBlobValue>(Blob({0xFF}), true));
  v.push_back(std::make_unique<AttributeBytesListValue>(static_cast<unsigned char>(0), OneRecordList()));
  v.push_back(std::make_unique<AttributeBytesDateTimeValue>(AtTime64(1000), true));
  v.push_back(std::make_unique<AttributeBytesDateTimeValue>(AtTime64(1700000000), true));
  return v;
}

TEST(AttributeBytesValue, LessThanOrdersByTypeThenByValue) {
  const auto values = AscendingValues();
  const std::size_t n = values.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto copy = values[i]->Clone();
    EXPECT_FALSE(values[i]->LessThan(*copy)) << i;
    EXPECT_TRUE(values[i]->IsEqual(*copy)) << i;
    for (std::size_t j = 0; j < n; ++j) {
      EXPECT_EQ(values[i]->LessThan(*values[j]), i < j) << i << " vs " << j;
      EXPECT_EQ(values[i]->IsEqual(*values[j]), i == j) << i << " vs " << j;
    }
  }
}

TEST(AttributeBytesValue, SpecifiedFlagCountsForEqualityButNotForOrder) {
  const AttributeBytesIntegerValue specified(5, true);
  const AttributeBytesIntegerValue unspecified(5, false);
  EXPECT_FALSE(specified.IsEqual(unspecified));
  EXPECT_FALSE(specified.LessThan(unspecified));
  EXPECT_FALSE(unspecified.LessThan(specified));

  AttributeBytesIntegerValue changed(5, true);
  changed.SetIsSpecified(false);
  EXPECT_TRUE(changed.IsEqual(unspecified));
  EXPECT_EQ(ToHex(changed.GetTypeAndValueState()), "03 01 05 00 00 00");

  // Units take part in equality, not in order.
  const AttributeBytesResolutionValue dpi(600, 300, 1, true);
  const AttributeBytesResolutionValue other(600, 300, 2, true);
  EXPECT_FALSE(dpi.IsEqual(other));
  EXPECT_FALSE(dpi.LessThan(other));
  EXPECT_FALSE(other.LessThan(dpi));
}

TEST(AttributeBytesValue, ListValuesAreEqualByKindAndBytesAndNeverOrdered) {
  const AttributeBytesListValue a(3, OneRecordList());
  const AttributeBytesListValue sameBytes(3, AttributeBytesRawList(OneRecordList().GetAttributeBytesRawListState()));
  const AttributeBytesListValue otherKind(4, OneRecordList());
  const AttributeBytesListValue empty(3, AttributeBytesRawList());
  EXPECT_TRUE(a.IsEqual(sameBytes));
  EXPECT_FALSE(a.IsEqual(otherKind));
  EXPECT_FALSE(a.IsEqual(empty));
  for (const AttributeBytesListValue* x : {&a, &otherKind, &empty}) {
    for (const AttributeBytesListValue* y : {&a, &otherKind, &empty}) {
      EXPECT_FALSE(x->LessThan(*y));
    }
  }
  EXPECT_TRUE(a.IsSpecified());
  AttributeBytesRawList out;
  a.GetValue(out);
  EXPECT_TRUE(out == OneRecordList());
  EXPECT_EQ(a.GetKindOfList(), 3);
}

TEST(AttributeBytesValue, TypeCheckedGetters) {
  AttributeBytesListValue list;
  AttributeBytesValue& asValue = list;
  EXPECT_EQ(&asValue.GetListValue(), &list);
  const AttributeBytesValue& asConst = list;
  EXPECT_EQ(&asConst.GetListValue(), &list);
  const AttributeBytesIntegerValue integer(1, true);
  EXPECT_EQ(ThrownCode([&] { integer.GetListValue(); }), kTypeMismatch);

  const AttributeBytesOptionValue byValueId(AttributeBytesValueId(7), true);
  const AttributeBytesOptionValue byNewValueId(AttributeBytesNewValueId(CXString(u"x")), true);
  const AttributeBytesOptionValue byFeatureId(AttributeBytesFeatureId(7), true);
  EXPECT_EQ(byValueId.GetValueIdValue().GetValueId(), 7);
  EXPECT_EQ(ThrownCode([&] { byNewValueId.GetValueIdValue(); }), kTypeMismatch);
  EXPECT_EQ(ThrownCode([&] { byValueId.GetFeatureIdValue(); }), kTypeMismatch);
  EXPECT_EQ(byFeatureId.GetFeatureIdValue().GetFeatureId(), 7);
  EXPECT_EQ(ThrownCode([&] { byFeatureId.GetValueIdValue(); }), kTypeMismatch);
}

TEST(AttributeBytesValue, OptionValueOwnsACopyOfItsIdentifier) {
  AttributeBytesValueId id(7);
  AttributeBytesOptionValue option(id, true);
  id.SetValueId(8);
  EXPECT_EQ(option.GetValueIdValue().GetValueId(), 7);

  AttributeBytesOptionValue copy(option);
  option.SetValue(std::make_unique<AttributeBytesFeatureId>(1));
  EXPECT_EQ(copy.GetValueIdValue().GetValueId(), 7);
  copy = option;
  EXPECT_EQ(copy.GetFeatureIdValue().GetFeatureId(), 1);
  EXPECT_EQ(ThrownCode([&] { option.SetValue(std::unique_ptr<AttributeBytesId>()); }), "030:000");
  EXPECT_EQ(ThrownCode([&] { AttributeBytesOptionValue(std::unique_ptr<AttributeBytesId>(), true); }), "030:000");
}

TEST(AttributeBytesValue, DumpDisplayStrings) {
  std::vector<std::pair<MakeValue, std::u16string>> rows = {
      {Make<AttributeBytesIntegerValue>(300, true), u"ABVTE_INTEGER value <specified>: Value=300 (0x12c)"},
      {Make<AttributeBytesBooleanValue>(true, false), u"ABVTE_BOOLEAN value <unspecified>: Value=TRUE"},
      {Make<AttributeBytesBooleanValue>(false, true), u"ABVTE_BOOLEAN value <specified>: Value=FALSE"},
      {Make<AttributeBytesStringValue>(CXString(u"Hi"), true), u"ABVTE_STRING value <specified>: Value='Hi'"},
      {Make<AttributeBytesRangeValue>(-5, 10, true), u"ABVTE_RANGE value <specified>: Low Value=-5 High Value=10"},
      {Make<AttributeBytesResolutionValue>(600, 1200, std::int16_t{1}, true),
       u"ABVTE_RESOLUTION value <specified>: Cross-Feed Value=600, Feed Value=1200, Units Value=1"},
      {Make<AttributeBytesDataBlobValue>(Blob({0x41, 0x00, 0x42, 0x00}), true),
       u"ABVTE_DATABLOB value <specified>: Value=4 bytes, 'AB'"},
      {Make<AttributeBytesDataBlobValue>(ByteBuffer(80, 0x41), true), u"ABVTE_DATABLOB value <specified>: Value=80 bytes"},
      {Make<AttributeBytesListValue>(static_cast<unsigned char>(3), AttributeBytesRawList()),
       u"ABVTE_LIST value <specified>: Value is a list (of type 3 / 0x3)"},
      {Make<AttributeBytesOptionValue>(AttributeBytesValueId(7), true),
       u"ABVTE_OPTION value <specified>: Value=ABIDE_VALUE AttributeBytes Id: 7 (0x7)"},
      {Make<AttributeBytesDimensionValue>(Mm(210), true),
       u"ABVTE_DIMENSION value <specified>: Value=" + U(Mm(210).GetDumpDisplayString(false))},
      {Make<AttributeBytesRangeOfDimensionValue>(Mm(1), Mm(2), true),
       u"ABVTE_RANGEOFDIMENSION value <specified>: [" + U(Mm(1).GetDumpDisplayString(false)) + u", " +
           U(Mm(2).GetDumpDisplayString(false)) + u"]"},
      {Make<AttributeBytesDateTimeValue>(AtTime64(0), false),
       u"ABVTE_DATETIME value <unspecified>: Value='" + U(AtTime64(0).GetDumpDisplayString(false)) + u"'"},
  };
  for (const auto& [make, text] : rows) {
    EXPECT_EQ(U(make()->GetDumpDisplayString(false)), text);
  }
  // 79 bytes still show their text, 80 do not.
  const std::u16string shown = U(AttributeBytesDataBlobValue(ByteBuffer(79, 0x41), true).GetDumpDisplayString(false));
  EXPECT_EQ(shown.rfind(u"ABVTE_DATABLOB value <specified>: Value=79 bytes, '", 0), 0u) << std::string(shown.begin(), shown.end());
}

TEST(AttributeBytesValue, MalformedBytesThrowTheNamedException) {
  struct Row {
    const char* bytes;
    const char* code;
  };
  const std::vector<Row> rows = {
      {"", kNotEnoughBytes},
      {"01 00", kUnhandledSyntax},
      {"0D 00", kUnhandledSyntax},
      {"00 00", kUnhandledSyntax},
      {"FF 00", kUnhandledSyntax},
      {"03", kNotEnoughBytes},  // no mark
      {"03 00 2C 01 00", kNotEnoughBytes},
      {"04 00 05 00 41 00", kNotEnoughBytes},  // count overruns
      {"04 00 FF FF", kNotEnoughBytes},        // negative count
      {"05 00", kNotEnoughBytes},
      {"06 00 01 00 00 00", kNotEnoughBytes},
      {"07 00 01 00 00 00 02 00 00", kNotEnoughBytes},
      {"09 00 B0 04 00 00 58 02 00 00 01", kNotEnoughBytes},
      {"0A 00 10 00 00 00 01 02", kNotEnoughBytes},  // blob length overruns
      {"0A 00 FF FF FF FF", kNotEnoughBytes},
      {"0B 00 00", kNotEnoughBytes},
      {"0B 00 00 04 00 00", kNotEnoughBytes},
      {"0B 00 00 10 00 00 00 41 42 52 4C", kNotEnoughBytes},  // list length overruns
      {"0B 00 00 FF FF FF FF 41 42 52 4C", kNotEnoughBytes},  // negative list length
      {"0B 00 00 03 00 00 00 41 42 52", kNotEnoughBytes},     // shorter than the mark
      {"0B 00 00 04 00 00 00 41 42 52 4D", kBadAttributeBytesFormat},
      {"0B 00 00 00 00 00 00", kNotEnoughBytes},
      {"0C 00 00 00 00 00", kNotEnoughBytes},
      {"0C 00 FF FF FF FF FF FF FF 7F", kBadAttributeBytesFormat},  // beyond the calendar's years
      {"0C 00 00 00 00 00 00 00 00 80", kBadAttributeBytesFormat},
      {"02 00", kNotEnoughBytes},
      {"02 00 01 00 00 00 00", kUnhandledSyntax},  // option holding a bad identifier kind
      {"02 00 0A 00 00 00 00", kUnhandledSyntax},
      {"02 00 02 AC", kNotEnoughBytes},
      {"02 00 05 03 00 41 00", kNotEnoughBytes},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ThrownCode([&] { Decode(Hex(row.bytes)); }), row.code) << row.bytes;
  }
  // A cut at every byte of a valid value runs short.
  for (const ValueBytes& row : ValueTable()) {
    const ByteBuffer whole = Hex(row.bytes);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
      const ByteBuffer bytes(whole.data(), static_cast<std::uint32_t>(cut));
      EXPECT_EQ(ThrownCode([&] { Decode(bytes); }), kNotEnoughBytes) << row.name << " cut at " << cut;
    }
  }
}

TEST(AttributeBytesValue, ListPayloadAdvancesByFivePlusItsLength) {
  // list (kind 1) holding one record, then a second value.
  const ByteBuffer bytes = Hex("0B 00 01 0F 00 00 00 41 42 52 4C 02 AC 00 00 00 03 00 2C 01 00 00 05 00 01");
  unsigned char* cursor = const_cast<unsigned char*>(bytes.data());
  unsigned int left = bytes.getDword();
  const auto list = AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(cursor, left);
  EXPECT_EQ(cursor - bytes.data(), 2 + 5 + 15);
  EXPECT_EQ(left, 3u);
  const auto next = AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(cursor, left);
  EXPECT_EQ(next->GetAttributeBytesValueType(), AttributeBytesValue::ABVTE_BOOLEAN);
  EXPECT_EQ(left, 0u);
  EXPECT_TRUE(list->GetListValue().GetRawList() == OneRecordList());
}

TEST(AttributeBytesValue, TooLongStringIsRefusedOnWriting) {
  EXPECT_EQ(AttributeBytesStringValue(CXString(u'x', 32767), true).GetTypeAndValueState().size(), 4u + 2u * 32767u);
  EXPECT_EQ(ThrownCode([] { AttributeBytesStringValue(CXString(u'x', 32768), true).GetTypeAndValueState(); }),
            kInvalidArgument);
}

TEST(AttributeBytesValue, DeepNestingDecodesWithoutRecursionAndIsRefusedByValidation) {
  // A list value's decoder reads only the nested mark, so any depth
  // decodes in constant stack; the validator that descends stops at the limit.
  for (std::uint32_t depth : {1u, 63u, 64u}) {
    const AttributeBytesRawList list(NestedListState(depth));
    EXPECT_EQ(ThrownCode([&] { list.ValidateRecords(); }), "none") << depth;
  }
  for (std::uint32_t depth : {65u, 20000u}) {
    const ByteBuffer state = NestedListState(depth);
    const AttributeBytesRawList list(state);
    EXPECT_EQ(ThrownCode([&] { list.ValidateRecords(); }), kBadAttributeBytesFormat) << depth;
    // As a value: decodes, re-encodes to the same bytes.
    ByteBuffer value = Hex("0B 00 00");
    value.append(ByteBuffer::createFromIntValue(static_cast<std::int32_t>(state.size())));
    value.append(state);
    EXPECT_EQ(Decode(value)->GetTypeAndValueState(), value);
  }
  // A smaller limit is honoured too.
  EXPECT_EQ(ThrownCode([] { AttributeBytesRawList(NestedListState(3)).ValidateRecords(2); }),
            kBadAttributeBytesFormat);
  EXPECT_EQ(ThrownCode([] { AttributeBytesRawList(NestedListState(2)).ValidateRecords(2); }), "none");
}

TEST(AttributeBytesValue, ValidationFindsMalformedRecordsInsideNestedLists) {
  // Outer list: one record whose list value nests a list holding garbage 00.
  const ByteBuffer nested = Hex("41 42 52 4C 06 00 00 00 00 0B 00 00 05 00 00 00 41 42 52 4C 00");
  const AttributeBytesRawList list(nested);
  EXPECT_EQ(ThrownCode([&] { list.ValidateRecords(); }), kUnhandledSyntax);
  const AttributeBytesRawList truncated(Hex("41 42 52 4C 06 00 00 00 00 0B 00 00 08 00 00 00 41 42 52 4C 02 AC 00 00"));
  EXPECT_EQ(ThrownCode([&] { truncated.ValidateRecords(); }), kNotEnoughBytes);
}

}  // namespace
