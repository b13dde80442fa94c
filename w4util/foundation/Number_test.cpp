#include "w4util/foundation/Number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "w4util/foundation/internal/TestText.h"

namespace {

// What Round answers for a decimal result r of the given sign.
double Rounded(double r) { return r < 0 ? -(-r + 0.0000001) : r + 0.0000001; }

TEST(NumberRound, FollowsTheThresholdToTheDigit) {
  struct Case {
    double value;
    unsigned decimals;
    double threshold;
    double expected;  // before the 0.0000001 offset
  } const cases[] = {
      // A half does not round up with threshold 0.5; with 0.499999 it does.
      {2.5, 0, 0.5, 2},
      {2.5, 0, 0.499999, 3},
      {-2.5, 0, 0.5, -2},
      {-2.5, 0, 0.499999, -3},
      {0.125, 2, 0.5, 0.12},
      {0.125, 2, 0.499999, 0.13},
      {-0.125, 2, 0.499999, -0.13},
      {-1.26, 1, 0.5, -1.3},
      {1.24, 1, 0.5, 1.2},
      {0.0, 3, 0.5, 0},
      // Digits above a few million: the single-precision steps gave .90 here.
      {1234567.891, 2, 0.5, 1234567.89},
      {-1234567.891, 2, 0.5, -1234567.89},
      {2147483.25, 2, 0.5, 2147483.25},
      {123456789.125, 2, 0.499999, 123456789.13},
      {987654321.0004, 3, 0.5, 987654321.0},
      // Where single precision was exact the results are those it gave.
      {3.14159, 4, 0.5, 3.1416},
      {99.995, 2, 0.499999, 100.0},
      {12.3456, 3, 1.0, 12.345},  // threshold 1: never up
      {7.0001, 0, 0.0, 8},        // threshold 0: any fraction rounds up
      // A count of 2^31 and above is a negative number of decimals.
      {1234, static_cast<unsigned>(-2), 0.5, 1200},
      {1250, static_cast<unsigned>(-2), 0.499999, 1300},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(Number::Round(c.value, c.decimals, c.threshold), Rounded(c.expected))
        << c.value << " to " << static_cast<int>(c.decimals) << " with " << c.threshold;
  }
}

TEST(NumberRound, ExtremesAreDefined) {
  // The driver's answer once the scaled value reaches 2^63.
  EXPECT_DOUBLE_EQ(Number::Round(1e300, 0, 0.5), 2147483647.0000001);
  EXPECT_DOUBLE_EQ(Number::Round(-std::numeric_limits<double>::infinity(), 2, 0.5),
                   -(21474836.47 + 0.0000001));
  EXPECT_TRUE(std::isnan(Number::Round(std::nan(""), 2, 0.5)));
  // Beyond 308 decimals nothing changes any more.
  EXPECT_DOUBLE_EQ(Number::Round(0.5, 4000, 0.5), Number::Round(0.5, 308, 0.5));
  EXPECT_DOUBLE_EQ(Number::Round(1e-300, 400, 0.5), Number::Round(1e-300, 308, 0.5));
}

TEST(NumberText, GetStringValue) {
  struct Case {
    double value;
    unsigned decimals;
    double threshold;
    bool group;
    bool trim;
    const char* expected;
  } const cases[] = {
      {-0.5, 1, 0.499999, false, false, "-0.5"},
      {1234.5, 2, 0.5, true, false, "1,234.50"},
      {1234.5, 2, 0.5, true, true, "1,234.5"},
      {3, 2, 0.5, false, true, "3"},
      {3, 2, 0.5, false, false, "3.00"},
      {0, 2, 0.5, false, false, "0.00"},
      {0.001, 3, 0.5, false, false, "0.001"},
      {0.0005, 3, 0.499999, false, false, "0.001"},
      {0.0005, 3, 0.5, false, false, "0.000"},
      {-0.05, 1, 0.5, false, false, "-0.0"},  // a negative fraction keeps its sign
      {-1.26, 1, 0.5, false, false, "-1.3"},
      {2.5, 0, 0.499999, false, false, "3"},
      {-2.5, 0, 0.499999, false, false, "-3"},
      {12.5, 0, 0.5, false, false, "12"},
      // Seven digits and more: single precision printed 2,147,483.16 here.
      {2147483.25, 2, 0.5, true, false, "2,147,483.25"},
      {1234567.891, 2, 0.5, false, false, "1234567.89"},
      {-1234567.891, 2, 0.5, true, false, "-1,234,567.89"},
      {16777217.5, 1, 0.5, false, false, "16777217.5"},
      // Grouping: the sign is no digit, and the fraction is never grouped.
      {123, 0, 0.5, true, false, "123"},
      {-123, 0, 0.5, true, false, "-123"},
      {1000, 0, 0.5, true, false, "1,000"},
      {-1000.5, 1, 0.5, true, false, "-1,000.5"},
      {-123456, 0, 0.5, true, false, "-123,456"},
      {0.12345, 5, 0.5, true, false, "0.12345"},
      // The integer part is no longer cut to 32 bits.
      {1e10, 0, 0.5, true, false, "10,000,000,000"},
      {-3000000000.25, 2, 0.5, false, false, "-3000000000.25"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        Ascii(Number(c.value).GetStringValue(c.decimals, c.threshold, false, c.group, c.trim)),
        c.expected)
        << c.value;
  }
  EXPECT_EQ(Ascii(Number(-1.26).GetDumpDisplayString(1, 0.5)), "-1.3");
  EXPECT_EQ(Ascii(Number(std::nan("")).GetDumpDisplayString(2, 0.5)), "NaN");
  EXPECT_EQ(Ascii(Number(1e300).GetDumpDisplayString(2, 0.5)), "21474836.47");
}

TEST(NumberText, SetStringValue) {
  struct Case {
    const char16_t* text;
    double expected;
  } const cases[] = {
      {u" 12,5 ", 12.5},
      {u"0x1A", 26},
      {u"0x1A.5", 0},
      {u"-0x10", -16},
      {u"12.5", 12.5},
      {u"-3.25", -3.25},
      {u"+7", 7},
      {u".5", 0.5},
      {u"-.5", -0.5},
      {u"5.", 5},
      {u"007", 7},
      // The number ends at the first character that does not continue it.
      {u"12.5kg", 12.5},
      {u"12kg.5", 12},
      {u"1.2.3", 1.2},
      {u"1e5", 1},
      {u"1,234.5", 1},  // "." is the separator; the comma ends the number
      {u"1,234", 1.234},
      {u"\t-0.75\n", -0.75},
      // More digits than a 32-bit integer holds.
      {u"3.14159265358979", 3.14159265358979},
      {u"4000000000", 4e9},
      {u"-12345678901.5", -12345678901.5},
      // No number at all.
      {u"", 0},
      {u"   ", 0},
      {u"abc", 0},
      {u"-", 0},
      {u".", 0},
      {u"- 5", 0},
      {u"x12", 0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(Number(CXString(c.text), false).GetDoubleValue(), c.expected)
        << Ascii(CXString(c.text));
  }
}

TEST(NumberText, HugeAndTinyTextsStayFinite) {
  const CXString huge(u'9', 400);
  EXPECT_EQ(Number(huge, false).GetDoubleValue(), std::numeric_limits<double>::max());
  EXPECT_EQ(Number(CXString(u"-") + huge, false).GetDoubleValue(),
            -std::numeric_limits<double>::max());
  EXPECT_EQ(Number(CXString(u"0.") + CXString(u'0', 400) + u"1", false).GetDoubleValue(), 0.0);
}

TEST(NumberText, LocalizedRoundTrip) {
  // Whatever the user's separators are, the localized text reads back.
  for (const double value : {1234.5, -0.25, 98765.4321}) {
    const Number n(value);
    const CXString text = n.GetStringValue(4, 0.5, true, false, false);
    EXPECT_DOUBLE_EQ(Number(text, true).GetDoubleValue(), value) << Ascii(text);
  }
  // "." is understood whatever the locale says.
  EXPECT_DOUBLE_EQ(Number(CXString(u"12.5"), true).GetDoubleValue(), 12.5);
}

TEST(NumberText, ReformatThenReparseIsStable) {
  for (const double value :
       {0.1, -0.5, 1234567.891, 2147483.25, -99.995, 0.0005, 1e-7, 123456789.987654}) {
    for (unsigned decimals = 0; decimals <= 6; ++decimals) {
      const CXString first = Number(value).GetStringValue(decimals, 0.5, false, false, false);
      const CXString second =
          Number(first, false).GetStringValue(decimals, 0.5, false, false, false);
      // A rounded-away negative fraction reads "-0...", which parses as
      // zero and then prints unsigned.
      std::string expected = Ascii(first);
      if (expected.find_first_not_of("-0.") == std::string::npos && expected[0] == '-')
        expected.erase(0, 1);
      EXPECT_EQ(Ascii(second), expected) << value << " / " << decimals;
    }
  }
}

TEST(NumberHex, ConvertHexStringToDecimalInt) {
  struct Case {
    const char16_t* text;
    std::int32_t expected;
  } const cases[] = {
      {u"-0x10", -16},
      {u"0x-10", 0},
      {u"1G", 0},
      {u"ff", 255},
      {u"  0XfF  ", 255},
      {u"7FFFFFFF", 2147483647},
      // Negation happens in 32-bit arithmetic: the smallest int is reachable.
      {u"-80000000", std::numeric_limits<std::int32_t>::min()},
      {u"80000000", std::numeric_limits<std::int32_t>::min()},
      {u"FFFFFFFF", -1},
      {u"-FFFFFFFF", 1},
      {u"123456789", 0x23456789},  // digits wrap modulo 2^32
      {u"", 0},
      {u"-", 0},
      {u"0x", 0},
      {u"-0x", 0},
      {u"--1", 0},
      {u"1-", 0},
      {u"0x0x1", 0},
      {u"00x1", 0},
      {u"0x 1", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Number::ConvertHexStringToDecimalInt(CXString(c.text)), c.expected)
        << Ascii(CXString(c.text));
  }
}

TEST(NumberHex, ConvertColorRefToHexString) {
  EXPECT_EQ(Ascii(Number::ConvertColorRefToHexString(0x00FF8040u)), "#4080FF");
  EXPECT_EQ(Ascii(Number::ConvertColorRefToHexString(0u)), "#000000");
  EXPECT_EQ(Ascii(Number::ConvertColorRefToHexString(0xFFFFFFFFu)), "#FFFFFF");
  EXPECT_EQ(Ascii(Number::ConvertColorRefToHexString(0x000A0B0Cu)), "#0C0B0A");
}

TEST(NumberCompare, ToleranceOfOneMillionth) {
  EXPECT_TRUE(Number(0.1) == Number(0.1000005));
  EXPECT_FALSE(Number(0.1) != Number(0.1000005));
  EXPECT_TRUE(Number(0.1) < Number(0.1000011));
  EXPECT_FALSE(Number(0.1) < Number(0.1000005));
  EXPECT_TRUE(Number(0.1000011) > Number(0.1));
  EXPECT_TRUE(Number(0.1000005) <= Number(0.1));  // within the tolerance
  EXPECT_TRUE(Number(0.1) >= Number(0.1000005));
  EXPECT_FALSE(Number(0.1) >= Number(0.1000011));
  EXPECT_FALSE(Number(0.1000011) <= Number(0.1));
}

TEST(NumberValue, AccessorsAndEquivalence) {
  Number n(2.5);
  EXPECT_EQ(n.GetIntValue(0.499999), 3);
  EXPECT_EQ(n.GetIntValue(0.5), 2);
  EXPECT_DOUBLE_EQ(n.GetDoubleValue(0, 0.499999), 3.0000001);
  EXPECT_DOUBLE_EQ(n.GetValue(0, 0.5), 2.0000001);
  n.ReverseSign();
  EXPECT_EQ(n.GetDoubleValue(), -2.5);
  EXPECT_EQ(n.GetIntValue(0.499999), -3);
  EXPECT_EQ(Number(std::int32_t{42}).GetDoubleValue(), 42.0);
  // Clamped, not undefined, beyond 32 bits.
  EXPECT_EQ(Number(1e12).GetIntValue(0.5), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(Number(-1e12).GetIntValue(0.5), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(Number(std::nan("")).GetIntValue(0.5), 0);

  EXPECT_TRUE(Number::IsEquivalent(Number(1.234), Number(1.2341), 3, 0.5));
  EXPECT_FALSE(Number::IsEquivalent(Number(1.234), Number(1.236), 2, 0.5));
  EXPECT_TRUE(Number::IsEquivalent(Number(2.4), Number(2.0), 0, 0.5));
  EXPECT_TRUE(Number::IsEquivalent(Number(1e300), Number(1e301), 12, 0.5));
}

}  // namespace
