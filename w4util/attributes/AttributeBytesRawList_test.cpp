#include "w4util/attributes/AttributeBytesRawList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/internal/TestSupport.h"

namespace {

using namespace attributes_test;

AttributeBytes Record(std::int32_t feature, std::int32_t value) {
  return AttributeBytes(AttributeBytesFeatureId(feature), AttributeBytesIntegerValue(value, true));
}

// A list iterator of another list form.
class ForeignIterator : public AttributeBytesListIterator {};

TEST(AttributeBytes, RecordStateIsIdentifierThenValue) {
  const AttributeBytes record = Record(172, 300);
  EXPECT_EQ(ToHex(record.GetAttributeBytesState()), "02 AC 00 00 00 03 00 2C 01 00 00");
  ByteBuffer out = Hex("FF FF");
  record.GetAttributeBytesState(out);
  EXPECT_EQ(ToHex(out), "02 AC 00 00 00 03 00 2C 01 00 00");

  // Bytes after the record are ignored.
  const AttributeBytes decoded(Hex("06 01 00 00 00 05 01 01 99 99"));
  EXPECT_EQ(decoded.GetAttributeBytesId().GetAttributeBytesIdType(), AttributeBytesId::ABIDE_LISTOFVALUESITEM);
  EXPECT_FALSE(decoded.GetAttributeBytesValue().IsSpecified());
  EXPECT_EQ(ToHex(decoded.GetAttributeBytesState()), "06 01 00 00 00 05 01 01");

  ByteBuffer walk = Hex("02 AC 00 00 00 03 00 2C 01 00 00 7F");
  unsigned char* cursor = walk.data();
  unsigned int left = walk.getDword();
  const SharedPtr<AttributeBytes> shared = AttributeBytes::WalkBufferToCreateAttributeBytes(cursor, left);
  EXPECT_EQ(left, 1u);
  EXPECT_EQ(cursor, walk.data() + 11);
  EXPECT_TRUE(*shared == record);
}

TEST(AttributeBytes, EqualityNeedsBothHalvesOrderingOnlyTheIdentifier) {
  const AttributeBytes a = Record(1, 10);
  const AttributeBytes sameIdOtherValue = Record(1, 11);
  const AttributeBytes later = Record(2, 0);
  EXPECT_TRUE(a == Record(1, 10));
  EXPECT_FALSE(a == sameIdOtherValue);
  EXPECT_FALSE(a < sameIdOtherValue);
  EXPECT_FALSE(sameIdOtherValue < a);
  EXPECT_TRUE(a < later);
  EXPECT_FALSE(later < a);
}

TEST(AttributeBytes, CopiesAndSettersCloneOrTakeOwnership) {
  AttributeBytes record = Record(1, 10);
  AttributeBytes copy(record);
  record.SetAttributeBytesValue(AttributeBytesStringValue(CXString(u"x"), true));
  EXPECT_EQ(copy.GetAttributeBytesValue().GetAttributeBytesValueType(), AttributeBytesValue::ABVTE_INTEGER);
  copy = record;
  EXPECT_TRUE(copy == record);
  record.SetAttributeBytesId(std::make_unique<AttributeBytesNameSpacesId>(4));
  EXPECT_EQ(record.GetAttributeBytesId().GetAttributeBytesIdType(), AttributeBytesId::ABIDE_NAMESPACE);
  EXPECT_EQ(ThrownCode([&] { record.SetAttributeBytesId(std::unique_ptr<AttributeBytesId>()); }), "030:000");
  EXPECT_EQ(ThrownCode([&] { record.SetAttributeBytesValue(std::unique_ptr<AttributeBytesValue>()); }), "030:000");
  EXPECT_EQ(ThrownCode([] {
              AttributeBytes(std::unique_ptr<AttributeBytesId>(), std::make_unique<AttributeBytesIntegerValue>());
            }),
            "030:000");
  EXPECT_EQ(record.GetAttributeBytesId().GetAttributeBytesIdType(), AttributeBytesId::ABIDE_NAMESPACE);
}

TEST(AttributeBytes, FailedImportLeavesTheRecordAsItWas) {
  AttributeBytes record = Record(1, 10);
  // A good identifier (value id 9) followed by a truncated value.
  EXPECT_EQ(ThrownCode([&] { record.ImportAttributeBytesState(Hex("04 09 00 00 00 03 00 01")); }), kNotEnoughBytes);
  EXPECT_TRUE(record.GetAttributeBytesId().IsEqual(AttributeBytesFeatureId(1)));
  EXPECT_TRUE(record.GetAttributeBytesValue().IsEqual(AttributeBytesIntegerValue(10, true)));
  // A bad value type after a good identifier.
  EXPECT_EQ(ThrownCode([&] { record.ImportAttributeBytesState(Hex("04 09 00 00 00 0D 00")); }), kUnhandledSyntax);
  EXPECT_TRUE(record == Record(1, 10));
  record.ImportAttributeBytesState(Hex("04 09 00 00 00 03 00 01 00 00 00"));
  EXPECT_TRUE(record.GetAttributeBytesValue().IsEqual(AttributeBytesIntegerValue(1, true)));
  // The decoding constructor throws as the import does.
  EXPECT_EQ(ThrownCode([] { AttributeBytes(Hex("0A")); }), kUnhandledSyntax);
  EXPECT_EQ(ThrownCode([] { AttributeBytes record{ByteBuffer()}; }), kNotEnoughBytes);
}

TEST(AttributeBytes, DumpDisplayString) {
  EXPECT_EQ(U(Record(172, 300).GetDumpDisplayString(false)),
            u"ID=ABIDE_FEATURE AttributeBytes Id: 172 (0xac) value=ABVTE_INTEGER value <specified>: Value=300 (0x12c)");
}

TEST(AttributeBytesRawList, StateIsTheMarkThenTheRecords) {
  AttributeBytesRawList list;
  EXPECT_EQ(ToHex(list.GetAttributeBytesRawListState()), "41 42 52 4C");
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_FALSE(list.LengthIsExactlyOne());
  list.AddAttributeBytes(Record(172, 300));
  EXPECT_EQ(ToHex(list.GetAttributeBytesRawListState()), "41 42 52 4C 02 AC 00 00 00 03 00 2C 01 00 00");
  EXPECT_TRUE(list.LengthIsExactlyOne());
  EXPECT_EQ(list.GetSize(), 11u);

  const AttributeBytesRawList imported(Hex("41 42 52 4C 02 AC 00 00 00 03 00 2C 01 00 00"));
  EXPECT_TRUE(imported == list);
  const AttributeBytesRawList empty(Hex("41 42 52 4C"));
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_FALSE(empty.LengthIsExactlyOne());

  // Adding the same record twice keeps both.
  SharedPtr<AttributeBytes> shared(new AttributeBytes(Record(172, 300)), true);
  list.AddAttributeBytes(shared);
  EXPECT_FALSE(list.LengthIsExactlyOne());
  EXPECT_EQ(list.GetSize(), 22u);
  SharedPtr<AttributeBytes> none;
  EXPECT_EQ(ThrownCode([&] { list.AddAttributeBytes(none); }), "030:000");
  EXPECT_EQ(list.GetSize(), 22u);
  list.DeleteAllAttributeBytes();
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(ToHex(list.GetAttributeBytesRawListState()), "41 42 52 4C");
}

TEST(AttributeBytesRawList, BadStatesAreRefusedAndLeaveTheListUnchanged) {
  AttributeBytesRawList list;
  list.AddAttributeBytes(Record(1, 1));
  const AttributeBytesRawList before = list;
  EXPECT_EQ(ThrownCode([&] { list.ImportAttributeBytesRawListState(Hex("41 42 52 4D")); }), kBadAttributeBytesFormat);
  EXPECT_EQ(ThrownCode([&] { list.ImportAttributeBytesRawListState(Hex("41 42 52")); }), kNotEnoughBytes);
  EXPECT_EQ(ThrownCode([&] { list.ImportAttributeBytesRawListState(ByteBuffer()); }), kNotEnoughBytes);
  EXPECT_TRUE(list == before);
}

TEST(AttributeBytesRawList, MalformedRecordsSurfaceWhenTheIteratorReachesThem) {
  // One good record, then garbage.
  const AttributeBytesRawList list(Hex("41 42 52 4C 02 01 00 00 00 05 00 01 00"));
  AttributeBytesRawListIterator it = list.GetRawListIterator();
  ASSERT_TRUE(list.IsValidRawListIterator(it));
  const SharedPtr<AttributeBytes> first = list.GetNextAttributeBytesFromRawListIterator(it);
  EXPECT_TRUE(first->GetAttributeBytesId().IsEqual(AttributeBytesFeatureId(1)));
  EXPECT_EQ(it.GetOffset(), 8u);
  ASSERT_TRUE(list.IsValidRawListIterator(it));
  EXPECT_EQ(ThrownCode([&] { list.GetNextAttributeBytesFromRawListIterator(it); }), kUnhandledSyntax);
  EXPECT_EQ(it.GetOffset(), 8u);

  const AttributeBytesRawList garbage(Hex("41 42 52 4C 00"));
  AttributeBytesRawListIterator at0 = garbage.GetRawListIterator();
  EXPECT_EQ(ThrownCode([&] { garbage.GetNextAttributeBytesFromRawListIterator(at0); }), kUnhandledSyntax);
  EXPECT_EQ(ThrownCode([&] { garbage.LengthIsExactlyOne(); }), kUnhandledSyntax);

  const AttributeBytesRawList truncated(Hex("41 42 52 4C 02 01 00 00 00 03 00 01"));
  AttributeBytesRawListIterator t = truncated.GetRawListIterator();
  EXPECT_EQ(ThrownCode([&] { truncated.GetNextAttributeBytesFromRawListIterator(t); }), kNotEnoughBytes);
}

TEST(AttributeBytesRawList, IteratesInStoredOrderAndStopsAtTheEnd) {
  AttributeBytesRawList list;
  list.AddAttributeBytes(Record(3, 30));
  list.AddAttributeBytes(Record(1, 10));
  list.AddAttributeBytes(Record(3, 31));
  std::vector<std::int32_t> seen;
  const std::unique_ptr<AttributeBytesListIterator> it = list.GetIterator();
  while (list.IsValid(*it)) {
    const AttributeBytes record = list.GetNextAttributeBytes(*it);
    seen.push_back(static_cast<const AttributeBytesIntegerValue&>(record.GetAttributeBytesValue()).GetValue());
  }
  EXPECT_EQ(seen, (std::vector<std::int32_t>{30, 10, 31}));
  EXPECT_EQ(ThrownCode([&] { list.GetNextAttributeBytes(*it); }), kIndexOutOfBounds);
  AttributeBytesRawListIterator past(1000);
  EXPECT_EQ(ThrownCode([&] { list.GetNextAttributeBytesFromRawListIterator(past); }), kIndexOutOfBounds);

  ForeignIterator foreign;
  EXPECT_EQ(ThrownCode([&] { list.IsValid(foreign); }), kTypeMismatch);
  EXPECT_EQ(ThrownCode([&] { list.GetNextAttributeBytes(foreign); }), kTypeMismatch);
}

TEST(AttributeBytesRawList, ANestedListRecordWalksInOneStep) {
  AttributeBytesRawList inner;
  inner.AddAttributeBytes(Record(172, 210));
  inner.AddAttributeBytes(Record(173, 297));
  AttributeBytesRawList outer;
  outer.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(5), AttributeBytesListValue(0, inner)));
  AttributeBytesRawListIterator it = outer.GetRawListIterator();
  const SharedPtr<AttributeBytes> record = outer.GetNextAttributeBytesFromRawListIterator(it);
  EXPECT_EQ(it.GetOffset(), outer.GetSize());
  EXPECT_FALSE(outer.IsValidRawListIterator(it));
  EXPECT_TRUE(outer.LengthIsExactlyOne());
  EXPECT_TRUE(record->GetAttributeBytesValue().GetListValue().GetRawList() == inner);
}

TEST(AttributeBytesRawList, EqualityIsByteWiseAndOrderSensitive) {
  AttributeBytesRawList ab;
  ab.AddAttributeBytes(Record(1, 1));
  ab.AddAttributeBytes(Record(2, 2));
  AttributeBytesRawList ba;
  ba.AddAttributeBytes(Record(2, 2));
  ba.AddAttributeBytes(Record(1, 1));
  EXPECT_FALSE(ab == ba);
  AttributeBytesRawList copy(ab);
  EXPECT_TRUE(copy == ab);
  copy = ba;
  EXPECT_TRUE(copy == ba);
}

TEST(AttributeBytesRawList, ImportFromOtherListCopiesEveryRecordInOrder) {
  AttributeBytesRawList source;
  source.AddAttributeBytes(Record(2, 2));
  source.AddAttributeBytes(Record(1, 1));
  AttributeBytesRawList target;
  target.AddAttributeBytes(Record(9, 9));
  target.ImportFromOtherList(source);
  EXPECT_TRUE(target == source);
  target.ImportFromOtherList(target);
  EXPECT_TRUE(target == source);
}

}  // namespace

namespace {

// Records are encoded in place; one that cannot be encoded leaves no trace.
TEST(AttributeBytesRawList, FailedAddLeavesTheBytesAsTheyWere) {
  AttributeBytesRawList list;
  list.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(1), AttributeBytesIntegerValue(1, true)));
  const AttributeBytesRawList before = list;
  const AttributeBytes tooFar(AttributeBytesFeatureId(2),
                              AttributeBytesDimensionValue(Dimension(1.0e9, Dimension::ZLV_MMS), true));
  EXPECT_EQ(attributes_test::ThrownCode([&] { list.AddAttributeBytes(tooFar); }), attributes_test::kInvalidArgument);
  EXPECT_TRUE(list == before);
  EXPECT_EQ(list.GetSize(), list.GetRecordBytes().size());
}

}  // namespace
