// Checksum: the 16-bit ones'-complement checksum of a byte block (little-
// endian words, the length folded in). Stateless and thread-safe.
#pragma once

#include <cstdint>

#include "w4util/Export.h"

class W4UTIL_EXPORT Checksum {
 public:
  // Reads exactly length bytes at data (none when length is 0).
  static std::uint16_t GetChecksum(unsigned char* const data, std::uint32_t length);
};
