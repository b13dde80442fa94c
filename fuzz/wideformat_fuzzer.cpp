// Formats arbitrary UTF-16 formats with well-formed arguments: nothing may
// read or write out of bounds, and the size estimate must hold the output.
// The same bytes also go through the message-insert formatter.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "w4util/foundation/CXString.h"
#include "w4util/foundation/WideFormat.h"

namespace {

class Args final : public ZelvoUtilities::FormatArgSource {
 public:
  std::int32_t NextInt() override { return static_cast<std::int32_t>(++n_ * 7919 - 40000); }
  std::int64_t NextInt64() override { return static_cast<std::int64_t>(++n_) * -1234567890123LL; }
  double NextDouble() override { return (++n_ % 3 == 0) ? 1e300 : -0.000123 * static_cast<double>(n_); }
  // Wide and narrow text alike: the bytes of u"zelvo\xE9" end in two zeros.
  const void* NextPointer() override { return (++n_ % 5 == 0) ? nullptr : u"zelvo\u00E9 text"; }

 private:
  std::int64_t n_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char16_t> format(size / 2 + 1, 0);
  std::memcpy(format.data(), data, size / 2 * 2);
  Args estimateArgs;
  bool aliases = false;
  const std::size_t estimate =
      ZelvoUtilities::EstimateFormatLength(format.data(), estimateArgs, nullptr, nullptr, aliases);
  std::vector<char16_t> out(estimate + 1);
  Args formatArgs;
  bool truncated = false;
  ZelvoUtilities::FormatToBuffer(out.data(), estimate, format.data(), formatArgs, truncated);
  if (truncated) std::abort();  // the estimate is an upper bound

  Args safeArgs;
  CXString text = ZelvoUtilities::SafeFormatString(format.data(), safeArgs);
  (void)text;

  // Inserts take only text here, so formats with a !spec! may name other
  // types; those are skipped.
  bool typed = false;
  for (char16_t c : format) typed = typed || c == u'!';
  if (!typed) {
    CXString message;
    try {
      message.FormatMessageW(format.data(), u"one", u"two", u"three", u"four", u"five", u"six", u"seven", u"eight",
                             u"nine", u"ten", u"11", u"12", u"13", u"14", u"15", u"16", u"17", u"18", u"19", u"20",
                             u"21", u"22", u"23", u"24", u"25", u"26", u"27", u"28", u"29", u"30", u"31", u"32",
                             u"33", u"34", u"35", u"36", u"37", u"38", u"39", u"40", u"41", u"42", u"43", u"44",
                             u"45", u"46", u"47", u"48", u"49", u"50", u"51", u"52", u"53", u"54", u"55", u"56",
                             u"57", u"58", u"59", u"60", u"61", u"62", u"63", u"64", u"65", u"66", u"67", u"68",
                             u"69", u"70", u"71", u"72", u"73", u"74", u"75", u"76", u"77", u"78", u"79", u"80",
                             u"81", u"82", u"83", u"84", u"85", u"86", u"87", u"88", u"89", u"90", u"91", u"92",
                             u"93", u"94", u"95", u"96", u"97", u"98", u"99");
    } catch (const char*) {
    }
  }
  return 0;
}
