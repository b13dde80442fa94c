#include "w4util/platform/RegistryCaseFold.h"

namespace w4platform {

char16_t FoldRegistryChar(char16_t c) {
  const unsigned u = c;
  if (u < 0x80) {
    return (u >= 'a' && u <= 'z') ? static_cast<char16_t>(u - 0x20) : c;
  }
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char16_t>(u - 0x20);
  if (u == 0xFF) return u'\u0178';
  if (u == 0xB5) return u'\u039C';  // micro sign folds with Greek mu
  if (u >= 0x100 && u <= 0x17F) {
    // Pairs: upper even, lower odd, except the block 0x139-0x148 and
    // 0x179-0x17E where the upper letter sits on the odd code point.
    if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E)) {
      return (u % 2 == 0) ? static_cast<char16_t>(u - 1) : c;
    }
    if (u == 0x131) return u'I';  // dotless i
    if (u == 0x17F) return u'S';  // long s
    if (u == 0x130 || u == 0x138 || u == 0x149) return c;
    return (u % 2 == 1) ? static_cast<char16_t>(u - 1) : c;
  }
  if (u >= 0x3B1 && u <= 0x3CB && u != 0x3C2) return static_cast<char16_t>(u - 0x20);
  if (u == 0x3C2) return u'\u03A3';  // final sigma
  if (u == 0x3AC) return u'\u0386';
  if (u >= 0x3AD && u <= 0x3AF) return static_cast<char16_t>(u - 0x25);
  if (u == 0x3CC) return u'\u038C';
  if (u == 0x3CD || u == 0x3CE) return static_cast<char16_t>(u - 0x3F);
  if (u >= 0x430 && u <= 0x44F) return static_cast<char16_t>(u - 0x20);
  if (u >= 0x450 && u <= 0x45F) return static_cast<char16_t>(u - 0x50);
  if (u >= 0x460 && u <= 0x4FF) {
    // Cyrillic supplement pairs (upper even, lower odd) outside the
    // combining marks 0x483-0x489 and the palochka block.
    if (u >= 0x482 && u <= 0x489) return c;
    if (u >= 0x4C1 && u <= 0x4CE) return (u % 2 == 0) ? static_cast<char16_t>(u - 1) : c;
    if (u == 0x4CF) return u'\u04C0';
    if (u == 0x4C0) return c;
    return (u % 2 == 1) ? static_cast<char16_t>(u - 1) : c;
  }
  if (u >= 0x561 && u <= 0x586) return static_cast<char16_t>(u - 0x30);
  if (u >= 0xFF41 && u <= 0xFF5A) return static_cast<char16_t>(u - 0x20);
  return c;
}

std::u16string FoldRegistryName(std::u16string_view name) {
  std::u16string out(name);
  for (char16_t& c : out) c = FoldRegistryChar(c);
  return out;
}

}  // namespace w4platform
