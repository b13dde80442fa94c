// Restores arbitrary bytes as a bare cabinet image through the in-memory
// contexts. Any outcome but a crash, a sanitizer report or unbounded memory
// is fine.
//
// Mutations rarely keep a data block's checksum, which would stop most
// inputs early, so each input is also tried with the checksums of its first
// folder's blocks set to 0 (not checked).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "w4util/compression/CabCompressedBuffer.h"
#include "w4util/errors/ZelvoException.h"

namespace {

std::uint32_t Le(const ByteBuffer& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

bool ClearChecksums(ByteBuffer& c) {
  if (c.size() < 44 || std::memcmp(c.data(), "MSCF", 4) != 0 || (Le(c, 30, 2) & 4) != 0) return false;
  std::uint64_t pos = Le(c, 36, 4);
  const std::uint32_t blocks = Le(c, 40, 2);
  bool cleared = false;
  for (std::uint32_t i = 0; i < blocks && pos + 8 <= c.size(); ++i) {
    if (Le(c, static_cast<std::size_t>(pos), 4) != 0) cleared = true;
    std::memset(&c[static_cast<std::size_t>(pos)], 0, 4);
    pos += 8 + Le(c, static_cast<std::size_t>(pos) + 4, 2);
  }
  return cleared;
}

void Restore(const ByteBuffer& cabinet) {
  try {
    ByteBuffer out;
    CabCompressedBuffer::UncompressBuffer(cabinet, out);
  } catch (const ZelvoException&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteBuffer cabinet;
  cabinet.assign(data, data + size);
  Restore(cabinet);
  if (ClearChecksums(cabinet)) Restore(cabinet);
  return 0;
}
