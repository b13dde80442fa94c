// AttributeBytesIndexedList: the working form of an attribute list: records
// indexed by identifier, at most one per identifier, kept in identifier
// order (AttributeBytesId::LessThan), with typed getters that find a
// feature's value in one logarithmic lookup.
//
// State: the mark 41 42 49 4C (Long 0x4C494241, "ABIL") followed by a whole
// raw-list state holding every record in identifier order, so equal settings
// always encode to equal bytes whatever order they were added in.
//
// Records are shared, never modified by the list: adding a SharedPtr shares
// the caller's record, copies share every record with the source, and
// SetAttributeBytes replaces a record by a new one. Each key is a
// non-owning SharedPtr on the identifier inside its own record.
//
// Every import replaces the whole content and is all-or-nothing: the new
// content is built aside and swapped in, so a failed import (a duplicate
// identifier, a malformed record) leaves the list exactly as it was.
//
// Thread-safety: one thread at a time. Shared records carry plain counts, so
// two lists sharing records must not be changed or destroyed on two threads
// at once; count records come from the calling thread's pool.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "w4util/Export.h"
#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/AttributeBytesId.h"
#include "w4util/attributes/AttributeBytesList.h"
#include "w4util/attributes/AttributeBytesValue.h"
#include "w4util/attributes/DataModelIds.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/foundation/Dimension.h"
#include "w4util/foundation/UtcTime.h"
#include "w4util/memory/SharedPtr.h"

class AttributeBytesRawList;

// Orders identifier keys by AttributeBytesId::LessThan; equal exactly when
// neither is less (IsEqual).
struct W4UTIL_EXPORT AttributeBytesIdCompare {
  static bool IsEqual(const AttributeBytesId* a, const AttributeBytesId* b);
  static bool LessThan(const AttributeBytesId* a, const AttributeBytesId* b);
};

namespace w4util_attributes_internal {
using IndexedListKey = SharedPtr<AttributeBytesId, AttributeBytesIdCompare>;
using IndexedListRecord = SharedPtr<AttributeBytes, SharedPtrCompare<AttributeBytes>>;
// Also compares a key with a bare identifier, so lookups need no key record.
struct IndexedListKeyLess {
  using is_transparent = void;
  bool operator()(const IndexedListKey& a, const IndexedListKey& b) const { return a->LessThan(*b); }
  bool operator()(const IndexedListKey& a, const AttributeBytesId& b) const { return a->LessThan(b); }
  bool operator()(const AttributeBytesId& a, const IndexedListKey& b) const { return a.LessThan(*b); }
};
using IndexedListMap = std::map<IndexedListKey, IndexedListRecord, IndexedListKeyLess>;
}  // namespace w4util_attributes_internal

class W4UTIL_EXPORT AttributeBytesIndexedListIterator final : public AttributeBytesListIterator {
 public:
  explicit AttributeBytesIndexedListIterator(w4util_attributes_internal::IndexedListMap::const_iterator position)
      : m_position(position) {}
  AttributeBytesIndexedListIterator(const AttributeBytesIndexedListIterator&) = default;
  AttributeBytesIndexedListIterator& operator=(const AttributeBytesIndexedListIterator&) = default;

  w4util_attributes_internal::IndexedListMap::const_iterator GetPosition() const { return m_position; }
  void SetPosition(w4util_attributes_internal::IndexedListMap::const_iterator position) { m_position = position; }

 private:
  // Valid until its entry is removed or the list is destroyed.
  w4util_attributes_internal::IndexedListMap::const_iterator m_position;
};

class W4UTIL_EXPORT AttributeBytesIndexedList : public AttributeBytesList {
 public:
  // The Long that opens every indexed-list state: bytes 41 42 49 4C, "ABIL".
  static constexpr std::uint32_t kIndexedListMark = 0x4C494241;

  AttributeBytesIndexedList() = default;
  // Imports an indexed-list state; throws as ImportAttributeBytesIndexedListState.
  explicit AttributeBytesIndexedList(const ByteBuffer& state);
  // Shares every record of other.
  AttributeBytesIndexedList(const AttributeBytesIndexedList& other) = default;
  AttributeBytesIndexedList& operator=(const AttributeBytesIndexedList& other);
  AttributeBytesIndexedList(AttributeBytesIndexedList&& other) noexcept = default;
  AttributeBytesIndexedList& operator=(AttributeBytesIndexedList&& other) noexcept = default;
  ~AttributeBytesIndexedList() override = default;

  // --- Building and changing ---
  // Both throw ExceptionDuplicateAttributeId (list unchanged) when a record
  // with an equal identifier is present. The SharedPtr form shares the
  // caller's record (ExceptionInvalidArgumentNullPointer when empty); the
  // reference form adds a copy.
  void AddAttributeBytes(SharedPtr<AttributeBytes>& record) override;
  void AddAttributeBytes(const AttributeBytes& record) override;
  // Insert or replace: a new record made of copies of id and value.
  void SetAttributeBytes(const AttributeBytesId& id, const AttributeBytesValue& value);
  // Removes the record with that identifier, if any.
  void DeleteAttributesBytes(const AttributeBytesId& id);
  void DeleteAllAttributeBytes() override;
  void swap(AttributeBytesIndexedList& other) noexcept { m_map.swap(other.m_map); }

  // Replaces the content by the raw list's records. Throws
  // ExceptionDuplicateAttributeId for a repeated identifier and the records'
  // decoding exceptions; the list is then unchanged.
  void ImportFromRawList(const AttributeBytesRawList& raw);
  // Checks the "ABIL" mark (ExceptionMissingOrBadAttributeBytesFormat,
  // ExceptionNotEnoughBytesForDesiredDataType), then imports the raw-list
  // state after it. All or nothing, as ImportFromRawList.
  void ImportAttributeBytesIndexedListState(const ByteBuffer& state);
  void ImportAttributeBytesIndexedListState(const unsigned char* bytes, std::uint32_t length);
  // Empties out, then fills it with the state.
  void GetAttributeBytesIndexedListState(ByteBuffer& out) const;
  ByteBuffer GetAttributeBytesIndexedListState() const;

  // --- Lookup ---
  const AttributeBytes* GetAttributeBytesPtr(const AttributeBytesId& id) const;
  // ExceptionFeatureNotFound when absent.
  const AttributeBytes& GetAttributeBytesRef(const AttributeBytesId& id) const;
  // The value when the record exists with that type, else null. *isSpecified
  // receives the value's flag when the record exists with that type, false
  // when there is no record, and is left alone for another type.
  const AttributeBytesValue* GetAttributeBytesValue(const AttributeBytesId& id,
                                                    AttributeBytesValue::AttributeBytesValueEnum type,
                                                    bool* isSpecified = nullptr) const;
  std::uint32_t GetNumberOfAttributeBytes() const { return static_cast<std::uint32_t>(m_map.size()); }
  bool IsEmpty() const override { return m_map.empty(); }
  bool LengthIsExactlyOne() const override { return m_map.size() == 1; }

  // --- Iteration, in identifier order ---
  AttributeBytesIndexedListIterator GetIndexedListIterator() const {
    return AttributeBytesIndexedListIterator(m_map.begin());
  }
  bool IsValidIndexedListIterator(const AttributeBytesIndexedListIterator& iterator) const {
    return iterator.GetPosition() != m_map.end();
  }
  // ExceptionIndexOutOfBounds at the end (the iterator stays there).
  void IncrementIndexedListIterator(AttributeBytesIndexedListIterator& iterator) const;
  const AttributeBytes& GetAttributeBytesRefFromIndexedListIterator(
      const AttributeBytesIndexedListIterator& iterator) const;
  AttributeBytes GetNextAttributeBytesFromIndexedListIterator(AttributeBytesIndexedListIterator& iterator) const;

  std::unique_ptr<AttributeBytesListIterator> GetIterator() const override;
  bool IsValid(const AttributeBytesListIterator& iterator) const override;
  void Increment(AttributeBytesListIterator& iterator) const;
  const AttributeBytes& GetAttributeBytesRef(const AttributeBytesListIterator& iterator) const;
  AttributeBytes GetNextAttributeBytes(AttributeBytesListIterator& iterator) const override;

  // ExceptionAttributeValueTypeMismatch for an iterator of another list form.
  static AttributeBytesIndexedListIterator& GetIndexedListIteratorFromGenericIterator(
      AttributeBytesListIterator& iterator);
  static const AttributeBytesIndexedListIterator& GetIndexedListIteratorFromGenericIterator(
      const AttributeBytesListIterator& iterator);

  // --- Typed getters ---
  // The value only when the record exists, has the expected type and is
  // specified; otherwise the default. *isSpecified starts at false and then
  // follows GetAttributeBytesValue.
  std::int32_t GetIntegerValue(const AttributeBytesFeatureId& id, bool* isSpecified = nullptr) const;
  CXString GetStringValue(const AttributeBytesFeatureId& id, bool* isSpecified = nullptr) const;
  bool GetBooleanValue(const AttributeBytesFeatureId& id, bool* isSpecified = nullptr) const;
  // Both set to 0 first.
  void GetRangeOfIntegerValue(const AttributeBytesFeatureId& id, std::int32_t& low, std::int32_t& high,
                              bool* isSpecified = nullptr) const;
  // Default: 0 hundredths of a millimetre.
  Dimension GetDimensionValue(const AttributeBytesFeatureId& id, bool* isSpecified = nullptr) const;
  // The bytes copied into out; out left as it was otherwise.
  void GetDataBlobValue(const AttributeBytesFeatureId& id, ByteBuffer& out, bool* isSpecified = nullptr) const;
  UtcTime GetDateTimeValue(const AttributeBytesFeatureId& id, bool* isSpecified = nullptr) const;

  // Options. The value number when the option's identifier is exactly a
  // value id; VALUE_NONE otherwise (the flag may still report specified).
  DataModelIds::tagValueEnum GetOptionValue(const AttributeBytesId& id, bool* isSpecified = nullptr) const;
  DataModelIds::tagValueEnum GetOptionValueByIndex(std::uint32_t index, bool* isSpecified = nullptr) const;
  // A value id: its number; a new value id: VALUE_NAMED_BY_STRING and its
  // string into newValueId; otherwise VALUE_NONE, newValueId untouched.
  DataModelIds::tagValueEnum GetOptionValueOrNewId(const AttributeBytesFeatureId& id, CXString& newValueId,
                                                   bool* isSpecified = nullptr) const;
  DataModelIds::tagValueEnum GetOptionValueOrNewIdByAnyId(const AttributeBytesId& id, CXString& newValueId,
                                                          bool* isSpecified = nullptr) const;
  // The string of a new value id; empty otherwise.
  CXString GetNewOptionValueId(const AttributeBytesId& id, bool* isSpecified = nullptr) const;

  // --- Collections and lists of values ---
  // When the record exists, holds a list value and is specified: out is
  // replaced by the nested list's records and the result is true. Otherwise
  // (and when the nested list fails to import) out is untouched.
  bool GetCollection(const AttributeBytesId& id, AttributeBytesIndexedList& out) const;
  bool GetCollection(const AttributeBytesFeatureId& id, AttributeBytesIndexedList& out) const;
  bool GetCollectionByIndex(std::uint32_t index, AttributeBytesIndexedList& out) const;
  // Width (feature 172) and height (173) of the feature's collection; the
  // flag is that of the height. Without a collection: flag false,
  // dimensions untouched.
  void GetPaperSizeValues(const AttributeBytesFeatureId& id, Dimension& width, Dimension& height,
                          bool* isSpecified = nullptr) const;
  // The list read as an option list keyed by item indexes 0 .. count-1.
  std::vector<DataModelIds::tagFeatureEnum> GetListOfFeatures() const;
  std::vector<std::pair<DataModelIds::tagValueEnum, CXString>> GetListOfValues() const;

 protected:
  // The shared record itself.
  SharedPtr<AttributeBytes> GetNextAttributeBytesSharedPtr(AttributeBytesListIterator& iterator) const override;
  void ReplaceAllFromList(const AttributeBytesList& other) override;

 private:
  // Adds to map; ExceptionDuplicateAttributeId leaves map unchanged.
  static void AddTo(w4util_attributes_internal::IndexedListMap& map, SharedPtr<AttributeBytes>& record);
  static void FillFromRawList(w4util_attributes_internal::IndexedListMap& map, const AttributeBytesRawList& raw);

  w4util_attributes_internal::IndexedListMap m_map;
};
