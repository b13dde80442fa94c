// AttributeBytesId: the identifier half of an attribute, naming a driver
// setting by number (features, values, list positions, capabilities, name
// spaces) or, for settings the data model does not number, by string.
//
// Byte form: one type byte (the kind, 2 to 9), then the kind's identifier
// bytes, little-endian, strings as counted strings:
//   2 feature, 4 value, 6 list item, 9 name space   Long number       (4)
//   3 new feature, 5 new value                      counted string    (2 + 2n)
//   7 capability                                    Short type, Long feature   (6)
//   8 new capability                                Short type, counted string (4 + 2n)
// The kind is never stored: each concrete class reports its own. The eight
// concrete classes derive directly from the base and from nothing else, so
// a test of kind by run-time type names the exact class.
//
// Ordering (LessThan) is a strict weak order over every identifier: first by
// kind number, then within a kind by the class's own operator<. Indexed lists
// key on it, so it fixes the order in which they write their records.
//
// Identifiers are plain values with no shared state: one object is used by
// one thread at a time. Clone and the factories return single-owner
// pointers that the caller owns.
#pragma once

#include <cstdint>
#include <memory>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT AttributeBytesId {
 public:
  // Written to the wire as the type byte: the numbers are fixed.
  enum AttributeBytesIdEnum : std::int32_t {
    ABIDE_UNSPECIFIED = 1,
    ABIDE_FEATURE = 2,
    ABIDE_NEWFEATURE = 3,
    ABIDE_VALUE = 4,
    ABIDE_NEWVALUE = 5,
    ABIDE_LISTOFVALUESITEM = 6,
    ABIDE_CAPABILITY = 7,
    ABIDE_NEWCAPABILITY = 8,
    ABIDE_NAMESPACE = 9,
  };

  virtual ~AttributeBytesId() = default;

  virtual AttributeBytesIdEnum GetAttributeBytesIdType() const = 0;
  virtual std::unique_ptr<AttributeBytesId> Clone() const = 0;
  // False when the kinds differ, else every field compared.
  virtual bool IsEqual(const AttributeBytesId& other) const = 0;
  // By kind number first, then by the kind's own fields.
  virtual bool LessThan(const AttributeBytesId& other) const = 0;
  // "<KIND> AttributeBytes Id" here; each kind appends its fields. The flag
  // does not change the text.
  virtual CXString GetDumpDisplayString(bool withDetails) const;
  virtual void Dump(bool /*withDetails*/) const {}

  // The type byte followed by the identifier bytes.
  ByteBuffer GetTypeAndIdentifierState() const;
  // Empties out, then fills it with the same bytes.
  void GetTypeAndIdentifierState(ByteBuffer& out) const;
  // Appends the same bytes to out.
  void AppendTypeAndIdentifierState(ByteBuffer& out) const;
  // Copies the same bytes to dest and returns their length. Throws
  // ExceptionNotEnoughBytesForDesiredDataType, writing nothing, when capacity
  // is smaller than that length, and ExceptionInvalidArgumentNullPointer when
  // dest is null (there is no query mode).
  std::uint32_t GetTypeAndIdentifierState(unsigned char* dest, std::uint32_t capacity) const;

  // Reads one identifier at the cursor and advances cursor and left past it.
  // Throws ExceptionUnhandledSyntax for a kind byte outside 2 to 9 and
  // ExceptionNotEnoughBytesForDesiredDataType when the bytes run out; the
  // caller owns the result.
  static std::unique_ptr<AttributeBytesId> WalkBufferToGetTypeAndCreateIdentifier(unsigned char*& cursor,
                                                                                   unsigned int& left);

  // The enumerator's name ("ABIDE_FEATURE" ...), "UNKNOWN!" for other numbers.
  static CXString GetDebugDisplayString(AttributeBytesIdEnum kind);
  CXString GetTypeDebugDisplayString() const;

 protected:
  AttributeBytesId() = default;
  AttributeBytesId(const AttributeBytesId&) = default;
  AttributeBytesId& operator=(const AttributeBytesId&) = default;

  // Kinds only; the concrete classes add their fields.
  bool operator==(const AttributeBytesId& other) const {
    return GetAttributeBytesIdType() == other.GetAttributeBytesIdType();
  }
  bool operator<(const AttributeBytesId& other) const {
    return GetAttributeBytesIdType() < other.GetAttributeBytesIdType();
  }

  // The identifier bytes without the type byte.
  virtual ByteBuffer GetIdentifierState() const = 0;
  // Reads the identifier bytes (no type byte) into this object.
  virtual void WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) = 0;
};

class W4UTIL_EXPORT AttributeBytesFeatureId final : public AttributeBytesId {
 public:
  AttributeBytesFeatureId() = default;
  explicit AttributeBytesFeatureId(const std::int32_t& featureId) : m_featureId(featureId) {}
  AttributeBytesFeatureId(const AttributeBytesFeatureId&) = default;
  AttributeBytesFeatureId& operator=(const AttributeBytesFeatureId&) = default;

  std::int32_t GetFeatureId() const { return m_featureId; }
  void SetFeatureId(const std::int32_t& featureId) { m_featureId = featureId; }

  bool operator==(const AttributeBytesFeatureId& other) const { return m_featureId == other.m_featureId; }
  bool operator<(const AttributeBytesFeatureId& other) const { return m_featureId < other.m_featureId; }

  AttributeBytesIdEnum GetAttributeBytesIdType() const override { return ABIDE_FEATURE; }
  std::unique_ptr<AttributeBytesId> Clone() const override;
  bool IsEqual(const AttributeBytesId& other) const override;
  bool LessThan(const AttributeBytesId& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetIdentifierState() const override;
  void WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) override;

 private:
  std::int32_t m_featureId = 0;
};

class W4UTIL_EXPORT AttributeBytesNewFeatureId final : public AttributeBytesId {
 public:
  AttributeBytesNewFeatureId() = default;
  explicit AttributeBytesNewFeatureId(const CXString& newFeatureId) : m_newFeatureId(newFeatureId) {}
  AttributeBytesNewFeatureId(const AttributeBytesNewFeatureId&) = default;
  AttributeBytesNewFeatureId& operator=(const AttributeBytesNewFeatureId&) = default;

  CXString GetNewFeatureId() const { return m_newFeatureId; }
  void SetNewFeatureId(const CXString& newFeatureId) { m_newFeatureId = newFeatureId; }

  bool operator==(const AttributeBytesNewFeatureId& other) const;
  bool operator<(const AttributeBytesNewFeatureId& other) const;

  AttributeBytesIdEnum GetAttributeBytesIdType() const override { return ABIDE_NEWFEATURE; }
  std::unique_ptr<AttributeBytesId> Clone() const override;
  bool IsEqual(const AttributeBytesId& other) const override;
  bool LessThan(const AttributeBytesId& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  // Throws ExceptionInvalidArgument when the text exceeds 32,767 code units.
  ByteBuffer GetIdentifierState() const override;
  void WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) override;

 private:
  CXString m_newFeatureId;
};

class W4UTIL_EXPORT AttributeBytesValueId final : public AttributeBytesId {
 public:
  AttributeBytesValueId() = default;
  explicit AttributeBytesValueId(const std::int32_t& valueId) : m_valueId(valueId) {}
  AttributeBytesValueId(const AttributeBytesValueId&) = default;
  AttributeBytesValueId& operator=(const AttributeBytesValueId&) = default;

  std::int32_t GetValueId() const { return m_valueId; }
  void SetValueId(const std::int32_t& valueId) { m_valueId = valueId; }

  bool operator==(const AttributeBytesValueId& other) const { return m_valueId == other.m_valueId; }
  bool operator<(const AttributeBytesValueId& other) const { return m_valueId < other.m_valueId; }

  AttributeBytesIdEnum GetAttributeBytesIdType() const override { return ABIDE_VALUE; }
  std::unique_ptr<AttributeBytesId> Clone() const override;
  bool IsEqual(const AttributeBytesId& other) const override;
  bool LessThan(const AttributeBytesId& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetIdentifierState() const override;
  void WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) override;

 private:
  std::int32_t m_valueId = 0;
};

class W4UTIL_EXPORT AttributeBytesNewValueId final : public AttributeBytesId {
 public:
  AttributeBytesNewValueId() = default;
  explicit AttributeBytesNewValueId(const CXString& newValueId) : m_newValueId(newValueId) {}
  AttributeBytesNewValueId(const AttributeBytesNewValueId&) = default;
  AttributeBytesNewValueId& operator=(const AttributeBytesNewValueId&) = default;

  CXString GetNewValueId() const { return m_newValueId; }
  void SetNewValueId(const CXString& newValueId) { m_newValueId = newValueId; }

  bool operator==(const AttributeBytesNewValueId& other) const;
  bool operator<(const AttributeBytesNewValueId& other) const;

  AttributeBytesIdEnum GetAttributeBytesIdType() const override { return ABIDE_NEWVALUE; }
  std::unique_ptr<AttributeBytesId> Clone() const override;
  bool IsEqual(const AttributeBytesId& other) const override;
  bool LessThan(const AttributeBytesId& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  // Throws ExceptionInvalidArgument when the text exceeds 32,767 code units.
  ByteBuffer GetIdentifierState() const override;
  void WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) override;

 private:
  CXString m_newValueId;
};

class W4UTIL_EXPORT AttributeBytesListOfValuesItemId final : public AttributeBytesId {
 public:
  AttributeBytesListOfValuesItemId() = default;
  explicit AttributeBytesListOfValuesItemId(const std::int32_t& indexValue) : m_indexValue(indexValue) {}
  AttributeBytesListOfValuesItemId(const AttributeBytesListOfValuesItemId&) = default;
  AttributeBytesListOfValuesItemId& operator=(const AttributeBytesListOfValuesItemId&) = default;

  std::int32_t GetIndexValue() const { return m_indexValue; }
  void SetIndexValue(const std::int32_t& indexValue) { m_indexValue = indexValue; }

  bool operator==(const AttributeBytesListOfValuesItemId& other) const { return m_indexValue == other.m_indexValue; }
  bool operator<(const AttributeBytesListOfValuesItemId& other) const { return m_indexValue < other.m_indexValue; }

  AttributeBytesIdEnum GetAttributeBytesIdType() const override { return ABIDE_LISTOFVALUESITEM; }
  std::unique_ptr<AttributeBytesId> Clone() const override;
  bool IsEqual(const AttributeBytesId& other) const override;
  bool LessThan(const AttributeBytesId& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetIdentifierState() const override;
  void WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) override;

 private:
  std::int32_t m_indexValue = 0;
};

class W4UTIL_EXPORT AttributeBytesCapabilityId final : public AttributeBytesId {
 public:
  AttributeBytesCapabilityId() = default;
  AttributeBytesCapabilityId(const std::int32_t& featureId, const std::int16_t& capabilityType)
      : m_featureId(featureId), m_capabilityType(capabilityType) {}
  AttributeBytesCapabilityId(const AttributeBytesCapabilityId&) = default;
  AttributeBytesCapabilityId& operator=(const AttributeBytesCapabilityId&) = default;

  std::int32_t GetFeatureId() const { return m_featureId; }
  void SetFeatureId(const std::int32_t& featureId) { m_featureId = featureId; }
  std::int16_t GetCapabilityTypeEnum() const { return m_capabilityType; }
  void SetCapabilityTypeEnum(const std::int16_t& capabilityType) { m_capabilityType = capabilityType; }

  bool operator==(const AttributeBytesCapabilityId& other) const {
    return m_featureId == other.m_featureId && m_capabilityType == other.m_capabilityType;
  }
  // By feature, then by capability type.
  bool operator<(const AttributeBytesCapabilityId& other) const;

  AttributeBytesIdEnum GetAttributeBytesIdType() const override { return ABIDE_CAPABILITY; }
  std::unique_ptr<AttributeBytesId> Clone() const override;
  bool IsEqual(const AttributeBytesId& other) const override;
  bool LessThan(const AttributeBytesId& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  // Capability type first, then the feature.
  ByteBuffer GetIdentifierState() const override;
  void WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) override;

 private:
  std::int32_t m_featureId = 0;
  std::int16_t m_capabilityType = 0;
};

class W4UTIL_EXPORT AttributeBytesNewCapabilityId final : public AttributeBytesId {
 public:
  AttributeBytesNewCapabilityId() = default;
  AttributeBytesNewCapabilityId(const CXString& newFeatureId, const std::int16_t& capabilityType)
      : m_newFeatureId(newFeatureId), m_capabilityType(capabilityType) {}
  AttributeBytesNewCapabilityId(const AttributeBytesNewCapabilityId&) = default;
  AttributeBytesNewCapabilityId& operator=(const AttributeBytesNewCapabilityId&) = default;

  CXString GetNewFeatureId() const { return m_newFeatureId; }
  void SetNewFeatureId(const CXString& newFeatureId) { m_newFeatureId = newFeatureId; }
  std::int16_t GetCapabilityTypeEnum() const { return m_capabilityType; }
  void SetCapabilityTypeEnum(const std::int16_t& capabilityType) { m_capabilityType = capabilityType; }

  bool operator==(const AttributeBytesNewCapabilityId& other) const;
  // By the feature string, then by capability type.
  bool operator<(const AttributeBytesNewCapabilityId& other) const;

  AttributeBytesIdEnum GetAttributeBytesIdType() const override { return ABIDE_NEWCAPABILITY; }
  std::unique_ptr<AttributeBytesId> Clone() const override;
  bool IsEqual(const AttributeBytesId& other) const override;
  bool LessThan(const AttributeBytesId& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  // Capability type first, then the counted string. Throws
  // ExceptionInvalidArgument when the text exceeds 32,767 code units.
  ByteBuffer GetIdentifierState() const override;
  void WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) override;

 private:
  CXString m_newFeatureId;
  std::int16_t m_capabilityType = 0;
};

class W4UTIL_EXPORT AttributeBytesNameSpacesId final : public AttributeBytesId {
 public:
  AttributeBytesNameSpacesId() = default;
  explicit AttributeBytesNameSpacesId(const std::int32_t& nameSpaceId) : m_nameSpaceId(nameSpaceId) {}
  AttributeBytesNameSpacesId(const AttributeBytesNameSpacesId&) = default;
  AttributeBytesNameSpacesId& operator=(const AttributeBytesNameSpacesId&) = default;

  std::int32_t GetNameSpaceId() const { return m_nameSpaceId; }
  void SetNameSpaceId(const std::int32_t& nameSpaceId) { m_nameSpaceId = nameSpaceId; }

  bool operator==(const AttributeBytesNameSpacesId& other) const { return m_nameSpaceId == other.m_nameSpaceId; }
  bool operator<(const AttributeBytesNameSpacesId& other) const { return m_nameSpaceId < other.m_nameSpaceId; }

  AttributeBytesIdEnum GetAttributeBytesIdType() const override { return ABIDE_NAMESPACE; }
  std::unique_ptr<AttributeBytesId> Clone() const override;
  bool IsEqual(const AttributeBytesId& other) const override;
  bool LessThan(const AttributeBytesId& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetIdentifierState() const override;
  void WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) override;

 private:
  std::int32_t m_nameSpaceId = 0;
};

class W4UTIL_EXPORT AttributeBytesIdFactory {
 public:
  // A default-constructed identifier of the kind; the caller owns it.
  // Throws ExceptionUnhandledSyntax (empty message) for ABIDE_UNSPECIFIED
  // and every number outside 2 to 9.
  static std::unique_ptr<AttributeBytesId> CreateAttributeBytesId(AttributeBytesId::AttributeBytesIdEnum kind);
};
