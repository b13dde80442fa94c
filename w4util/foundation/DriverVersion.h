// DriverVersion: a four-part driver version, four unsigned 16-bit words w0 to
// w3, most significant first.
//
// Forms: the long form is two signed 32-bit values (high = w0:w1, low =
// w2:w3); the 8-byte wire form is the four words as little-endian Words, w0
// first; the display form has seven parts, "w0/1000.w0%1000.w1/100.w1%100.
// w2/100.w2%100.w3/100" (w3 % 100 is not shown), so 5185.2101.0.0 displays as
// 5.185.21.1.0.0.0.
//
// A plain value: copyable, no sharing.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT DriverVersion {
 public:
  // The size of the wire form.
  static constexpr unsigned int kWireSize = 8;

  DriverVersion() = default;
  DriverVersion(std::uint16_t w0, std::uint16_t w1, std::uint16_t w2, std::uint16_t w3)
      : m_w0(w0), m_w1(w1), m_w2(w2), m_w3(w3) {}
  DriverVersion(std::int32_t high, std::int32_t low);
  DriverVersion(const DriverVersion& other) = default;
  DriverVersion& operator=(const DriverVersion& other) = default;

  // The version of this library (5185.2101.0.0 in this release), the one its
  // persisted states carry.
  static DriverVersion GetLibraryVersion();

  void GetWordComponents(std::uint16_t& w0, std::uint16_t& w1, std::uint16_t& w2,
                         std::uint16_t& w3) const;
  void GetLongComponents(std::int32_t& high, std::int32_t& low) const;

  // The 8-byte wire form.
  ByteBuffer GetVersionAsByteBuffer() const;
  // Reads the wire form and advances the cursor by 8. Throws
  // ExceptionNotEnoughBytesForDesiredDataType (cursor and left unchanged)
  // when fewer than 8 bytes are left.
  static DriverVersion WalkBufferToGetDriverVersion(unsigned char*& cursor, unsigned int& left);

  // w0, then w1, w2, w3, as unsigned numbers.
  bool operator<(const DriverVersion& other) const;
  bool operator==(const DriverVersion& other) const;
  bool operator!=(const DriverVersion& other) const { return !(*this == other); }

  CXString GetVersionDisplayString() const;
  // "<display> [w0, w1, w2, w3 (0xw0, 0xw1, 0xw2, 0xw3)]".
  CXString GetDumpDisplayString() const;

 private:
  std::uint16_t m_w0 = 0;
  std::uint16_t m_w1 = 0;
  std::uint16_t m_w2 = 0;
  std::uint16_t m_w3 = 0;
};
