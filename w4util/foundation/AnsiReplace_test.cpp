#include "w4util/foundation/AnsiReplace.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Text(const ByteBuffer& b) { return std::string(b.begin(), b.end()); }

TEST(AnsiReplace, ReplacesNonOverlappingOccurrencesWithinTheLength) {
  const struct {
    std::string source;
    std::uint32_t length;
    const char* find;
    const char* replacement;
    std::uint32_t count;
    std::string want;
  } cases[] = {
      {"@PJL SET X=@X@", 14, "@X@", "42", 1, "@PJL SET X=42"},
      {"aaaa", 4, "aa", "b", 2, "bb"},
      {"aaa", 3, "aa", "", 1, "a"},
      {"abcabc", 4, "bc", "X", 1, "aXa"},       // the second match lies past the length
      {"abcab", 5, "abc", "abcabc", 1, "abcabcab"},
      {"none", 4, "x", "y", 0, "none"},
      {"keep", 4, "", "y", 0, "keep"},
      {"keep", 4, nullptr, "y", 0, "keep"},
      {"keep", 4, "e", nullptr, 0, "keep"},
      {std::string("ab\0ab", 5), 5, "ab", "X", 1, std::string("X\0ab", 4)},
  };
  for (const auto& c : cases) {
    ByteBuffer out;
    out.appendLpbyte(reinterpret_cast<const unsigned char*>(">"), 1);
    EXPECT_EQ(ZelvoUtilities::ReplaceAllOccurrencesOfAnsiStringAndAppendToByteBuffer(
                  c.source.data(), c.length, c.find, c.replacement, out),
              c.count)
        << c.source;
    EXPECT_EQ(Text(out), ">" + c.want) << c.source;
  }
}

}  // namespace
