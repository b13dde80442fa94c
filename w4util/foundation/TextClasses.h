// Character classes of the wide string: case mapping and whitespace on single
// UTF-16 units, from our own tables so that results never depend on the
// process locale. Case mapping covers ASCII, Latin-1, Latin Extended-A, basic
// Greek and Cyrillic (the scripts of the ANSI code pages we meet); other
// units map to themselves. Whitespace is the Unicode White_Space set of the
// Basic Multilingual Plane. Pure functions, thread-safe.
#pragma once

#include <cstdint>

namespace w4text {

constexpr char16_t ToUpper(char16_t c) noexcept {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if (c < 0x100) {
    if (c == 0xFF) return 0x178;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    return c;
  }
  if (c >= 0x100 && c <= 0x17F) {
    // Alternating pairs, upper case first, except the stretches that pair
    // odd-upper (U+0139-U+0148, U+0179-U+017E).
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
      return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
    }
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c % 2 == 1) ? static_cast<char16_t>(c - 1) : c;
  }
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (c >= 0x3B1 && c <= 0x3C9) return static_cast<char16_t>(c - 32);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
  return c;
}

constexpr char16_t ToLower(char16_t c) noexcept {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  if (c < 0x100) {
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    return c;
  }
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F) {
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
      return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
    }
    if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 32);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  return c;
}

// The folding used by case-insensitive comparison.
constexpr char16_t FoldCase(char16_t c) noexcept { return ToLower(c); }

constexpr bool IsSpace(char16_t c) noexcept {
  if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
  if (c < 0x85) return false;
  return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
         c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace w4text
