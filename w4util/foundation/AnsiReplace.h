// Replace-all over narrow byte text, appending to a ByteBuffer (used to patch
// templates of page-description and job text). Stateless and thread-safe.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"

namespace ZelvoUtilities {

// Appends the length bytes at source to out with every non-overlapping
// occurrence of find replaced by replacement, searching left to right and
// never past length nor past a 0 byte of the source (bytes after a 0 byte
// are appended unchanged). Returns the number of replacements; 0, source
// appended unchanged, when find or replacement is null or find is empty.
W4UTIL_EXPORT std::uint32_t ReplaceAllOccurrencesOfAnsiStringAndAppendToByteBuffer(
    const char* source, std::uint32_t length, const char* find, const char* replacement, ByteBuffer& out);

}  // namespace ZelvoUtilities
