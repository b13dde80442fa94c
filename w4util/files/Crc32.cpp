#include "w4util/files/Crc32.h"

#include <zlib.h>

std::uint32_t Crc32::GetCrc(unsigned char* const data, std::uint32_t length, std::uint32_t initial) {
  if (length == 0) return ~initial;
  // zlib complements on entry and exit; its argument is the previous result.
  return static_cast<std::uint32_t>(::crc32_z(~initial & 0xFFFFFFFFul, data, length));
}
