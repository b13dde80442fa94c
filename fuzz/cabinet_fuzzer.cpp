// Extracts arbitrary bytes as a cabinet into memory. Every outcome is fine
// except a crash, a sanitizer report or unbounded memory.
//
// Mutated blocks almost never keep a valid checksum, which would stop most
// inputs before the decoder; so each input is tried once as it is and once
// with every data block checksum it can find set to 0 (not checked).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "w4util/platform/internal/CabinetFormat.h"
#include "w4util/platform/internal/CabinetTestSupport.h"

namespace {

using namespace w4util_platform_internal;

// Returns true when a checksum was cleared.
bool ClearChecksums(CabBytes& c) {
  const std::uint64_t size = c.size();
  if (size < kCfHeaderSize || std::memcmp(c.data(), kCabSignature, 4) != 0) return false;
  const std::uint16_t folders = LoadLe16(&c[26]);
  const std::uint16_t flags = LoadLe16(&c[30]);
  std::uint64_t pos = kCfHeaderSize;
  std::uint32_t folderReserve = 0;
  std::uint32_t dataReserve = 0;
  if ((flags & kFlagReservePresent) != 0) {
    if (pos + 4 > size) return false;
    const std::uint32_t headerReserve = LoadLe16(&c[pos]);
    folderReserve = c[pos + 2];
    dataReserve = c[pos + 3];
    pos += 4 + headerReserve;
  }
  const int names = ((flags & kFlagPrevCabinet) != 0 ? 2 : 0) + ((flags & kFlagNextCabinet) != 0 ? 2 : 0);
  for (int i = 0; i < names; ++i) {
    while (pos < size && c[pos] != 0) ++pos;
    ++pos;
  }
  bool cleared = false;
  for (std::uint32_t f = 0; f < folders && pos + kCfFolderSize <= size; ++f) {
    std::uint64_t at = LoadLe32(&c[pos]);
    const std::uint16_t blocks = LoadLe16(&c[pos + 4]);
    for (std::uint32_t b = 0; b < blocks && at + kCfDataSize <= size; ++b) {
      if (LoadLe32(&c[at]) != 0) {
        StoreLe32(&c[at], 0);
        cleared = true;
      }
      at += kCfDataSize + dataReserve + LoadLe16(&c[at + 4]);
    }
    pos += kCfFolderSize + folderReserve;
  }
  return cleared;
}

void Extract(const CabBytes& cabinet) {
  CabinetErf erf;
  std::vector<CabEntry> entries;
  ExtractTestCabinet(cabinet, entries, erf, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CabBytes cabinet(data, data + size);
  Extract(cabinet);

  CabinetMemoryFiles files;
  files.SetFile("c", cabinet);
  CabinetErf erf;
  if (auto fdi = CabinetDecompressor::Create(erf, files)) {
    std::int32_t error = 0;
    const CabHandle handle = files.Open("c", kCabOpenReadOnly, 0, error);
    FdiCabinetInfo info;
    fdi->IsCabinet(handle, info);
    files.Close(handle, error);
  }

  if (ClearChecksums(cabinet)) Extract(cabinet);
  return 0;
}
