// AttributeBytesValue: the value half of an attribute, one of eleven types,
// each with a "specified" flag (a setting present in a list but explicitly
// left open reads as not specified).
//
// Byte form: the type byte (2 to 12), the unspecified mark (1 when not
// specified, 0 when specified: the inverse of the flag), then the payload:
//   2 option          the identifier's full type-and-identifier state
//   3 integer         Long                                        (4)
//   4 string          counted string                              (2 + 2n)
//   5 boolean         Byte 1 or 0; any non-zero byte reads as true (1)
//   6 range           Long low, Long high                         (8)
//   7 range of dim.   Long low, Long high, thousandths of a mm    (8)
//   8 dimension       Long, thousandths of a mm                   (4)
//   9 resolution      Long feed, Long cross-feed, Short units     (10)
//  10 data blob       counted bytes                               (4 + n)
//  11 list            Byte kind of list, Long L, then L bytes of a raw-list
//                     state (its 4-byte mark first)               (5 + L)
//  12 date-time       Time64 of UtcTime::GetAsTime64              (8)
// The form has two non-canonical inputs: a boolean byte other than 0 or 1
// (written back as 1) and any unspecified mark other than 0 (read as not
// specified, written back as 1).
//
// Dimensions are written as thousandths of a millimetre, rounded with
// threshold 0.499999 (Dimension::GetThousandthsOfMMs); one whose count does
// not fit a Long (beyond about +-2.1 km) is refused with
// ExceptionInvalidArgument rather than written wrong. They read back in
// thousandths of a millimetre.
//
// A list value holds its nested raw list as bytes: decoding a list value
// checks only the nested list's mark and length, never its records, so no
// decoder here recurses however deep the lists nest. Code that walks nested
// lists guards its depth with AttributeBytesRawList::ValidateRecords.
//
// Ordering (LessThan) is by type number, then by the type's own operator<,
// which ignores the specified flag; two list values are never ordered.
// Equality includes the specified flag.
//
// Values have no shared state. Clone, the factory and the decoder return
// single-owner pointers that the caller owns.
#pragma once

#include <cstdint>
#include <memory>

#include "w4util/Export.h"
#include "w4util/attributes/AttributeBytesId.h"
#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/foundation/Dimension.h"
#include "w4util/foundation/UtcTime.h"

class AttributeBytesListValue;

class W4UTIL_EXPORT AttributeBytesValue {
 public:
  // Written to the wire as the type byte: the numbers are fixed.
  enum AttributeBytesValueEnum : std::int32_t {
    ABVTE_UNSPECIFIED = 1,
    ABVTE_OPTION = 2,
    ABVTE_INTEGER = 3,
    ABVTE_STRING = 4,
    ABVTE_BOOLEAN = 5,
    ABVTE_RANGE = 6,
    ABVTE_RANGEOFDIMENSION = 7,
    ABVTE_DIMENSION = 8,
    ABVTE_RESOLUTION = 9,
    ABVTE_DATABLOB = 10,
    ABVTE_LIST = 11,
    ABVTE_DATETIME = 12,
  };

  virtual ~AttributeBytesValue() = default;

  virtual AttributeBytesValueEnum GetAttributeBytesValueType() const = 0;
  virtual bool IsList() const { return false; }
  virtual std::unique_ptr<AttributeBytesValue> Clone() const = 0;
  // False when the types differ; else the specified flags and every field.
  virtual bool IsEqual(const AttributeBytesValue& other) const = 0;
  // By type number, then by the type's fields; the flag takes no part.
  virtual bool LessThan(const AttributeBytesValue& other) const = 0;
  // "<TYPE> value <specified>" here; each type appends its fields.
  virtual CXString GetDumpDisplayString(bool withDetails) const;
  virtual void Dump(bool /*withDetails*/) const {}

  // Type byte, unspecified mark, payload.
  ByteBuffer GetTypeAndValueState() const;
  // Empties out, then fills it with the same bytes.
  void GetTypeAndValueState(ByteBuffer& out) const;
  // Appends the same bytes to out.
  void AppendTypeAndValueState(ByteBuffer& out) const;
  // Copies the same bytes to dest and returns their length. Throws
  // ExceptionNotEnoughBytesForDesiredDataType, writing nothing, when capacity
  // is too small, and ExceptionInvalidArgumentNullPointer for a null dest.
  std::uint32_t GetTypeAndValueState(unsigned char* dest, std::uint32_t capacity) const;

  // Reads one value at the cursor, advancing cursor and left past it.
  // Throws ExceptionUnhandledSyntax for a type byte outside 2 to 12 (or a bad
  // option identifier kind), ExceptionNotEnoughBytesForDesiredDataType for
  // truncation or a count beyond the bytes left, and
  // ExceptionMissingOrBadAttributeBytesFormat for a list payload without the
  // raw-list mark or a date-time count outside the calendar's years. The
  // caller owns the result.
  static std::unique_ptr<AttributeBytesValue> WalkBufferToGetTypeAndCreateValue(unsigned char*& cursor,
                                                                                 unsigned int& left);

  // The enumerator's name ("ABVTE_INTEGER" ...), "UNKNOWN!" for other numbers.
  static CXString GetDebugDisplayString(AttributeBytesValueEnum type);
  CXString GetTypeDebugDisplayString() const;

  bool IsSpecified() const { return m_isSpecified; }
  void SetIsSpecified(bool isSpecified) { m_isSpecified = isSpecified; }

  // This value as a list value; ExceptionAttributeValueTypeMismatch otherwise.
  AttributeBytesListValue& GetListValue();
  const AttributeBytesListValue& GetListValue() const;

 protected:
  explicit AttributeBytesValue(bool isSpecified = true) : m_isSpecified(isSpecified) {}
  AttributeBytesValue(const AttributeBytesValue&) = default;
  AttributeBytesValue& operator=(const AttributeBytesValue&) = default;

  // Same type and same specified flag; the concrete types add their fields.
  bool operator==(const AttributeBytesValue& other) const {
    return GetAttributeBytesValueType() == other.GetAttributeBytesValueType() &&
           m_isSpecified == other.m_isSpecified;
  }
  bool operator<(const AttributeBytesValue& other) const {
    return GetAttributeBytesValueType() < other.GetAttributeBytesValueType();
  }

  // The payload, without type byte and mark.
  virtual ByteBuffer GetValueState() const = 0;
  // Reads the payload into this object.
  virtual void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) = 0;

 private:
  bool m_isSpecified;
};

class W4UTIL_EXPORT AttributeBytesOptionValue final : public AttributeBytesValue {
 public:
  // A list-of-values item id with index 0.
  AttributeBytesOptionValue();
  // Takes ownership; ExceptionInvalidArgumentNullPointer when id is null.
  AttributeBytesOptionValue(std::unique_ptr<AttributeBytesId> id, const bool& isSpecified);
  // Clones id.
  AttributeBytesOptionValue(const AttributeBytesId& id, const bool& isSpecified);
  AttributeBytesOptionValue(const AttributeBytesOptionValue& other);
  AttributeBytesOptionValue& operator=(const AttributeBytesOptionValue& other);

  const AttributeBytesId& GetValue() const { return *m_id; }
  // Takes ownership; ExceptionInvalidArgumentNullPointer when id is null.
  void SetValue(std::unique_ptr<AttributeBytesId> id);
  void SetValue(const AttributeBytesId& id);
  // The identifier when it is exactly of that class, else
  // ExceptionAttributeValueTypeMismatch.
  const AttributeBytesValueId& GetValueIdValue() const;
  const AttributeBytesFeatureId& GetFeatureIdValue() const;

  bool operator==(const AttributeBytesOptionValue& other) const;
  bool operator<(const AttributeBytesOptionValue& other) const;

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_OPTION; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  std::unique_ptr<AttributeBytesId> m_id;  // never null
};

class W4UTIL_EXPORT AttributeBytesIntegerValue final : public AttributeBytesValue {
 public:
  AttributeBytesIntegerValue() = default;
  AttributeBytesIntegerValue(const std::int32_t& value, const bool& isSpecified)
      : AttributeBytesValue(isSpecified), m_value(value) {}

  std::int32_t GetValue() const { return m_value; }
  void SetValue(const std::int32_t& value) { m_value = value; }

  bool operator==(const AttributeBytesIntegerValue& other) const {
    return AttributeBytesValue::operator==(other) && m_value == other.m_value;
  }
  bool operator<(const AttributeBytesIntegerValue& other) const { return m_value < other.m_value; }

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_INTEGER; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  std::int32_t m_value = 0;
};

class W4UTIL_EXPORT AttributeBytesStringValue final : public AttributeBytesValue {
 public:
  AttributeBytesStringValue() = default;
  AttributeBytesStringValue(const CXString& value, const bool& isSpecified)
      : AttributeBytesValue(isSpecified), m_value(value) {}

  CXString GetValue() const { return m_value; }
  void SetValue(const CXString& value) { m_value = value; }

  bool operator==(const AttributeBytesStringValue& other) const;
  bool operator<(const AttributeBytesStringValue& other) const;

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_STRING; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  // Throws ExceptionInvalidArgument when the text exceeds 32,767 code units.
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  CXString m_value;
};

class W4UTIL_EXPORT AttributeBytesBooleanValue final : public AttributeBytesValue {
 public:
  AttributeBytesBooleanValue() = default;
  AttributeBytesBooleanValue(const bool& value, const bool& isSpecified)
      : AttributeBytesValue(isSpecified), m_value(value) {}

  bool GetValue() const { return m_value; }
  void SetValue(const bool& value) { m_value = value; }

  bool operator==(const AttributeBytesBooleanValue& other) const {
    return AttributeBytesValue::operator==(other) && m_value == other.m_value;
  }
  bool operator<(const AttributeBytesBooleanValue& other) const { return !m_value && other.m_value; }

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_BOOLEAN; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  bool m_value = false;
};

class W4UTIL_EXPORT AttributeBytesRangeValue final : public AttributeBytesValue {
 public:
  AttributeBytesRangeValue() = default;
  AttributeBytesRangeValue(const std::int32_t& low, const std::int32_t& high, const bool& isSpecified)
      : AttributeBytesValue(isSpecified), m_low(low), m_high(high) {}

  void GetValue(std::int32_t& low, std::int32_t& high) const {
    low = m_low;
    high = m_high;
  }
  void SetValue(const std::int32_t& low, const std::int32_t& high) {
    m_low = low;
    m_high = high;
  }

  bool operator==(const AttributeBytesRangeValue& other) const {
    return AttributeBytesValue::operator==(other) && m_low == other.m_low && m_high == other.m_high;
  }
  // By low, then by high.
  bool operator<(const AttributeBytesRangeValue& other) const;

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_RANGE; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  std::int32_t m_low = 0;
  std::int32_t m_high = 0;
};

class W4UTIL_EXPORT AttributeBytesRangeOfDimensionValue final : public AttributeBytesValue {
 public:
  AttributeBytesRangeOfDimensionValue() = default;
  AttributeBytesRangeOfDimensionValue(const Dimension& low, const Dimension& high, const bool& isSpecified)
      : AttributeBytesValue(isSpecified), m_low(low), m_high(high) {}

  void GetValue(Dimension& low, Dimension& high) const {
    low = m_low;
    high = m_high;
  }
  void SetValue(const Dimension& low, const Dimension& high) {
    m_low = low;
    m_high = high;
  }

  bool operator==(const AttributeBytesRangeOfDimensionValue& other) const;
  // By low; when the lows are equal, by high.
  bool operator<(const AttributeBytesRangeOfDimensionValue& other) const;

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_RANGEOFDIMENSION; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  // Throws ExceptionInvalidArgument when either end is out of the wire range.
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  Dimension m_low;
  Dimension m_high;
};

class W4UTIL_EXPORT AttributeBytesDimensionValue final : public AttributeBytesValue {
 public:
  AttributeBytesDimensionValue() = default;
  AttributeBytesDimensionValue(const Dimension& value, const bool& isSpecified)
      : AttributeBytesValue(isSpecified), m_value(value) {}

  Dimension GetValue() const { return m_value; }
  void SetValue(const Dimension& value) { m_value = value; }

  bool operator==(const AttributeBytesDimensionValue& other) const;
  bool operator<(const AttributeBytesDimensionValue& other) const;

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_DIMENSION; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  // Throws ExceptionInvalidArgument when the value is out of the wire range.
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  Dimension m_value;
};

class W4UTIL_EXPORT AttributeBytesResolutionValue final : public AttributeBytesValue {
 public:
  AttributeBytesResolutionValue() = default;
  AttributeBytesResolutionValue(const std::int32_t& crossFeed, const std::int32_t& feed, const std::int16_t& units,
                                const bool& isSpecified)
      : AttributeBytesValue(isSpecified), m_crossFeed(crossFeed), m_feed(feed), m_units(units) {}

  void GetValue(std::int32_t& crossFeed, std::int32_t& feed, std::int16_t& units) const {
    crossFeed = m_crossFeed;
    feed = m_feed;
    units = m_units;
  }
  void SetValue(const std::int32_t& crossFeed, const std::int32_t& feed, const std::int16_t& units) {
    m_crossFeed = crossFeed;
    m_feed = feed;
    m_units = units;
  }

  bool operator==(const AttributeBytesResolutionValue& other) const {
    return AttributeBytesValue::operator==(other) && m_crossFeed == other.m_crossFeed && m_feed == other.m_feed &&
           m_units == other.m_units;
  }
  // By feed, then by cross-feed; the units take no part.
  bool operator<(const AttributeBytesResolutionValue& other) const;

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_RESOLUTION; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  // Feed first on the wire, unlike the constructor.
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  std::int32_t m_crossFeed = 0;
  std::int32_t m_feed = 0;
  std::int16_t m_units = 0;
};

class W4UTIL_EXPORT AttributeBytesDataBlobValue final : public AttributeBytesValue {
 public:
  AttributeBytesDataBlobValue() = default;
  AttributeBytesDataBlobValue(const ByteBuffer& value, const bool& isSpecified)
      : AttributeBytesValue(isSpecified), m_value(value) {}

  void GetValue(ByteBuffer& value) const { value = m_value; }
  void SetValue(const ByteBuffer& value) { m_value = value; }

  bool operator==(const AttributeBytesDataBlobValue& other) const {
    return AttributeBytesValue::operator==(other) &&
           static_cast<const ByteBuffer::Base&>(m_value) == static_cast<const ByteBuffer::Base&>(other.m_value);
  }
  // Lexicographic over the bytes as unsigned numbers, a prefix first.
  bool operator<(const AttributeBytesDataBlobValue& other) const;

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_DATABLOB; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  // Shows the bytes as text only below kMaxBytesShown.
  CXString GetDumpDisplayString(bool withDetails) const override;
  static constexpr std::uint32_t kMaxBytesShown = 80;

 protected:
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  ByteBuffer m_value;
};

class W4UTIL_EXPORT AttributeBytesListValue final : public AttributeBytesValue {
 public:
  AttributeBytesListValue() = default;
  // Always specified.
  AttributeBytesListValue(const unsigned char& kindOfList, const AttributeBytesRawList& list)
      : m_kindOfList(kindOfList), m_list(list) {}

  unsigned char GetKindOfList() const { return m_kindOfList; }
  void SetKindOfList(const unsigned char& kindOfList) { m_kindOfList = kindOfList; }
  void GetValue(AttributeBytesRawList& list) const { list = m_list; }
  void SetValue(const AttributeBytesRawList& list) { m_list = list; }
  // The nested list itself, without a copy.
  const AttributeBytesRawList& GetRawList() const { return m_list; }

  // Kind of list, then the nested lists' bytes.
  bool operator==(const AttributeBytesListValue& other) const;
  // Two list values are never ordered.
  bool operator<(const AttributeBytesListValue& /*other*/) const { return false; }

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_LIST; }
  bool IsList() const override { return true; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetValueState() const override;
  // Reads kind, length and the nested raw-list state; the nested records are
  // not decoded. A length beyond the bytes left throws
  // ExceptionNotEnoughBytesForDesiredDataType.
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  unsigned char m_kindOfList = 0;
  AttributeBytesRawList m_list;
};

class W4UTIL_EXPORT AttributeBytesDateTimeValue final : public AttributeBytesValue {
 public:
  AttributeBytesDateTimeValue() = default;
  AttributeBytesDateTimeValue(const UtcTime& value, const bool& isSpecified)
      : AttributeBytesValue(isSpecified), m_value(value) {}

  UtcTime GetValue() const { return m_value; }
  void SetValue(const UtcTime& value) { m_value = value; }

  bool operator==(const AttributeBytesDateTimeValue& other) const;
  bool operator<(const AttributeBytesDateTimeValue& other) const;

  AttributeBytesValueEnum GetAttributeBytesValueType() const override { return ABVTE_DATETIME; }
  std::unique_ptr<AttributeBytesValue> Clone() const override;
  bool IsEqual(const AttributeBytesValue& other) const override;
  bool LessThan(const AttributeBytesValue& other) const override;
  CXString GetDumpDisplayString(bool withDetails) const override;

 protected:
  ByteBuffer GetValueState() const override;
  void WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) override;

 private:
  UtcTime m_value;
};

class W4UTIL_EXPORT AttributeBytesValueFactory {
 public:
  // A default-constructed value of the type; the caller owns it. Throws
  // ExceptionUnhandledSyntax (empty message) for ABVTE_UNSPECIFIED and every
  // number outside 2 to 12.
  static std::unique_ptr<AttributeBytesValue> CreateAttributeBytesValue(
      AttributeBytesValue::AttributeBytesValueEnum type);
};
