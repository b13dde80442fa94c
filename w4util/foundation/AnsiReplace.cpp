#include "w4util/foundation/AnsiReplace.h"

#include <cstring>

namespace ZelvoUtilities {

std::uint32_t ReplaceAllOccurrencesOfAnsiStringAndAppendToByteBuffer(const char* source, std::uint32_t length,
                                                                     const char* find, const char* replacement,
                                                                     ByteBuffer& out) {
  if (source == nullptr || length == 0) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(source);
  if (find == nullptr || replacement == nullptr || *find == '\0') {
    out.appendLpbyte(bytes, length);
    return 0;
  }
  const std::size_t findLength = std::strlen(find);
  const std::uint32_t replacementLength = static_cast<std::uint32_t>(std::strlen(replacement));
  std::uint32_t count = 0;
  std::uint32_t pos = 0;
  while (pos < length) {
    const char* hit = SafeStrStrA(source + pos, find, length - pos);
    if (hit == nullptr) break;
    const auto at = static_cast<std::uint32_t>(hit - source);
    out.appendLpbyte(bytes + pos, at - pos);
    out.appendLpbyte(reinterpret_cast<const unsigned char*>(replacement), replacementLength);
    pos = at + static_cast<std::uint32_t>(findLength);
    ++count;
  }
  out.appendLpbyte(bytes + pos, length - pos);
  return count;
}

}  // namespace ZelvoUtilities
