#include "w4util/attributes/AttributeBytesIndexedList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/attributes/internal/TestSupport.h"

namespace {

using namespace attributes_test;

constexpr const char* kDuplicate = "028:000";
constexpr const char* kFeatureNotFound = "019:000";

AttributeBytes Integer(std::int32_t feature, std::int32_t value, bool specified = true) {
  return AttributeBytes(AttributeBytesFeatureId(feature), AttributeBytesIntegerValue(value, specified));
}

AttributeBytesRawList Raw(const std::vector<AttributeBytes>& records) {
  AttributeBytesRawList raw;
  for (const AttributeBytes& record : records) {
    raw.AddAttributeBytes(record);
  }
  return raw;
}

// The identifier kinds of the list, in iteration order.
std::vector<int> Kinds(const AttributeBytesIndexedList& list) {
  std::vector<int> kinds;
  for (auto it = list.GetIndexedListIterator(); list.IsValidIndexedListIterator(it);
       list.IncrementIndexedListIterator(it)) {
    kinds.push_back(list.GetAttributeBytesRefFromIndexedListIterator(it).GetAttributeBytesId().GetAttributeBytesIdType());
  }
  return kinds;
}

TEST(AttributeBytesIndexedList, StatesOfTheEmptyAndOneRecordLists) {
  AttributeBytesIndexedList list;
  EXPECT_EQ(ToHex(list.GetAttributeBytesIndexedListState()), "41 42 49 4C 41 42 52 4C");
  list.AddAttributeBytes(Integer(172, 300));
  const std::string one = "41 42 49 4C 41 42 52 4C 02 AC 00 00 00 03 00 2C 01 00 00";
  EXPECT_EQ(ToHex(list.GetAttributeBytesIndexedListState()), one);
  const AttributeBytesIndexedList decoded(Hex(one));
  EXPECT_EQ(decoded.GetNumberOfAttributeBytes(), 1u);
  EXPECT_TRUE(decoded.LengthIsExactlyOne());
  EXPECT_EQ(decoded.GetIntegerValue(AttributeBytesFeatureId(172)), 300);
}

TEST(AttributeBytesIndexedList, DuplicatesAreRefusedSetReplaces) {
  AttributeBytesIndexedList list;
  list.AddAttributeBytes(Integer(172, 1));
  EXPECT_EQ(ThrownCode([&] { list.AddAttributeBytes(Integer(172, 2)); }), kDuplicate);
  SharedPtr<AttributeBytes> shared(new AttributeBytes(Integer(172, 3)));
  EXPECT_EQ(ThrownCode([&] { list.AddAttributeBytes(shared); }), kDuplicate);
  EXPECT_EQ(shared.UseCount(), 1u);
  EXPECT_EQ(list.GetNumberOfAttributeBytes(), 1u);
  EXPECT_EQ(list.GetIntegerValue(AttributeBytesFeatureId(172)), 1);

  list.SetAttributeBytes(AttributeBytesFeatureId(172), AttributeBytesIntegerValue(9, true));
  EXPECT_EQ(list.GetNumberOfAttributeBytes(), 1u);
  EXPECT_EQ(list.GetIntegerValue(AttributeBytesFeatureId(172)), 9);

  list.DeleteAttributesBytes(AttributeBytesFeatureId(5));  // absent: nothing happens
  list.DeleteAttributesBytes(AttributeBytesFeatureId(172));
  EXPECT_TRUE(list.IsEmpty());
  SharedPtr<AttributeBytes> empty;
  EXPECT_EQ(ThrownCode([&] { list.AddAttributeBytes(empty); }), "030:000");
}

TEST(AttributeBytesIndexedList, IteratesAndEncodesInIdentifierOrder) {
  AttributeBytesIndexedList list;
  list.AddAttributeBytes(Integer(9, 0));
  list.AddAttributeBytes(AttributeBytes(AttributeBytesNewValueId(CXString(u"B")), AttributeBytesIntegerValue(0, true)));
  list.AddAttributeBytes(Integer(3, 0));
  list.AddAttributeBytes(AttributeBytes(AttributeBytesListOfValuesItemId(0), AttributeBytesIntegerValue(0, true)));
  EXPECT_EQ(Kinds(list), (std::vector<int>{2, 2, 5, 6}));
  EXPECT_EQ(list.GetAttributeBytesRef(AttributeBytesFeatureId(3)).GetAttributeBytesId().GetAttributeBytesIdType(), 2);

  AttributeBytesRawList raw;
  raw.ImportFromIndexedList(list);
  AttributeBytesRawListIterator it = raw.GetRawListIterator();
  const SharedPtr<AttributeBytes> first = raw.GetNextAttributeBytesFromRawListIterator(it);
  const SharedPtr<AttributeBytes> second = raw.GetNextAttributeBytesFromRawListIterator(it);
  EXPECT_TRUE(first->GetAttributeBytesId().IsEqual(AttributeBytesFeatureId(3)));
  EXPECT_TRUE(second->GetAttributeBytesId().IsEqual(AttributeBytesFeatureId(9)));
  // The same settings added in another order encode to the same bytes.
  AttributeBytesIndexedList reordered;
  reordered.ImportFromOtherList(raw);
  EXPECT_EQ(ToHex(reordered.GetAttributeBytesIndexedListState()), ToHex(list.GetAttributeBytesIndexedListState()));
}

TEST(AttributeBytesIndexedList, CopiesAndImportsShareRecords) {
  SharedPtr<AttributeBytes> record(new AttributeBytes(Integer(1, 1)));
  AttributeBytesIndexedList list;
  list.AddAttributeBytes(record);
  EXPECT_EQ(record.UseCount(), 2u);
  EXPECT_EQ(list.GetAttributeBytesPtr(AttributeBytesFeatureId(1)), record.Get());
  {
    const AttributeBytesIndexedList copy(list);
    AttributeBytesIndexedList assigned;
    assigned.AddAttributeBytes(Integer(2, 2));
    assigned = list;
    AttributeBytesIndexedList imported;
    imported.ImportFromOtherList(list);
    EXPECT_EQ(record.UseCount(), 5u);
    EXPECT_EQ(assigned.GetAttributeBytesPtr(AttributeBytesFeatureId(2)), nullptr);
    EXPECT_EQ(imported.GetAttributeBytesPtr(AttributeBytesFeatureId(1)), record.Get());
  }
  EXPECT_EQ(record.UseCount(), 2u);
  // Set replaces the shared record rather than changing it.
  list.SetAttributeBytes(AttributeBytesFeatureId(1), AttributeBytesIntegerValue(7, true));
  EXPECT_EQ(record.UseCount(), 1u);
  EXPECT_TRUE(*record == Integer(1, 1));
}

// A failed import leaves the list exactly as it was before it.
TEST(AttributeBytesIndexedList, FailedImportsLeaveTheListAsItWas) {
  const AttributeBytesRawList duplicate = Raw({Integer(5, 0), Integer(172, 1), Integer(172, 2)});
  AttributeBytesRawList malformed = Raw({Integer(5, 0), Integer(6, 0)});
  malformed.ImportAttributeBytesRawListState(
      Hex(ToHex(malformed.GetAttributeBytesRawListState()) + " 02 07 00 00 00 03"));
  ByteBuffer duplicateState = Hex("41 42 49 4C");
  duplicateState.append(duplicate.GetAttributeBytesRawListState());

  struct Case {
    const char* name;
    std::function<void(AttributeBytesIndexedList&)> import;
    const char* code;
  };
  const std::vector<Case> cases = {
      {"raw list with a duplicate", [&](AttributeBytesIndexedList& l) { l.ImportFromRawList(duplicate); }, kDuplicate},
      {"state with a duplicate", [&](AttributeBytesIndexedList& l) { l.ImportAttributeBytesIndexedListState(duplicateState); },
       kDuplicate},
      {"other list with a duplicate", [&](AttributeBytesIndexedList& l) { l.ImportFromOtherList(duplicate); }, kDuplicate},
      {"truncated last record", [&](AttributeBytesIndexedList& l) { l.ImportFromRawList(malformed); }, kNotEnoughBytes},
      {"bad indexed mark", [](AttributeBytesIndexedList& l) { l.ImportAttributeBytesIndexedListState(Hex("41 42 49 4D 41 42 52 4C")); },
       kBadAttributeBytesFormat},
      {"bad raw mark", [](AttributeBytesIndexedList& l) { l.ImportAttributeBytesIndexedListState(Hex("41 42 49 4C 41 42 52 4D")); },
       kBadAttributeBytesFormat},
      {"short state", [](AttributeBytesIndexedList& l) { l.ImportAttributeBytesIndexedListState(Hex("41 42 49")); },
       kNotEnoughBytes},
      {"bad record type", [](AttributeBytesIndexedList& l) { l.ImportAttributeBytesIndexedListState(Hex("41 42 49 4C 41 42 52 4C 0A")); },
       kUnhandledSyntax},
  };
  for (const Case& c : cases) {
    AttributeBytesIndexedList list;
    list.AddAttributeBytes(Integer(1, 10));
    list.AddAttributeBytes(Integer(2, 20));
    const ByteBuffer before = list.GetAttributeBytesIndexedListState();
    EXPECT_EQ(ThrownCode([&] { c.import(list); }), c.code) << c.name;
    EXPECT_EQ(ToHex(list.GetAttributeBytesIndexedListState()), ToHex(before)) << c.name;
  }
  // A raw target of a failing import from another list is unchanged too.
  AttributeBytesRawList target = Raw({Integer(1, 1)});
  EXPECT_EQ(ThrownCode([&] { target.ImportFromOtherList(malformed); }), kNotEnoughBytes);
  EXPECT_TRUE(target == Raw({Integer(1, 1)}));
}

TEST(AttributeBytesIndexedList, IteratorsAndTheirErrors) {
  AttributeBytesIndexedList list;
  list.AddAttributeBytes(Integer(2, 20));
  list.AddAttributeBytes(Integer(1, 10));
  std::unique_ptr<AttributeBytesListIterator> it = list.GetIterator();
  EXPECT_TRUE(list.GetAttributeBytesRef(*it) == Integer(1, 10));
  EXPECT_TRUE(list.GetNextAttributeBytes(*it) == Integer(1, 10));
  list.Increment(*it);
  EXPECT_FALSE(list.IsValid(*it));
  EXPECT_EQ(ThrownCode([&] { list.GetNextAttributeBytes(*it); }), kIndexOutOfBounds);
  EXPECT_EQ(ThrownCode([&] { list.Increment(*it); }), kIndexOutOfBounds);
  EXPECT_EQ(ThrownCode([&] { list.GetAttributeBytesRef(*it); }), kIndexOutOfBounds);
  AttributeBytesIndexedListIterator end = list.GetIndexedListIterator();
  list.GetNextAttributeBytesFromIndexedListIterator(end);
  list.GetNextAttributeBytesFromIndexedListIterator(end);
  EXPECT_EQ(ThrownCode([&] { list.GetNextAttributeBytesFromIndexedListIterator(end); }), kIndexOutOfBounds);

  AttributeBytesRawListIterator raw(0);
  EXPECT_EQ(ThrownCode([&] { list.IsValid(raw); }), kTypeMismatch);
  EXPECT_EQ(ThrownCode([&] { list.GetNextAttributeBytes(raw); }), kTypeMismatch);
  const AttributeBytesRawList rawList = Raw({Integer(1, 1)});
  EXPECT_EQ(ThrownCode([&] { rawList.IsValid(*it); }), kTypeMismatch);
  EXPECT_EQ(ThrownCode([&] { list.GetAttributeBytesRef(AttributeBytesFeatureId(3)); }), kFeatureNotFound);
}

TEST(AttributeBytesIndexedList, TypedGettersReturnOnlySpecifiedValuesOfTheirType) {
  AttributeBytesIndexedList list;
  list.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(1), AttributeBytesStringValue(CXString(u"s"), true)));
  list.AddAttributeBytes(Integer(2, 5, false));
  list.AddAttributeBytes(Integer(3, 7));
  const struct {
    std::int32_t feature;
    std::int32_t value;
    bool specified;
  } cases[] = {{1, 0, false}, {2, 0, false}, {3, 7, true}, {4, 0, false}};
  for (const auto& c : cases) {
    bool specified = !c.specified;
    EXPECT_EQ(list.GetIntegerValue(AttributeBytesFeatureId(c.feature), &specified), c.value) << c.feature;
    EXPECT_EQ(specified, c.specified) << c.feature;
  }
  // The generic lookup leaves the flag alone for another type.
  bool flag = true;
  EXPECT_EQ(list.GetAttributeBytesValue(AttributeBytesFeatureId(1), AttributeBytesValue::ABVTE_INTEGER, &flag), nullptr);
  EXPECT_TRUE(flag);
  EXPECT_EQ(list.GetAttributeBytesValue(AttributeBytesFeatureId(9), AttributeBytesValue::ABVTE_INTEGER, &flag), nullptr);
  EXPECT_FALSE(flag);
  EXPECT_NE(list.GetAttributeBytesValue(AttributeBytesFeatureId(2), AttributeBytesValue::ABVTE_INTEGER, &flag), nullptr);
  EXPECT_FALSE(flag);

  // Defaults of the other getters.
  const AttributeBytesFeatureId absent(99);
  EXPECT_EQ(U(list.GetStringValue(absent)), u"");
  EXPECT_FALSE(list.GetBooleanValue(absent));
  std::int32_t low = 4;
  std::int32_t high = 4;
  list.GetRangeOfIntegerValue(absent, low, high);
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 0);
  const Dimension none = list.GetDimensionValue(absent);
  EXPECT_EQ(none.GetUnits(), Dimension::ZLV_HUNDREDTHS_OF_MMS);
  EXPECT_TRUE(none == Dimension(0.0, Dimension::ZLV_HUNDREDTHS_OF_MMS));
  ByteBuffer blob = Hex("AA");
  list.GetDataBlobValue(absent, blob);
  EXPECT_EQ(ToHex(blob), "AA");
  EXPECT_TRUE(list.GetDateTimeValue(absent) == UtcTime());
}

TEST(AttributeBytesIndexedList, OptionGettersByIdentifierKind) {
  AttributeBytesIndexedList list;
  const auto option = [&](std::int32_t feature, const AttributeBytesId& value, bool specified = true) {
    list.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(feature), AttributeBytesOptionValue(value, specified)));
  };
  option(1, AttributeBytesValueId(42));
  option(2, AttributeBytesNewValueId(CXString(u"Photo")));
  option(3, AttributeBytesFeatureId(8));
  option(4, AttributeBytesValueId(43), false);

  bool specified = false;
  EXPECT_EQ(list.GetOptionValue(AttributeBytesFeatureId(1), &specified), 42);
  EXPECT_TRUE(specified);
  EXPECT_EQ(list.GetOptionValue(AttributeBytesFeatureId(2), &specified), DataModelIds::VALUE_NONE);
  EXPECT_TRUE(specified);
  EXPECT_EQ(list.GetOptionValue(AttributeBytesFeatureId(3), &specified), DataModelIds::VALUE_NONE);
  EXPECT_TRUE(specified);
  EXPECT_EQ(list.GetOptionValue(AttributeBytesFeatureId(4), &specified), DataModelIds::VALUE_NONE);
  EXPECT_FALSE(specified);

  CXString name(u"untouched");
  EXPECT_EQ(list.GetOptionValueOrNewId(AttributeBytesFeatureId(1), name), 42);
  EXPECT_EQ(U(name), u"untouched");
  EXPECT_EQ(list.GetOptionValueOrNewId(AttributeBytesFeatureId(2), name), DataModelIds::VALUE_NAMED_BY_STRING);
  EXPECT_EQ(U(name), u"Photo");
  EXPECT_EQ(U(list.GetNewOptionValueId(AttributeBytesFeatureId(2))), u"Photo");
  EXPECT_EQ(U(list.GetNewOptionValueId(AttributeBytesFeatureId(1))), u"");
}

TEST(AttributeBytesIndexedList, ListsOfValuesRunOverTheRecordCount) {
  AttributeBytesIndexedList list;
  const auto item = [&](std::int32_t index, const AttributeBytesId& value) {
    list.AddAttributeBytes(AttributeBytes(AttributeBytesListOfValuesItemId(index), AttributeBytesOptionValue(value, true)));
  };
  item(0, AttributeBytesValueId(7));
  item(1, AttributeBytesNewValueId(CXString(u"Custom")));
  item(5, AttributeBytesValueId(9));
  const auto values = list.GetListOfValues();
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].first, 7);
  EXPECT_EQ(U(values[0].second), u"");
  EXPECT_EQ(values[1].first, DataModelIds::VALUE_NAMED_BY_STRING);
  EXPECT_EQ(U(values[1].second), u"Custom");
  EXPECT_EQ(values[2].first, DataModelIds::VALUE_NONE);
  EXPECT_EQ(list.GetOptionValueByIndex(5), 9);

  AttributeBytesIndexedList features;
  features.AddAttributeBytes(AttributeBytes(AttributeBytesListOfValuesItemId(0), AttributeBytesOptionValue(AttributeBytesFeatureId(172), true)));
  features.AddAttributeBytes(AttributeBytes(AttributeBytesListOfValuesItemId(1), AttributeBytesOptionValue(AttributeBytesValueId(3), true)));
  features.AddAttributeBytes(AttributeBytes(AttributeBytesListOfValuesItemId(2), AttributeBytesOptionValue(AttributeBytesFeatureId(173), true)));
  EXPECT_EQ(features.GetListOfFeatures(), (std::vector<DataModelIds::tagFeatureEnum>{DataModelIds::FEATURE_PAPER_SIZE_WIDTH,
                                                                                     DataModelIds::FEATURE_PAPER_SIZE_HEIGHT}));
}

TEST(AttributeBytesIndexedList, CollectionsAndPaperSizes) {
  AttributeBytesRawList size;
  size.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(172), AttributeBytesDimensionValue(Dimension(210.0, Dimension::ZLV_MMS), true)));
  size.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(173), AttributeBytesDimensionValue(Dimension(297.0, Dimension::ZLV_MMS), true)));
  AttributeBytesIndexedList list;
  list.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(50), AttributeBytesListValue(0, size)));
  list.AddAttributeBytes(AttributeBytes(AttributeBytesListOfValuesItemId(2), AttributeBytesListValue(0, size)));
  list.AddAttributeBytes(Integer(51, 1));

  Dimension width;
  Dimension height;
  bool specified = false;
  list.GetPaperSizeValues(AttributeBytesFeatureId(50), width, height, &specified);
  EXPECT_TRUE(specified);
  EXPECT_EQ(width.GetValue(Dimension::ZLV_MMS).GetDoubleValue(), 210.0);
  EXPECT_EQ(height.GetValue(Dimension::ZLV_MMS).GetDoubleValue(), 297.0);
  const Dimension kept(1.0, Dimension::ZLV_INCHES);
  width = kept;
  list.GetPaperSizeValues(AttributeBytesFeatureId(51), width, height, &specified);
  EXPECT_FALSE(specified);
  EXPECT_TRUE(width == kept);

  AttributeBytesIndexedList out;
  out.AddAttributeBytes(Integer(1, 1));
  EXPECT_FALSE(list.GetCollection(AttributeBytesFeatureId(51), out));
  EXPECT_EQ(out.GetNumberOfAttributeBytes(), 1u);
  EXPECT_TRUE(list.GetCollectionByIndex(2, out));
  EXPECT_EQ(out.GetNumberOfAttributeBytes(), 2u);
  // A list may read a collection into itself.
  EXPECT_TRUE(list.GetCollection(AttributeBytesFeatureId(50), list));
  EXPECT_EQ(list.GetNumberOfAttributeBytes(), 2u);
}

}  // namespace
