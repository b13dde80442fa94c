// AttributeBytesNameSpaces: several attribute lists grouped under numbered
// name spaces (document properties, device properties, capabilities ...)
// with one versioned byte form for the whole group.
//
// State: the mark 41 42 4E 53 (Long 0x534E4241, "ABNS"), the library's
// current version in its 8-byte form, then an indexed-list state whose
// records are the name spaces: a name-space id keyed record holding a list
// value (kind of list 0) with that name space's raw list. The version
// written is always the library's own, whatever version was read.
//
// A name space's attributes are handed out and taken in as a raw list.
// Imports are all or nothing: a failure leaves the group as it was.
// One thread at a time, as the indexed list it holds.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/attributes/AttributeBytesIndexedList.h"
#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/DriverVersion.h"

class W4UTIL_EXPORT AttributeBytesNameSpaces {
 public:
  // The Long that opens every name-spaces state: bytes 41 42 4E 53, "ABNS".
  static constexpr std::uint32_t kNameSpacesMark = 0x534E4241;

  AttributeBytesNameSpaces() = default;
  AttributeBytesNameSpaces(const AttributeBytesNameSpaces& other) = default;
  AttributeBytesNameSpaces& operator=(const AttributeBytesNameSpaces& other) = default;
  // Imports the state; the version found in it goes to *version when given.
  explicit AttributeBytesNameSpaces(const ByteBuffer& state, DriverVersion* version = nullptr);
  ~AttributeBytesNameSpaces() = default;

  // Checks the mark (ExceptionMissingOrBadAttributeBytesFormat), reads the
  // version and imports the rest as an indexed-list state; returns the
  // version read, compared with nothing here. Too few bytes for the mark or
  // the version: ExceptionNotEnoughBytesForDesiredDataType.
  DriverVersion ImportAttributeBytesNameSpacesState(const ByteBuffer& state);
  DriverVersion ImportAttributeBytesNameSpacesState(const unsigned char* bytes, std::uint32_t length);
  // Empties out, then fills it.
  void GetAttributeBytesNameSpacesState(ByteBuffer& out) const;
  ByteBuffer GetAttributeBytesNameSpacesState() const;

  bool Exists(const AttributeBytesNameSpacesId& id) const { return m_nameSpaces.GetAttributeBytesPtr(id) != nullptr; }
  // ExceptionFeatureNotFound when the name space does not exist;
  // ExceptionAttributeValueTypeMismatch when its record holds no list.
  void GetNameSpaceAttributes(const AttributeBytesNameSpacesId& id, AttributeBytesRawList& out) const;
  // Inserts or replaces the name space.
  void SetNameSpaceAttributes(const AttributeBytesNameSpacesId& id, AttributeBytesRawList attributes);
  void DeleteNameSpaceAttributes(const AttributeBytesNameSpacesId& id) { m_nameSpaces.DeleteAttributesBytes(id); }
  // The index-th name space in ascending number order;
  // ExceptionIndexOutOfBounds when index >= GetNumberOfNameSpaces().
  void GetNameSpaceByIndex(std::uint32_t index, AttributeBytesRawList& out) const;

  std::uint32_t GetNumberOfNameSpaces() const { return m_nameSpaces.GetNumberOfAttributeBytes(); }
  bool IsEmpty() const { return m_nameSpaces.IsEmpty(); }

 private:
  void GetAttributeBytesRawList(const AttributeBytes& record, AttributeBytesRawList& out) const;

  AttributeBytesIndexedList m_nameSpaces;
};
