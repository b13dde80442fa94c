#include "w4util/foundation/Checksum.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Checksum, KnownValues) {
  unsigned char abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(Checksum::GetChecksum(nullptr, 0), 0xFFFF);
  EXPECT_EQ(Checksum::GetChecksum(abc, 3), 0x9D38);
  EXPECT_EQ(Checksum::GetChecksum(abc, 2), 0x9D9C);
}

TEST(Checksum, ReadsNoByteBeyondTheLength) {
  // An odd length ends on a single byte; the guard byte after it must not count.
  std::vector<unsigned char> bytes = {0x01, 0x02, 0x03, 0xEE};
  EXPECT_EQ(Checksum::GetChecksum(bytes.data(), 3), static_cast<std::uint16_t>(~(0x0201u + 0x03u + 3u)));
  // Carries fold back in: 0xFFFF + 0xFFFF + length 4.
  std::vector<unsigned char> ones = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(Checksum::GetChecksum(ones.data(), 4), static_cast<std::uint16_t>(~0x0004u));
}

}  // namespace
