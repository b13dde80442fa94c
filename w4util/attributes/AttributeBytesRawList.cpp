#include "w4util/attributes/AttributeBytesRawList.h"

#include <limits>

#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/AttributeBytesIndexedList.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

AttributeBytesRawList::AttributeBytesRawList(const ByteBuffer& state) { ImportAttributeBytesRawListState(state); }

void AttributeBytesRawList::ImportAttributeBytesRawListState(const ByteBuffer& state) {
  ImportAttributeBytesRawListState(state.data(), state.getDword());
}

void AttributeBytesRawList::ImportAttributeBytesRawListState(const unsigned char* bytes, std::uint32_t length) {
  unsigned char* cursor = const_cast<unsigned char*>(bytes);
  unsigned int left = length;
  const auto mark = static_cast<std::uint32_t>(ByteBuffer::WalkBufferToGetLong(cursor, left));
  if (mark != kRawListMark) {
    ZELVO_THROW_NO_MESSAGE(ExceptionMissingOrBadAttributeBytesFormat,
                           "AttributeBytesRawList::ImportAttributeBytesRawListState");
  }
  m_records.setWithLpbyte(cursor, left);
  m_size = left;
}

ByteBuffer AttributeBytesRawList::GetAttributeBytesRawListState() const {
  ByteBuffer state;
  state.reserve(kRawListMarkSize + static_cast<std::size_t>(m_size));
  state.append(ByteBuffer::createFromIntValue(static_cast<std::int32_t>(kRawListMark)));
  state.append(m_records);
  return state;
}

void AttributeBytesRawList::ValidateRecords(std::uint32_t maxDepth) const { ValidateRecordsAtDepth(0, maxDepth); }

void AttributeBytesRawList::ValidateRecordsAtDepth(std::uint32_t depth, std::uint32_t maxDepth) const {
  unsigned char* cursor = const_cast<unsigned char*>(m_records.data());
  unsigned int left = m_size;
  while (left > 0) {
    // Each decode consumes at least the two type bytes, so the loop ends.
    const std::unique_ptr<AttributeBytesId> id = AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
    const std::unique_ptr<AttributeBytesValue> value =
        AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(cursor, left);
    if (!value->IsList()) {
      continue;
    }
    if (depth >= maxDepth) {
      ZELVO_THROW(ExceptionMissingOrBadAttributeBytesFormat, "AttributeBytesRawList::ValidateRecords",
                  "List values nest deeper than %ld levels.", static_cast<std::int32_t>(maxDepth));
    }
    value->GetListValue().GetRawList().ValidateRecordsAtDepth(depth + 1, maxDepth);
  }
}

SharedPtr<AttributeBytes> AttributeBytesRawList::GetNextAttributeBytesFromRawListIterator(
    AttributeBytesRawListIterator& iterator) const {
  const std::uint32_t offset = iterator.GetOffset();
  if (offset >= m_size) {
    ZELVO_THROW(ExceptionIndexOutOfBounds, "AttributeBytesRawList::GetNextAttributeBytesFromRawListIterator",
                "Offset %ld is at or past the end of the list (%ld bytes).", static_cast<std::int32_t>(offset),
                static_cast<std::int32_t>(m_size));
  }
  unsigned char* cursor = const_cast<unsigned char*>(m_records.data()) + offset;
  unsigned int left = m_size - offset;
  SharedPtr<AttributeBytes> record = AttributeBytes::WalkBufferToCreateAttributeBytes(cursor, left);
  // From the count left, not the cursor.
  iterator.SetOffset(m_size - left);
  return record;
}

bool AttributeBytesRawList::LengthIsExactlyOne() const {
  if (m_size == 0) {
    return false;
  }
  unsigned char* cursor = const_cast<unsigned char*>(m_records.data());
  unsigned int left = m_size;
  AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
  AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(cursor, left);
  return left == 0;
}

std::unique_ptr<AttributeBytesListIterator> AttributeBytesRawList::GetIterator() const {
  return std::make_unique<AttributeBytesRawListIterator>(0);
}

bool AttributeBytesRawList::IsValid(const AttributeBytesListIterator& iterator) const {
  return IsValidRawListIterator(GetRawListIteratorFromGenericIterator(iterator));
}

AttributeBytes AttributeBytesRawList::GetNextAttributeBytes(AttributeBytesListIterator& iterator) const {
  return *GetNextAttributeBytesFromRawListIterator(GetRawListIteratorFromGenericIterator(iterator));
}

SharedPtr<AttributeBytes> AttributeBytesRawList::GetNextAttributeBytesSharedPtr(
    AttributeBytesListIterator& iterator) const {
  return GetNextAttributeBytesFromRawListIterator(GetRawListIteratorFromGenericIterator(iterator));
}

void AttributeBytesRawList::AddAttributeBytes(SharedPtr<AttributeBytes>& record) {
  if (record.Get() == nullptr) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidArgumentNullPointer, "AttributeBytesRawList::AddAttributeBytes");
  }
  AddAttributeBytes(*record);
}

void AttributeBytesRawList::AddAttributeBytes(const AttributeBytes& record) {
  // Encoded in place; a failure takes the partial record back off.
  const std::size_t before = m_records.size();
  try {
    record.AppendAttributeBytesState(m_records);
  } catch (...) {
    m_records.resize(before);
    throw;
  }
  if (m_records.size() > std::numeric_limits<std::uint32_t>::max()) {
    m_records.resize(before);
    ZELVO_THROW(ExceptionInvalidArgument, "AttributeBytesRawList::AddAttributeBytes",
                "The list would exceed 4 GiB.");
  }
  m_size = static_cast<std::uint32_t>(m_records.size());
}

void AttributeBytesRawList::DeleteAllAttributeBytes() {
  m_records.clear();
  m_size = 0;
}

bool AttributeBytesRawList::operator==(const AttributeBytesRawList& other) const {
  return m_size == other.m_size &&
         static_cast<const ByteBuffer::Base&>(m_records) == static_cast<const ByteBuffer::Base&>(other.m_records);
}

AttributeBytesRawListIterator& AttributeBytesRawList::GetRawListIteratorFromGenericIterator(
    AttributeBytesListIterator& iterator) {
  auto* raw = dynamic_cast<AttributeBytesRawListIterator*>(&iterator);
  if (raw == nullptr) {
    ZELVO_THROW(ExceptionAttributeValueTypeMismatch, "AttributeBytesRawList::GetRawListIteratorFromGenericIterator",
                "The iterator does not belong to a raw list.");
  }
  return *raw;
}

const AttributeBytesRawListIterator& AttributeBytesRawList::GetRawListIteratorFromGenericIterator(
    const AttributeBytesListIterator& iterator) {
  return GetRawListIteratorFromGenericIterator(const_cast<AttributeBytesListIterator&>(iterator));
}

void AttributeBytesRawList::ImportFromIndexedList(const AttributeBytesIndexedList& indexed) {
  AttributeBytesRawList fresh;
  for (AttributeBytesIndexedListIterator it = indexed.GetIndexedListIterator(); indexed.IsValidIndexedListIterator(it);
       indexed.IncrementIndexedListIterator(it)) {
    fresh.AddAttributeBytes(indexed.GetAttributeBytesRefFromIndexedListIterator(it));
  }
  *this = std::move(fresh);
}

void AttributeBytesRawList::ReplaceAllFromList(const AttributeBytesList& other) {
  AttributeBytesRawList fresh;
  std::unique_ptr<AttributeBytesListIterator> iterator = other.GetIterator();
  while (other.IsValid(*iterator)) {
    fresh.AddAttributeBytes(*GetNextSharedFrom(other, *iterator));
  }
  *this = std::move(fresh);
}
