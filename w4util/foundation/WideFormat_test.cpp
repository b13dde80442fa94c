#include "w4util/foundation/WideFormat.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "w4util/foundation/CXString.h"

namespace {

using ZelvoUtilities::FormatArgKind;
using ZelvoUtilities::SafeFormatString;
using ZelvoUtilities::formatString;

std::u16string Str(const CXString& s) {
  return std::u16string(static_cast<const char16_t*>(s), static_cast<std::size_t>(s.GetLength()));
}

TEST(WideFormat, ReferenceConventions) {
  const struct {
    CXString got;
    const char16_t* want;
  } cases[] = {
      {SafeFormatString(u"%s", u"wide"), u"wide"},
      {SafeFormatString(u"%S", "narrow"), u"narrow"},
      {SafeFormatString(u"%hs|%ls|%lS|%hS", "a", u"b", u"c", "d"), u"a|b|c|d"},
      {SafeFormatString(u"%S", "caf\xE9"), u"caf\u00E9"},
      {SafeFormatString(u"%ld %lx", std::int32_t{-5}, std::int32_t{255}), u"-5 ff"},
      {SafeFormatString(u"%I64d %I64u %I64x", std::int64_t{-9000000000}, std::uint64_t{18446744073709551615u},
                        std::int64_t{0x123456789}),
       u"-9000000000 18446744073709551615 123456789"},
      {SafeFormatString(u"%I32d %Id", std::int32_t{7}, std::int64_t{1} << 40), u"7 1099511627776"},
      {SafeFormatString(u"%5.2f", 3.14159), u" 3.14"},
      {SafeFormatString(u"%-8s|", u"ab"), u"ab      |"},
      {SafeFormatString(u"%x %X %o %#x", 255, 255, 8, 255), u"ff FF 10 0xff"},
      {SafeFormatString(u"%c%C%hc%lc", int{u'\u20AC'}, int{'A'}, int{0xE9}, int{u'z'}), u"\u20ACA\u00E9z"},
      {SafeFormatString(u"100%%"), u"100%"},
      {SafeFormatString(u"%05d|%-5d|%+d|% d|%.3d", 42, 42, 42, 42, 7), u"00042|42   |+42| 42|007"},
      {SafeFormatString(u"%*d|%-*d|%.*f", 4, 1, 3, 2, 2, 1.0), u"   1|2  |1.00"},
      {SafeFormatString(u"%*d", -3, 9), u"9  "},
      {SafeFormatString(u"%hd", 65537), u"1"},
      {SafeFormatString(u"%e %g %G %E", 12345.678, 0.0001, 1e20, 1.5), u"1.234568e+04 0.0001 1E+20 1.500000E+00"},
      {SafeFormatString(u"%08.2f|%-8.1f|%+.0f", -3.14159, 2.5, 2.5), u"-0003.14|2.5     |+2"},
      {SafeFormatString(u"%.3s|%.2S", u"abcdef", "xyz"), u"abc|xy"},
      {SafeFormatString(u"%s|%S|%6s", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr),
                        static_cast<const char16_t*>(nullptr)),
       u"(null)|(null)|(null)"},
      {SafeFormatString(u"%p", reinterpret_cast<void*>(0xABCDEF)), u"0000000000ABCDEF"},
      {SafeFormatString("Object of %S", "Zelvo"), u"Object of Zelvo"},
      {SafeFormatString("%s=%d", u"wide in narrow format", 1), u"wide in narrow format=1"},
  };
  for (const auto& c : cases) EXPECT_EQ(Str(c.got), c.want);
}

// Numeric conversions print what the C runtime prints for the same
// specification (the 64-bit forms use the I64 prefix here, ll there).
TEST(WideFormat, NumbersMatchTheCRuntime) {
  const char* specs[] = {"%d", "%+d", "% d", "%05d", "%-6d|", "%.0d", "%.3d", "%8.3d", "%-+8.3d|", "%x", "%#x",
                         "%#X", "%#o", "%o", "%#08x", "%u", "%+u", "%.0x", "%#.0o"};
  const long long values[] = {0, 1, -1, 42, -42, 255, 2147483647LL, -2147483647LL - 1};
  for (const char* spec : specs) {
    for (long long v : values) {
      char want[64];
      std::snprintf(want, sizeof want, spec, static_cast<int>(v));
      std::u16string format(spec, spec + std::strlen(spec));
      std::u16string got = Str(SafeFormatString(format.c_str(), static_cast<int>(v)));
      EXPECT_EQ(got, std::u16string(want, want + std::strlen(want))) << spec << " " << v;
    }
  }
  const long long wide[] = {0, -1, 9223372036854775807LL, -9223372036854775807LL - 1};
  for (long long v : wide) {
    char want[64];
    std::snprintf(want, sizeof want, "%lld|%llx|%+.20lld", v, v, v);
    std::u16string got = Str(SafeFormatString(u"%I64d|%I64x|%+.20I64d", v, v, v));
    EXPECT_EQ(got, std::u16string(want, want + std::strlen(want))) << v;
  }
  const char* floats[] = {"%f", "%.0f", "%#.0f", "%10.3f", "%-10.2e|", "%+g", "%010.2f", "%G", "%.3g"};
  const double numbers[] = {0.0, -0.5, 1e-10, 123456.789, -1e300, 1e308};
  for (const char* spec : floats) {
    for (double v : numbers) {
      char want[512];
      std::snprintf(want, sizeof want, spec, v);
      std::u16string format(spec, spec + std::strlen(spec));
      std::u16string got = Str(SafeFormatString(format.c_str(), v));
      EXPECT_EQ(got, std::u16string(want, want + std::strlen(want))) << spec << " " << v;
    }
  }
}

TEST(WideFormat, CountConversionNeverWrites) {
  int target = 12345;
  EXPECT_EQ(Str(SafeFormatString(u"ab%ncd%d", &target, 5)), u"abcd5");
  EXPECT_EQ(target, 12345);
}

// Malformed formats print literally and never read or write out of bounds.
TEST(WideFormat, MalformedFormatsAreSafe) {
  const struct {
    const char16_t* format;
    const char16_t* want;
  } cases[] = {
      {u"abc%", u"abc%"},
      {u"%5", u"%5"},
      {u"%-08.3", u"%-08.3"},
      {u"%I64", u"%I64"},
      {u"%k|%ly|%\u00E9", u"%k|%ly|%\u00E9"},
      {u"%5%", u"    %"},
      {u"%Lf", u"0.000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(Str(SafeFormatString(c.format, 0.0)), c.want) << static_cast<int>(c.format[1]);
  // Huge widths and precisions are clamped, not allocated.
  CXString wide = SafeFormatString(u"%99999999d", 1);
  EXPECT_EQ(wide.GetLength(), ZelvoUtilities::kMaxFormatWidth);
  CXString precise = SafeFormatString(u"%.99999999f", 1.0);
  EXPECT_EQ(precise.GetLength(), 2 + ZelvoUtilities::kMaxFormatPrecision);
  CXString bigInt = SafeFormatString(u"%.2147483647d|%2147483648s", 1, u"x");
  EXPECT_EQ(bigInt.GetLength(), ZelvoUtilities::kMaxFormatPrecision + 1 + ZelvoUtilities::kMaxFormatWidth);
  EXPECT_TRUE(SafeFormatString(static_cast<const char16_t*>(nullptr)).IsEmpty());
  EXPECT_TRUE(SafeFormatString(static_cast<const char*>(nullptr)).IsEmpty());
}

TEST(WideFormat, OutputBeyondCapacityIsCut) {
  char16_t out[8];
  ZelvoUtilities::VaListArgSource* unused = nullptr;
  (void)unused;
  class Fixed final : public ZelvoUtilities::FormatArgSource {
   public:
    std::int32_t NextInt() override { return 123456; }
    std::int64_t NextInt64() override { return 0; }
    double NextDouble() override { return 0; }
    const void* NextPointer() override { return u"0123456789"; }
  } args;
  bool truncated = false;
  EXPECT_EQ(ZelvoUtilities::FormatToBuffer(out, 7, u"%s%d", args, truncated), 7u);
  EXPECT_TRUE(truncated);
  EXPECT_EQ(std::u16string(out), u"0123456");
}

TEST(WideFormat, ArgumentKinds) {
  const std::vector<FormatArgKind> want = {FormatArgKind::kWideText, FormatArgKind::kNarrowText,
                                           FormatArgKind::kInt,      FormatArgKind::kInt64,
                                           FormatArgKind::kInt,      FormatArgKind::kDouble,
                                           FormatArgKind::kPointer,  FormatArgKind::kInt};
  EXPECT_EQ(ZelvoUtilities::GetFormatArgumentKinds(u"%s %S %ld %I64x %*f %p %c %% %q %"), want);
}

TEST(WideFormat, FormatStringUsesScratchThenSizesItself) {
  EXPECT_EQ(Str(formatString(u"%d-%s", 1, u"a")), u"1-a");
  EXPECT_EQ(Str(formatString("%S!", "narrow")), u"narrow!");
  EXPECT_EQ(formatString(u"%5000d", 1).GetLength(), 5000);
  std::string longFormat(3000, 'x');
  longFormat += "%d";
  EXPECT_EQ(formatString(longFormat.c_str(), 7).GetLength(), 3001);
}

void CallWithList(CXString& out, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  out = SafeFormatString(format, args);  // NOLINT(clang-analyzer-valist.Unterminated): it ends the list
}

void CallFormatStringWithList(CXString& out, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  out = formatString(format, args);  // NOLINT(clang-analyzer-valist.Unterminated): it ends the list
}

TEST(WideFormat, ListFormsConsumeTheirList) {
  CXString out;
  CallWithList(out, u"%s=%d", u"k", 3);
  EXPECT_EQ(Str(out), u"k=3");
  CallFormatStringWithList(out, u"%I64d", std::int64_t{-1});
  EXPECT_EQ(Str(out), u"-1");
}

TEST(ZelvoUtilitiesText, SpecificationAndConversions) {
  EXPECT_EQ(Str(ZelvoUtilities::GetFormatStringSpecificationFromVariableArgList(static_cast<const char*>(nullptr))),
            u"!");
  EXPECT_EQ(Str(ZelvoUtilities::GetFormatStringSpecificationFromVariableArgList(
                static_cast<const char16_t*>(nullptr))),
            u"!");
  EXPECT_EQ(Str(ZelvoUtilities::GetFormatStringSpecificationFromVariableArgList("%d \xE9")), u"%d \u00E9");
  char narrow[8];
  EXPECT_EQ(ZelvoUtilities::WideCharStrToMultiByteStr(u"\u00E9t\u00E9", narrow, sizeof narrow), 4);
  EXPECT_STREQ(narrow, "\xE9t\xE9");
  EXPECT_EQ(ZelvoUtilities::WideCharStrToMultiByteStr(u"abc", narrow, 0), 0);
  EXPECT_EQ(ZelvoUtilities::WideCharStrToMultiByteStr(u"abc", nullptr, 0), 4);
  char16_t wide[8];
  EXPECT_EQ(ZelvoUtilities::MultiByteStrToWideCharStr("\x80!", wide, 8), 3);
  EXPECT_EQ(std::u16string(wide), u"\u20AC!");
  EXPECT_EQ(ZelvoUtilities::MultiByteStrToWideCharStr("toolong", wide, 4), 0);
}

TEST(ZelvoUtilitiesText, ReplaceAndParse) {
  EXPECT_EQ(Str(ZelvoUtilities::replaceSubString(CXString(u"axbx"), CXString(u"x"), CXString(u"xy"))), u"axbx");
  EXPECT_EQ(Str(ZelvoUtilities::replaceSubString(CXString(u"aaab"), CXString(u"ab"), CXString(u"b"))), u"b");
  EXPECT_EQ(Str(ZelvoUtilities::replaceSubString(CXString(u"abc"), CXString(), CXString(u"z"))), u"abc");

  CXString shared(u"abc");
  CXString copy(shared);
  ZelvoUtilities::getCharPtr(copy)[0] = u'X';
  EXPECT_EQ(Str(shared), u"abc");
  EXPECT_EQ(Str(copy), u"Xbc");

  std::vector<CXString> out = {CXString(u"old")};
  ZelvoUtilities::parseCharacterSeparatedStrings(out, CXString(u" a ;; b;c "), u';', false, true);
  std::vector<std::u16string> got;
  for (auto& s : out) got.push_back(Str(s));
  EXPECT_EQ(got, (std::vector<std::u16string>{u"old", u"c", u"b", u"a"}));
  ZelvoUtilities::parseCharacterSeparatedStrings(out, CXString(u"x;y"), u';', true, false);
  got.clear();
  for (auto& s : out) got.push_back(Str(s));
  EXPECT_EQ(got, (std::vector<std::u16string>{u"x", u"y", u"a", u"b", u"c", u"old"}));
  out.clear();
  ZelvoUtilities::parseCharacterSeparatedStrings(out, CXString(u" ; "), u';', true, false);
  EXPECT_EQ(out.size(), 2u);  // untrimmed blanks are pieces
}

TEST(ZelvoUtilitiesText, SafeStrStrA) {
  const char text[] = "hello world";
  EXPECT_EQ(ZelvoUtilities::SafeStrStrA(text, "world", sizeof text), text + 6);
  EXPECT_EQ(ZelvoUtilities::SafeStrStrA(text, "world", 8), nullptr);
  EXPECT_EQ(ZelvoUtilities::SafeStrStrA(text, "", 0), text);
  EXPECT_EQ(ZelvoUtilities::SafeStrStrA(text, "xyz", sizeof text), nullptr);
  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(ZelvoUtilities::SafeStrStrA(unterminated, "cd", 4), unterminated + 2);
  EXPECT_EQ(ZelvoUtilities::SafeStrStrA(unterminated, "de", 4), nullptr);
}

TEST(ZelvoUtilitiesText, Walkers) {
  const char16_t text[] = u"ab";
  const char16_t* p = text;
  std::int32_t left = 2;
  char16_t ch = 0;
  EXPECT_TRUE(ZelvoUtilities::WalkBufferToGetNextCharacter(p, left, ch));
  EXPECT_EQ(ch, u'a');
  EXPECT_EQ(left, 1);
  left = 0;
  EXPECT_FALSE(ZelvoUtilities::WalkBufferToGetNextCharacter(p, left, ch));

  const struct {
    const char16_t* text;
    std::int32_t left;
    ZelvoUtilities::NegativeNumAllowedEnum negative;
    bool ok;
    std::int32_t value;
    std::ptrdiff_t consumed;
  } cases[] = {
      {u"-12x", 4, ZelvoUtilities::NegativeNumAllowed, true, -12, 3},
      {u"-12", 3, ZelvoUtilities::NegativeNumNotAllowed, false, 0, 0},
      {u"+7", 2, ZelvoUtilities::NegativeNumNotAllowed, true, 7, 2},
      {u"+x", 2, ZelvoUtilities::NegativeNumAllowed, false, 0, 1},
      {u"1234", 2, ZelvoUtilities::NegativeNumAllowed, true, 12, 2},
      {u"5", 0, ZelvoUtilities::NegativeNumAllowed, false, 0, 0},
  };
  for (const auto& c : cases) {
    const char16_t* q = c.text;
    std::int32_t n = c.left;
    std::int32_t value = 0;
    EXPECT_EQ(ZelvoUtilities::WalkBufferToParseWholeDecimalNumber(q, n, c.negative, value), c.ok);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(q - c.text, c.consumed);
    EXPECT_EQ(n, c.left - c.consumed);
  }
}

}  // namespace
