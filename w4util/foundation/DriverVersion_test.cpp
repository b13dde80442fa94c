#include "w4util/foundation/DriverVersion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/foundation/internal/TestText.h"

namespace {

TEST(DriverVersion, DisplayAndWireForms) {
  const DriverVersion v(5185, 2101, 37, 1200);
  EXPECT_EQ(Ascii(v.GetVersionDisplayString()), "5.185.21.1.0.37.12");
  EXPECT_EQ(Ascii(v.GetDumpDisplayString()),
            "5.185.21.1.0.37.12 [5185, 2101, 37, 1200 (0x1441, 0x835, 0x25, 0x4b0)]");
  const ByteBuffer wire = v.GetVersionAsByteBuffer();
  EXPECT_EQ(std::vector<unsigned char>(wire.begin(), wire.end()),
            (std::vector<unsigned char>{0x41, 0x14, 0x35, 0x08, 0x25, 0x00, 0xB0, 0x04}));

  const DriverVersion library = DriverVersion::GetLibraryVersion();
  EXPECT_EQ(library, DriverVersion(5185, 2101, 0, 0));
  EXPECT_EQ(Ascii(library.GetVersionDisplayString()), "5.185.21.1.0.0.0");
  const ByteBuffer libraryWire = library.GetVersionAsByteBuffer();
  EXPECT_EQ(std::vector<unsigned char>(libraryWire.begin(), libraryWire.end()),
            (std::vector<unsigned char>{0x41, 0x14, 0x35, 0x08, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Ascii(DriverVersion().GetVersionDisplayString()), "0.0.0.0.0.0.0");
  EXPECT_EQ(Ascii(DriverVersion(65535, 65535, 65535, 65535).GetVersionDisplayString()),
            "65.535.655.35.655.35.655");
}

TEST(DriverVersion, LongAndWordComponents) {
  const DriverVersion v(0x12345678, static_cast<std::int32_t>(0x9ABCDEF0u));
  std::uint16_t w0 = 0, w1 = 0, w2 = 0, w3 = 0;
  v.GetWordComponents(w0, w1, w2, w3);
  EXPECT_EQ(w0, 0x1234);
  EXPECT_EQ(w1, 0x5678);
  EXPECT_EQ(w2, 0x9ABC);
  EXPECT_EQ(w3, 0xDEF0);
  std::int32_t high = 0, low = 0;
  v.GetLongComponents(high, low);
  EXPECT_EQ(high, 0x12345678);
  EXPECT_EQ(low, static_cast<std::int32_t>(0x9ABCDEF0u));  // negative: w2 has its top bit set
  EXPECT_EQ(DriverVersion(high, low), v);
  DriverVersion(5185, 2101, 0, 0).GetLongComponents(high, low);
  EXPECT_EQ(high, 5185 * 65536 + 2101);
  EXPECT_EQ(low, 0);
}

TEST(DriverVersion, OrderIsByWordsAsUnsigned) {
  const DriverVersion ordered[] = {
      DriverVersion(0, 0, 0, 0),
      DriverVersion(0, 0, 0, 1),
      DriverVersion(0, 0, 1, 0),
      DriverVersion(0, 1, 0, 0),
      DriverVersion(1, 0, 0, 0),
      DriverVersion(5185, 2101, 0, 0),
      DriverVersion(5185, 2101, 0, 65535),
      DriverVersion(0x8000, 0, 0, 0),
      DriverVersion(65535, 65535, 65535, 65535),
  };
  for (std::size_t i = 0; i < std::size(ordered); ++i) {
    for (std::size_t j = 0; j < std::size(ordered); ++j) {
      EXPECT_EQ(ordered[i] < ordered[j], i < j) << i << " " << j;
      EXPECT_EQ(ordered[i] == ordered[j], i == j) << i << " " << j;
    }
  }
}

TEST(DriverVersion, WalkBufferReadsEightBytes) {
  unsigned char bytes[] = {0x41, 0x14, 0x35, 0x08, 0x25, 0x00, 0xB0, 0x04, 0x99};
  unsigned char* cursor = bytes;
  unsigned int left = sizeof bytes;
  EXPECT_EQ(DriverVersion::WalkBufferToGetDriverVersion(cursor, left),
            DriverVersion(5185, 2101, 37, 1200));
  EXPECT_EQ(cursor, bytes + 8);
  EXPECT_EQ(left, 1u);
}

TEST(DriverVersion, ShortBufferThrowsAndLeavesCursor) {
  unsigned char bytes[8] = {};
  for (unsigned int available = 0; available < 8; ++available) {
    unsigned char* cursor = bytes;
    unsigned int left = available;
    try {
      DriverVersion::WalkBufferToGetDriverVersion(cursor, left);
      ADD_FAILURE() << available << " bytes were enough";
    } catch (const ExceptionNotEnoughBytesForDesiredDataType& e) {
      EXPECT_EQ(Ascii(e.GetExceptionTypeByNumericCode()), "003:000");
      EXPECT_EQ(Ascii(e.GetExceptionLocationFunctionName()),
                "DriverVersion::WalkBufferToGetDriverVersion");
      EXPECT_TRUE(e.GetExceptionMesage().IsEmpty());
    }
    EXPECT_EQ(cursor, bytes);
    EXPECT_EQ(left, available);
  }
}

}  // namespace
