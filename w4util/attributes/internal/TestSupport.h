// Helpers shared by the attribute-bytes tests: hex byte tables, the code of
// the exception a call throws, and builders of deeply nested lists.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "w4util/errors/ZelvoException.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"

namespace attributes_test {

// "02 AC 00 00 00" -> the bytes.
inline ByteBuffer Hex(const std::string& text) {
  ByteBuffer out;
  std::string digits;
  for (char c : text) {
    if (c != ' ') {
      digits.push_back(c);
    }
  }
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    out.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return out;
}

inline std::string ToHex(const ByteBuffer& bytes) {
  static const char* const kDigits = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) {
      out.push_back(' ');
    }
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 0xF]);
  }
  return out;
}

inline std::u16string U(const CXString& s) {
  return std::u16string(static_cast<const char16_t*>(s), static_cast<std::size_t>(s.GetLength()));
}

// The code string of the library exception that call throws, "none" when it
// returns, "foreign" for anything else.
inline std::string ThrownCode(const std::function<void()>& call) {
  try {
    call();
  } catch (const ZelvoException& e) {
    const std::u16string code = U(e.GetExceptionTypeByNumericCode());
    return std::string(code.begin(), code.end());
  } catch (...) {
    return "foreign";
  }
  return "none";
}

constexpr const char* kNotEnoughBytes = "003:000";
constexpr const char* kIndexOutOfBounds = "002:000";
constexpr const char* kTypeMismatch = "025:000";
constexpr const char* kUnhandledSyntax = "026:000";
constexpr const char* kInvalidParameter = "029:000";
constexpr const char* kInvalidArgument = "073:000";
constexpr const char* kBadAttributeBytesFormat = "037:000";

inline void PutLong(std::vector<unsigned char>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<unsigned char>(v);
  out[at + 1] = static_cast<unsigned char>(v >> 8);
  out[at + 2] = static_cast<unsigned char>(v >> 16);
  out[at + 3] = static_cast<unsigned char>(v >> 24);
}

// The raw-list state of `depth` nested list values: level 0 is a list whose
// only record is list-of-values item 0 = list value holding level 1, and so
// on; the innermost list is empty. Built in one pass, outside in.
inline ByteBuffer NestedListState(std::uint32_t depth) {
  // Each level: mark (4), id 06 + Long (5), value 0B 00 kind (3), Long L (4).
  constexpr std::size_t kLevel = 16;
  std::vector<unsigned char> out(kLevel * depth + 4);
  for (std::uint32_t level = 0; level < depth; ++level) {
    const std::size_t at = kLevel * level;
    PutLong(out, at, 0x4C524241);
    out[at + 4] = 0x06;
    PutLong(out, at + 5, 0);
    out[at + 9] = 0x0B;
    out[at + 10] = 0x00;
    out[at + 11] = 0x00;
    // The nested state runs from the next level to the end.
    PutLong(out, at + 12, static_cast<std::uint32_t>(out.size() - (at + kLevel)));
  }
  PutLong(out, kLevel * depth, 0x4C524241);
  return ByteBuffer(out.data(), static_cast<std::uint32_t>(out.size()));
}

}  // namespace attributes_test
