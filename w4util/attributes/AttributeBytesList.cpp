#include "w4util/attributes/AttributeBytesList.h"

#include "w4util/attributes/AttributeBytes.h"

void AttributeBytesList::ImportFromOtherList(const AttributeBytesList& other) {
  if (&other == this) {
    return;  // emptying first would lose the records to import
  }
  ReplaceAllFromList(other);
}

void AttributeBytesList::ReplaceAllFromList(const AttributeBytesList& other) {
  DeleteAllAttributeBytes();
  std::unique_ptr<AttributeBytesListIterator> iterator = other.GetIterator();
  while (other.IsValid(*iterator)) {
    SharedPtr<AttributeBytes> record = other.GetNextAttributeBytesSharedPtr(*iterator);
    AddAttributeBytes(record);
  }
}

SharedPtr<AttributeBytes> AttributeBytesList::GetNextSharedFrom(const AttributeBytesList& list,
                                                                AttributeBytesListIterator& iterator) {
  return list.GetNextAttributeBytesSharedPtr(iterator);
}
