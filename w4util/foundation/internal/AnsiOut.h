// The one copy-out rule for UTF-16 to ANSI conversions into a caller's
// buffer (CXString::GetAsMultiByte, WideCharStrToMultiByteStr).
//
// out == nullptr && size == 0 asks for the bytes needed, terminator
// included. Otherwise the text and its terminator are written when they fit
// and their count returned; on a failed conversion or a buffer too small
// nothing is converted, out (when it has room) is left reading as "", and 0
// is returned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "w4util/platform/CodePage.h"

namespace w4util::foundation_internal {

inline std::int32_t CopyOutAnsi(const char16_t* text, std::size_t length, char* out,
                                std::size_t size) noexcept {
  if (out != nullptr && size == 0) return 0;
  std::string narrow;
  if (!w4platform::Utf16ToMultiByte(w4platform::kCodePageAnsi, text, length, narrow)) {
    if (out != nullptr) out[0] = 0;
    return 0;
  }
  const std::size_t needed = narrow.size() + 1;
  if (needed > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    if (out != nullptr) out[0] = 0;
    return 0;
  }
  if (out == nullptr) return size == 0 ? static_cast<std::int32_t>(needed) : 0;
  if (needed > size) {
    out[0] = 0;
    return 0;
  }
  std::memcpy(out, narrow.data(), narrow.size());
  out[needed - 1] = 0;
  return static_cast<std::int32_t>(needed);
}

}  // namespace w4util::foundation_internal
