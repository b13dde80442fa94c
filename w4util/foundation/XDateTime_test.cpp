#include "w4util/foundation/XDateTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "w4util/foundation/internal/TestText.h"
#include "w4util/platform/TimeZone.h"

namespace {

std::tm Date(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_wday = 3;
  tm.tm_yday = 77;
  return tm;
}

TEST(XDateTimeCalendar, LeapYearsAndMonthLengths) {
  // Every fourth year, centuries included: the driver's own rule.
  for (const int year : {1900, 2000, 2024, 2100, 0, -4})
    EXPECT_TRUE(XDateTime::XIsLeapYear(year)) << year;
  for (const int year : {2023, 2025, 1901, -1}) EXPECT_FALSE(XDateTime::XIsLeapYear(year)) << year;

  const std::int32_t days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) {
    EXPECT_EQ(XDateTime::XDaysInMonth(2023, static_cast<XDateTime::ZLV_MONTH_ENUM>(month)),
              days[month - 1]);
  }
  EXPECT_EQ(XDateTime::XDaysInMonth(2024, XDateTime::ZLV_FEBRUARY), 29);
  EXPECT_EQ(XDateTime::XDaysInMonth(1900, XDateTime::ZLV_FEBRUARY), 29);
  EXPECT_EQ(XDateTime::XDaysInMonth(2023, static_cast<XDateTime::ZLV_MONTH_ENUM>(0)), -1);
  EXPECT_EQ(XDateTime::XDaysInMonth(2023, static_cast<XDateTime::ZLV_MONTH_ENUM>(13)), -1);
}

TEST(XDateTimeCalendar, AddOneDay) {
  struct Case {
    std::tm from;
    int year, month, day;
  } const cases[] = {
      {Date(2023, 12, 31), 2024, 1, 1}, {Date(2023, 2, 28), 2023, 3, 1},
      {Date(2024, 2, 28), 2024, 2, 29}, {Date(2024, 2, 29), 2024, 3, 1},
      {Date(2023, 1, 31), 2023, 2, 1},  {Date(2023, 4, 30), 2023, 5, 1},
      {Date(2023, 6, 15), 2023, 6, 16}, {Date(2100, 2, 28), 2100, 2, 29},
  };
  for (const Case& c : cases) {
    XDateTime date(c.from);
    EXPECT_TRUE(date.AddOneDay());
    const std::tm& tm = date.GetTimeStruct();
    EXPECT_EQ(tm.tm_year + 1900, c.year);
    EXPECT_EQ(tm.tm_mon + 1, c.month);
    EXPECT_EQ(tm.tm_mday, c.day);
    EXPECT_EQ(tm.tm_wday, 3);  // not updated
    EXPECT_EQ(tm.tm_yday, 77);
  }
  // Extreme fields of a caller's record count on without overflowing.
  std::tm odd = Date(2023, 1, 1);
  odd.tm_mday = INT32_MAX;
  XDateTime extreme(odd);
  EXPECT_TRUE(extreme.AddOneDay());
  odd.tm_mon = 57;
  odd.tm_mday = 3;
  XDateTime badMonth(odd);
  EXPECT_TRUE(badMonth.AddOneDay());
}

TEST(XDateTimeConversions, LocalAndUtcRecords) {
  w4platform::ScopedTimeZone zone("Europe/Berlin");
  const std::int64_t summer = 1719835200;  // 2024-07-01T12:00:00Z
  const XDateTime local(summer);
  EXPECT_EQ(local.GetTimeStruct().tm_hour, 14);
  EXPECT_GT(local.GetTimeStruct().tm_isdst, 0);
  EXPECT_EQ(local.GetTimeInUTC(), summer);

  XDateTime date(Date(2024, 1, 1));
  EXPECT_TRUE(date.SetTime(summer));
  EXPECT_EQ(date.GetTimeStruct().tm_hour, 12);
  EXPECT_TRUE(date.SetTimeAsLocalTime(summer));
  EXPECT_EQ(date.GetTimeStruct().tm_hour, 14);
  EXPECT_FALSE(date.SetTime(0));
  EXPECT_FALSE(date.SetTimeAsLocalTime(0));
  EXPECT_FALSE(date.SetTime(INT64_MAX));
  EXPECT_FALSE(date.SetTimeAsLocalTime(INT64_MIN));
  EXPECT_EQ(date.GetTimeStruct().tm_hour, 14);  // unchanged
  EXPECT_EQ(Ascii(date.FormatTime(u"%d.%m.%Y %H:%M")), "01.07.2024 14:00");

  // Before 1970 too.
  EXPECT_TRUE(date.SetTimeAsLocalTime(-299851200));  // 1960-07-01T12:00:00Z, no summer time then
  EXPECT_EQ(date.GetTimeStruct().tm_hour, 13);
  EXPECT_EQ(date.GetTimeInUTC(), -299851200);
}

TEST(XDateTimeConversions, CurrentTime) {
  w4platform::ScopedTimeZone zone("UTC");
  const std::int64_t before = w4platform::CurrentUtcSeconds();
  const XDateTime now;
  const XDateTime fromZero(std::int64_t{0});
  const std::int64_t after = w4platform::CurrentUtcSeconds();
  for (const XDateTime* date : {&now, &fromZero}) {
    EXPECT_GE(date->GetTimeInUTC(), before);
    EXPECT_LE(date->GetTimeInUTC(), after);
  }
  std::tm tick = XDateTime::GetTickCount();
  XDateTime fromTick(tick);
  EXPECT_GE(fromTick.GetTimeInUTC(), before);
}

struct DerivedDate : XDateTime {
  explicit DerivedDate(bool& destroyed) : m_destroyed(destroyed) {}
  ~DerivedDate() override { m_destroyed = true; }
  bool& m_destroyed;
};

TEST(XDateTimeConversions, DestroysThroughTheBase) {
  bool destroyed = false;
  std::unique_ptr<XDateTime> date = std::make_unique<DerivedDate>(destroyed);
  date.reset();
  EXPECT_TRUE(destroyed);
}

}  // namespace
