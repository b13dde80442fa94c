// The 8-byte driver version wire form: a short buffer throws and leaves the
// cursor; otherwise each version read writes back as the same bytes and
// survives its long form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/foundation/DriverVersion.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  std::vector<unsigned char> bytes(data, data + size);
  unsigned char* cursor = bytes.data();
  unsigned int left = static_cast<unsigned int>(bytes.size());
  DriverVersion previous;
  for (;;) {
    unsigned char* const before = cursor;
    const unsigned int leftBefore = left;
    if (left < DriverVersion::kWireSize) {
      bool threw = false;
      try {
        DriverVersion::WalkBufferToGetDriverVersion(cursor, left);
      } catch (const ExceptionNotEnoughBytesForDesiredDataType&) {
        threw = true;
      }
      Check(threw && cursor == before && left == leftBefore);
      break;
    }
    const DriverVersion version = DriverVersion::WalkBufferToGetDriverVersion(cursor, left);
    Check(cursor == before + 8 && left == leftBefore - 8);
    const ByteBuffer wire = version.GetVersionAsByteBuffer();
    Check(wire.size() == 8 && std::memcmp(wire.data(), before, 8) == 0);
    std::int32_t high = 0;
    std::int32_t low = 0;
    version.GetLongComponents(high, low);
    Check(DriverVersion(high, low) == version);
    Check(!(version < version));
    Check((previous < version) + (version < previous) + (previous == version) == 1);
    Check(!version.GetVersionDisplayString().IsEmpty() &&
          !version.GetDumpDisplayString().IsEmpty());
    previous = version;
  }
  return 0;
}
