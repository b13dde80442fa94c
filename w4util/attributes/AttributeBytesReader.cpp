#include "w4util/attributes/AttributeBytesReader.h"

bool AttributeBytesReader::IsAttributeBytesListEmpty() const { return GetReaderAttributeBytesList().IsEmpty(); }

bool AttributeBytesReader::IsSpecifiedInAttributeBytes(const AttributeBytesFeatureId& id) const {
  const AttributeBytes* record = GetReaderAttributeBytesList().GetAttributeBytesPtr(id);
  return record != nullptr && record->GetAttributeBytesValue().IsSpecified();
}

AttributeBytesValue::AttributeBytesValueEnum AttributeBytesReader::GetValueTypeFromAttributeBytes(
    const AttributeBytesFeatureId& id) const {
  const AttributeBytes* record = GetReaderAttributeBytesList().GetAttributeBytesPtr(id);
  return record == nullptr ? AttributeBytesValue::ABVTE_UNSPECIFIED
                           : record->GetAttributeBytesValue().GetAttributeBytesValueType();
}

DataModelIds::tagValueEnum AttributeBytesReader::GetOptionValueFromAttributeBytes(const AttributeBytesId& id,
                                                                                  bool* isSpecified) const {
  return GetReaderAttributeBytesList().GetOptionValue(id, isSpecified);
}

DataModelIds::tagValueEnum AttributeBytesReader::GetOptionValueFromAttributeBytes(const AttributeBytesId& id,
                                                                                  DataModelIds::tagValueEnum fallback,
                                                                                  bool* isSpecified) const {
  const DataModelIds::tagValueEnum value = GetReaderAttributeBytesList().GetOptionValue(id, isSpecified);
  return value == DataModelIds::VALUE_NONE ? fallback : value;
}

CXString AttributeBytesReader::GetNewValueIdFromAttributeBytes(const AttributeBytesId& id, bool* isSpecified) const {
  return GetReaderAttributeBytesList().GetNewOptionValueId(id, isSpecified);
}

bool AttributeBytesReader::GetBooleanValueFromAttributeBytes(const AttributeBytesFeatureId& id,
                                                             bool* isSpecified) const {
  return GetReaderAttributeBytesList().GetBooleanValue(id, isSpecified);
}

std::int32_t AttributeBytesReader::GetIntegerValueFromAttributeBytes(const AttributeBytesFeatureId& id,
                                                                     bool* isSpecified) const {
  return GetReaderAttributeBytesList().GetIntegerValue(id, isSpecified);
}

CXString AttributeBytesReader::GetStringValueFromAttributeBytes(const AttributeBytesFeatureId& id,
                                                                bool* isSpecified) const {
  return GetReaderAttributeBytesList().GetStringValue(id, isSpecified);
}

UtcTime AttributeBytesReader::GetDateTimeValueFromAttributeBytes(const AttributeBytesFeatureId& id,
                                                                 bool* isSpecified) const {
  return GetReaderAttributeBytesList().GetDateTimeValue(id, isSpecified);
}

void AttributeBytesReader::GetDataBlobValueFromAttributeBytes(const AttributeBytesFeatureId& id, ByteBuffer& out,
                                                              bool* isSpecified) const {
  GetReaderAttributeBytesList().GetDataBlobValue(id, out, isSpecified);
}

void AttributeBytesReader::GetPaperSizesFromAttributeBytes(const AttributeBytesFeatureId& id, Dimension& width,
                                                           Dimension& height, bool* isSpecified) const {
  GetReaderAttributeBytesList().GetPaperSizeValues(id, width, height, isSpecified);
}

bool AttributeBytesReader::GetCollectionFromAttributeBytes(const AttributeBytesFeatureId& id,
                                                           AttributeBytesIndexedList& out) const {
  return GetReaderAttributeBytesList().GetCollection(id, out);
}

bool AttributeBytesReader::GetCollectionFromAttributeBytes(const AttributeBytesId& id,
                                                           AttributeBytesIndexedList& out) const {
  return GetReaderAttributeBytesList().GetCollection(id, out);
}

bool AttributeBytesReader::GetCollectionFromAttributeBytesByIndex(std::uint32_t index,
                                                                  AttributeBytesIndexedList& out) const {
  return GetReaderAttributeBytesList().GetCollectionByIndex(index, out);
}
