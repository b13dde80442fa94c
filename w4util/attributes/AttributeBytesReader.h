// AttributeBytesReader: a mix-in for classes that hold an indexed attribute
// list and want typed reads of single features from it. Every read goes to
// the list that GetReaderAttributeBytesList returns; the optional flag
// pointer receives the specified flag exactly as the list's getters set it.
//
// The mix-in holds nothing; thread-safety and lifetime are those of the list
// the derived class hands out.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/attributes/AttributeBytesIndexedList.h"

class W4UTIL_EXPORT AttributeBytesReader {
 public:
  virtual ~AttributeBytesReader() = default;

  bool IsAttributeBytesListEmpty() const;
  // A record with that identifier exists and its value is specified.
  bool IsSpecifiedInAttributeBytes(const AttributeBytesFeatureId& id) const;
  // ABVTE_UNSPECIFIED when there is no such record.
  AttributeBytesValue::AttributeBytesValueEnum GetValueTypeFromAttributeBytes(const AttributeBytesFeatureId& id) const;

  DataModelIds::tagValueEnum GetOptionValueFromAttributeBytes(const AttributeBytesId& id,
                                                              bool* isSpecified = nullptr) const;
  // fallback in place of VALUE_NONE.
  DataModelIds::tagValueEnum GetOptionValueFromAttributeBytes(const AttributeBytesId& id,
                                                              DataModelIds::tagValueEnum fallback,
                                                              bool* isSpecified = nullptr) const;
  CXString GetNewValueIdFromAttributeBytes(const AttributeBytesId& id, bool* isSpecified = nullptr) const;
  bool GetBooleanValueFromAttributeBytes(const AttributeBytesFeatureId& id, bool* isSpecified = nullptr) const;
  std::int32_t GetIntegerValueFromAttributeBytes(const AttributeBytesFeatureId& id, bool* isSpecified = nullptr) const;
  CXString GetStringValueFromAttributeBytes(const AttributeBytesFeatureId& id, bool* isSpecified = nullptr) const;
  UtcTime GetDateTimeValueFromAttributeBytes(const AttributeBytesFeatureId& id, bool* isSpecified = nullptr) const;
  void GetDataBlobValueFromAttributeBytes(const AttributeBytesFeatureId& id, ByteBuffer& out,
                                          bool* isSpecified = nullptr) const;
  void GetPaperSizesFromAttributeBytes(const AttributeBytesFeatureId& id, Dimension& width, Dimension& height,
                                       bool* isSpecified = nullptr) const;
  bool GetCollectionFromAttributeBytes(const AttributeBytesFeatureId& id, AttributeBytesIndexedList& out) const;
  bool GetCollectionFromAttributeBytes(const AttributeBytesId& id, AttributeBytesIndexedList& out) const;
  bool GetCollectionFromAttributeBytesByIndex(std::uint32_t index, AttributeBytesIndexedList& out) const;

 protected:
  AttributeBytesReader() = default;
  AttributeBytesReader(const AttributeBytesReader&) = default;
  AttributeBytesReader& operator=(const AttributeBytesReader&) = default;

  // The list that every read consults.
  virtual const AttributeBytesIndexedList& GetReaderAttributeBytesList() const = 0;
};
