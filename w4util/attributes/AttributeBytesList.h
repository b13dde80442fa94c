// AttributeBytesList: the interface shared by the two list forms of
// attribute records (the raw list of concatenated record states and the
// indexed list keyed by identifier), so that code can walk either one.
//
// An iterator belongs to the list form that made it; a list refuses an
// iterator of the other form with ExceptionAttributeValueTypeMismatch.
// Lists and their iterators are used by one thread at a time; records handed
// out as SharedPtr take their count records from the calling thread's pool
// and must be released on that thread.
#pragma once

#include <memory>

#include "w4util/Export.h"
#include "w4util/memory/SharedPtr.h"

class AttributeBytes;

class W4UTIL_EXPORT AttributeBytesListIterator {
 public:
  virtual ~AttributeBytesListIterator() = default;

 protected:
  AttributeBytesListIterator() = default;
  AttributeBytesListIterator(const AttributeBytesListIterator&) = default;
  AttributeBytesListIterator& operator=(const AttributeBytesListIterator&) = default;
};

class W4UTIL_EXPORT AttributeBytesList {
 public:
  virtual ~AttributeBytesList() = default;

  virtual bool IsEmpty() const = 0;
  virtual bool LengthIsExactlyOne() const = 0;
  // A new iterator at the first record; the caller owns it.
  virtual std::unique_ptr<AttributeBytesListIterator> GetIterator() const = 0;
  // True while the iterator stands on a record.
  virtual bool IsValid(const AttributeBytesListIterator& iterator) const = 0;
  // A copy of the record under the iterator; the iterator moves on.
  virtual AttributeBytes GetNextAttributeBytes(AttributeBytesListIterator& iterator) const = 0;
  virtual void AddAttributeBytes(SharedPtr<AttributeBytes>& record) = 0;
  virtual void AddAttributeBytes(const AttributeBytes& record) = 0;
  virtual void DeleteAllAttributeBytes() = 0;
  virtual void Dump(bool /*withDetails*/) const {}

  // Replaces this list's records by every record of other, in other's
  // order. The two list forms make this all or nothing: on a failure
  // (a malformed raw record, a duplicate identifier) this list is unchanged.
  void ImportFromOtherList(const AttributeBytesList& other);

 protected:
  AttributeBytesList() = default;
  AttributeBytesList(const AttributeBytesList&) = default;
  AttributeBytesList& operator=(const AttributeBytesList&) = default;

  // Like GetNextAttributeBytes, as a shared record.
  virtual SharedPtr<AttributeBytes> GetNextAttributeBytesSharedPtr(AttributeBytesListIterator& iterator) const = 0;
  // The work of ImportFromOtherList (other is never this list). This form
  // empties the list and adds record by record; the list forms override it
  // to build the new content aside and swap it in.
  virtual void ReplaceAllFromList(const AttributeBytesList& other);
  // Lets a derived list fetch shared records from any other list.
  static SharedPtr<AttributeBytes> GetNextSharedFrom(const AttributeBytesList& list,
                                                     AttributeBytesListIterator& iterator);
};
