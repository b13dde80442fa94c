#include "w4util/files/Crc32.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <random>
#include <vector>

namespace {

TEST(Crc32, CheckValueAndZlibAgreement) {
  unsigned char digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc32::GetCrc(digits, 9), 0xCBF43926u);
  EXPECT_EQ(Crc32::GetCrc(nullptr, 0), 0u);
  std::mt19937 random(1);
  for (std::uint32_t n : {1u, 3u, 255u, 4096u, 100003u}) {
    std::vector<unsigned char> bytes(n);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    EXPECT_EQ(Crc32::GetCrc(bytes.data(), n), ::crc32(0, bytes.data(), n)) << n;
    // The register's start value continues a CRC over a split block.
    const std::uint32_t head = Crc32::GetCrc(bytes.data(), n / 2);
    EXPECT_EQ(Crc32::GetCrc(bytes.data() + n / 2, n - n / 2, ~head), Crc32::GetCrc(bytes.data(), n)) << n;
  }
}

}  // namespace
