#include "w4util/attributes/AttributeBytesId.h"

#include <cstring>
#include <typeinfo>

#include "w4util/attributes/internal/OrdinalText.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

using w4util::attributes_internal::OrdinalEqual;
using w4util::attributes_internal::OrdinalLess;

namespace {

// Kinds equal and the other object of the same class: that class's own
// comparison; a foreign class reporting the same kind is never equal.
template <typename T>
bool EqualAs(const T& self, const AttributeBytesId& other) {
  if (self.GetAttributeBytesIdType() != other.GetAttributeBytesIdType()) {
    return false;
  }
  // The classes are final: an exact type test is the cast check, and far
  // cheaper than dynamic_cast in the lists' comparisons.
  return typeid(other) == typeid(T) && self == static_cast<const T&>(other);
}

template <typename T>
bool LessAs(const T& self, const AttributeBytesId& other) {
  const auto selfKind = self.GetAttributeBytesIdType();
  const auto otherKind = other.GetAttributeBytesIdType();
  if (selfKind != otherKind) {
    return selfKind < otherKind;
  }
  return typeid(other) == typeid(T) && self < static_cast<const T&>(other);
}

const char16_t* KindName(std::int32_t kind) {
  switch (kind) {
    case AttributeBytesId::ABIDE_UNSPECIFIED: return u"ABIDE_UNSPECIFIED";
    case AttributeBytesId::ABIDE_FEATURE: return u"ABIDE_FEATURE";
    case AttributeBytesId::ABIDE_NEWFEATURE: return u"ABIDE_NEWFEATURE";
    case AttributeBytesId::ABIDE_VALUE: return u"ABIDE_VALUE";
    case AttributeBytesId::ABIDE_NEWVALUE: return u"ABIDE_NEWVALUE";
    case AttributeBytesId::ABIDE_LISTOFVALUESITEM: return u"ABIDE_LISTOFVALUESITEM";
    case AttributeBytesId::ABIDE_CAPABILITY: return u"ABIDE_CAPABILITY";
    case AttributeBytesId::ABIDE_NEWCAPABILITY: return u"ABIDE_NEWCAPABILITY";
    case AttributeBytesId::ABIDE_NAMESPACE: return u"ABIDE_NAMESPACE";
    default: return u"UNKNOWN!";
  }
}

}  // namespace

// ---- AttributeBytesId -------------------------------------------------------

CXString AttributeBytesId::GetDumpDisplayString(bool /*withDetails*/) const {
  const CXString kind = GetTypeDebugDisplayString();
  return ZelvoUtilities::SafeFormatString(u"%s AttributeBytes Id", static_cast<const char16_t*>(kind));
}

ByteBuffer AttributeBytesId::GetTypeAndIdentifierState() const {
  ByteBuffer state;
  GetTypeAndIdentifierState(state);
  return state;
}

void AttributeBytesId::AppendTypeAndIdentifierState(ByteBuffer& out) const {
  out.push_back(static_cast<unsigned char>(GetAttributeBytesIdType()));
  out.append(GetIdentifierState());
}

void AttributeBytesId::GetTypeAndIdentifierState(ByteBuffer& out) const {
  ByteBuffer identifier = GetIdentifierState();
  out.clear();
  out.reserve(identifier.size() + 1);
  out.push_back(static_cast<unsigned char>(GetAttributeBytesIdType()));
  out.append(identifier);
}

std::uint32_t AttributeBytesId::GetTypeAndIdentifierState(unsigned char* dest, std::uint32_t capacity) const {
  const ByteBuffer state = GetTypeAndIdentifierState();
  const std::uint32_t length = state.getDword();
  if (capacity < length) {
    ZELVO_THROW_NO_MESSAGE(ExceptionNotEnoughBytesForDesiredDataType, "AttributeBytesId::GetTypeAndIdentifierState");
  }
  if (dest == nullptr) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidArgumentNullPointer, "AttributeBytesId::GetTypeAndIdentifierState");
  }
  std::memcpy(dest, state.data(), length);
  return length;
}

std::unique_ptr<AttributeBytesId> AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(unsigned char*& cursor,
                                                                                           unsigned int& left) {
  const unsigned char kind = ByteBuffer::WalkBufferToGetByte(cursor, left);
  std::unique_ptr<AttributeBytesId> identifier =
      AttributeBytesIdFactory::CreateAttributeBytesId(static_cast<AttributeBytesIdEnum>(kind));
  identifier->WalkBufferToSetIdentifier(cursor, left);
  return identifier;
}

CXString AttributeBytesId::GetDebugDisplayString(AttributeBytesIdEnum kind) { return CXString(KindName(kind)); }

CXString AttributeBytesId::GetTypeDebugDisplayString() const { return GetDebugDisplayString(GetAttributeBytesIdType()); }

// ---- numeric kinds ----------------------------------------------------------

std::unique_ptr<AttributeBytesId> AttributeBytesFeatureId::Clone() const {
  return std::make_unique<AttributeBytesFeatureId>(*this);
}
bool AttributeBytesFeatureId::IsEqual(const AttributeBytesId& other) const { return EqualAs(*this, other); }
bool AttributeBytesFeatureId::LessThan(const AttributeBytesId& other) const { return LessAs(*this, other); }
CXString AttributeBytesFeatureId::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesId::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: %ld (0x%lx)", static_cast<const char16_t*>(base), m_featureId,
                                          m_featureId);
}
ByteBuffer AttributeBytesFeatureId::GetIdentifierState() const { return ByteBuffer::createFromIntValue(m_featureId); }
void AttributeBytesFeatureId::WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) {
  m_featureId = ByteBuffer::WalkBufferToGetLong(cursor, left);
}

std::unique_ptr<AttributeBytesId> AttributeBytesValueId::Clone() const {
  return std::make_unique<AttributeBytesValueId>(*this);
}
bool AttributeBytesValueId::IsEqual(const AttributeBytesId& other) const { return EqualAs(*this, other); }
bool AttributeBytesValueId::LessThan(const AttributeBytesId& other) const { return LessAs(*this, other); }
CXString AttributeBytesValueId::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesId::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: %ld (0x%lx)", static_cast<const char16_t*>(base), m_valueId,
                                          m_valueId);
}
ByteBuffer AttributeBytesValueId::GetIdentifierState() const { return ByteBuffer::createFromIntValue(m_valueId); }
void AttributeBytesValueId::WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) {
  m_valueId = ByteBuffer::WalkBufferToGetLong(cursor, left);
}

std::unique_ptr<AttributeBytesId> AttributeBytesListOfValuesItemId::Clone() const {
  return std::make_unique<AttributeBytesListOfValuesItemId>(*this);
}
bool AttributeBytesListOfValuesItemId::IsEqual(const AttributeBytesId& other) const { return EqualAs(*this, other); }
bool AttributeBytesListOfValuesItemId::LessThan(const AttributeBytesId& other) const { return LessAs(*this, other); }
CXString AttributeBytesListOfValuesItemId::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesId::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: index %ld", static_cast<const char16_t*>(base), m_indexValue);
}
ByteBuffer AttributeBytesListOfValuesItemId::GetIdentifierState() const {
  return ByteBuffer::createFromIntValue(m_indexValue);
}
void AttributeBytesListOfValuesItemId::WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) {
  m_indexValue = ByteBuffer::WalkBufferToGetLong(cursor, left);
}

std::unique_ptr<AttributeBytesId> AttributeBytesNameSpacesId::Clone() const {
  return std::make_unique<AttributeBytesNameSpacesId>(*this);
}
bool AttributeBytesNameSpacesId::IsEqual(const AttributeBytesId& other) const { return EqualAs(*this, other); }
bool AttributeBytesNameSpacesId::LessThan(const AttributeBytesId& other) const { return LessAs(*this, other); }
CXString AttributeBytesNameSpacesId::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesId::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: %ld", static_cast<const char16_t*>(base), m_nameSpaceId);
}
ByteBuffer AttributeBytesNameSpacesId::GetIdentifierState() const {
  return ByteBuffer::createFromIntValue(m_nameSpaceId);
}
void AttributeBytesNameSpacesId::WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) {
  m_nameSpaceId = ByteBuffer::WalkBufferToGetLong(cursor, left);
}

// ---- string kinds -----------------------------------------------------------

bool AttributeBytesNewFeatureId::operator==(const AttributeBytesNewFeatureId& other) const {
  return OrdinalEqual(m_newFeatureId, other.m_newFeatureId);
}
bool AttributeBytesNewFeatureId::operator<(const AttributeBytesNewFeatureId& other) const {
  return OrdinalLess(m_newFeatureId, other.m_newFeatureId);
}
std::unique_ptr<AttributeBytesId> AttributeBytesNewFeatureId::Clone() const {
  return std::make_unique<AttributeBytesNewFeatureId>(*this);
}
bool AttributeBytesNewFeatureId::IsEqual(const AttributeBytesId& other) const { return EqualAs(*this, other); }
bool AttributeBytesNewFeatureId::LessThan(const AttributeBytesId& other) const { return LessAs(*this, other); }
CXString AttributeBytesNewFeatureId::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesId::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: %s", static_cast<const char16_t*>(base),
                                          static_cast<const char16_t*>(m_newFeatureId));
}
ByteBuffer AttributeBytesNewFeatureId::GetIdentifierState() const {
  return ByteBuffer::createCountedStringFormatFromString(m_newFeatureId);
}
void AttributeBytesNewFeatureId::WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) {
  m_newFeatureId = ByteBuffer::WalkBufferToGetCountedString(cursor, left);
}

bool AttributeBytesNewValueId::operator==(const AttributeBytesNewValueId& other) const {
  return OrdinalEqual(m_newValueId, other.m_newValueId);
}
bool AttributeBytesNewValueId::operator<(const AttributeBytesNewValueId& other) const {
  return OrdinalLess(m_newValueId, other.m_newValueId);
}
std::unique_ptr<AttributeBytesId> AttributeBytesNewValueId::Clone() const {
  return std::make_unique<AttributeBytesNewValueId>(*this);
}
bool AttributeBytesNewValueId::IsEqual(const AttributeBytesId& other) const { return EqualAs(*this, other); }
bool AttributeBytesNewValueId::LessThan(const AttributeBytesId& other) const { return LessAs(*this, other); }
CXString AttributeBytesNewValueId::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesId::GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"%s: %s", static_cast<const char16_t*>(base),
                                          static_cast<const char16_t*>(m_newValueId));
}
ByteBuffer AttributeBytesNewValueId::GetIdentifierState() const {
  return ByteBuffer::createCountedStringFormatFromString(m_newValueId);
}
void AttributeBytesNewValueId::WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) {
  m_newValueId = ByteBuffer::WalkBufferToGetCountedString(cursor, left);
}

// ---- capability kinds -------------------------------------------------------

bool AttributeBytesCapabilityId::operator<(const AttributeBytesCapabilityId& other) const {
  if (m_featureId != other.m_featureId) {
    return m_featureId < other.m_featureId;
  }
  return m_capabilityType < other.m_capabilityType;
}
std::unique_ptr<AttributeBytesId> AttributeBytesCapabilityId::Clone() const {
  return std::make_unique<AttributeBytesCapabilityId>(*this);
}
bool AttributeBytesCapabilityId::IsEqual(const AttributeBytesId& other) const { return EqualAs(*this, other); }
bool AttributeBytesCapabilityId::LessThan(const AttributeBytesId& other) const { return LessAs(*this, other); }
CXString AttributeBytesCapabilityId::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesId::GetDumpDisplayString(withDetails);
  const std::int32_t type = m_capabilityType;
  return ZelvoUtilities::SafeFormatString(u"%s: feature %ld (0x%x), type %d (0x%x)",
                                          static_cast<const char16_t*>(base), m_featureId, m_featureId, type, type);
}
ByteBuffer AttributeBytesCapabilityId::GetIdentifierState() const {
  ByteBuffer state = ByteBuffer::createFromShortValue(m_capabilityType);
  state.append(ByteBuffer::createFromIntValue(m_featureId));
  return state;
}
void AttributeBytesCapabilityId::WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) {
  // Both fields are read before either is stored: a short read leaves the
  // object as it was.
  const std::int16_t type = ByteBuffer::WalkBufferToGetShort(cursor, left);
  const std::int32_t feature = ByteBuffer::WalkBufferToGetLong(cursor, left);
  m_capabilityType = type;
  m_featureId = feature;
}

bool AttributeBytesNewCapabilityId::operator==(const AttributeBytesNewCapabilityId& other) const {
  return m_capabilityType == other.m_capabilityType && OrdinalEqual(m_newFeatureId, other.m_newFeatureId);
}
bool AttributeBytesNewCapabilityId::operator<(const AttributeBytesNewCapabilityId& other) const {
  if (!OrdinalEqual(m_newFeatureId, other.m_newFeatureId)) {
    return OrdinalLess(m_newFeatureId, other.m_newFeatureId);
  }
  return m_capabilityType < other.m_capabilityType;
}
std::unique_ptr<AttributeBytesId> AttributeBytesNewCapabilityId::Clone() const {
  return std::make_unique<AttributeBytesNewCapabilityId>(*this);
}
bool AttributeBytesNewCapabilityId::IsEqual(const AttributeBytesId& other) const { return EqualAs(*this, other); }
bool AttributeBytesNewCapabilityId::LessThan(const AttributeBytesId& other) const { return LessAs(*this, other); }
CXString AttributeBytesNewCapabilityId::GetDumpDisplayString(bool withDetails) const {
  const CXString base = AttributeBytesId::GetDumpDisplayString(withDetails);
  const std::int32_t type = m_capabilityType;
  return ZelvoUtilities::SafeFormatString(u"%s: feature %s, type %d (0x%x)", static_cast<const char16_t*>(base),
                                          static_cast<const char16_t*>(m_newFeatureId), type, type);
}
ByteBuffer AttributeBytesNewCapabilityId::GetIdentifierState() const {
  ByteBuffer state = ByteBuffer::createFromShortValue(m_capabilityType);
  state.append(ByteBuffer::createCountedStringFormatFromString(m_newFeatureId));
  return state;
}
void AttributeBytesNewCapabilityId::WalkBufferToSetIdentifier(unsigned char*& cursor, unsigned int& left) {
  const std::int16_t type = ByteBuffer::WalkBufferToGetShort(cursor, left);
  CXString feature = ByteBuffer::WalkBufferToGetCountedString(cursor, left);
  m_capabilityType = type;
  m_newFeatureId = feature;
}

// ---- factory ----------------------------------------------------------------

std::unique_ptr<AttributeBytesId> AttributeBytesIdFactory::CreateAttributeBytesId(
    AttributeBytesId::AttributeBytesIdEnum kind) {
  switch (kind) {
    case AttributeBytesId::ABIDE_FEATURE: return std::make_unique<AttributeBytesFeatureId>();
    case AttributeBytesId::ABIDE_NEWFEATURE: return std::make_unique<AttributeBytesNewFeatureId>();
    case AttributeBytesId::ABIDE_VALUE: return std::make_unique<AttributeBytesValueId>();
    case AttributeBytesId::ABIDE_NEWVALUE: return std::make_unique<AttributeBytesNewValueId>();
    case AttributeBytesId::ABIDE_LISTOFVALUESITEM: return std::make_unique<AttributeBytesListOfValuesItemId>();
    case AttributeBytesId::ABIDE_CAPABILITY: return std::make_unique<AttributeBytesCapabilityId>();
    case AttributeBytesId::ABIDE_NEWCAPABILITY: return std::make_unique<AttributeBytesNewCapabilityId>();
    case AttributeBytesId::ABIDE_NAMESPACE: return std::make_unique<AttributeBytesNameSpacesId>();
    case AttributeBytesId::ABIDE_UNSPECIFIED:
    default: break;
  }
  ZELVO_THROW_NO_MESSAGE(ExceptionUnhandledSyntax, "AttributeBytesIdFactory::CreateAttributeBytesId");
}
