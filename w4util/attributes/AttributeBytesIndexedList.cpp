#include "w4util/attributes/AttributeBytesIndexedList.h"

#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

using w4util_attributes_internal::IndexedListKey;
using w4util_attributes_internal::IndexedListMap;

bool AttributeBytesIdCompare::IsEqual(const AttributeBytesId* a, const AttributeBytesId* b) {
  if (a == nullptr || b == nullptr) {
    return a == b;
  }
  return a->IsEqual(*b);
}

bool AttributeBytesIdCompare::LessThan(const AttributeBytesId* a, const AttributeBytesId* b) {
  if (a == nullptr || b == nullptr) {
    return a == nullptr && b != nullptr;
  }
  return a->LessThan(*b);
}

AttributeBytesIndexedList::AttributeBytesIndexedList(const ByteBuffer& state) {
  ImportAttributeBytesIndexedListState(state);
}

AttributeBytesIndexedList& AttributeBytesIndexedList::operator=(const AttributeBytesIndexedList& other) {
  if (this != &other) {
    IndexedListMap shared(other.m_map);
    m_map.swap(shared);
  }
  return *this;
}

// --- Building and changing ---

void AttributeBytesIndexedList::AddTo(IndexedListMap& map, SharedPtr<AttributeBytes>& record) {
  if (record.Get() == nullptr) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidArgumentNullPointer, "AttributeBytesIndexedList::AddAttributeBytes");
  }
  const AttributeBytesId& id = record->GetAttributeBytesId();
  // States written by this library are in identifier order: a record after
  // the last one goes to the end without a descent.
  IndexedListMap::iterator hint = map.end();
  if (!map.empty() && !std::prev(map.end())->first->LessThan(id)) {
    hint = map.lower_bound(id);
  }
  if (hint != map.end() && !id.LessThan(*hint->first)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionDuplicateAttributeId, "AttributeBytesIndexedList::AddAttributeBytes");
  }
  // The key does not own the identifier: it lives and dies with the record.
  map.emplace_hint(hint, IndexedListKey(const_cast<AttributeBytesId*>(&id), false), record);
}

void AttributeBytesIndexedList::AddAttributeBytes(SharedPtr<AttributeBytes>& record) { AddTo(m_map, record); }

void AttributeBytesIndexedList::AddAttributeBytes(const AttributeBytes& record) {
  SharedPtr<AttributeBytes> copy(new AttributeBytes(record), true);
  AddTo(m_map, copy);
}

void AttributeBytesIndexedList::SetAttributeBytes(const AttributeBytesId& id, const AttributeBytesValue& value) {
  // Made before the old record goes, so a failure changes nothing.
  SharedPtr<AttributeBytes> record(new AttributeBytes(id, value), true);
  const IndexedListMap::iterator found = m_map.find(id);
  if (found != m_map.end()) {
    m_map.erase(found);
  }
  AddTo(m_map, record);
}

void AttributeBytesIndexedList::DeleteAttributesBytes(const AttributeBytesId& id) {
  const IndexedListMap::iterator found = m_map.find(id);
  if (found != m_map.end()) {
    m_map.erase(found);
  }
}

void AttributeBytesIndexedList::DeleteAllAttributeBytes() { m_map.clear(); }

void AttributeBytesIndexedList::FillFromRawList(IndexedListMap& map, const AttributeBytesRawList& raw) {
  AttributeBytesRawListIterator it = raw.GetRawListIterator();
  while (raw.IsValidRawListIterator(it)) {
    SharedPtr<AttributeBytes> record = raw.GetNextAttributeBytesFromRawListIterator(it);
    AddTo(map, record);
  }
}

void AttributeBytesIndexedList::ImportFromRawList(const AttributeBytesRawList& raw) {
  IndexedListMap fresh;
  FillFromRawList(fresh, raw);
  m_map.swap(fresh);
}

void AttributeBytesIndexedList::ReplaceAllFromList(const AttributeBytesList& other) {
  IndexedListMap fresh;
  std::unique_ptr<AttributeBytesListIterator> iterator = other.GetIterator();
  while (other.IsValid(*iterator)) {
    SharedPtr<AttributeBytes> record = GetNextSharedFrom(other, *iterator);
    AddTo(fresh, record);
  }
  m_map.swap(fresh);
}

void AttributeBytesIndexedList::ImportAttributeBytesIndexedListState(const ByteBuffer& state) {
  ImportAttributeBytesIndexedListState(state.data(), state.getDword());
}

void AttributeBytesIndexedList::ImportAttributeBytesIndexedListState(const unsigned char* bytes,
                                                                     std::uint32_t length) {
  unsigned char* cursor = const_cast<unsigned char*>(bytes);
  unsigned int left = length;
  const auto mark = static_cast<std::uint32_t>(ByteBuffer::WalkBufferToGetLong(cursor, left));
  if (mark != kIndexedListMark) {
    ZELVO_THROW_NO_MESSAGE(ExceptionMissingOrBadAttributeBytesFormat,
                           "AttributeBytesIndexedList::ImportAttributeBytesIndexedListState");
  }
  AttributeBytesRawList raw;
  raw.ImportAttributeBytesRawListState(cursor, left);
  ImportFromRawList(raw);
}

void AttributeBytesIndexedList::GetAttributeBytesIndexedListState(ByteBuffer& out) const {
  AttributeBytesRawList raw;
  raw.ImportFromIndexedList(*this);
  const ByteBuffer& records = raw.GetRecordBytes();
  ByteBuffer state;
  state.reserve(2 * sizeof(std::uint32_t) + records.size());
  state.append(ByteBuffer::createFromIntValue(static_cast<std::int32_t>(kIndexedListMark)));
  state.append(ByteBuffer::createFromIntValue(static_cast<std::int32_t>(AttributeBytesRawList::kRawListMark)));
  state.append(records);
  out = std::move(state);
}

ByteBuffer AttributeBytesIndexedList::GetAttributeBytesIndexedListState() const {
  ByteBuffer state;
  GetAttributeBytesIndexedListState(state);
  return state;
}

// --- Lookup ---

const AttributeBytes* AttributeBytesIndexedList::GetAttributeBytesPtr(const AttributeBytesId& id) const {
  const IndexedListMap::const_iterator found = m_map.find(id);
  return found == m_map.end() ? nullptr : found->second.Get();
}

const AttributeBytes& AttributeBytesIndexedList::GetAttributeBytesRef(const AttributeBytesId& id) const {
  const AttributeBytes* record = GetAttributeBytesPtr(id);
  if (record == nullptr) {
    ZELVO_THROW_NO_MESSAGE(ExceptionFeatureNotFound, "AttributeBytesIndexedList::GetAttributeBytesRef");
  }
  return *record;
}

const AttributeBytesValue* AttributeBytesIndexedList::GetAttributeBytesValue(
    const AttributeBytesId& id, AttributeBytesValue::AttributeBytesValueEnum type, bool* isSpecified) const {
  const AttributeBytes* record = GetAttributeBytesPtr(id);
  if (record == nullptr) {
    if (isSpecified != nullptr) {
      *isSpecified = false;
    }
    return nullptr;
  }
  const AttributeBytesValue& value = record->GetAttributeBytesValue();
  if (value.GetAttributeBytesValueType() != type) {
    return nullptr;
  }
  if (isSpecified != nullptr) {
    *isSpecified = value.IsSpecified();
  }
  return &value;
}

// --- Iteration ---

void AttributeBytesIndexedList::IncrementIndexedListIterator(AttributeBytesIndexedListIterator& iterator) const {
  if (!IsValidIndexedListIterator(iterator)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionIndexOutOfBounds, "AttributeBytesIndexedList::IncrementIndexedListIterator");
  }
  iterator.SetPosition(std::next(iterator.GetPosition()));
}

const AttributeBytes& AttributeBytesIndexedList::GetAttributeBytesRefFromIndexedListIterator(
    const AttributeBytesIndexedListIterator& iterator) const {
  if (!IsValidIndexedListIterator(iterator)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionIndexOutOfBounds,
                           "AttributeBytesIndexedList::GetAttributeBytesRefFromIndexedListIterator");
  }
  return *iterator.GetPosition()->second;
}

AttributeBytes AttributeBytesIndexedList::GetNextAttributeBytesFromIndexedListIterator(
    AttributeBytesIndexedListIterator& iterator) const {
  if (!IsValidIndexedListIterator(iterator)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionIndexOutOfBounds,
                           "AttributeBytesIndexedList::GetNextAttributeBytesFromIndexedListIterator");
  }
  AttributeBytes copy(*iterator.GetPosition()->second);
  iterator.SetPosition(std::next(iterator.GetPosition()));
  return copy;
}

std::unique_ptr<AttributeBytesListIterator> AttributeBytesIndexedList::GetIterator() const {
  return std::make_unique<AttributeBytesIndexedListIterator>(m_map.begin());
}

bool AttributeBytesIndexedList::IsValid(const AttributeBytesListIterator& iterator) const {
  return IsValidIndexedListIterator(GetIndexedListIteratorFromGenericIterator(iterator));
}

void AttributeBytesIndexedList::Increment(AttributeBytesListIterator& iterator) const {
  IncrementIndexedListIterator(GetIndexedListIteratorFromGenericIterator(iterator));
}

const AttributeBytes& AttributeBytesIndexedList::GetAttributeBytesRef(const AttributeBytesListIterator& iterator) const {
  return GetAttributeBytesRefFromIndexedListIterator(GetIndexedListIteratorFromGenericIterator(iterator));
}

AttributeBytes AttributeBytesIndexedList::GetNextAttributeBytes(AttributeBytesListIterator& iterator) const {
  return GetNextAttributeBytesFromIndexedListIterator(GetIndexedListIteratorFromGenericIterator(iterator));
}

SharedPtr<AttributeBytes> AttributeBytesIndexedList::GetNextAttributeBytesSharedPtr(
    AttributeBytesListIterator& iterator) const {
  AttributeBytesIndexedListIterator& indexed = GetIndexedListIteratorFromGenericIterator(iterator);
  if (!IsValidIndexedListIterator(indexed)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionIndexOutOfBounds, "AttributeBytesIndexedList::GetNextAttributeBytesSharedPtr");
  }
  SharedPtr<AttributeBytes> record = indexed.GetPosition()->second;
  indexed.SetPosition(std::next(indexed.GetPosition()));
  return record;
}

AttributeBytesIndexedListIterator& AttributeBytesIndexedList::GetIndexedListIteratorFromGenericIterator(
    AttributeBytesListIterator& iterator) {
  auto* indexed = dynamic_cast<AttributeBytesIndexedListIterator*>(&iterator);
  if (indexed == nullptr) {
    ZELVO_THROW_NO_MESSAGE(ExceptionAttributeValueTypeMismatch,
                           "AttributeBytesIndexedList::GetIndexedListIteratorFromGenericIterator");
  }
  return *indexed;
}

const AttributeBytesIndexedListIterator& AttributeBytesIndexedList::GetIndexedListIteratorFromGenericIterator(
    const AttributeBytesListIterator& iterator) {
  return GetIndexedListIteratorFromGenericIterator(const_cast<AttributeBytesListIterator&>(iterator));
}

// --- Typed getters ---

namespace {

// The value of type T when found with its type and specified, else null;
// the flag starts at false.
template <typename T>
const T* Specified(const AttributeBytesIndexedList& list, const AttributeBytesId& id,
                   AttributeBytesValue::AttributeBytesValueEnum type, bool* isSpecified) {
  if (isSpecified != nullptr) {
    *isSpecified = false;
  }
  const AttributeBytesValue* value = list.GetAttributeBytesValue(id, type, isSpecified);
  if (value == nullptr || !value->IsSpecified()) {
    return nullptr;
  }
  return static_cast<const T*>(value);
}

}  // namespace

std::int32_t AttributeBytesIndexedList::GetIntegerValue(const AttributeBytesFeatureId& id, bool* isSpecified) const {
  const auto* value = Specified<AttributeBytesIntegerValue>(*this, id, AttributeBytesValue::ABVTE_INTEGER, isSpecified);
  return value == nullptr ? 0 : value->GetValue();
}

CXString AttributeBytesIndexedList::GetStringValue(const AttributeBytesFeatureId& id, bool* isSpecified) const {
  const auto* value = Specified<AttributeBytesStringValue>(*this, id, AttributeBytesValue::ABVTE_STRING, isSpecified);
  return value == nullptr ? CXString() : value->GetValue();
}

bool AttributeBytesIndexedList::GetBooleanValue(const AttributeBytesFeatureId& id, bool* isSpecified) const {
  const auto* value = Specified<AttributeBytesBooleanValue>(*this, id, AttributeBytesValue::ABVTE_BOOLEAN, isSpecified);
  return value != nullptr && value->GetValue();
}

void AttributeBytesIndexedList::GetRangeOfIntegerValue(const AttributeBytesFeatureId& id, std::int32_t& low,
                                                       std::int32_t& high, bool* isSpecified) const {
  low = 0;
  high = 0;
  const auto* value = Specified<AttributeBytesRangeValue>(*this, id, AttributeBytesValue::ABVTE_RANGE, isSpecified);
  if (value != nullptr) {
    value->GetValue(low, high);
  }
}

Dimension AttributeBytesIndexedList::GetDimensionValue(const AttributeBytesFeatureId& id, bool* isSpecified) const {
  const auto* value =
      Specified<AttributeBytesDimensionValue>(*this, id, AttributeBytesValue::ABVTE_DIMENSION, isSpecified);
  return value == nullptr ? Dimension(0.0, Dimension::ZLV_HUNDREDTHS_OF_MMS) : value->GetValue();
}

void AttributeBytesIndexedList::GetDataBlobValue(const AttributeBytesFeatureId& id, ByteBuffer& out,
                                                 bool* isSpecified) const {
  const auto* value =
      Specified<AttributeBytesDataBlobValue>(*this, id, AttributeBytesValue::ABVTE_DATABLOB, isSpecified);
  if (value != nullptr) {
    value->GetValue(out);
  }
}

UtcTime AttributeBytesIndexedList::GetDateTimeValue(const AttributeBytesFeatureId& id, bool* isSpecified) const {
  const auto* value =
      Specified<AttributeBytesDateTimeValue>(*this, id, AttributeBytesValue::ABVTE_DATETIME, isSpecified);
  return value == nullptr ? UtcTime() : value->GetValue();
}

DataModelIds::tagValueEnum AttributeBytesIndexedList::GetOptionValue(const AttributeBytesId& id,
                                                                     bool* isSpecified) const {
  const auto* value = Specified<AttributeBytesOptionValue>(*this, id, AttributeBytesValue::ABVTE_OPTION, isSpecified);
  if (value == nullptr || value->GetValue().GetAttributeBytesIdType() != AttributeBytesId::ABIDE_VALUE) {
    return DataModelIds::VALUE_NONE;
  }
  return static_cast<DataModelIds::tagValueEnum>(value->GetValueIdValue().GetValueId());
}

DataModelIds::tagValueEnum AttributeBytesIndexedList::GetOptionValueByIndex(std::uint32_t index,
                                                                            bool* isSpecified) const {
  return GetOptionValue(AttributeBytesListOfValuesItemId(static_cast<std::int32_t>(index)), isSpecified);
}

DataModelIds::tagValueEnum AttributeBytesIndexedList::GetOptionValueOrNewId(const AttributeBytesFeatureId& id,
                                                                            CXString& newValueId,
                                                                            bool* isSpecified) const {
  return GetOptionValueOrNewIdByAnyId(id, newValueId, isSpecified);
}

DataModelIds::tagValueEnum AttributeBytesIndexedList::GetOptionValueOrNewIdByAnyId(const AttributeBytesId& id,
                                                                                   CXString& newValueId,
                                                                                   bool* isSpecified) const {
  const auto* value = Specified<AttributeBytesOptionValue>(*this, id, AttributeBytesValue::ABVTE_OPTION, isSpecified);
  if (value == nullptr) {
    return DataModelIds::VALUE_NONE;
  }
  const AttributeBytesId& option = value->GetValue();
  switch (option.GetAttributeBytesIdType()) {
    case AttributeBytesId::ABIDE_VALUE:
      return static_cast<DataModelIds::tagValueEnum>(value->GetValueIdValue().GetValueId());
    case AttributeBytesId::ABIDE_NEWVALUE:
      newValueId = static_cast<const AttributeBytesNewValueId&>(option).GetNewValueId();
      return DataModelIds::VALUE_NAMED_BY_STRING;
    default:
      return DataModelIds::VALUE_NONE;
  }
}

CXString AttributeBytesIndexedList::GetNewOptionValueId(const AttributeBytesId& id, bool* isSpecified) const {
  const auto* value = Specified<AttributeBytesOptionValue>(*this, id, AttributeBytesValue::ABVTE_OPTION, isSpecified);
  if (value == nullptr || value->GetValue().GetAttributeBytesIdType() != AttributeBytesId::ABIDE_NEWVALUE) {
    return CXString();
  }
  return static_cast<const AttributeBytesNewValueId&>(value->GetValue()).GetNewValueId();
}

// --- Collections and lists of values ---

bool AttributeBytesIndexedList::GetCollection(const AttributeBytesId& id, AttributeBytesIndexedList& out) const {
  const auto* value = Specified<AttributeBytesListValue>(*this, id, AttributeBytesValue::ABVTE_LIST, nullptr);
  if (value == nullptr) {
    return false;
  }
  // Imported aside: a malformed nested list throws with out untouched, and
  // out may be this list itself.
  AttributeBytesIndexedList collection;
  collection.ImportFromRawList(value->GetRawList());
  out.swap(collection);
  return true;
}

bool AttributeBytesIndexedList::GetCollection(const AttributeBytesFeatureId& id, AttributeBytesIndexedList& out) const {
  return GetCollection(static_cast<const AttributeBytesId&>(id), out);
}

bool AttributeBytesIndexedList::GetCollectionByIndex(std::uint32_t index, AttributeBytesIndexedList& out) const {
  return GetCollection(AttributeBytesListOfValuesItemId(static_cast<std::int32_t>(index)), out);
}

void AttributeBytesIndexedList::GetPaperSizeValues(const AttributeBytesFeatureId& id, Dimension& width,
                                                   Dimension& height, bool* isSpecified) const {
  AttributeBytesIndexedList collection;
  if (!GetCollection(id, collection)) {
    if (isSpecified != nullptr) {
      *isSpecified = false;
    }
    return;
  }
  width = collection.GetDimensionValue(AttributeBytesFeatureId(DataModelIds::FEATURE_PAPER_SIZE_WIDTH));
  height = collection.GetDimensionValue(AttributeBytesFeatureId(DataModelIds::FEATURE_PAPER_SIZE_HEIGHT), isSpecified);
}

std::vector<DataModelIds::tagFeatureEnum> AttributeBytesIndexedList::GetListOfFeatures() const {
  std::vector<DataModelIds::tagFeatureEnum> features;
  const std::uint32_t count = GetNumberOfAttributeBytes();
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto* value = Specified<AttributeBytesOptionValue>(
        *this, AttributeBytesListOfValuesItemId(static_cast<std::int32_t>(i)), AttributeBytesValue::ABVTE_OPTION,
        nullptr);
    if (value != nullptr && value->GetValue().GetAttributeBytesIdType() == AttributeBytesId::ABIDE_FEATURE) {
      features.push_back(static_cast<DataModelIds::tagFeatureEnum>(value->GetFeatureIdValue().GetFeatureId()));
    }
  }
  return features;
}

std::vector<std::pair<DataModelIds::tagValueEnum, CXString>> AttributeBytesIndexedList::GetListOfValues() const {
  std::vector<std::pair<DataModelIds::tagValueEnum, CXString>> values;
  const std::uint32_t count = GetNumberOfAttributeBytes();
  values.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    CXString newValueId;
    const DataModelIds::tagValueEnum number =
        GetOptionValueOrNewIdByAnyId(AttributeBytesListOfValuesItemId(static_cast<std::int32_t>(i)), newValueId);
    values.emplace_back(number, number == DataModelIds::VALUE_NAMED_BY_STRING ? newValueId : CXString());
  }
  return values;
}
