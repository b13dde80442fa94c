#include "w4util/platform/TimeZone.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

namespace w4platform {
namespace {

TEST(TimeZone, OffsetFollowsDaylightSavingTime) {
  ScopedTimeZone zone("Europe/Berlin");
  struct Case {
    std::int64_t t;
    std::int32_t offset;
    bool daylight;
  } const cases[] = {
      {1704067200, 3600, false},  // 2024-01-01T00:00:00Z
      {1719792000, 7200, true},   // 2024-07-01T00:00:00Z
      {-299980800, 3600, false},  // 1960-07-01T00:00:00Z: no summer time then
      {-1000, 3600, false},       // just before 1970
  };
  for (const Case& c : cases) {
    std::int32_t offset = 0;
    bool daylight = false;
    ASSERT_TRUE(ZoneOffsetAt(c.t, offset, daylight)) << c.t;
    EXPECT_EQ(offset, c.offset) << c.t;
    EXPECT_EQ(daylight, c.daylight) << c.t;
  }
}

TEST(TimeZone, LocalFieldsRoundTrip) {
  ScopedTimeZone zone("America/New_York");
  for (std::int64_t t :
       {std::int64_t{1720000000}, std::int64_t{1700000000}, std::int64_t{-86400 * 365 * 30}}) {
    std::tm local{};
    ASSERT_TRUE(LocalFieldsFromSeconds(t, local));
    local.tm_isdst = -1;
    std::int64_t back = 0;
    ASSERT_TRUE(SecondsFromLocalFields(local, back));
    EXPECT_EQ(back, t);
  }
}

TEST(TimeZone, MinusOneSecondIsAValidTime) {
  ScopedTimeZone zone("UTC");
  std::tm fields{};
  fields.tm_year = 69;
  fields.tm_mon = 11;
  fields.tm_mday = 31;
  fields.tm_hour = 23;
  fields.tm_min = 59;
  fields.tm_sec = 59;
  fields.tm_isdst = -1;
  std::int64_t t = 0;
  ASSERT_TRUE(SecondsFromLocalFields(fields, t));
  EXPECT_EQ(t, -1);
  ASSERT_TRUE(UtcFieldsFromSeconds(-1, fields));
  EXPECT_EQ(fields.tm_year, 69);
  EXPECT_EQ(fields.tm_sec, 59);
}

TEST(TimeZone, HugeCountsAreRefused) {
  std::tm fields{};
  EXPECT_FALSE(UtcFieldsFromSeconds(INT64_MAX, fields));
  EXPECT_FALSE(LocalFieldsFromSeconds(INT64_MIN, fields));
}

TEST(TimeZone, ScopedTimeZoneRestoresTz) {
  const char* before = getenv("TZ");
  const std::string saved = before ? before : "";
  const bool had = before != nullptr;
  {
    ScopedTimeZone zone("Asia/Kolkata");
    std::int32_t offset = 0;
    bool daylight = true;
    ASSERT_TRUE(ZoneOffsetAt(1704067200, offset, daylight));
    EXPECT_EQ(offset, 330 * 60);
    EXPECT_FALSE(daylight);
  }
  const char* after = getenv("TZ");
  EXPECT_EQ(after != nullptr, had);
  if (after) {
    EXPECT_EQ(saved, after);
  }
}

}  // namespace
}  // namespace w4platform
