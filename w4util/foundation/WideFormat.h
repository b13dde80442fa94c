// The library's printf-style formatter for UTF-16 formats, with the reference
// platform's wide conventions (not ISO swprintf's):
//
//   %s  UTF-16 text (const char16_t*)     %S  narrow ANSI text (const char*)
//   %c  UTF-16 unit (passed as int)       %C  narrow ANSI character (int)
//   prefix h: string/character is narrow; prefix l or w: always wide
//   %d %i %u %x %X %o: int; with l or I32 32-bit; with h 16-bit;
//       with I64, I (alone), ll, j, z or t 64-bit
//   %f %e %E %g %G %a %A: double (prefixes L, F, N are ignored)
//   %p: pointer, 16 upper-case hex digits    %%: one percent sign
//   %n: its pointer argument is consumed and never written through
//   flags - + 0 space #, width and precision as digits or * (int argument)
//
// A null string argument prints "(null)". Malformed formats are safe: an
// unknown conversion, or a specification cut off by the end of the format,
// is printed literally from its "%" on, and consumes only the arguments that
// its "*" fields named. Widths are clamped to kMaxFormatWidth and numeric
// precisions to kMaxFormatPrecision, so no format allocates without bound;
// a string precision only bounds how much of the argument is read.
//
// Thread-safe: no shared state. Nothing here throws except std::bad_alloc
// from the CXString it builds.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

namespace ZelvoUtilities {

inline constexpr std::int32_t kMaxFormatWidth = 65536;
inline constexpr std::int32_t kMaxFormatPrecision = 512;

// Supplies the arguments of a format in order. The va_list source is the
// usual one; FormatMessageW and the command-line tool supply their own.
class W4UTIL_EXPORT FormatArgSource {
 public:
  virtual ~FormatArgSource() = default;
  virtual std::int32_t NextInt() = 0;     // int-sized integers, characters, * fields
  virtual std::int64_t NextInt64() = 0;
  virtual double NextDouble() = 0;
  virtual const void* NextPointer() = 0;  // strings, %p, %n
};

// Arguments taken from a copy of a va_list (the caller's list is untouched).
class W4UTIL_EXPORT VaListArgSource final : public FormatArgSource {
 public:
  // The analyzer cannot see that every caller started the list it passes.
  explicit VaListArgSource(va_list args) { va_copy(args_, args); }  // NOLINT(clang-analyzer-valist.Uninitialized)
  ~VaListArgSource() override { va_end(args_); }
  VaListArgSource(const VaListArgSource&) = delete;
  VaListArgSource& operator=(const VaListArgSource&) = delete;

  std::int32_t NextInt() override { return va_arg(args_, int); }
  std::int64_t NextInt64() override { return va_arg(args_, long long); }
  double NextDouble() override { return va_arg(args_, double); }
  const void* NextPointer() override { return va_arg(args_, const void*); }

 private:
  va_list args_;
};

// What a format takes, in order.
enum class FormatArgKind { kInt, kInt64, kDouble, kWideText, kNarrowText, kPointer };

// The argument kinds the format consumes ("*" fields are kInt). Never reads
// beyond the format's terminator; a null format takes nothing.
W4UTIL_EXPORT std::vector<FormatArgKind> GetFormatArgumentKinds(const char16_t* format);

// Upper bound of the formatted length, in units (terminator excluded).
// aliases is set when the format or a string argument lies inside
// [ownBegin, ownEnd), e.g. the text of the string being formatted into.
W4UTIL_EXPORT std::size_t EstimateFormatLength(const char16_t* format, FormatArgSource& args,
                                               const void* ownBegin, const void* ownEnd,
                                               bool& aliases);

// Formats into out, which has room for capacity units plus a terminator;
// output beyond capacity is cut. Returns the units written (terminator
// excluded) and sets truncated when output was cut.
W4UTIL_EXPORT std::size_t FormatToBuffer(char16_t* out, std::size_t capacity, const char16_t* format,
                                         FormatArgSource& args, bool& truncated);

// SafeFormatString over an argument source: empty on any exception.
W4UTIL_EXPORT CXString SafeFormatString(const char16_t* format, FormatArgSource& args) noexcept;

}  // namespace ZelvoUtilities
