// Base64 of the standard alphabet (A-Z a-z 0-9 + /), encoded as UTF-16
// characters, with the host's line-break and padding conventions.
//
// Encoding writes CR LF after every run of 19 full groups (76 characters);
// a final group of one or two bytes follows the full groups directly, padded
// with "=" to four characters. Flags: kBase64NoPad (1) drops the padding,
// kBase64NoCrLf (2) the line breaks. Decoding skips every character outside
// the alphabet (line breaks and "=" included) and stops at a 0 character.
//
// Both directions read and write only inside the lengths given. Stateless and
// thread-safe.
#pragma once

#include <cstdint>

#include "w4util/Export.h"

namespace ZelvoUtilities {

inline constexpr std::uint32_t kBase64NoPad = 1;
inline constexpr std::uint32_t kBase64NoCrLf = 2;

// The characters Base64Encode needs for byteCount bytes, a generous bound.
// Throws ExceptionInvalidArgument (empty message) when byteCount is
// negative or its fourfold exceeds 2,147,483,647.
W4UTIL_EXPORT std::int32_t Base64EncodeGetRequiredLength(std::int32_t byteCount, std::uint32_t flags);

// 0 when a pointer is null, byteCount is negative or *outLength is below the
// required length; else writes the text (no terminator), sets *outLength to
// its characters and returns 1.
W4UTIL_EXPORT std::int32_t Base64Encode(const unsigned char* data, std::int32_t byteCount, char16_t* out,
                                        std::int32_t* outLength, std::uint32_t flags);

// Its argument: never fewer bytes than characters are needed.
W4UTIL_EXPORT std::int32_t Base64DecodeGetRequiredLength(std::int32_t charCount);

// Decodes up to charCount characters. Sets *outLength to the bytes the text
// holds; writes them to out only while they fit. Returns 1 when out was given
// and held them all, else 0 (also when text or outLength is null). An empty
// text gives length 0 and returns 1 when out was given.
W4UTIL_EXPORT std::int32_t Base64Decode(const char16_t* text, std::int32_t charCount, unsigned char* out,
                                        std::int32_t* outLength);

}  // namespace ZelvoUtilities
