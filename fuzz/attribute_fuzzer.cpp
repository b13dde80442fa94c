// Decodes arbitrary bytes as an attribute identifier, as an attribute value
// and as a raw list, and checks the round trip of whatever decodes.
//
// Identifiers have one byte form per object, so re-encoding must give back
// exactly the bytes consumed. Values have two non-canonical inputs: any
// non-zero unspecified mark reads as "not specified" and any non-zero
// boolean byte as true; both are written back as 1. So a value's
// re-encoding is compared with the consumed bytes with those two bytes
// normalised, and a second decode must give an equal value and the same
// bytes again. The bytes nested in a list value are kept as they were read
// (records are not decoded with it), so they come back unchanged.
//
// The input also runs as a raw-list state: every record that an iterator
// can reach is walked and round-tripped the same way, and ValidateRecords
// descends into nested lists under its depth limit. Decoding failures are
// ZelvoExceptions and end that path; anything else escapes and crashes the
// run. The bytes sit in a heap block of exactly their size, so a read past
// the end is caught by AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/AttributeBytesId.h"
#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/attributes/AttributeBytesValue.h"
#include "w4util/errors/ZelvoException.h"

namespace {

void Check(bool ok) {
  if (!ok) {
    __builtin_trap();
  }
}

bool SameBytes(const ByteBuffer& a, const unsigned char* b, std::size_t n) {
  return a.size() == n && (n == 0 || std::memcmp(a.data(), b, n) == 0);
}

// The canonical form of a value's consumed bytes.
ByteBuffer CanonicalValueBytes(const unsigned char* bytes, std::size_t n) {
  ByteBuffer canonical(bytes, static_cast<std::uint32_t>(n));
  canonical[1] = canonical[1] != 0 ? 1 : 0;
  if (canonical[0] == AttributeBytesValue::ABVTE_BOOLEAN) {
    canonical[2] = canonical[2] != 0 ? 1 : 0;
  }
  return canonical;
}

void CheckIdentifier(const unsigned char* data, std::size_t size) {
  unsigned char* cursor = const_cast<unsigned char*>(data);
  unsigned int left = static_cast<unsigned int>(size);
  std::unique_ptr<AttributeBytesId> id;
  try {
    id = AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
  } catch (const ZelvoException&) {
    return;
  }
  const std::size_t consumed = size - left;
  Check(cursor == data + consumed);
  Check(SameBytes(id->GetTypeAndIdentifierState(), data, consumed));
  const std::unique_ptr<AttributeBytesId> clone = id->Clone();
  Check(clone->IsEqual(*id) && !clone->LessThan(*id) && !id->LessThan(*clone));
  id->GetDumpDisplayString(false);
}

void CheckValue(const unsigned char* data, std::size_t size) {
  unsigned char* cursor = const_cast<unsigned char*>(data);
  unsigned int left = static_cast<unsigned int>(size);
  std::unique_ptr<AttributeBytesValue> value;
  try {
    value = AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(cursor, left);
  } catch (const ZelvoException&) {
    return;
  }
  const std::size_t consumed = size - left;
  Check(cursor == data + consumed);
  const ByteBuffer encoded = value->GetTypeAndValueState();
  Check(encoded == CanonicalValueBytes(data, consumed));

  unsigned char* again = const_cast<unsigned char*>(encoded.data());
  unsigned int againLeft = encoded.getDword();
  const std::unique_ptr<AttributeBytesValue> redecoded = AttributeBytesValue::WalkBufferToGetTypeAndCreateValue(again, againLeft);
  Check(againLeft == 0);
  Check(redecoded->IsEqual(*value) && value->IsEqual(*redecoded));
  Check(!redecoded->LessThan(*value) && !value->LessThan(*redecoded));
  Check(redecoded->GetTypeAndValueState() == encoded);
  value->GetDumpDisplayString(false);
  if (value->IsList()) {
    try {
      value->GetListValue().GetRawList().ValidateRecords();
    } catch (const ZelvoException&) {
    }
  }
}

void CheckRawList(const unsigned char* data, std::size_t size) {
  AttributeBytesRawList list;
  try {
    list.ImportAttributeBytesRawListState(data, static_cast<std::uint32_t>(size));
  } catch (const ZelvoException&) {
    return;
  }
  Check(SameBytes(list.GetAttributeBytesRawListState(), data, size));
  try {
    list.ValidateRecords();
  } catch (const ZelvoException&) {
  }
  const ByteBuffer& records = list.GetRecordBytes();
  AttributeBytesRawListIterator it = list.GetRawListIterator();
  AttributeBytesRawList rebuilt;
  while (list.IsValidRawListIterator(it)) {
    const std::uint32_t start = it.GetOffset();
    SharedPtr<AttributeBytes> record;
    try {
      record = list.GetNextAttributeBytesFromRawListIterator(it);
    } catch (const ZelvoException&) {
      Check(it.GetOffset() == start);
      return;
    }
    Check(it.GetOffset() > start && it.GetOffset() <= list.GetSize());
    // The record is the identifier, then the value: the identifier's bytes
    // come back exactly, the value's canonically.
    const ByteBuffer idBytes = record->GetAttributeBytesId().GetTypeAndIdentifierState();
    const std::size_t valueStart = start + idBytes.size();
    Check(SameBytes(idBytes, records.data() + start, idBytes.size()));
    Check(record->GetAttributeBytesValue().GetTypeAndValueState() ==
          CanonicalValueBytes(records.data() + valueStart, it.GetOffset() - valueStart));
    const AttributeBytes copy(record->GetAttributeBytesState());
    Check(copy == *record && !(copy < *record) && !(*record < copy));
    rebuilt.AddAttributeBytes(record);
  }
  // Every record was walked: the rebuilt list decodes to the same records.
  Check(rebuilt.GetSize() == list.GetSize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size heap copy: AddressSanitizer sees any read past the end.
  const std::unique_ptr<unsigned char[]> bytes(new unsigned char[size == 0 ? 1 : size]);
  if (size != 0) {
    std::memcpy(bytes.get(), data, size);
  }
  CheckIdentifier(bytes.get(), size);
  CheckValue(bytes.get(), size);
  CheckRawList(bytes.get(), size);
  return 0;
}
