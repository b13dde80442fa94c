// Ordinal comparison of texts by UTF-16 code unit over their stored length.
// Counted strings read from bytes may hold 0 units, so the comparisons never
// stop at a terminator. No case folding, no locale.
#pragma once

#include <cstdint>

#include "w4util/foundation/CXString.h"

namespace w4util::attributes_internal {

inline bool OrdinalEqual(const CXString& a, const CXString& b) noexcept {
  const std::int32_t length = a.GetLength();
  if (length != b.GetLength()) {
    return false;
  }
  for (std::int32_t i = 0; i < length; ++i) {
    if (a[i] != b[i]) {
      return false;
    }
  }
  return true;
}

// A proper prefix sorts first.
inline bool OrdinalLess(const CXString& a, const CXString& b) noexcept {
  const std::int32_t lengthA = a.GetLength();
  const std::int32_t lengthB = b.GetLength();
  const std::int32_t common = lengthA < lengthB ? lengthA : lengthB;
  for (std::int32_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) {
      return a[i] < b[i];
    }
  }
  return lengthA < lengthB;
}

}  // namespace w4util::attributes_internal
