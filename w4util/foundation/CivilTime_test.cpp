#include "w4util/foundation/CivilTime.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "w4util/platform/TimeZone.h"

namespace civil = ZelvoUtilities::internal;

namespace {

TEST(CivilTime, KnownDays) {
  EXPECT_EQ(civil::DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(civil::DaysFromCivil(2000, 3, 1), 11017);
  EXPECT_EQ(civil::DaysFromCivil(1969, 12, 31), -1);
  EXPECT_EQ(civil::DaysFromCivil(1900, 1, 1), -25567);
  EXPECT_EQ(civil::DaysFromCivil(1, 1, 1), -719162);
  EXPECT_EQ(civil::DaysFromCivil(0, 3, 1), -719468);
  static_assert(civil::DaysFromCivil(2024, 2, 29) == 19782);
}

// Against the C runtime over a spread of counts, both sides of 1970.
TEST(CivilTime, AgreesWithTheRuntime) {
  for (std::int64_t t = -62135596800; t < 253402300800; t += 7777777 + 13) {
    std::tm ours{};
    std::tm theirs{};
    ASSERT_TRUE(civil::UtcFieldsFromSeconds(t, ours));
    ASSERT_TRUE(w4platform::UtcFieldsFromSeconds(t, theirs));
    ASSERT_EQ(ours.tm_year, theirs.tm_year) << t;
    ASSERT_EQ(ours.tm_mon, theirs.tm_mon) << t;
    ASSERT_EQ(ours.tm_mday, theirs.tm_mday) << t;
    ASSERT_EQ(ours.tm_hour, theirs.tm_hour) << t;
    ASSERT_EQ(ours.tm_min, theirs.tm_min) << t;
    ASSERT_EQ(ours.tm_sec, theirs.tm_sec) << t;
    ASSERT_EQ(ours.tm_wday, theirs.tm_wday) << t;
    ASSERT_EQ(ours.tm_yday, theirs.tm_yday) << t;
    ASSERT_EQ(civil::SecondsFromUtcFields(ours), t);
  }
}

TEST(CivilTime, WholeRangeOfTheRecord) {
  std::tm fields{};
  EXPECT_FALSE(civil::UtcFieldsFromSeconds(INT64_MAX, fields));
  EXPECT_FALSE(civil::UtcFieldsFromSeconds(INT64_MIN, fields));

  // The extremes of every int field sum without overflow, and the counts of
  // the last representable years read back.
  std::tm top{};
  top.tm_year = INT_MAX;
  top.tm_mon = INT_MAX;
  top.tm_mday = INT_MAX;
  top.tm_hour = INT_MAX;
  top.tm_min = INT_MAX;
  top.tm_sec = INT_MAX;
  std::tm bottom = top;
  bottom.tm_year = bottom.tm_mon = bottom.tm_mday = bottom.tm_hour = bottom.tm_min = bottom.tm_sec =
      INT_MIN;
  EXPECT_GT(civil::SecondsFromUtcFields(top), 0);
  EXPECT_LT(civil::SecondsFromUtcFields(bottom), 0);

  std::tm last{};
  last.tm_year = INT_MAX;
  last.tm_mon = 11;
  last.tm_mday = 31;
  last.tm_hour = 23;
  last.tm_min = 59;
  last.tm_sec = 59;
  const std::int64_t t = civil::SecondsFromUtcFields(last);
  ASSERT_TRUE(civil::UtcFieldsFromSeconds(t, fields));
  EXPECT_EQ(fields.tm_year, INT_MAX);
  EXPECT_EQ(fields.tm_yday, civil::IsGregorianLeapYear(std::int64_t{INT_MAX} + 1900) ? 365 : 364);
  EXPECT_FALSE(civil::UtcFieldsFromSeconds(t + 1, fields));

  std::tm first{};
  first.tm_year = INT_MIN;
  first.tm_mday = 1;
  const std::int64_t t0 = civil::SecondsFromUtcFields(first);
  ASSERT_TRUE(civil::UtcFieldsFromSeconds(t0, fields));
  EXPECT_EQ(fields.tm_year, INT_MIN);
  EXPECT_FALSE(civil::UtcFieldsFromSeconds(t0 - 1, fields));
}

TEST(CivilTime, GregorianMonths) {
  EXPECT_EQ(civil::GregorianDaysInMonth(1900, 2), 28);
  EXPECT_EQ(civil::GregorianDaysInMonth(2000, 2), 29);
  EXPECT_EQ(civil::GregorianDaysInMonth(2024, 2), 29);
  EXPECT_EQ(civil::GregorianDaysInMonth(2023, 4), 30);
  EXPECT_EQ(civil::GregorianDaysInMonth(2023, 12), 31);
  EXPECT_EQ(civil::GregorianDaysInMonth(2023, 0), 0);
  EXPECT_EQ(civil::GregorianDaysInMonth(2023, 13), 0);
}

}  // namespace
