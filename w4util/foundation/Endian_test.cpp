#include "w4util/foundation/Endian.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Both orders over one unaligned position, so that neither relies on the
// host's order or on alignment.
TEST(Endian, StoreAndLoadBothOrders) {
  unsigned char area[9] = {};
  unsigned char* p = area + 1;

  w4util::little_endian::Store64(p, 0x0102030405060708ULL);
  EXPECT_EQ(Bytes(p, p + 8), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(w4util::little_endian::Load64(p), 0x0102030405060708ULL);
  EXPECT_EQ(w4util::little_endian::Load32(p), 0x05060708u);
  EXPECT_EQ(w4util::little_endian::Load16(p), 0x0708u);
  EXPECT_EQ(w4util::big_endian::Load64(p), 0x0807060504030201ULL);

  w4util::big_endian::Store32(p, 0x01020304u);
  EXPECT_EQ(Bytes(p, p + 4), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(w4util::big_endian::Load32(p), 0x01020304u);
  EXPECT_EQ(w4util::little_endian::Load32(p), 0x04030201u);

  w4util::big_endian::Store16(p, 0xABCD);
  w4util::little_endian::Store16(p + 2, 0xABCD);
  EXPECT_EQ(Bytes(p, p + 4), (Bytes{0xAB, 0xCD, 0xCD, 0xAB}));
  EXPECT_EQ(w4util::big_endian::Load16(p), 0xABCD);

  w4util::big_endian::Store64(p, 0x0102030405060708ULL);
  EXPECT_EQ(Bytes(p, p + 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  w4util::little_endian::Store32(p, 0xFFFFFFFEu);
  EXPECT_EQ(Bytes(p, p + 4), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
