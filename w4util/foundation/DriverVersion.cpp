#include "w4util/foundation/DriverVersion.h"

#include <tuple>

#include "w4util/Version.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

DriverVersion::DriverVersion(std::int32_t high, std::int32_t low)
    : m_w0(static_cast<std::uint16_t>(static_cast<std::uint32_t>(high) >> 16)),
      m_w1(static_cast<std::uint16_t>(static_cast<std::uint32_t>(high) & 0xFFFF)),
      m_w2(static_cast<std::uint16_t>(static_cast<std::uint32_t>(low) >> 16)),
      m_w3(static_cast<std::uint16_t>(static_cast<std::uint32_t>(low) & 0xFFFF)) {}

DriverVersion DriverVersion::GetLibraryVersion() {
  return DriverVersion(W4UTIL_VERSION_MAJOR, W4UTIL_VERSION_MINOR, W4UTIL_VERSION_PATCH, 0);
}

void DriverVersion::GetWordComponents(std::uint16_t& w0, std::uint16_t& w1, std::uint16_t& w2,
                                      std::uint16_t& w3) const {
  w0 = m_w0;
  w1 = m_w1;
  w2 = m_w2;
  w3 = m_w3;
}

void DriverVersion::GetLongComponents(std::int32_t& high, std::int32_t& low) const {
  high = static_cast<std::int32_t>((static_cast<std::uint32_t>(m_w0) << 16) | m_w1);
  low = static_cast<std::int32_t>((static_cast<std::uint32_t>(m_w2) << 16) | m_w3);
}

ByteBuffer DriverVersion::GetVersionAsByteBuffer() const {
  ByteBuffer bytes;
  bytes.reserve(kWireSize);
  for (const std::uint16_t word : {m_w0, m_w1, m_w2, m_w3})
    bytes.append(ByteBuffer::createFromWordValue(word));
  return bytes;
}

DriverVersion DriverVersion::WalkBufferToGetDriverVersion(unsigned char*& cursor,
                                                          unsigned int& left) {
  if (left < kWireSize) {
    ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType,
                "DriverVersion::WalkBufferToGetDriverVersion", "");
  }
  DriverVersion version;
  version.m_w0 = ByteBuffer::WalkBufferToGetWord(cursor, left);
  version.m_w1 = ByteBuffer::WalkBufferToGetWord(cursor, left);
  version.m_w2 = ByteBuffer::WalkBufferToGetWord(cursor, left);
  version.m_w3 = ByteBuffer::WalkBufferToGetWord(cursor, left);
  return version;
}

bool DriverVersion::operator<(const DriverVersion& other) const {
  return std::tie(m_w0, m_w1, m_w2, m_w3) <
         std::tie(other.m_w0, other.m_w1, other.m_w2, other.m_w3);
}

bool DriverVersion::operator==(const DriverVersion& other) const {
  return m_w0 == other.m_w0 && m_w1 == other.m_w1 && m_w2 == other.m_w2 && m_w3 == other.m_w3;
}

CXString DriverVersion::GetVersionDisplayString() const {
  return ZelvoUtilities::formatString(u"%ld.%ld.%ld.%ld.%ld.%ld.%ld", std::int32_t{m_w0 / 1000},
                                      std::int32_t{m_w0 % 1000}, std::int32_t{m_w1 / 100},
                                      std::int32_t{m_w1 % 100}, std::int32_t{m_w2 / 100},
                                      std::int32_t{m_w2 % 100}, std::int32_t{m_w3 / 100});
}

CXString DriverVersion::GetDumpDisplayString() const {
  const CXString display = GetVersionDisplayString();
  return ZelvoUtilities::formatString(u"%s [%ld, %ld, %ld, %ld (0x%lx, 0x%lx, 0x%lx, 0x%lx)]",
                                      static_cast<const char16_t*>(display), std::int32_t{m_w0},
                                      std::int32_t{m_w1}, std::int32_t{m_w2}, std::int32_t{m_w3},
                                      std::uint32_t{m_w0}, std::uint32_t{m_w1}, std::uint32_t{m_w2},
                                      std::uint32_t{m_w3});
}
