// UTF-8 <-> UTF-16 conversions that hand their result over as bytes.
//
// Neither conversion fails on bad input: each unpaired surrogate becomes
// U+FFFD, and so does each maximal ill-formed subsequence of UTF-8 (the
// Unicode recommended practice, the same result as Python's "replace"
// handler). Well-formed text, non-BMP characters included, converts
// losslessly both ways. Only a null pointer gives an empty buffer.
// Stateless and thread-safe; the returned buffers belong to the caller.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"

namespace ZelvoUtilities {

// The UTF-8 bytes of count UTF-16 units; no terminator is added.
W4UTIL_EXPORT ByteBuffer UTF8_Encode(const char16_t* text, std::uint32_t count);

// The UTF-16LE bytes of count UTF-8 bytes. A one-character text, an ASCII
// byte followed by a 0 byte, gives that character and one 0 unit (4 bytes)
// whatever follows; a count below 2 never takes that path.
W4UTIL_EXPORT ByteBuffer UTF8_Decode(const char* text, std::uint32_t count);

}  // namespace ZelvoUtilities
