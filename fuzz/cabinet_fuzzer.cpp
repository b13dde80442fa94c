// Extracts arbitrary bytes as a cabinet into memory. Every outcome is fine
// except a crash, a sanitizer report or unbounded memory.
#include <cstddef>
#include <cstdint>

#include "w4util/platform/internal/CabinetTestSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace w4util_platform_internal;
  const CabBytes cabinet(data, data + size);
  CabinetErf erf;
  std::vector<CabEntry> entries;
  ExtractTestCabinet(cabinet, entries, erf, 0);

  CabinetMemoryFiles files;
  files.SetFile("c", cabinet);
  if (auto fdi = CabinetDecompressor::Create(erf, files)) {
    std::int32_t error = 0;
    const CabHandle handle = files.Open("c", kCabOpenReadOnly, 0, error);
    FdiCabinetInfo info;
    fdi->IsCabinet(handle, info);
    files.Close(handle, error);
  }
  return 0;
}
