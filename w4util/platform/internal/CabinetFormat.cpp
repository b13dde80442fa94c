#include "w4util/platform/internal/CabinetFormat.h"

namespace w4util_platform_internal {

std::uint32_t CabChecksum(const unsigned char* data, std::size_t size, std::uint32_t seed) {
  std::uint32_t sum = seed;
  std::size_t words = size / 4;
  while (words-- > 0) {
    sum ^= LoadLe32(data);
    data += 4;
  }
  std::uint32_t tail = 0;
  switch (size % 4) {
    case 3: tail |= static_cast<std::uint32_t>(*data++) << 16; [[fallthrough]];
    case 2: tail |= static_cast<std::uint32_t>(*data++) << 8; [[fallthrough]];
    case 1: tail |= *data; break;
    default: break;
  }
  return sum ^ tail;
}

std::uint32_t CabDataBlockChecksum(const unsigned char* header, const unsigned char* reserve,
                                   std::uint32_t reserveSize, const unsigned char* data,
                                   std::uint32_t dataSize) {
  unsigned char tail[4 + kMaxDataReserve];
  if (reserveSize > kMaxDataReserve) reserveSize = kMaxDataReserve;
  std::memcpy(tail, header + 4, 4);
  if (reserveSize != 0) std::memcpy(tail + 4, reserve, reserveSize);
  return CabChecksum(tail, 4 + reserveSize, CabChecksum(data, dataSize, 0));
}

}  // namespace w4util_platform_internal
