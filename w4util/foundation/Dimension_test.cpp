#include "w4util/foundation/Dimension.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/foundation/internal/TestText.h"

namespace {

using Units = Dimension::UnitsEnum;

TEST(DimensionUnits, FactorsAndDisplayTexts) {
  struct Case {
    Units units;
    double thousandths;
    const char* text;
  } const cases[] = {
      {Dimension::ZLV_INCHES, 25400, "[Inches]"},
      {Dimension::ZLV_TENTHS_OF_INCHES, 2540, "[10ths of Inches]"},
      {Dimension::ZLV_HUNDREDTHS_OF_INCHES, 254, "[100ths of Inches]"},
      {Dimension::ZLV_THOUSANDTHS_OF_INCHES, 25.4, "[1,000ths of Inches]"},
      {Dimension::ZLV_TEN_THOUSANDTHS_OF_INCHES, 2.54, "[10,000ths of Inches]"},
      {Dimension::ZLV_MMS, 1000, "[MMs]"},
      {Dimension::ZLV_TENTHS_OF_MMS, 100, "[10ths of MMs]"},
      {Dimension::ZLV_HUNDREDTHS_OF_MMS, 10, "[100ths of MMs]"},
      {Dimension::ZLV_THOUSANDTHS_OF_MMS, 1, "[1,000ths of MMs]"},
      {Dimension::ZLV_POINTS, 352.77777777777777, "[Pts]"},
      {Dimension::ZLV_TENTHS_OF_POINTS, 35.27777777777778, "[10ths of Pts]"},
      {Dimension::ZLV_HUNDREDTHS_OF_POINTS, 3.5277777777777777, "[100ths of Pts]"},
      {static_cast<Units>(12), 0, "UNKNOWN!"},
      {static_cast<Units>(-1), 0, "UNKNOWN!"},
  };
  for (const Case& c : cases) {
    const Dimension one(1.0, c.units);
    EXPECT_DOUBLE_EQ(one.GetDoubleValue(Dimension::ZLV_THOUSANDTHS_OF_MMS), c.thousandths)
        << c.text;
    EXPECT_EQ(Ascii(Dimension::GetDebugDisplayString(c.units)), c.text);
    EXPECT_EQ(Ascii(one.GetUnitsDebugDisplayString()), c.text);
    // Into an unknown unit gives 0 too (no division by a zero factor).
    EXPECT_EQ(one.GetDoubleValue(static_cast<Units>(99)), 0.0);
  }
}

TEST(DimensionUnits, ConversionsAndEquality) {
  EXPECT_TRUE(Dimension(1.0, Dimension::ZLV_INCHES) == Dimension(25.4, Dimension::ZLV_MMS));
  EXPECT_TRUE(Dimension(72.0, Dimension::ZLV_POINTS) == Dimension(1.0, Dimension::ZLV_INCHES));
  EXPECT_TRUE(Dimension(7200.0, Dimension::ZLV_HUNDREDTHS_OF_POINTS) ==
              Dimension(2540.0, Dimension::ZLV_HUNDREDTHS_OF_MMS));
  EXPECT_DOUBLE_EQ(Dimension(1.0, Dimension::ZLV_INCHES).GetDoubleValue(Dimension::ZLV_POINTS),
                   72.0);
  EXPECT_DOUBLE_EQ(
      Dimension(210.0, Dimension::ZLV_MMS).GetDoubleValue(Dimension::ZLV_INCHES, 2, 0.5),
      8.27 + 0.0000001);
  EXPECT_EQ(Ascii(Dimension(1.0, Dimension::ZLV_INCHES)
                      .GetStringValue(Dimension::ZLV_MMS, 2, 0.5, false, false)),
            "25.40");
  EXPECT_EQ(Ascii(Dimension(1000.0, Dimension::ZLV_INCHES)
                      .GetStringValue(Dimension::ZLV_MMS, 1, 0.5, true, true)),
            "25,400");

  Dimension d(25.4, Dimension::ZLV_MMS);
  d.SetUnits(Dimension::ZLV_INCHES);
  EXPECT_EQ(d.GetUnits(), Dimension::ZLV_INCHES);
  EXPECT_DOUBLE_EQ(d.GetValue().GetDoubleValue(), 1.0);
  d.ReverseSign();
  EXPECT_DOUBLE_EQ(d.GetValue(Dimension::ZLV_MMS).GetDoubleValue(), -25.4);
  d.SetDoubleValue(2);
  EXPECT_EQ(d.GetUnits(), Dimension::ZLV_INCHES);
  EXPECT_TRUE(d == Dimension(50.8, Dimension::ZLV_MMS));
  d.SetStringValue(CXString(u"12.5kg"));
  EXPECT_DOUBLE_EQ(d.GetValue().GetDoubleValue(), 12.5);
  d.SetStringValue(CXString(u"3"), Dimension::ZLV_POINTS);
  EXPECT_EQ(d.GetUnits(), Dimension::ZLV_POINTS);
  d.SetValue(Number(4.0), Dimension::ZLV_MMS);
  EXPECT_TRUE(d == Dimension(CXString(u"40"), Dimension::ZLV_TENTHS_OF_MMS));

  EXPECT_TRUE(Dimension::IsEquivalent(Dimension(1.0, Dimension::ZLV_INCHES),
                                      Dimension(25.4, Dimension::ZLV_MMS), Dimension::ZLV_MMS, 2,
                                      0.5));
  EXPECT_FALSE(Dimension::IsEquivalent(Dimension(1.0, Dimension::ZLV_INCHES),
                                       Dimension(25.5, Dimension::ZLV_MMS), Dimension::ZLV_MMS, 1,
                                       0.5));
}

TEST(DimensionUnits, DefaultAndDisplay) {
  const Dimension d;
  EXPECT_EQ(d.GetUnits(), Dimension::ZLV_HUNDREDTHS_OF_MMS);
  EXPECT_EQ(d.GetValue().GetDoubleValue(), 0.0);
  EXPECT_EQ(Ascii(d.GetDumpDisplayString(false)), "0.00 [100ths of MMs]");
  EXPECT_EQ(Ascii(Dimension(12.5, Dimension::ZLV_MMS).GetDumpDisplayString(true)), "12.50 [MMs]");
  EXPECT_EQ(Ascii(Dimension(-1.25, Dimension::ZLV_POINTS).GetDumpDisplayString(false)),
            "-1.25 [Pts]");
}

TEST(DimensionCompare, CountsInThousandthsOfMillimetres) {
  // Rounded with 0.499999: half a thousandth rounds up, less does not.
  EXPECT_TRUE(Dimension(1.0005, Dimension::ZLV_MMS) ==
              Dimension(1001.0, Dimension::ZLV_THOUSANDTHS_OF_MMS));
  EXPECT_TRUE(Dimension(1.0004, Dimension::ZLV_MMS) ==
              Dimension(1000.0, Dimension::ZLV_THOUSANDTHS_OF_MMS));
  EXPECT_TRUE(Dimension(1.0004, Dimension::ZLV_MMS) < Dimension(1.0006, Dimension::ZLV_MMS));
  EXPECT_TRUE(Dimension(-1.0, Dimension::ZLV_MMS) < Dimension(0.0, Dimension::ZLV_MMS));
  EXPECT_TRUE(Dimension(2.0, Dimension::ZLV_INCHES) > Dimension(50.0, Dimension::ZLV_MMS));
  EXPECT_TRUE(Dimension(2.0, Dimension::ZLV_INCHES) >= Dimension(50.8, Dimension::ZLV_MMS));
  EXPECT_TRUE(Dimension(2.0, Dimension::ZLV_INCHES) <= Dimension(50.8, Dimension::ZLV_MMS));
  EXPECT_TRUE(Dimension(2.0, Dimension::ZLV_INCHES) != Dimension(50.7, Dimension::ZLV_MMS));
}

TEST(DimensionCompare, OrderHoldsBeyondThirtyTwoBits) {
  // Lengths of more than 2^31 thousandths of a millimetre (2.1 km) and far
  // beyond 2^63: a 32-bit count wrapped or was undefined here.
  const double lengths[] = {-1e30,       -1e16,       -3e9, -2147483.648, -1.0, 0.0, 1.0,
                            2147483.647, 2147483.648, 3e6,  1e13,         1e16, 1e30};
  for (std::size_t i = 0; i + 1 < std::size(lengths); ++i) {
    const Dimension smaller(lengths[i], Dimension::ZLV_MMS);
    const Dimension larger(lengths[i + 1], Dimension::ZLV_MMS);
    EXPECT_TRUE(smaller < larger) << lengths[i] << " < " << lengths[i + 1];
    EXPECT_TRUE(larger > smaller) << lengths[i + 1];
    EXPECT_FALSE(smaller == larger) << lengths[i];
    EXPECT_TRUE(larger == larger) << lengths[i + 1];
  }
}

TEST(DimensionCount, ThirtyTwoBitCountOrException) {
  struct Case {
    double millimetres;
    std::int32_t count;
  } const fits[] = {
      {0, 0},
      {25.4, 25400},
      {-25.4, -25400},
      {1.0005, 1001},
      {2147483.647, 2147483647},
      {-2147483.648, -2147483648},
  };
  for (const Case& c : fits) {
    EXPECT_EQ(Dimension(c.millimetres, Dimension::ZLV_MMS).GetThousandthsOfMMs(), c.count)
        << c.millimetres;
  }
  for (const double millimetres :
       {2147483.6475, 2147483.648, -2147483.6485, 1e7, -1e30, 1e300, std::nan("")}) {
    try {
      Dimension(millimetres, Dimension::ZLV_MMS).GetThousandthsOfMMs();
      ADD_FAILURE() << millimetres << " gave a count";
    } catch (const ExceptionInvalidArgument& e) {
      EXPECT_EQ(Ascii(e.GetExceptionTypeByNumericCode()), "073:000");
      EXPECT_EQ(Ascii(e.GetExceptionLocationFunctionName()), "Dimension::GetThousandthsOfMMs");
    }
  }
  // An unknown unit converts to 0, which fits.
  EXPECT_EQ(Dimension(5.0, static_cast<Units>(40)).GetThousandthsOfMMs(), 0);
}

}  // namespace
