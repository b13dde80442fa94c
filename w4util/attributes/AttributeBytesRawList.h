// AttributeBytesRawList: a list of attribute records kept as the plain
// concatenation of their record states: cheap to build (append), copy and
// compare (bytes), and read by walking.
//
// State: the mark 41 42 52 4C (Long 0x4C524241, "ABRL"), then the records'
// bytes exactly as held, with no count, separator or terminator. Records are
// not parsed on import or copy; each is decoded when an iterator reaches
// it, so a malformed record surfaces there and the records before it stay
// readable. The list may hold several records with equal identifiers, in
// any order.
//
// A raw list is a value: one object and its iterators are used by one
// thread at a time. Shared records it hands out use the calling thread's
// pool (see AttributeBytesList).
#pragma once

#include <cstdint>
#include <memory>

#include "w4util/Export.h"
#include "w4util/attributes/AttributeBytesList.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/memory/SharedPtr.h"

class AttributeBytes;
class AttributeBytesIndexedList;

class W4UTIL_EXPORT AttributeBytesRawListIterator final : public AttributeBytesListIterator {
 public:
  explicit AttributeBytesRawListIterator(std::uint32_t offset = 0) : m_offset(offset) {}
  AttributeBytesRawListIterator(const AttributeBytesRawListIterator&) = default;
  AttributeBytesRawListIterator& operator=(const AttributeBytesRawListIterator&) = default;

  std::uint32_t GetOffset() const { return m_offset; }
  void SetOffset(std::uint32_t offset) { m_offset = offset; }

 private:
  std::uint32_t m_offset;  // into the records' bytes
};

class W4UTIL_EXPORT AttributeBytesRawList : public AttributeBytesList {
 public:
  // The Long that opens every raw-list state: bytes 41 42 52 4C, "ABRL".
  static constexpr std::uint32_t kRawListMark = 0x4C524241;
  static constexpr std::uint32_t kRawListMarkSize = 4;
  // Deepest nesting of list values that ValidateRecords accepts.
  static constexpr std::uint32_t kMaxNestingDepth = 64;

  AttributeBytesRawList() = default;
  // Imports a raw-list state; throws as ImportAttributeBytesRawListState.
  explicit AttributeBytesRawList(const ByteBuffer& state);
  AttributeBytesRawList(const AttributeBytesRawList&) = default;
  AttributeBytesRawList& operator=(const AttributeBytesRawList&) = default;
  // A moved-from list is empty.
  AttributeBytesRawList(AttributeBytesRawList&& other) noexcept
      : AttributeBytesList(), m_records(std::move(other.m_records)), m_size(other.m_size) {
    other.m_records.clear();
    other.m_size = 0;
  }
  AttributeBytesRawList& operator=(AttributeBytesRawList&& other) noexcept {
    if (this != &other) {
      m_records.swap(other.m_records);
      m_size = other.m_size;
      other.m_records.clear();
      other.m_size = 0;
    }
    return *this;
  }
  ~AttributeBytesRawList() override = default;

  // Checks the mark and takes everything after it as the records. Throws
  // ExceptionNotEnoughBytesForDesiredDataType for fewer than 4 bytes and
  // ExceptionMissingOrBadAttributeBytesFormat for another mark; the list is
  // unchanged then.
  void ImportAttributeBytesRawListState(const ByteBuffer& state);
  // The same from a byte range; bytes must be valid for length bytes.
  void ImportAttributeBytesRawListState(const unsigned char* bytes, std::uint32_t length);
  // The mark followed by the records.
  ByteBuffer GetAttributeBytesRawListState() const;
  // The records' bytes alone, as held.
  const ByteBuffer& GetRecordBytes() const { return m_records; }
  std::uint32_t GetSize() const { return m_size; }

  // Decodes every record, descending into list values, so that a caller can
  // refuse a malformed list before it walks it. Throws what decoding a
  // record throws, and ExceptionMissingOrBadAttributeBytesFormat when list
  // values nest deeper than maxDepth (this list counting as depth 0).
  void ValidateRecords(std::uint32_t maxDepth = kMaxNestingDepth) const;

  AttributeBytesRawListIterator GetRawListIterator() const { return AttributeBytesRawListIterator(0); }
  bool IsValidRawListIterator(const AttributeBytesRawListIterator& iterator) const {
    return iterator.GetOffset() < m_size;
  }
  // The record at the iterator as a new shared record, and the iterator moves
  // past it. Throws ExceptionIndexOutOfBounds at or past the end, and the
  // record's decoding exceptions (the iterator then stays where it was).
  SharedPtr<AttributeBytes> GetNextAttributeBytesFromRawListIterator(AttributeBytesRawListIterator& iterator) const;

  bool IsEmpty() const override { return m_size == 0; }
  // Decodes the first record: true when it ends exactly at the end.
  bool LengthIsExactlyOne() const override;
  std::unique_ptr<AttributeBytesListIterator> GetIterator() const override;
  bool IsValid(const AttributeBytesListIterator& iterator) const override;
  AttributeBytes GetNextAttributeBytes(AttributeBytesListIterator& iterator) const override;
  // Append the record's state; nothing is checked (an empty shared pointer
  // throws ExceptionInvalidArgumentNullPointer).
  void AddAttributeBytes(SharedPtr<AttributeBytes>& record) override;
  void AddAttributeBytes(const AttributeBytes& record) override;
  void DeleteAllAttributeBytes() override;
  // Replaces the records by every record of the indexed list, in its
  // identifier order (unchanged on a failure).
  void ImportFromIndexedList(const AttributeBytesIndexedList& indexed);

  // Equal sizes and byte-for-byte equal records (order matters).
  bool operator==(const AttributeBytesRawList& other) const;
  bool operator!=(const AttributeBytesRawList& other) const { return !(*this == other); }

  // ExceptionAttributeValueTypeMismatch for an iterator of another list form.
  static AttributeBytesRawListIterator& GetRawListIteratorFromGenericIterator(AttributeBytesListIterator& iterator);
  static const AttributeBytesRawListIterator& GetRawListIteratorFromGenericIterator(
      const AttributeBytesListIterator& iterator);

 protected:
  SharedPtr<AttributeBytes> GetNextAttributeBytesSharedPtr(AttributeBytesListIterator& iterator) const override;
  void ReplaceAllFromList(const AttributeBytesList& other) override;

 private:
  void ValidateRecordsAtDepth(std::uint32_t depth, std::uint32_t maxDepth) const;

  ByteBuffer m_records;
  std::uint32_t m_size = 0;  // always m_records.size()
};
