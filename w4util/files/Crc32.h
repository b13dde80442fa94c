// Crc32: the CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320), the
// value zlib's crc32 computes; the ASCII digits 1 to 9 give 0xCBF43926.
//
// The register starts at `initial` and the result is its complement, so
// GetCrc(b, n, ~GetCrc(a, m)) continues a CRC over a then b. Stateless and
// thread-safe.
#pragma once

#include <cstdint>

#include "w4util/Export.h"

class W4UTIL_EXPORT Crc32 {
 public:
  static constexpr std::uint32_t kInitial = 0xFFFFFFFF;

  // Reads exactly length bytes at data (none when length is 0).
  static std::uint32_t GetCrc(unsigned char* const data, std::uint32_t length, std::uint32_t initial);
  static std::uint32_t GetCrc(unsigned char* const data, std::uint32_t length) {
    return GetCrc(data, length, kInitial);
  }
};
