// Imports arbitrary persistent-attributes states.
//
// Byte 0 chooses how the rest is used: bit 0 puts a valid header of this
// release in front of it, bit 1 also compresses it first (so the name-spaces
// decoder sees the bytes), bit 2 imports header-only (the damage then shows
// on the first read). Checks: a full import that succeeds decodes on every
// later read; a failed import leaves the object's state as it
// was; a successful one keeps the given bytes; a state that decodes survives
// writing its name spaces again and importing the result.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "w4util/attributes/PersistentAttributes.h"
#include "w4util/compression/CabCompressedBuffer.h"
#include "w4util/errors/ZelvoException.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

const unsigned char kHeader[16] = {0x10, 0, 0, 0, 0x01, 0x00, 0x07, 0x20, 0x41, 0x14, 0x35, 0x08, 0, 0, 0, 0};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const std::uint8_t mode = data[0];
  ByteBuffer rest(data + 1, static_cast<std::uint32_t>(size - 1));
  ByteBuffer state;
  try {
    if ((mode & 2) != 0) rest = CabCompressedBuffer::CreateWithUncompressedData(rest, -1)->GetCompressedBufferState();
  } catch (const ZelvoException&) {
    return 0;
  }
  if ((mode & 3) != 0) state.appendLpbyte(kHeader, sizeof kHeader);
  state.append(rest);
  const bool headerOnly = (mode & 4) != 0;

  PersistentAttributes attributes;
  const ByteBuffer before = attributes.GetPersistentAttributesState();
  DriverVersion version;
  bool imported = false;
  try {
    imported = attributes.ImportPersistentAttributesState(state, version, headerOnly, false);
  } catch (const ZelvoException&) {
    imported = false;
  }
  Check(attributes.GetPersistentAttributesState() == (imported ? state : before));
  if (!imported) return 0;

  std::unique_ptr<AttributeBytesNameSpaces> spaces;
  try {
    spaces = attributes.GetAttributeBytesNameSpaces();
  } catch (const ZelvoException&) {
    Check(headerOnly);
    return 0;
  }
  // A name space whose record holds no list decodes, and fails only here.
  try {
    AttributeBytesRawList list;
    attributes.GetAttributeBytesListForNameSpace(PersistentAttributes::GetDataModelDocPropNameSpaceId(), list);
  } catch (const ZelvoException&) {
  }
  PersistentAttributes rewritten(*spaces);
  PersistentAttributes again(rewritten.GetPersistentAttributesState(), false, nullptr);
  Check(again.GetAttributeBytesNameSpaces()->GetAttributeBytesNameSpacesState() ==
        spaces->GetAttributeBytesNameSpacesState());
  return 0;
}
