// Imports arbitrary bytes as a raw list, an indexed list and a name-spaces
// state, re-encodes whatever was accepted and checks the round trips.
//
// Canonical forms checked:
//  - raw list: the state comes back byte for byte (records are kept as
//    bytes). Walking its records and appending them to a new raw list gives
//    each record's canonical form (unspecified marks and boolean bytes
//    written as 0 or 1, nested list bytes kept as read); walking that list
//    again reproduces it exactly.
//  - indexed list: its state is "ABIL", "ABRL" and the records in identifier
//    order, each in its canonical form. Importing that state and encoding
//    again gives the same bytes (a fixed point after one pass).
//  - name spaces: "ABNS", the library's own version, then the inner
//    indexed list's canonical state; a second pass gives the same bytes.
// Each import starts on a filled object; a failed import must leave it
// exactly as it was. The typed getters and collections are read on every
// accepted list, with nested collections followed to a bounded depth.
//
// Inputs that open with the raw-list mark are also tried behind the indexed
// and name-spaces headers, so every seed reaches all three decoders.
// Failures are ZelvoExceptions; anything else escapes and ends the run.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "w4util/attributes/AttributeBytesIndexedList.h"
#include "w4util/attributes/AttributeBytesNameSpaces.h"
#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/errors/ZelvoException.h"

namespace {

void Check(bool ok) {
  if (!ok) {
    __builtin_trap();
  }
}

bool Same(const ByteBuffer& a, const ByteBuffer& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

bool Same(const ByteBuffer& a, const unsigned char* b, std::size_t n) {
  return a.size() == n && (n == 0 || std::memcmp(a.data(), b, n) == 0);
}

AttributeBytesIndexedList FilledList() {
  AttributeBytesIndexedList list;
  list.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(1), AttributeBytesIntegerValue(7, true)));
  return list;
}

constexpr int kMaxCollectionDepth = 8;

void ReadEverything(const AttributeBytesIndexedList& list, int depth) {
  for (auto it = list.GetIndexedListIterator(); list.IsValidIndexedListIterator(it);
       list.IncrementIndexedListIterator(it)) {
    const AttributeBytesId& id = list.GetAttributeBytesRefFromIndexedListIterator(it).GetAttributeBytesId();
    bool specified = false;
    CXString name;
    list.GetOptionValueOrNewIdByAnyId(id, name, &specified);
    list.GetNewOptionValueId(id, &specified);
    if (id.GetAttributeBytesIdType() == AttributeBytesId::ABIDE_FEATURE) {
      const auto& feature = static_cast<const AttributeBytesFeatureId&>(id);
      list.GetIntegerValue(feature, &specified);
      list.GetStringValue(feature, &specified);
      list.GetBooleanValue(feature, &specified);
      std::int32_t low = 0;
      std::int32_t high = 0;
      list.GetRangeOfIntegerValue(feature, low, high, &specified);
      list.GetDimensionValue(feature, &specified);
      ByteBuffer blob;
      list.GetDataBlobValue(feature, blob, &specified);
      list.GetDateTimeValue(feature, &specified);
      Dimension width;
      Dimension height;
      try {
        list.GetPaperSizeValues(feature, width, height, &specified);
      } catch (const ZelvoException&) {
      }
    }
    if (depth < kMaxCollectionDepth) {
      AttributeBytesIndexedList collection = FilledList();
      const ByteBuffer before = collection.GetAttributeBytesIndexedListState();
      try {
        if (list.GetCollection(id, collection)) {
          ReadEverything(collection, depth + 1);
        } else {
          Check(Same(collection.GetAttributeBytesIndexedListState(), before));
        }
      } catch (const ZelvoException&) {
        Check(Same(collection.GetAttributeBytesIndexedListState(), before));
      }
    }
  }
  Check(list.GetListOfValues().size() == list.GetNumberOfAttributeBytes());
  list.GetListOfFeatures();
}

// Walks every reachable record of raw into a new raw list.
AttributeBytesRawList Rewalk(const AttributeBytesRawList& raw, bool& complete) {
  AttributeBytesRawList out;
  complete = true;
  AttributeBytesRawListIterator it = raw.GetRawListIterator();
  try {
    while (raw.IsValidRawListIterator(it)) {
      SharedPtr<AttributeBytes> record = raw.GetNextAttributeBytesFromRawListIterator(it);
      out.AddAttributeBytes(record);
    }
  } catch (const ZelvoException&) {
    complete = false;
  }
  return out;
}

void FuzzRaw(const unsigned char* data, std::size_t size) {
  AttributeBytesRawList raw;
  try {
    raw.ImportAttributeBytesRawListState(data, static_cast<std::uint32_t>(size));
  } catch (const ZelvoException&) {
    Check(raw.IsEmpty());
    return;
  }
  Check(Same(raw.GetAttributeBytesRawListState(), data, size));
  try {
    raw.ValidateRecords();
  } catch (const ZelvoException&) {
  }
  bool complete = false;
  const AttributeBytesRawList once = Rewalk(raw, complete);
  if (complete) {
    bool again = false;
    const AttributeBytesRawList twice = Rewalk(once, again);
    Check(again && twice == once);
  }
}

void FuzzIndexed(const unsigned char* data, std::size_t size) {
  AttributeBytesIndexedList list = FilledList();
  const ByteBuffer before = list.GetAttributeBytesIndexedListState();
  try {
    list.ImportAttributeBytesIndexedListState(data, static_cast<std::uint32_t>(size));
  } catch (const ZelvoException&) {
    Check(Same(list.GetAttributeBytesIndexedListState(), before));
    return;
  }
  const ByteBuffer first = list.GetAttributeBytesIndexedListState();
  const AttributeBytesIndexedList again(first);
  Check(again.GetNumberOfAttributeBytes() == list.GetNumberOfAttributeBytes());
  Check(Same(again.GetAttributeBytesIndexedListState(), first));
  ReadEverything(list, 0);
}

void FuzzNameSpaces(const unsigned char* data, std::size_t size) {
  AttributeBytesNameSpaces spaces;
  AttributeBytesRawList filler;
  filler.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(1), AttributeBytesIntegerValue(7, true)));
  spaces.SetNameSpaceAttributes(AttributeBytesNameSpacesId(1), filler);
  const ByteBuffer before = spaces.GetAttributeBytesNameSpacesState();
  try {
    spaces.ImportAttributeBytesNameSpacesState(data, static_cast<std::uint32_t>(size));
  } catch (const ZelvoException&) {
    Check(Same(spaces.GetAttributeBytesNameSpacesState(), before));
    return;
  }
  const ByteBuffer first = spaces.GetAttributeBytesNameSpacesState();
  DriverVersion version;
  const AttributeBytesNameSpaces again(first, &version);
  Check(version == DriverVersion::GetLibraryVersion());
  Check(Same(again.GetAttributeBytesNameSpacesState(), first));
  for (std::uint32_t i = 0; i < spaces.GetNumberOfNameSpaces(); ++i) {
    AttributeBytesRawList raw;
    try {
      spaces.GetNameSpaceByIndex(i, raw);
    } catch (const ZelvoException&) {
      continue;  // a name-space record without a list
    }
    AttributeBytesIndexedList inner;
    try {
      inner.ImportFromRawList(raw);
    } catch (const ZelvoException&) {
      continue;
    }
    ReadEverything(inner, 0);
  }
}

// A heap block of exactly the bytes' size, so ASan sees overreads.
std::vector<unsigned char> Exact(const unsigned char* prefix, std::size_t prefixSize, const std::uint8_t* data,
                                 std::size_t size) {
  std::vector<unsigned char> bytes;
  bytes.reserve(prefixSize + size);
  bytes.insert(bytes.end(), prefix, prefix + prefixSize);
  bytes.insert(bytes.end(), data, data + size);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<unsigned char> bytes = Exact(nullptr, 0, data, size);
  FuzzRaw(bytes.data(), bytes.size());
  FuzzIndexed(bytes.data(), bytes.size());
  FuzzNameSpaces(bytes.data(), bytes.size());
  static const unsigned char kRawMark[] = {0x41, 0x42, 0x52, 0x4C};
  if (size >= 4 && std::memcmp(data, kRawMark, 4) == 0) {
    static const unsigned char kIndexedHeader[] = {0x41, 0x42, 0x49, 0x4C};
    static const unsigned char kNameSpacesHeader[] = {0x41, 0x42, 0x4E, 0x53, 0x41, 0x14, 0x35, 0x08,
                                                      0x00, 0x00, 0x00, 0x00, 0x41, 0x42, 0x49, 0x4C};
    const std::vector<unsigned char> indexed = Exact(kIndexedHeader, sizeof kIndexedHeader, data, size);
    FuzzIndexed(indexed.data(), indexed.size());
    const std::vector<unsigned char> spaces = Exact(kNameSpacesHeader, sizeof kNameSpacesHeader, data, size);
    FuzzNameSpaces(spaces.data(), spaces.size());
  }
  return 0;
}
