// AttributeBytes: one attribute record, an identifier joined to a value.
//
// State: the identifier's type-and-identifier state immediately followed by
// the value's type-and-value state. A record carries no length; its end is
// found only by decoding it.
//
// A constructed record always holds both objects (never null) and owns them;
// copies clone both. Ordering is by identifier alone, equality by both.
// No shared state: one record is used by one thread at a time.
#pragma once

#include <memory>

#include "w4util/Export.h"
#include "w4util/attributes/AttributeBytesId.h"
#include "w4util/attributes/AttributeBytesValue.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/memory/SharedPtr.h"

class W4UTIL_EXPORT AttributeBytes {
 public:
  // Decodes a record state; throws as ImportAttributeBytesState.
  explicit AttributeBytes(const ByteBuffer& state);
  // The owning forms throw ExceptionInvalidArgumentNullPointer for a null
  // pointer; the reference forms clone.
  AttributeBytes(std::unique_ptr<AttributeBytesId> id, std::unique_ptr<AttributeBytesValue> value);
  AttributeBytes(std::unique_ptr<AttributeBytesId> id, const AttributeBytesValue& value);
  AttributeBytes(const AttributeBytesId& id, const AttributeBytesValue& value);
  AttributeBytes(const AttributeBytes& other);
  AttributeBytes& operator=(const AttributeBytes& other);
  ~AttributeBytes() = default;

  const AttributeBytesId& GetAttributeBytesId() const { return *m_id; }
  AttributeBytesId& GetAttributeBytesId() { return *m_id; }
  const AttributeBytesValue& GetAttributeBytesValue() const { return *m_value; }
  AttributeBytesValue& GetAttributeBytesValue() { return *m_value; }
  void SetAttributeBytesId(std::unique_ptr<AttributeBytesId> id);
  void SetAttributeBytesId(const AttributeBytesId& id);
  void SetAttributeBytesValue(std::unique_ptr<AttributeBytesValue> value);
  void SetAttributeBytesValue(const AttributeBytesValue& value);

  ByteBuffer GetAttributeBytesState() const;
  // Empties out, then fills it.
  void GetAttributeBytesState(ByteBuffer& out) const;
  // Appends the record state to out.
  void AppendAttributeBytesState(ByteBuffer& out) const;
  // Decodes an identifier and then a value from the start of state; bytes
  // after the record are ignored. Both are decoded before either is
  // replaced: on any failure the record is left exactly as it was. Throws
  // the identifier's and the value's decoding exceptions.
  void ImportAttributeBytesState(const ByteBuffer& state);
  // Decodes one record at the cursor into a new shared record, advancing
  // cursor and left past it.
  static SharedPtr<AttributeBytes> WalkBufferToCreateAttributeBytes(unsigned char*& cursor, unsigned int& left);

  bool operator==(const AttributeBytes& other) const;
  bool operator!=(const AttributeBytes& other) const { return !(*this == other); }
  // The identifiers alone.
  bool operator<(const AttributeBytes& other) const { return m_id->LessThan(*other.m_id); }

  // "ID=<identifier text> value=<value text>".
  CXString GetDumpDisplayString(bool withDetails) const;
  void Dump(bool /*withDetails*/) const {}

 private:
  std::unique_ptr<AttributeBytesId> m_id;        // never null
  std::unique_ptr<AttributeBytesValue> m_value;  // never null
};
