#include "w4util/foundation/Checksum.h"

std::uint16_t Checksum::GetChecksum(unsigned char* const data, std::uint32_t length) {
  // 32-bit on purpose: stored checksums of blocks above 128 KiB were made
  // with this wrap-around, and must still compare equal.
  std::uint32_t s = 0;
  const std::uint32_t words = length / 2;
  for (std::uint32_t i = 0; i < words; ++i) {
    s += std::uint32_t{data[2 * i]} + 256u * std::uint32_t{data[2 * i + 1]};
  }
  if ((length & 1) != 0) s += data[length - 1];
  s += length;
  while (s >= 0x10000) s = (s & 0xFFFF) + (s >> 16);
  return static_cast<std::uint16_t>(~s & 0xFFFF);
}
