#include "w4util/attributes/AttributeBytesNameSpaces.h"

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

AttributeBytesNameSpaces::AttributeBytesNameSpaces(const ByteBuffer& state, DriverVersion* version) {
  const DriverVersion found = ImportAttributeBytesNameSpacesState(state);
  if (version != nullptr) {
    *version = found;
  }
}

DriverVersion AttributeBytesNameSpaces::ImportAttributeBytesNameSpacesState(const ByteBuffer& state) {
  return ImportAttributeBytesNameSpacesState(state.data(), state.getDword());
}

DriverVersion AttributeBytesNameSpaces::ImportAttributeBytesNameSpacesState(const unsigned char* bytes,
                                                                           std::uint32_t length) {
  unsigned char* cursor = const_cast<unsigned char*>(bytes);
  unsigned int left = length;
  const auto mark = static_cast<std::uint32_t>(ByteBuffer::WalkBufferToGetLong(cursor, left));
  if (mark != kNameSpacesMark) {
    ZELVO_THROW_NO_MESSAGE(ExceptionMissingOrBadAttributeBytesFormat,
                           "AttributeBytesNameSpaces::ImportAttributeBytesNameSpacesState");
  }
  const DriverVersion version = DriverVersion::WalkBufferToGetDriverVersion(cursor, left);
  // The indexed list's import is itself all or nothing.
  m_nameSpaces.ImportAttributeBytesIndexedListState(cursor, left);
  return version;
}

void AttributeBytesNameSpaces::GetAttributeBytesNameSpacesState(ByteBuffer& out) const {
  const ByteBuffer inner = m_nameSpaces.GetAttributeBytesIndexedListState();
  ByteBuffer state;
  state.reserve(sizeof(std::uint32_t) + DriverVersion::kWireSize + inner.size());
  state.append(ByteBuffer::createFromIntValue(static_cast<std::int32_t>(kNameSpacesMark)));
  state.append(DriverVersion::GetLibraryVersion().GetVersionAsByteBuffer());
  state.append(inner);
  out = std::move(state);
}

ByteBuffer AttributeBytesNameSpaces::GetAttributeBytesNameSpacesState() const {
  ByteBuffer state;
  GetAttributeBytesNameSpacesState(state);
  return state;
}

void AttributeBytesNameSpaces::GetAttributeBytesRawList(const AttributeBytes& record, AttributeBytesRawList& out) const {
  const AttributeBytesValue& value = record.GetAttributeBytesValue();
  if (!value.IsList()) {
    ZELVO_THROW_NO_MESSAGE(ExceptionAttributeValueTypeMismatch, "AttributeBytesNameSpaces::GetAttributeBytesRawList");
  }
  value.GetListValue().GetValue(out);
}

void AttributeBytesNameSpaces::GetNameSpaceAttributes(const AttributeBytesNameSpacesId& id,
                                                      AttributeBytesRawList& out) const {
  const AttributeBytes* record = m_nameSpaces.GetAttributeBytesPtr(id);
  if (record == nullptr) {
    ZELVO_THROW_NO_MESSAGE(ExceptionFeatureNotFound, "AttributeBytesNameSpaces::GetNameSpaceAttributes");
  }
  GetAttributeBytesRawList(*record, out);
}

void AttributeBytesNameSpaces::SetNameSpaceAttributes(const AttributeBytesNameSpacesId& id,
                                                      AttributeBytesRawList attributes) {
  m_nameSpaces.SetAttributeBytes(id, AttributeBytesListValue(0, attributes));
}

void AttributeBytesNameSpaces::GetNameSpaceByIndex(std::uint32_t index, AttributeBytesRawList& out) const {
  if (index >= GetNumberOfNameSpaces()) {
    ZELVO_THROW_NO_MESSAGE(ExceptionIndexOutOfBounds, "AttributeBytesNameSpaces::GetNameSpaceByIndex");
  }
  AttributeBytesIndexedListIterator it = m_nameSpaces.GetIndexedListIterator();
  for (std::uint32_t i = 0; i < index; ++i) {
    m_nameSpaces.IncrementIndexedListIterator(it);
  }
  GetAttributeBytesRawList(m_nameSpaces.GetAttributeBytesRefFromIndexedListIterator(it), out);
}
