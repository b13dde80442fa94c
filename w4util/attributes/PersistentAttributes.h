// PersistentAttributes: the storage form of a whole set of attribute name
// spaces, a 16-byte header followed by the name-spaces state compressed as a
// cabinet compressed buffer (its data and footer, nothing between).
//
// Header, little-endian, written by InitializeHeaderStructure:
//   +0  4  header size, 16
//   +4  4  format mark 0x20070001 (bytes 01 00 07 20)
//   +8  8  version of the writing library, four Words (5185, 2101, 0, 0 here)
// Only the size and the mark are checked on import; any version is accepted
// and the imported state is kept byte for byte until new name spaces are set.
//
// Invariants: the state is always valid as far as it has been checked (a
// header-only import defers looking behind the header); the decoded copy,
// when present, holds exactly the name spaces the state encodes. It is made
// on the first read and installed only when complete, so a read that fails
// leaves none and the next read tries again.
//
// One thread at a time: even the const reads fill the decoded copy. Returned
// name spaces and lists are the caller's copies.
#pragma once

#include <cstdint>
#include <memory>

#include "w4util/Export.h"
#include "w4util/attributes/AttributeBytesId.h"
#include "w4util/attributes/AttributeBytesNameSpaces.h"
#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/DriverVersion.h"

class W4UTIL_EXPORT PersistentAttributes {
 public:
  // The header as it stands in the state, field by field.
  struct PersistentAttributesHeaderType {
    std::uint32_t headerSize = 0;
    std::uint32_t formatMark = 0;
    DriverVersion version;
  };
  static constexpr std::uint32_t kHeaderSize = 16;
  static constexpr std::uint32_t kFormatMark = 0x20070001;

  // A current header and an empty name-spaces state behind it.
  PersistentAttributes();
  explicit PersistentAttributes(const AttributeBytesNameSpaces& nameSpaces);
  // Imports with the throw flag set; the version read goes to *version when
  // given. Throws as ImportPersistentAttributesState.
  PersistentAttributes(const ByteBuffer& state, bool headerOnly, DriverVersion* version);
  PersistentAttributes(const PersistentAttributes& other);
  PersistentAttributes& operator=(const PersistentAttributes& other);
  ~PersistentAttributes();

  ByteBuffer GetPersistentAttributesState() const { return m_state; }
  void SetAttributeBytesNameSpaces(const AttributeBytesNameSpaces& nameSpaces);

  // Checks the header and, unless headerOnly, restores and decodes the rest.
  // On success the object holds state (and, in full mode, its decoded copy)
  // and the result is true. A bad header (fewer than 16 bytes, size not 16,
  // wrong mark: ExceptionMissingOrBadPersistentAttributesFormat) or a
  // failure to restore the compressed part (a bad footer, decompression, a
  // restored size other than the footer's) is thrown when throwOnFailure,
  // else answered false. A restored part that is no name-spaces state throws
  // its decoding exception whatever the flag. On failure the object is
  // unchanged; version may already hold the header's version.
  bool ImportPersistentAttributesState(const ByteBuffer& state, DriverVersion& version, bool headerOnly,
                                       bool throwOnFailure);

  // A new copy of the name spaces, the caller's; decodes first if needed and
  // throws what decoding throws.
  std::unique_ptr<AttributeBytesNameSpaces> GetAttributeBytesNameSpaces() const;
  // The name space's attributes; an empty list when it does not exist.
  void GetAttributeBytesListForNameSpace(const AttributeBytesNameSpacesId& id, AttributeBytesRawList& out) const;

  // With decode set, decodes state completely and discards the result, so a
  // bad state shows as its exception; prints nothing. Else does nothing.
  static void DumpStateData(const ByteBuffer& state, bool decode);

  static const AttributeBytesNameSpacesId& GetDataModelDocPropNameSpaceId();
  static const AttributeBytesNameSpacesId& GetDataModelDevicePropNameSpaceId();
  static const AttributeBytesNameSpacesId& GetMsDeviceCapabilitiesNameSpaceId();

 private:
  static void InitializeHeaderStructure(PersistentAttributesHeaderType& header);
  static bool IsCurrentVersionHeader(const PersistentAttributesHeaderType& header);
  static void CreateStateDataFromComponents(const PersistentAttributesHeaderType& header,
                                            const ByteBuffer& nameSpacesState, ByteBuffer& state);
  static void GetMajorComponentsFromStateDataBuffer(const ByteBuffer& state, PersistentAttributesHeaderType& header,
                                                    ByteBuffer& compressed);
  static void GetComponentsFromCompressedDataBuffer(const ByteBuffer& compressed, ByteBuffer& nameSpacesState);
  static void GetComponentsFromStateDataBuffer(const ByteBuffer& state, PersistentAttributesHeaderType& header,
                                               ByteBuffer& nameSpacesState);
  static std::unique_ptr<AttributeBytesNameSpaces> DecodeNameSpaces(const ByteBuffer& nameSpacesState);
  static const ByteBuffer& UpgradeOldStateDataVersionIfNecessary(const ByteBuffer& state) { return state; }
  static void ValidateCompressedData(const ByteBuffer& compressed);
  void GetStateData(PersistentAttributesHeaderType& header, ByteBuffer& nameSpacesState) const;
  void SetStateData(const PersistentAttributesHeaderType& header, const ByteBuffer& nameSpacesState);
  void DoDefaultConstruction();
  const AttributeBytesNameSpaces& Decoded() const;

  ByteBuffer m_state;
  mutable std::unique_ptr<AttributeBytesNameSpaces> m_decoded;
};
