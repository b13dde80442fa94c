// Loads arbitrary bytes as a persisted compressed-buffer state (any footer
// layout, legacy zlib data included) and restores it. Any outcome but a
// crash, a sanitizer report or unbounded memory is fine; a failed load must
// leave the input untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "w4util/compression/CabCompressedBuffer.h"
#include "w4util/errors/ZelvoException.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteBuffer state;
  state.assign(data, data + size);
  ByteBuffer buffer = state;
  if (!CabCompressedBuffer::TryToUncompressStateData(buffer) && buffer != state) std::abort();
  try {
    auto loaded = CabCompressedBuffer::CreateWithBufferState(state);
    ByteBuffer out;
    loaded->GetOriginalData(out);
    if (out.size() != loaded->GetOriginalDataSize()) std::abort();
    // A state that restored must load again from its rewritten form.
    auto again = CabCompressedBuffer::CreateWithBufferState(loaded->GetCompressedBufferState());
    ByteBuffer out2;
    again->GetOriginalData(out2);
    if (out2 != out) std::abort();
  } catch (const ZelvoException&) {
  }
  return 0;
}
