#include "w4util/foundation/Base64.h"

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

namespace ZelvoUtilities {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::int32_t kGroupsPerLine = 19;  // 76 characters

int DecodeChar(char16_t ch) {
  if (ch >= u'A' && ch <= u'Z') return ch - u'A';
  if (ch >= u'a' && ch <= u'z') return ch - u'a' + 26;
  if (ch >= u'0' && ch <= u'9') return ch - u'0' + 52;
  if (ch == u'+') return 62;
  if (ch == u'/') return 63;
  return -1;
}

}  // namespace

std::int32_t Base64EncodeGetRequiredLength(std::int32_t byteCount, std::uint32_t flags) {
  const std::int64_t n = byteCount;
  if (n < 0 || 4 * n > 2147483647) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidArgument, "ZelvoUtilities::Base64EncodeGetRequiredLength");
  }
  std::int64_t r = 4 * n / 3;
  if ((flags & kBase64NoPad) == 0) r += n % 3;
  const std::int64_t lines = r / 76 + 1;
  if ((r % 76) % 4 != 0) r += 4 - (r % 76) % 4;
  if ((flags & kBase64NoCrLf) == 0) r += 2 * lines;
  return static_cast<std::int32_t>(r);
}

std::int32_t Base64Encode(const unsigned char* data, std::int32_t byteCount, char16_t* out,
                          std::int32_t* outLength, std::uint32_t flags) {
  if (data == nullptr || out == nullptr || outLength == nullptr || byteCount < 0) return 0;
  if (*outLength < Base64EncodeGetRequiredLength(byteCount, flags)) return 0;
  const bool lineBreaks = (flags & kBase64NoCrLf) == 0;
  const std::int32_t groups = byteCount / 3;
  char16_t* p = out;
  const unsigned char* in = data;
  for (std::int32_t g = 0; g < groups; ++g, in += 3) {
    const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    *p++ = static_cast<char16_t>(kAlphabet[(v >> 18) & 63]);
    *p++ = static_cast<char16_t>(kAlphabet[(v >> 12) & 63]);
    *p++ = static_cast<char16_t>(kAlphabet[(v >> 6) & 63]);
    *p++ = static_cast<char16_t>(kAlphabet[v & 63]);
    if (lineBreaks && (g + 1) % kGroupsPerLine == 0) {
      *p++ = u'\r';
      *p++ = u'\n';
    }
  }
  const std::int32_t rest = byteCount % 3;
  if (rest != 0) {
    std::uint32_t v = std::uint32_t{in[0]} << 16;
    if (rest == 2) v |= std::uint32_t{in[1]} << 8;
    *p++ = static_cast<char16_t>(kAlphabet[(v >> 18) & 63]);
    *p++ = static_cast<char16_t>(kAlphabet[(v >> 12) & 63]);
    if (rest == 2) *p++ = static_cast<char16_t>(kAlphabet[(v >> 6) & 63]);
    if ((flags & kBase64NoPad) == 0) {
      for (std::int32_t i = rest + 1; i < 4; ++i) *p++ = u'=';
    }
  }
  *outLength = static_cast<std::int32_t>(p - out);
  return 1;
}

std::int32_t Base64DecodeGetRequiredLength(std::int32_t charCount) { return charCount; }

std::int32_t Base64Decode(const char16_t* text, std::int32_t charCount, unsigned char* out,
                          std::int32_t* outLength) {
  if (text == nullptr || outLength == nullptr) return 0;
  if (charCount <= 0 || text[0] == 0) {
    *outLength = 0;
    return out != nullptr ? 1 : 0;
  }
  const std::int64_t room = *outLength;
  bool overflow = out == nullptr;
  std::int64_t written = 0;
  std::int32_t i = 0;
  bool ended = false;
  while (!ended && i < charCount) {
    std::uint32_t value = 0;
    int bits = 0;
    while (bits < 24 && i < charCount) {
      const char16_t ch = text[i];
      if (ch == 0) {
        ended = true;
        break;
      }
      ++i;
      const int digit = DecodeChar(ch);
      if (digit < 0) continue;
      value = (value << 6) | static_cast<std::uint32_t>(digit);
      bits += 6;
    }
    const int bytes = bits / 8;
    if (!overflow && written + bytes > room) overflow = true;
    value <<= 24 - bits;
    for (int b = 0; b < bytes; ++b, ++written) {
      if (!overflow) out[written] = static_cast<unsigned char>((value >> (16 - 8 * b)) & 0xFF);
    }
  }
  *outLength = static_cast<std::int32_t>(written);
  return overflow ? 0 : 1;
}

}  // namespace ZelvoUtilities
