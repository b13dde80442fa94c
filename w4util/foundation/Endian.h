// Byte-order helpers: the one place where the library turns numbers into
// bytes and back. Every binary format is little-endian (use little_endian);
// the compressed-buffer footer alone is big-endian (use big_endian).
//
// Loads and stores go through memcpy, so the pointer needs no alignment and
// no aliasing rule is bent; compilers turn each into one move (plus a byte
// swap on the other order). The caller guarantees that the bytes exist.
// Stateless and thread-safe.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace w4util {
namespace internal {

template <typename T>
constexpr T ByteSwap(T value) {
  static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
  if constexpr (sizeof(T) == 1) {
    return value;
  } else if constexpr (sizeof(T) == 2) {
    return static_cast<T>(__builtin_bswap16(static_cast<std::uint16_t>(value)));
  } else if constexpr (sizeof(T) == 4) {
    return static_cast<T>(__builtin_bswap32(static_cast<std::uint32_t>(value)));
  } else {
    return static_cast<T>(__builtin_bswap64(static_cast<std::uint64_t>(value)));
  }
}

template <typename T, std::endian Order>
inline T Load(const void* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (Order != std::endian::native) {
    value = ByteSwap(value);
  }
  return value;
}

template <typename T, std::endian Order>
inline void Store(void* p, T value) {
  if constexpr (Order != std::endian::native) {
    value = ByteSwap(value);
  }
  std::memcpy(p, &value, sizeof value);
}

}  // namespace internal

namespace little_endian {

inline std::uint16_t Load16(const void* p) {
  return internal::Load<std::uint16_t, std::endian::little>(p);
}
inline std::uint32_t Load32(const void* p) {
  return internal::Load<std::uint32_t, std::endian::little>(p);
}
inline std::uint64_t Load64(const void* p) {
  return internal::Load<std::uint64_t, std::endian::little>(p);
}
inline void Store16(void* p, std::uint16_t v) {
  internal::Store<std::uint16_t, std::endian::little>(p, v);
}
inline void Store32(void* p, std::uint32_t v) {
  internal::Store<std::uint32_t, std::endian::little>(p, v);
}
inline void Store64(void* p, std::uint64_t v) {
  internal::Store<std::uint64_t, std::endian::little>(p, v);
}

}  // namespace little_endian

namespace big_endian {

inline std::uint16_t Load16(const void* p) {
  return internal::Load<std::uint16_t, std::endian::big>(p);
}
inline std::uint32_t Load32(const void* p) {
  return internal::Load<std::uint32_t, std::endian::big>(p);
}
inline std::uint64_t Load64(const void* p) {
  return internal::Load<std::uint64_t, std::endian::big>(p);
}
inline void Store16(void* p, std::uint16_t v) {
  internal::Store<std::uint16_t, std::endian::big>(p, v);
}
inline void Store32(void* p, std::uint32_t v) {
  internal::Store<std::uint32_t, std::endian::big>(p, v);
}
inline void Store64(void* p, std::uint64_t v) {
  internal::Store<std::uint64_t, std::endian::big>(p, v);
}

}  // namespace big_endian
}  // namespace w4util
