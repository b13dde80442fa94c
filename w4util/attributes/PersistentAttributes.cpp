#include "w4util/attributes/PersistentAttributes.h"

#include <utility>

#include "w4util/compression/CabCompressedBuffer.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/Endian.h"

namespace {

constexpr std::int32_t kCompressionLevel = -1;

void WriteHeader(const PersistentAttributes::PersistentAttributesHeaderType& header, ByteBuffer& out) {
  out.assign(PersistentAttributes::kHeaderSize, 0);
  w4util::little_endian::Store32(out.data(), header.headerSize);
  w4util::little_endian::Store32(out.data() + 4, header.formatMark);
  const ByteBuffer version = header.version.GetVersionAsByteBuffer();
  std::copy(version.begin(), version.end(), out.begin() + 8);
}

}  // namespace

PersistentAttributes::PersistentAttributes() { DoDefaultConstruction(); }

PersistentAttributes::PersistentAttributes(const AttributeBytesNameSpaces& nameSpaces) {
  SetAttributeBytesNameSpaces(nameSpaces);
}

PersistentAttributes::PersistentAttributes(const ByteBuffer& state, bool headerOnly, DriverVersion* version) {
  DriverVersion found;
  ImportPersistentAttributesState(state, found, headerOnly, true);
  if (version != nullptr) *version = found;
}

PersistentAttributes::PersistentAttributes(const PersistentAttributes& other)
    : m_state(other.m_state),
      m_decoded(other.m_decoded ? std::make_unique<AttributeBytesNameSpaces>(*other.m_decoded) : nullptr) {}

PersistentAttributes& PersistentAttributes::operator=(const PersistentAttributes& other) {
  if (this != &other) {
    PersistentAttributes copy(other);
    m_state = std::move(copy.m_state);
    m_decoded = std::move(copy.m_decoded);
  }
  return *this;
}

PersistentAttributes::~PersistentAttributes() = default;

void PersistentAttributes::SetAttributeBytesNameSpaces(const AttributeBytesNameSpaces& nameSpaces) {
  PersistentAttributesHeaderType header;
  InitializeHeaderStructure(header);
  auto decoded = std::make_unique<AttributeBytesNameSpaces>(nameSpaces);
  ByteBuffer state;
  CreateStateDataFromComponents(header, nameSpaces.GetAttributeBytesNameSpacesState(), state);
  m_state = std::move(state);
  m_decoded = std::move(decoded);
}

bool PersistentAttributes::ImportPersistentAttributesState(const ByteBuffer& given, DriverVersion& version,
                                                           bool headerOnly, bool throwOnFailure) {
  try {
    const ByteBuffer& state = UpgradeOldStateDataVersionIfNecessary(given);
    PersistentAttributesHeaderType header;
    ByteBuffer compressed;
    GetMajorComponentsFromStateDataBuffer(state, header, compressed);
    if (!IsCurrentVersionHeader(header)) {
      ZELVO_THROW_NO_MESSAGE(ExceptionMissingOrBadPersistentAttributesFormat,
                             "PersistentAttributes::ImportPersistentAttributesState");
    }
    version = header.version;
    if (headerOnly) {
      m_state = state;
      m_decoded.reset();
      return true;
    }
    ByteBuffer nameSpacesState;
    GetComponentsFromCompressedDataBuffer(compressed, nameSpacesState);
    std::unique_ptr<AttributeBytesNameSpaces> decoded = DecodeNameSpaces(nameSpacesState);
    ByteBuffer copy = state;
    m_decoded = std::move(decoded);
    m_state = std::move(copy);
    return true;
  } catch (const ExceptionMissingOrBadPersistentAttributesFormat&) {
    if (throwOnFailure) throw;
  } catch (const ExceptionMissingOrBadCompressedBufferFooter&) {
    if (throwOnFailure) throw;
  } catch (const ExceptionCompression&) {
    if (throwOnFailure) throw;
  } catch (const ExceptionIncompatibleCompressionFormat&) {
    if (throwOnFailure) throw;
  } catch (const ExceptionFileOperationCompression&) {
    if (throwOnFailure) throw;
  } catch (const ExceptionCabinetLibraryConstructionFailure&) {
    if (throwOnFailure) throw;
  }
  return false;
}

std::unique_ptr<AttributeBytesNameSpaces> PersistentAttributes::GetAttributeBytesNameSpaces() const {
  return std::make_unique<AttributeBytesNameSpaces>(Decoded());
}

void PersistentAttributes::GetAttributeBytesListForNameSpace(const AttributeBytesNameSpacesId& id,
                                                             AttributeBytesRawList& out) const {
  const AttributeBytesNameSpaces& nameSpaces = Decoded();
  if (nameSpaces.Exists(id)) {
    nameSpaces.GetNameSpaceAttributes(id, out);
  } else {
    out = AttributeBytesRawList();
  }
}

void PersistentAttributes::DumpStateData(const ByteBuffer& state, bool decode) {
  if (!decode) return;
  PersistentAttributesHeaderType header;
  ByteBuffer nameSpacesState;
  GetComponentsFromStateDataBuffer(state, header, nameSpacesState);
  if (!IsCurrentVersionHeader(header)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionMissingOrBadPersistentAttributesFormat, "PersistentAttributes::DumpStateData");
  }
  DecodeNameSpaces(nameSpacesState);
}

const AttributeBytesNameSpacesId& PersistentAttributes::GetDataModelDocPropNameSpaceId() {
  static const AttributeBytesNameSpacesId id(1);
  return id;
}

const AttributeBytesNameSpacesId& PersistentAttributes::GetDataModelDevicePropNameSpaceId() {
  static const AttributeBytesNameSpacesId id(2);
  return id;
}

const AttributeBytesNameSpacesId& PersistentAttributes::GetMsDeviceCapabilitiesNameSpaceId() {
  static const AttributeBytesNameSpacesId id(3);
  return id;
}

void PersistentAttributes::InitializeHeaderStructure(PersistentAttributesHeaderType& header) {
  header.headerSize = kHeaderSize;
  header.formatMark = kFormatMark;
  header.version = DriverVersion::GetLibraryVersion();
}

bool PersistentAttributes::IsCurrentVersionHeader(const PersistentAttributesHeaderType& header) {
  return header.headerSize == kHeaderSize && header.formatMark == kFormatMark;
}

void PersistentAttributes::CreateStateDataFromComponents(const PersistentAttributesHeaderType& header,
                                                         const ByteBuffer& nameSpacesState, ByteBuffer& state) {
  WriteHeader(header, state);
  std::unique_ptr<CabCompressedBuffer> compressed =
      CabCompressedBuffer::CreateWithUncompressedData(nameSpacesState, kCompressionLevel);
  state.append(compressed->GetCompressedBufferState());
}

void PersistentAttributes::GetMajorComponentsFromStateDataBuffer(const ByteBuffer& state,
                                                                 PersistentAttributesHeaderType& header,
                                                                 ByteBuffer& compressed) {
  if (state.size() < kHeaderSize) {
    ZELVO_THROW_NO_MESSAGE(ExceptionMissingOrBadPersistentAttributesFormat,
                           "PersistentAttributes::GetMajorComponentsFromStateDataBuffer");
  }
  header.headerSize = w4util::little_endian::Load32(state.data());
  header.formatMark = w4util::little_endian::Load32(state.data() + 4);
  header.version = DriverVersion(w4util::little_endian::Load16(state.data() + 8),
                                 w4util::little_endian::Load16(state.data() + 10),
                                 w4util::little_endian::Load16(state.data() + 12),
                                 w4util::little_endian::Load16(state.data() + 14));
  compressed.assign(state.begin() + kHeaderSize, state.end());
}

void PersistentAttributes::GetComponentsFromCompressedDataBuffer(const ByteBuffer& compressed,
                                                                 ByteBuffer& nameSpacesState) {
  std::unique_ptr<CabCompressedBuffer> buffer = CabCompressedBuffer::CreateWithBufferState(compressed);
  ByteBuffer restored;
  buffer->GetOriginalData(restored);
  if (restored.size() != buffer->GetOriginalDataSize()) {
    ZELVO_THROW_NO_MESSAGE(ExceptionMissingOrBadPersistentAttributesFormat,
                           "PersistentAttributes::GetComponentsFromCompressedDataBuffer");
  }
  nameSpacesState = std::move(restored);
}

void PersistentAttributes::GetComponentsFromStateDataBuffer(const ByteBuffer& state,
                                                            PersistentAttributesHeaderType& header,
                                                            ByteBuffer& nameSpacesState) {
  ByteBuffer compressed;
  GetMajorComponentsFromStateDataBuffer(state, header, compressed);
  GetComponentsFromCompressedDataBuffer(compressed, nameSpacesState);
}

// An empty restored state is the empty set that default construction stores.
std::unique_ptr<AttributeBytesNameSpaces> PersistentAttributes::DecodeNameSpaces(const ByteBuffer& nameSpacesState) {
  if (nameSpacesState.empty()) return std::make_unique<AttributeBytesNameSpaces>();
  return std::make_unique<AttributeBytesNameSpaces>(nameSpacesState);
}

void PersistentAttributes::ValidateCompressedData(const ByteBuffer& compressed) {
  ByteBuffer discarded;
  GetComponentsFromCompressedDataBuffer(compressed, discarded);
}

void PersistentAttributes::GetStateData(PersistentAttributesHeaderType& header, ByteBuffer& nameSpacesState) const {
  GetComponentsFromStateDataBuffer(m_state, header, nameSpacesState);
}

void PersistentAttributes::SetStateData(const PersistentAttributesHeaderType& header,
                                        const ByteBuffer& nameSpacesState) {
  ByteBuffer state;
  CreateStateDataFromComponents(header, nameSpacesState, state);
  m_state = std::move(state);
  m_decoded.reset();
}

void PersistentAttributes::DoDefaultConstruction() {
  PersistentAttributesHeaderType header;
  InitializeHeaderStructure(header);
  SetStateData(header, ByteBuffer());
}

const AttributeBytesNameSpaces& PersistentAttributes::Decoded() const {
  if (!m_decoded) {
    PersistentAttributesHeaderType header;
    ByteBuffer nameSpacesState;
    GetStateData(header, nameSpacesState);
    m_decoded = DecodeNameSpaces(nameSpacesState);
  }
  return *m_decoded;
}
