// The attribute lists as the driver uses them: a settings dialog fills a
// list, the user changes a few settings, a module reads them back through
// the reader mix-in, and the lists travel grouped in name spaces.
#include "w4util/attributes/AttributeBytesReader.h"

#include <gtest/gtest.h>

#include "w4util/attributes/AttributeBytesNameSpaces.h"
#include "w4util/attributes/internal/TestSupport.h"

namespace {

using namespace attributes_test;

// Feature numbers of this test's own small data model.
enum : std::int32_t {
  kCopies = 10,
  kCollate = 11,
  kOrientation = 12,
  kJobName = 13,
  kMediaType = 14,
  kPaperSize = 15,
  kWatermark = 16,
  kSubmitted = 17,
  kDuplex = 18,
};
enum : std::int32_t { kPortrait = 101, kLandscape = 102 };

class DocumentSettings : public AttributeBytesReader {
 public:
  AttributeBytesIndexedList& List() { return m_list; }

 protected:
  const AttributeBytesIndexedList& GetReaderAttributeBytesList() const override { return m_list; }

 private:
  AttributeBytesIndexedList m_list;
};

void Set(AttributeBytesIndexedList& list, std::int32_t feature, const AttributeBytesValue& value) {
  list.SetAttributeBytes(AttributeBytesFeatureId(feature), value);
}

AttributeBytesRawList PaperSize(double widthMm, double heightMm) {
  AttributeBytesIndexedList size;
  Set(size, DataModelIds::FEATURE_PAPER_SIZE_WIDTH,
      AttributeBytesDimensionValue(Dimension(widthMm, Dimension::ZLV_MMS), true));
  Set(size, DataModelIds::FEATURE_PAPER_SIZE_HEIGHT,
      AttributeBytesDimensionValue(Dimension(heightMm, Dimension::ZLV_MMS), true));
  AttributeBytesRawList raw;
  raw.ImportFromIndexedList(size);
  return raw;
}

// What the dialog writes when it opens with the defaults.
void FillDefaults(AttributeBytesIndexedList& list) {
  Set(list, kCopies, AttributeBytesIntegerValue(1, true));
  Set(list, kCollate, AttributeBytesBooleanValue(false, true));
  Set(list, kOrientation, AttributeBytesOptionValue(AttributeBytesValueId(kPortrait), true));
  Set(list, kJobName, AttributeBytesStringValue(CXString(), false));  // left open
  Set(list, kMediaType, AttributeBytesOptionValue(AttributeBytesValueId(kPortrait), false));
  Set(list, kPaperSize, AttributeBytesListValue(0, PaperSize(210, 297)));
  Set(list, kSubmitted, AttributeBytesDateTimeValue(UtcTime(CXString(u"2026-12-11T09:30:00Z")), true));
}

TEST(AttributeBytesDriverUse, DialogFillsChangesAndAModuleReadsBack) {
  DocumentSettings settings;
  EXPECT_TRUE(settings.IsAttributeBytesListEmpty());
  FillDefaults(settings.List());

  // The user's changes.
  AttributeBytesIndexedList& list = settings.List();
  Set(list, kCopies, AttributeBytesIntegerValue(3, true));
  Set(list, kCollate, AttributeBytesBooleanValue(true, true));
  Set(list, kOrientation, AttributeBytesOptionValue(AttributeBytesValueId(kLandscape), true));
  Set(list, kJobName, AttributeBytesStringValue(CXString(u"Quarterly report"), true));
  Set(list, kMediaType, AttributeBytesOptionValue(AttributeBytesNewValueId(CXString(u"Recycled 80g")), true));
  Set(list, kPaperSize, AttributeBytesListValue(0, PaperSize(148, 210)));
  Set(list, kWatermark, AttributeBytesDataBlobValue(Hex("DE AD BE EF"), true));
  EXPECT_EQ(list.GetNumberOfAttributeBytes(), 8u);

  bool specified = false;
  EXPECT_EQ(settings.GetIntegerValueFromAttributeBytes(AttributeBytesFeatureId(kCopies), &specified), 3);
  EXPECT_TRUE(specified);
  EXPECT_TRUE(settings.GetBooleanValueFromAttributeBytes(AttributeBytesFeatureId(kCollate)));
  EXPECT_EQ(settings.GetOptionValueFromAttributeBytes(AttributeBytesFeatureId(kOrientation)), kLandscape);
  EXPECT_EQ(U(settings.GetStringValueFromAttributeBytes(AttributeBytesFeatureId(kJobName))), u"Quarterly report");
  // A string-named media type has no number: the module's fallback applies.
  EXPECT_EQ(settings.GetOptionValueFromAttributeBytes(AttributeBytesFeatureId(kMediaType),
                                                      static_cast<DataModelIds::tagValueEnum>(kPortrait), &specified),
            kPortrait);
  EXPECT_TRUE(specified);
  EXPECT_EQ(U(settings.GetNewValueIdFromAttributeBytes(AttributeBytesFeatureId(kMediaType))), u"Recycled 80g");
  ByteBuffer mark;
  settings.GetDataBlobValueFromAttributeBytes(AttributeBytesFeatureId(kWatermark), mark);
  EXPECT_EQ(ToHex(mark), "DE AD BE EF");
  EXPECT_TRUE(settings.GetDateTimeValueFromAttributeBytes(AttributeBytesFeatureId(kSubmitted)) ==
              UtcTime(CXString(u"2026-12-11T09:30:00Z")));

  Dimension width;
  Dimension height;
  settings.GetPaperSizesFromAttributeBytes(AttributeBytesFeatureId(kPaperSize), width, height, &specified);
  EXPECT_TRUE(specified);
  EXPECT_EQ(width.GetValue(Dimension::ZLV_MMS).GetDoubleValue(), 148.0);
  EXPECT_EQ(height.GetValue(Dimension::ZLV_MMS).GetDoubleValue(), 210.0);
  AttributeBytesIndexedList collection;
  EXPECT_TRUE(settings.GetCollectionFromAttributeBytes(AttributeBytesFeatureId(kPaperSize), collection));
  EXPECT_EQ(collection.GetNumberOfAttributeBytes(), 2u);
  EXPECT_FALSE(settings.GetCollectionFromAttributeBytesByIndex(0, collection));

  EXPECT_TRUE(settings.IsSpecifiedInAttributeBytes(AttributeBytesFeatureId(kCopies)));
  EXPECT_FALSE(settings.IsSpecifiedInAttributeBytes(AttributeBytesFeatureId(kDuplex)));
  EXPECT_EQ(settings.GetValueTypeFromAttributeBytes(AttributeBytesFeatureId(kDuplex)),
            AttributeBytesValue::ABVTE_UNSPECIFIED);
  EXPECT_EQ(settings.GetValueTypeFromAttributeBytes(AttributeBytesFeatureId(kPaperSize)), AttributeBytesValue::ABVTE_LIST);
}

TEST(AttributeBytesDriverUse, NameSpacesCarryTheWholeGroupThroughItsBytes) {
  DocumentSettings document;
  FillDefaults(document.List());
  Set(document.List(), kCopies, AttributeBytesIntegerValue(2, true));
  AttributeBytesIndexedList device;
  Set(device, kDuplex, AttributeBytesBooleanValue(true, true));
  AttributeBytesIndexedList capabilities;
  capabilities.AddAttributeBytes(
      AttributeBytes(AttributeBytesCapabilityId(kCopies, 1), AttributeBytesRangeValue(1, 999, true)));

  AttributeBytesNameSpaces group;
  const std::pair<std::int32_t, const AttributeBytesIndexedList*> spaces[] = {
      {3, &capabilities}, {1, &document.List()}, {2, &device}};
  for (const auto& [number, list] : spaces) {
    AttributeBytesRawList raw;
    raw.ImportFromIndexedList(*list);
    group.SetNameSpaceAttributes(AttributeBytesNameSpacesId(number), raw);
  }
  const ByteBuffer state = group.GetAttributeBytesNameSpacesState();

  DriverVersion version;
  const AttributeBytesNameSpaces restored(state, &version);
  EXPECT_TRUE(version == DriverVersion::GetLibraryVersion());
  EXPECT_EQ(ToHex(restored.GetAttributeBytesNameSpacesState()), ToHex(state));
  ASSERT_EQ(restored.GetNumberOfNameSpaces(), 3u);
  for (const auto& [number, list] : spaces) {
    AttributeBytesRawList raw;
    restored.GetNameSpaceAttributes(AttributeBytesNameSpacesId(number), raw);
    AttributeBytesIndexedList back;
    back.ImportFromRawList(raw);
    EXPECT_EQ(ToHex(back.GetAttributeBytesIndexedListState()), ToHex(list->GetAttributeBytesIndexedListState()))
        << number;
  }
  AttributeBytesRawList first;
  restored.GetNameSpaceByIndex(0, first);
  AttributeBytesIndexedList documentBack;
  documentBack.ImportFromRawList(first);
  EXPECT_EQ(documentBack.GetIntegerValue(AttributeBytesFeatureId(kCopies)), 2);
}

}  // namespace
