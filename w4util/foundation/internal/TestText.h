// Test support: texts as std::string, so assertions on library output read
// as plain literals and failures print legibly. Units outside ASCII show as
// "?". Header-only; for tests, not for the library.
#pragma once

#include <cstdint>
#include <string>

#include "w4util/foundation/CXString.h"

inline std::string Ascii(const CXString& text) {
  std::string out;
  for (std::int32_t i = 0; i < text.GetLength(); ++i) {
    const char16_t ch = text[i];
    out.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
  }
  return out;
}
