#include "w4util/attributes/AttributeBytes.h"

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

namespace {

// A constructed record never holds a null object.
template <typename T>
std::unique_ptr<T> RequireNotNull(std::unique_ptr<T> object) {
  if (!object) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidArgumentNullPointer, "AttributeBytes::AttributeBytes");
  }
  return object;
}

}  // namespace

AttributeBytes::AttributeBytes(const ByteBuffer& state) {
  unsigned char* cursor = const_cast<unsigned char*>(state.data());
  unsigned int left = state.getDword();
  m_id = AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
  m_value = AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(cursor, left);
}

AttributeBytes::AttributeBytes(std::unique_ptr<AttributeBytesId> id, std::unique_ptr<AttributeBytesValue> value)
    : m_id(RequireNotNull(std::move(id))),
      m_value(RequireNotNull(std::move(value))) {}

AttributeBytes::AttributeBytes(std::unique_ptr<AttributeBytesId> id, const AttributeBytesValue& value)
    : m_id(RequireNotNull(std::move(id))), m_value(value.Clone()) {}

AttributeBytes::AttributeBytes(const AttributeBytesId& id, const AttributeBytesValue& value)
    : m_id(id.Clone()), m_value(value.Clone()) {}

AttributeBytes::AttributeBytes(const AttributeBytes& other)
    : m_id(other.m_id->Clone()), m_value(other.m_value->Clone()) {}

AttributeBytes& AttributeBytes::operator=(const AttributeBytes& other) {
  if (this != &other) {
    std::unique_ptr<AttributeBytesId> id = other.m_id->Clone();
    std::unique_ptr<AttributeBytesValue> value = other.m_value->Clone();
    m_id = std::move(id);
    m_value = std::move(value);
  }
  return *this;
}

void AttributeBytes::SetAttributeBytesId(std::unique_ptr<AttributeBytesId> id) {
  if (!id) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidArgumentNullPointer, "AttributeBytes::SetAttributeBytesId");
  }
  m_id = std::move(id);
}
void AttributeBytes::SetAttributeBytesId(const AttributeBytesId& id) { m_id = id.Clone(); }
void AttributeBytes::SetAttributeBytesValue(std::unique_ptr<AttributeBytesValue> value) {
  if (!value) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidArgumentNullPointer, "AttributeBytes::SetAttributeBytesValue");
  }
  m_value = std::move(value);
}
void AttributeBytes::SetAttributeBytesValue(const AttributeBytesValue& value) { m_value = value.Clone(); }

ByteBuffer AttributeBytes::GetAttributeBytesState() const {
  ByteBuffer state;
  GetAttributeBytesState(state);
  return state;
}

void AttributeBytes::AppendAttributeBytesState(ByteBuffer& out) const {
  m_id->AppendTypeAndIdentifierState(out);
  m_value->AppendTypeAndValueState(out);
}

void AttributeBytes::GetAttributeBytesState(ByteBuffer& out) const {
  ByteBuffer id = m_id->GetTypeAndIdentifierState();
  ByteBuffer value = m_value->GetTypeAndValueState();
  out.clear();
  out.reserve(id.size() + value.size());
  out.append(id);
  out.append(value);
}

void AttributeBytes::ImportAttributeBytesState(const ByteBuffer& state) {
  unsigned char* cursor = const_cast<unsigned char*>(state.data());
  unsigned int left = state.getDword();
  // Both halves are decoded before either is replaced, so a failure in the
  // value cannot pair the new identifier with the old value.
  std::unique_ptr<AttributeBytesId> id = AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
  std::unique_ptr<AttributeBytesValue> value = AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(cursor, left);
  m_id = std::move(id);
  m_value = std::move(value);
}

SharedPtr<AttributeBytes> AttributeBytes::WalkBufferToCreateAttributeBytes(unsigned char*& cursor,
                                                                           unsigned int& left) {
  std::unique_ptr<AttributeBytesId> id = AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
  std::unique_ptr<AttributeBytesValue> value = AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(cursor, left);
  return SharedPtr<AttributeBytes>(new AttributeBytes(std::move(id), std::move(value)), true);
}

bool AttributeBytes::operator==(const AttributeBytes& other) const {
  return m_id->IsEqual(*other.m_id) && m_value->IsEqual(*other.m_value);
}

CXString AttributeBytes::GetDumpDisplayString(bool withDetails) const {
  const CXString id = m_id->GetDumpDisplayString(withDetails);
  const CXString value = m_value->GetDumpDisplayString(withDetails);
  return ZelvoUtilities::SafeFormatString(u"ID=%s value=%s", static_cast<const char16_t*>(id),
                                          static_cast<const char16_t*>(value));
}
