#include "w4util/platform/CodePage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using w4platform::kCodePageAnsi;
using w4platform::kCodePageUtf8;

std::u16string ToWide(std::uint32_t codePage, const std::string& text) {
  std::u16string out;
  EXPECT_TRUE(w4platform::MultiByteToUtf16(codePage, text.data(), text.size(), out));
  return out;
}

std::string ToNarrow(std::uint32_t codePage, const std::u16string& text) {
  std::string out;
  EXPECT_TRUE(w4platform::Utf16ToMultiByte(codePage, text.data(), text.size(), out));
  return out;
}

TEST(CodePage, AnsiIsWindows1252ByDefault) {
  if (std::getenv("W4UTIL_ANSI_CODEPAGE") == nullptr) {
    EXPECT_EQ(w4platform::AnsiCodePageName(), "WINDOWS-1252");
  }
  EXPECT_EQ(ToWide(kCodePageAnsi, "caf\xE9 \x80 \x9F"), u"caf\u00E9 \u20AC \u0178");
  EXPECT_EQ(ToNarrow(kCodePageAnsi, u"caf\u00E9 \u20AC"), "caf\xE9 \x80");
}

TEST(CodePage, LenientLikeTheHost) {
  // The five bytes Windows-1252 leaves undefined map to C1 controls.
  EXPECT_EQ(ToWide(kCodePageAnsi, std::string("\x81\x8D\x8F\x90\x9D", 5)), u"\u0081\u008D\u008F\u0090\u009D");
  // Unrepresentable text and lone surrogates become the default character.
  EXPECT_EQ(ToNarrow(kCodePageAnsi, u"a\u0416b\U0001F600c"), "a?b?c");
  const char16_t lone[] = {u'x', 0xD800, u'y'};
  EXPECT_EQ(ToNarrow(kCodePageAnsi, std::u16string(lone, 3)), "x?y");
  EXPECT_EQ(ToWide(kCodePageUtf8, "a\xC3"), u"a\uFFFD");
}

TEST(CodePage, OtherCodePagesAndEmbeddedZeros) {
  EXPECT_EQ(ToWide(kCodePageUtf8, "\xE2\x82\xAC"), u"\u20AC");
  EXPECT_EQ(ToNarrow(kCodePageUtf8, u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(ToWide(1251, "\xC0"), u"\u0410");
  EXPECT_EQ(ToWide(kCodePageAnsi, std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  std::u16string out = u"stale";
  EXPECT_FALSE(w4platform::MultiByteToUtf16(4242424, "\xE9", 1, out));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(w4platform::MultiByteToUtf16(kCodePageAnsi, nullptr, 0, out));
}

// Every defined byte decodes as Python's cp1252 codec decodes it.
TEST(CodePage, MatchesPythonCp1252) {
  const char* script =
      "python3 -c \"import sys\n"
      "for b in range(256):\n"
      "  try: print(b, ord(bytes([b]).decode('cp1252')))\n"
      "  except UnicodeDecodeError: pass\" 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(script, "r"), pclose);
  ASSERT_NE(pipe, nullptr);
  int byte = 0;
  unsigned unit = 0;
  int checked = 0;
  while (std::fscanf(pipe.get(), "%d %u", &byte, &unit) == 2) {
    const char narrow = static_cast<char>(byte);
    std::u16string wide = ToWide(kCodePageAnsi, std::string(1, narrow));
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(static_cast<unsigned>(wide[0]), unit) << byte;
    EXPECT_EQ(ToNarrow(kCodePageAnsi, wide), std::string(1, narrow));
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "python3 not available";
  EXPECT_EQ(checked, 251);
}

}  // namespace
