#include "w4util/attributes/AttributeBytesValue.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "w4util/attributes/internal/OrdinalText.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

using w4util::attributes_internal::OrdinalEqual;
using w4util::attributes_internal::OrdinalLess;

namespace {

// Thousandths of a millimetre: the unit of every dimension on the wire.
constexpr auto kWireUnits = Dimension::ZLV_THOUSANDTHS_OF_MMS;

template <typename T>
bool EqualAs(const T& self, const AttributeBytesValue& other) {
  if (self.GetAttributeBytesValueType() != other.GetAttributeBytesValueType()) {
    return false;
  }
  const T* same = dynamic_cast<const T*>(&other);
  return same != nullptr && self == *same;
}

template <typename T>
bool LessAs(const T& self, const AttributeBytesValue& other) {
  const auto selfType = self.GetAttributeBytesValueType();
  const auto otherType = other.GetAttributeBytesValueType();
  if (selfType != otherType) {
    return selfType < otherType;
  }
  const T* same = dynamic_cast<const T*>(&other);
  return same != nullptr && self < *same;
}

const char16_t* TypeName(std::int32_t type) {
  switch (type) {
    case AttributeBytesValue::ABVTE_UNSPECIFIED: return u"ABVTE_UNSPECIFIED";
    case AttributeBytesValue::ABVTE_OPTION: return u"ABVTE_OPTION";
    case AttributeBytesValue::ABVTE_INTEGER: return u"ABVTE_INTEGER";
    case AttributeBytesValue::ABVTE_STRING: return u"ABVTE_STRING";
    case AttributeBytesValue::ABVTE_BOOLEAN: return u"ABVTE_BOOLEAN";
    case AttributeBytesValue::ABVTE_RANGE: return u"ABVTE_RANGE";
    case AttributeBytesValue::ABVTE_RANGEOFDIMENSION: return u"ABVTE_RANGEOFDIMENSION";
    case AttributeBytesValue::ABVTE_DIMENSION: return u"ABVTE_DIMENSION";
    case AttributeBytesValue::ABVTE_RESOLUTION: return u"ABVTE_RESOLUTION";
    case AttributeBytesValue::ABVTE_DATABLOB: return u"ABVTE_DATABLOB";
    case AttributeBytesValue::ABVTE_LIST: return u"ABVTE_LIST";
    case AttributeBytesValue::ABVTE_DATETIME: return u"ABVTE_DATETIME";
    default: return u"UNKNOWN!";
  }
}

Dimension DimensionFromWire(std::int32_t thousandths) { return Dimension(static_cast<double>(thousandths), kWireUnits); }

const char16_t* Text(const CXString& s) { return static_cast<const char16_t*>(s); }

}  // namespace

// ---- AttributeBytesValue ----------------------------------------------------

CXString AttributeBytesValue::GetDumpDisplayString(bool /*withDetails*/) const {
  const CXString type = GetTypeDebugDisplayString();
  return ZelvoUtilities::SafeFormatString(u"%s value %s", Text(type),
                                          m_isSpecified ? u"<specified>" : u"<unspecified>");
}

ByteBuffer AttributeBytesValue::GetTypeAndValueState() const {
  ByteBuffer state;
  GetTypeAndValueState(state);
  return state;
}

void AttributeBytesValue::AppendTypeAndValueState(ByteBuffer& out) const {
  out.push_back(static_cast<unsigned char>(GetAttributeBytesValueType()));
  out.push_back(m_isSpecified ? 0 : 1);
  out.append(GetValueState());
}

void AttributeBytesValue::GetTypeAndValueState(ByteBuffer& out) const {
  ByteBuffer payload = GetValueState();
  out.clear();
  out.reserve(payload.size() + 2);
  out.push_back(static_cast<unsigned char>(GetAttributeBytesValueType()));
  out.push_back(m_isSpecified ? 0 : 1);
  out.append(payload);
}

std::uint32_t AttributeBytesValue::GetTypeAndValueState(unsigned char* dest, std::uint32_t capacity) const {
  const ByteBuffer state = GetTypeAndValueState();
  const std::uint32_t length = state.getDword();
  if (capacity < length) {
    ZELVO_THROW_NO_MESSAGE(ExceptionNotEnoughBytesForDesiredDataType, "AttributeBytesValue::GetTypeAndValueState");
  }
  if (dest == nullptr) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidArgumentNullPointer, "AttributeBytesValue::GetTypeAndValueState");
  }
  std::memcpy(dest, state.data(), length);
  return length;
}

std::unique_ptr<AttributeBytesValue> AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(unsigned char*& cursor,
                                                                                         unsigned int& left) {
  const unsigned char type = ByteBuffer::WalkBufferToGetByte(cursor, left);
  std::unique_ptr<AttributeBytesValue> value =
      AttributeBytesValueFactory::CreateAttributeBytesValue(static_cast<AttributeBytesValueEnum>(type));
  const unsigned char unspecifiedMark = ByteBuffer::WalkBufferToGetByte(cursor, left);
  value->m_isSpecified = (unspecifiedMark == 0);
  value->WalkBufferToSetValue(cursor, left);
  return value;
}

CXString AttributeBytesValue::GetDebugDisplayString(AttributeBytesValueEnum type) { return CXString(TypeName(type)); }

CXString AttributeBytesValue::GetTypeDebugDisplayString() const {
  return GetDebugDisplayString(GetAttributeBytesValueType());
}

AttributeBytesListValue& AttributeBytesValue::GetListValue() {
  auto* list = dynamic_cast<AttributeBytesListValue*>(this);
  if (list == nullptr) {
    const CXString type = GetTypeDebugDisplayString();
    ZELVO_THROW(ExceptionAttributeValueTypeMismatch, "AttributeBytesValue::GetListValue",
                "The value is of type %s, not a list.", Text(type));
  }
  return *list;
}

const AttributeBytesListValue& AttributeBytesValue::GetListValue() const {
  return const_cast<AttributeBytesValue*>(this)->GetListValue();
}

// ---- option -----------------------------------------------------------------

AttributeBytesOptionValue::AttributeBytesOptionValue()
    : m_id(std::make_unique<AttributeBytesListOfValuesItemId>(0)) {}

AttributeBytesOptionValue::AttributeBytesOptionValue(std::unique_ptr<AttributeBytesId> id, const bool& isSpecified)
    : AttributeBytesValue(isSpecified) {
  SetValue(std::move(id));
}

AttributeBytesOptionValue::AttributeBytesOptionValue(const AttributeBytesId& id, const bool& isSpecified)
    : AttributeBytesValue(isSpecified), m_id(id.Clone()) {}

AttributeBytesOptionValue::AttributeBytesOptionValue(const AttributeBytesOptionValue& other)
    : AttributeBytesValue(other), m_id(other.m_id->Clone()) {}

AttributeBytesOptionValue& AttributeBytesOptionValue::operator=(const AttributeBytesOptionValue& other) {
  if (this != &other) {
    std::unique_ptr<AttributeBytesId> id = other.m_id->Clone();
    AttributeBytesValue::operator=(other);
    m_id = std::move(id);
  }
  return *this;
}

void AttributeBytesOptionValue::SetValue(std::unique_ptr<AttributeBytesId> id) {
  if (!id) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidArgumentNullPointer, "AttributeBytesOptionValue::SetValue");
  }
  m_id = std::move(id);
}

void AttributeBytesOptionValue::SetValue(const AttributeBytesId& id) { m_id = id.Clone(); }

const AttributeBytesValueId& AttributeBytesOptionValue::GetValueIdValue() const {
  const auto* id = dynamic_cast<const AttributeBytesValueId*>(m_id.get());
  if (id == nullptr) {
    const CXString kind = m_id->GetTypeDebugDisplayString();
    ZELVO_THROW(ExceptionAttributeValueTypeMismatch, "AttributeBytesOptionValue::GetValueIdValue",
                "The option holds an identifier of kind %s, not a value id.", Text(kind));
  }
  return *id;
}

const AttributeBytesFeatureId& AttributeBytesOptionValue::GetFeatureIdValue() const {
  const auto* id = dynamic_cast<const AttributeBytesFeatureId*>(m_id.get());
  if (id == nullptr) {
    const CXString kind = m_id->GetTypeDebugDisplayString();
    ZELVO_THROW(ExceptionAttributeValueTypeMismatch, "AttributeBytesOptionValue::GetFeatureIdValue",
                "The option holds an identifier of kind %s, not a feature id.", Text(kind));
  }
  return *id;
}

bool AttributeBytesOptionValue::operator==(const AttributeBytesOptionValue& other) const {
  return AttributeBytesValue::operator==(other) && m_id->IsEqual(*other.m_id);
}
bool AttributeBytesOptionValue::operator<(const AttributeBytesOptionValue& other) const {
  return m_id->LessThan(*other.m_id);
}
std::unique_ptr<AttributeBytesValue> AttributeBytesOptionValue::Clone() const {
  return std::make_unique<AttributeBytesOptionValue>(*this);
}
bool AttributeBytesOptionValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesOptionValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesOptionValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  const CXString id = m_id->GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: Value=%s", Text(base), Text(id));
}
ByteBuffer AttributeBytesOptionValue::GetValueState() const { return m_id->GetTypeAndIdentifierState(); }
void AttributeBytesOptionValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  m_id = AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
}

// ---- integer ----------------------------------------------------------------

std::unique_ptr<AttributeBytesValue> AttributeBytesIntegerValue::Clone() const {
  return std::make_unique<AttributeBytesIntegerValue>(*this);
}
bool AttributeBytesIntegerValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesIntegerValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesIntegerValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: Value=%ld (0x%lx)", Text(base), m_value, m_value);
}
ByteBuffer AttributeBytesIntegerValue::GetValueState() const { return ByteBuffer::createFromIntValue(m_value); }
void AttributeBytesIntegerValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  m_value = ByteBuffer::WalkBufferToGetLong(cursor, left);
}

// ---- string -----------------------------------------------------------------

bool AttributeBytesStringValue::operator==(const AttributeBytesStringValue& other) const {
  return AttributeBytesValue::operator==(other) && OrdinalEqual(m_value, other.m_value);
}
bool AttributeBytesStringValue::operator<(const AttributeBytesStringValue& other) const {
  return OrdinalLess(m_value, other.m_value);
}
std::unique_ptr<AttributeBytesValue> AttributeBytesStringValue::Clone() const {
  return std::make_unique<AttributeBytesStringValue>(*this);
}
bool AttributeBytesStringValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesStringValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesStringValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: Value='%s'", Text(base), Text(m_value));
}
ByteBuffer AttributeBytesStringValue::GetValueState() const {
  return ByteBuffer::createCountedStringFormatFromString(m_value);
}
void AttributeBytesStringValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  m_value = ByteBuffer::WalkBufferToGetCountedString(cursor, left);
}

// ---- boolean ----------------------------------------------------------------

std::unique_ptr<AttributeBytesValue> AttributeBytesBooleanValue::Clone() const {
  return std::make_unique<AttributeBytesBooleanValue>(*this);
}
bool AttributeBytesBooleanValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesBooleanValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesBooleanValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: Value=%s", Text(base), m_value ? u"TRUE" : u"FALSE");
}
ByteBuffer AttributeBytesBooleanValue::GetValueState() const {
  return ByteBuffer::createFromByteValue(m_value ? 1 : 0);
}
void AttributeBytesBooleanValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  m_value = ByteBuffer::WalkBufferToGetByte(cursor, left) != 0;
}

// ---- range ------------------------------------------------------------------

bool AttributeBytesRangeValue::operator<(const AttributeBytesRangeValue& other) const {
  if (m_low != other.m_low) {
    return m_low < other.m_low;
  }
  return m_high < other.m_high;
}
std::unique_ptr<AttributeBytesValue> AttributeBytesRangeValue::Clone() const {
  return std::make_unique<AttributeBytesRangeValue>(*this);
}
bool AttributeBytesRangeValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesRangeValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesRangeValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: Low Value=%ld High Value=%ld", Text(base), m_low, m_high);
}
ByteBuffer AttributeBytesRangeValue::GetValueState() const {
  ByteBuffer state = ByteBuffer::createFromIntValue(m_low);
  state.append(ByteBuffer::createFromIntValue(m_high));
  return state;
}
void AttributeBytesRangeValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  const std::int32_t low = ByteBuffer::WalkBufferToGetLong(cursor, left);
  const std::int32_t high = ByteBuffer::WalkBufferToGetLong(cursor, left);
  m_low = low;
  m_high = high;
}

// ---- dimension --------------------------------------------------------------

bool AttributeBytesDimensionValue::operator==(const AttributeBytesDimensionValue& other) const {
  return AttributeBytesValue::operator==(other) && m_value == other.m_value;
}
bool AttributeBytesDimensionValue::operator<(const AttributeBytesDimensionValue& other) const {
  return m_value < other.m_value;
}
std::unique_ptr<AttributeBytesValue> AttributeBytesDimensionValue::Clone() const {
  return std::make_unique<AttributeBytesDimensionValue>(*this);
}
bool AttributeBytesDimensionValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesDimensionValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesDimensionValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  const CXString value = m_value.GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: Value=%s", Text(base), Text(value));
}
ByteBuffer AttributeBytesDimensionValue::GetValueState() const {
  return ByteBuffer::createFromIntValue(m_value.GetThousandthsOfMMs());
}
void AttributeBytesDimensionValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  m_value = DimensionFromWire(ByteBuffer::WalkBufferToGetLong(cursor, left));
}

// ---- range of dimension -----------------------------------------------------

bool AttributeBytesRangeOfDimensionValue::operator==(const AttributeBytesRangeOfDimensionValue& other) const {
  return AttributeBytesValue::operator==(other) && m_low == other.m_low && m_high == other.m_high;
}
bool AttributeBytesRangeOfDimensionValue::operator<(const AttributeBytesRangeOfDimensionValue& other) const {
  if (m_low == other.m_low) {
    return m_high < other.m_high;
  }
  return m_low < other.m_low;
}
std::unique_ptr<AttributeBytesValue> AttributeBytesRangeOfDimensionValue::Clone() const {
  return std::make_unique<AttributeBytesRangeOfDimensionValue>(*this);
}
bool AttributeBytesRangeOfDimensionValue::IsEqual(const AttributeBytesValue& other) const {
  return EqualAs(*this, other);
}
bool AttributeBytesRangeOfDimensionValue::LessThan(const AttributeBytesValue& other) const {
  return LessAs(*this, other);
}
CXString AttributeBytesRangeOfDimensionValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  const CXString low = m_low.GetDumpDisplayString(withDetails);
  const CXString high = m_high.GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: [%s, %s]", Text(base), Text(low), Text(high));
}
ByteBuffer AttributeBytesRangeOfDimensionValue::GetValueState() const {
  ByteBuffer state = ByteBuffer::createFromIntValue(m_low.GetThousandthsOfMMs());
  state.append(ByteBuffer::createFromIntValue(m_high.GetThousandthsOfMMs()));
  return state;
}
void AttributeBytesRangeOfDimensionValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  const std::int32_t low = ByteBuffer::WalkBufferToGetLong(cursor, left);
  const std::int32_t high = ByteBuffer::WalkBufferToGetLong(cursor, left);
  m_low = DimensionFromWire(low);
  m_high = DimensionFromWire(high);
}

// ---- resolution -------------------------------------------------------------

bool AttributeBytesResolutionValue::operator<(const AttributeBytesResolutionValue& other) const {
  if (m_feed != other.m_feed) {
    return m_feed < other.m_feed;
  }
  return m_crossFeed < other.m_crossFeed;
}
std::unique_ptr<AttributeBytesValue> AttributeBytesResolutionValue::Clone() const {
  return std::make_unique<AttributeBytesResolutionValue>(*this);
}
bool AttributeBytesResolutionValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesResolutionValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesResolutionValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  const std::int32_t units = m_units;
  return ZelvoUtilities::SafeFormatString(u"%s: Cross-Feed Value=%ld, Feed Value=%ld, Units Value=%ld", Text(base),
                                          m_crossFeed, m_feed, units);
}
ByteBuffer AttributeBytesResolutionValue::GetValueState() const {
  ByteBuffer state = ByteBuffer::createFromIntValue(m_feed);
  state.append(ByteBuffer::createFromIntValue(m_crossFeed));
  state.append(ByteBuffer::createFromShortValue(m_units));
  return state;
}
void AttributeBytesResolutionValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  const std::int32_t feed = ByteBuffer::WalkBufferToGetLong(cursor, left);
  const std::int32_t crossFeed = ByteBuffer::WalkBufferToGetLong(cursor, left);
  const std::int16_t units = ByteBuffer::WalkBufferToGetShort(cursor, left);
  m_feed = feed;
  m_crossFeed = crossFeed;
  m_units = units;
}

// ---- data blob --------------------------------------------------------------

bool AttributeBytesDataBlobValue::operator<(const AttributeBytesDataBlobValue& other) const {
  return std::lexicographical_compare(m_value.begin(), m_value.end(), other.m_value.begin(), other.m_value.end());
}
std::unique_ptr<AttributeBytesValue> AttributeBytesDataBlobValue::Clone() const {
  return std::make_unique<AttributeBytesDataBlobValue>(*this);
}
bool AttributeBytesDataBlobValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesDataBlobValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesDataBlobValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  const std::int32_t length = static_cast<std::int32_t>(m_value.getDword());
  if (m_value.getDword() >= kMaxBytesShown) {
    return ZelvoUtilities::SafeFormatString(u"%s: Value=%ld bytes", Text(base), length);
  }
  const CXString text = m_value.getAsStringValue();
  return ZelvoUtilities::SafeFormatString(u"%s: Value=%ld bytes, '%s'", Text(base), length, Text(text));
}
ByteBuffer AttributeBytesDataBlobValue::GetValueState() const { return ByteBuffer::createCountedBytesFormat(m_value); }
void AttributeBytesDataBlobValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  ByteBuffer::WalkBufferToGetCountedBytes(cursor, left, m_value);
}

// ---- list -------------------------------------------------------------------

bool AttributeBytesListValue::operator==(const AttributeBytesListValue& other) const {
  return AttributeBytesValue::operator==(other) && m_kindOfList == other.m_kindOfList && m_list == other.m_list;
}
std::unique_ptr<AttributeBytesValue> AttributeBytesListValue::Clone() const {
  return std::make_unique<AttributeBytesListValue>(*this);
}
bool AttributeBytesListValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesListValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesListValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  const std::int32_t kind = m_kindOfList;
  return ZelvoUtilities::SafeFormatString(u"%s: Value is a list (of type %d / 0x%lx)", Text(base), kind, kind);
}
ByteBuffer AttributeBytesListValue::GetValueState() const {
  const std::uint32_t recordsSize = m_list.GetSize();
  // The length field is a signed Long: a nested state of 2 GiB or more
  // cannot be counted.
  if (recordsSize > 0x7FFFFFFFu - AttributeBytesRawList::kRawListMarkSize) {
    ZELVO_THROW(ExceptionInvalidArgument, "AttributeBytesListValue::GetValueState",
                "The nested list is too large for attribute bytes (2 GiB or more).");
  }
  const std::uint32_t stateSize = recordsSize + AttributeBytesRawList::kRawListMarkSize;
  ByteBuffer state;
  state.reserve(5 + static_cast<std::size_t>(stateSize));
  state.push_back(m_kindOfList);
  state.append(ByteBuffer::createFromIntValue(static_cast<std::int32_t>(stateSize)));
  state.append(ByteBuffer::createFromIntValue(static_cast<std::int32_t>(AttributeBytesRawList::kRawListMark)));
  state.append(m_list.GetRecordBytes());
  return state;
}
void AttributeBytesListValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  const unsigned char kind = ByteBuffer::WalkBufferToGetByte(cursor, left);
  const std::int32_t length = ByteBuffer::WalkBufferToGetLong(cursor, left);
  // Compared as unsigned, as counted bytes are: a negative length asks for
  // more than any buffer holds.
  const std::uint32_t stateSize = static_cast<std::uint32_t>(length);
  if (stateSize > left) {
    ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType, "AttributeBytesListValue::WalkBufferToSetValue",
                "The nested list claims %ld bytes; %ld are left.", length, static_cast<std::int32_t>(left));
  }
  // Imported before the cursor moves: a bad mark leaves cursor and list as
  // they were.
  m_list.ImportAttributeBytesRawListState(cursor, stateSize);
  m_kindOfList = kind;
  cursor += stateSize;
  left -= stateSize;
}

// ---- date-time --------------------------------------------------------------

bool AttributeBytesDateTimeValue::operator==(const AttributeBytesDateTimeValue& other) const {
  return AttributeBytesValue::operator==(other) && m_value == other.m_value;
}
bool AttributeBytesDateTimeValue::operator<(const AttributeBytesDateTimeValue& other) const {
  return m_value < other.m_value;
}
std::unique_ptr<AttributeBytesValue> AttributeBytesDateTimeValue::Clone() const {
  return std::make_unique<AttributeBytesDateTimeValue>(*this);
}
bool AttributeBytesDateTimeValue::IsEqual(const AttributeBytesValue& other) const { return EqualAs(*this, other); }
bool AttributeBytesDateTimeValue::LessThan(const AttributeBytesValue& other) const { return LessAs(*this, other); }
CXString AttributeBytesDateTimeValue::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesValue::GetDumpDisplayString(withDetails);
  const CXString value = m_value.GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: Value='%s'", Text(base), Text(value));
}
ByteBuffer AttributeBytesDateTimeValue::GetValueState() const {
  return ByteBuffer::createFromTime64Value(m_value.GetAsTime64());
}
void AttributeBytesDateTimeValue::WalkBufferToSetValue(unsigned char*& cursor, unsigned int& left) {
  unsigned char* const start = cursor;
  const unsigned int leftAtStart = left;
  const std::int64_t time = ByteBuffer::WalkBufferToGetTime64(cursor, left);
  // A count beyond the calendar's years would otherwise leave the value at
  // whatever it held (for a fresh value: now) and report success.
  if (!m_value.SetWithTime64(time)) {
    cursor = start;
    left = leftAtStart;
    ZELVO_THROW(ExceptionMissingOrBadAttributeBytesFormat, "AttributeBytesDateTimeValue::WalkBufferToSetValue",
                "The time count %I64d lies outside the calendar.", time);
  }
}

// ---- factory ----------------------------------------------------------------

std::unique_ptr<AttributeBytesValue> AttributeBytesValueFactory::CreateAttributeBytesValue(
    AttributeBytesValue::AttributeBytesValueEnum type) {
  switch (type) {
    case AttributeBytesValue::ABVTE_OPTION: return std::make_unique<AttributeBytesOptionValue>();
    case AttributeBytesValue::ABVTE_INTEGER: return std::make_unique<AttributeBytesIntegerValue>();
    case AttributeBytesValue::ABVTE_STRING: return std::make_unique<AttributeBytesStringValue>();
    case AttributeBytesValue::ABVTE_BOOLEAN: return std::make_unique<AttributeBytesBooleanValue>();
    case AttributeBytesValue::ABVTE_RANGE: return std::make_unique<AttributeBytesRangeValue>();
    case AttributeBytesValue::ABVTE_RANGEOFDIMENSION: return std::make_unique<AttributeBytesRangeOfDimensionValue>();
    case AttributeBytesValue::ABVTE_DIMENSION: return std::make_unique<AttributeBytesDimensionValue>();
    case AttributeBytesValue::ABVTE_RESOLUTION: return std::make_unique<AttributeBytesResolutionValue>();
    case AttributeBytesValue::ABVTE_DATABLOB: return std::make_unique<AttributeBytesDataBlobValue>();
    case AttributeBytesValue::ABVTE_LIST: return std::make_unique<AttributeBytesListValue>();
    case AttributeBytesValue::ABVTE_DATETIME: return std::make_unique<AttributeBytesDateTimeValue>();
    case AttributeBytesValue::ABVTE_UNSPECIFIED:
    default: break;
  }
  ZELVO_THROW_NO_MESSAGE(ExceptionUnhandledSyntax, "AttributeBytesValueFactory::CreateAttributeBytesValue");
}
