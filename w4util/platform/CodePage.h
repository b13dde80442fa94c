// Code-page service: narrow text in a code page <-> UTF-16, through iconv.
//
// The "ANSI code page" (CP_ACP) is Windows-1252 unless the environment
// variable W4UTIL_ANSI_CODEPAGE names another one (an iconv name such as
// "ISO-8859-15", or a Windows number such as "1250" or "65001"); it is read
// once, on first use.
//
// Conversions behave like the host's default (lenient) conversion: a byte
// the code page does not define becomes U+FFFD (in Windows-1252 the five
// undefined bytes map to the C1 controls of the same value, as the host
// does), and a UTF-16 unit the code page cannot represent (or a lone
// surrogate) becomes '?'. They fail - answer false, never throw - only when
// the code page is unknown or memory runs out. Thread-safe: each thread keeps
// its own converters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "w4util/Export.h"

namespace w4platform {

inline constexpr std::uint32_t kCodePageAnsi = 0;      // CP_ACP
inline constexpr std::uint32_t kCodePageUtf8 = 65001;  // CP_UTF8

// The iconv name of the ANSI code page, e.g. "WINDOWS-1252".
W4UTIL_EXPORT const std::string& AnsiCodePageName();

// Converts length bytes (embedded 0 bytes included) to UTF-16; out is
// replaced. False (out empty) when the code page cannot be used.
W4UTIL_EXPORT bool MultiByteToUtf16(std::uint32_t codePage, const char* text, std::size_t length,
                                    std::u16string& out) noexcept;

// Converts length UTF-16 units to narrow text; out is replaced.
W4UTIL_EXPORT bool Utf16ToMultiByte(std::uint32_t codePage, const char16_t* text, std::size_t length,
                                    std::string& out) noexcept;

}  // namespace w4platform
