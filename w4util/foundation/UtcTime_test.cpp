#include "w4util/foundation/UtcTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "w4util/foundation/internal/TestText.h"
#include "w4util/platform/TimeZone.h"

namespace {

CXString Text(const std::string& ascii) {
  std::u16string wide(ascii.begin(), ascii.end());
  return CXString(wide.data(), static_cast<std::int32_t>(wide.size()));
}

struct Fields {
  int year, month, day, hour, minute, second;  // month 1-12
};

void ExpectFields(const std::tm& tm, const Fields& f, const std::string& what) {
  EXPECT_EQ(tm.tm_year + 1900, f.year) << what;
  EXPECT_EQ(tm.tm_mon + 1, f.month) << what;
  EXPECT_EQ(tm.tm_mday, f.day) << what;
  EXPECT_EQ(tm.tm_hour, f.hour) << what;
  EXPECT_EQ(tm.tm_min, f.minute) << what;
  EXPECT_EQ(tm.tm_sec, f.second) << what;
}

// Each test names the zone it depends on; TZ is restored afterwards.
class UtcTimeInZone : public ::testing::Test {
 protected:
  void UseZone(const std::string& zone) {
    m_zone.reset();
    m_zone = std::make_unique<w4platform::ScopedTimeZone>(zone);
  }
  void TearDown() override { m_zone.reset(); }

 private:
  std::unique_ptr<w4platform::ScopedTimeZone> m_zone;
};

TEST_F(UtcTimeInZone, ParsesTheAcceptedForms) {
  UseZone("Europe/Berlin");
  struct Case {
    const char* text;
    bool convert;
    Fields fields;
    bool known;
    std::int32_t offset;
  } const cases[] = {
      {"2024-03-05T07:08:09Z", true, {2024, 3, 5, 7, 8, 9}, true, 0},
      {"2024-03-05T07:08Z", true, {2024, 3, 5, 7, 8, 0}, true, 0},
      {"2024-03-05T07:08+02:00", true, {2024, 3, 5, 5, 8, 0}, true, 120},
      {"2024-03-05T07:08+02:00", false, {2024, 3, 5, 7, 8, 0}, true, 120},
      {"2024-03-05 07:08:09-05", true, {2024, 3, 5, 12, 8, 9}, true, -300},
      {"2024-03-05T07:08:09+05:30", true, {2024, 3, 5, 1, 38, 9}, true, 330},
      // Less than an hour west of UTC keeps its sign.
      {"2024-03-05T07:08:09-00:30", true, {2024, 3, 5, 7, 38, 9}, true, -30},
      {"2024-03-05T07:08:09+00:30", true, {2024, 3, 5, 6, 38, 9}, true, 30},
      // An explicit zero offset counts as not known.
      {"2024-03-05T07:08:09+00:00", true, {2024, 3, 5, 7, 8, 9}, false, 0},
      {"2024-03-05T07:08:09-00", true, {2024, 3, 5, 7, 8, 9}, false, 0},
      // No zone: a local time here, with the offset in force then.
      {"2024-03-05T07:08", true, {2024, 3, 5, 6, 8, 0}, false, 60},
      {"2024-07-05T07:08", true, {2024, 7, 5, 5, 8, 0}, false, 120},
      {"2024-07-05T07:08", false, {2024, 7, 5, 7, 8, 0}, false, 120},
      // Hour 24 is hour 0 of the same day.
      {"2024-03-05T24:00Z", true, {2024, 3, 5, 0, 0, 0}, true, 0},
      // Converting may cross a day, a year and 1970.
      {"2024-01-01T00:30+01:00", true, {2023, 12, 31, 23, 30, 0}, true, 60},
      {"1970-01-01T00:00:00+00:01", true, {1969, 12, 31, 23, 59, 0}, true, 1},
      {"1900-01-01T00:00+01:00", true, {1899, 12, 31, 23, 0, 0}, true, 60},
      {"1969-07-20T20:17:40Z", true, {1969, 7, 20, 20, 17, 40}, true, 0},
      {"2024-02-29T12:00Z", true, {2024, 2, 29, 12, 0, 0}, true, 0},
      {"2000-02-29T12:00Z", true, {2000, 2, 29, 12, 0, 0}, true, 0},
      {"9999-12-31T23:59:59Z", true, {9999, 12, 31, 23, 59, 59}, true, 0},
      {"12345-06-07T08:09:10Z", true, {12345, 6, 7, 8, 9, 10}, true, 0},
      // Digits without a fixed width, and a "+" before a number, as the
      // text walkers read them.
      {"2024-3-5T7:8:9Z", true, {2024, 3, 5, 7, 8, 9}, true, 0},
      {"+2024-03-05T07:08Z", true, {2024, 3, 5, 7, 8, 0}, true, 0},
      // A year and one more character: January 1st, local midnight.
      {"2024T", false, {2024, 1, 1, 0, 0, 0}, false, 60},
      {"2024Z", true, {2023, 12, 31, 23, 0, 0}, false, 60},
  };
  for (const Case& c : cases) {
    std::tm record{};
    bool known = !c.known;
    std::int32_t offset = 12345;
    ASSERT_TRUE(UtcTime::ConvertIso8601StringToTmStructInUtc(Text(c.text), record, known, offset,
                                                             c.convert))
        << c.text;
    ExpectFields(record, c.fields, c.text);
    EXPECT_EQ(known, c.known) << c.text;
    EXPECT_EQ(offset, c.offset) << c.text;
    EXPECT_EQ(record.tm_isdst, 0) << c.text;
  }
}

TEST_F(UtcTimeInZone, MalformedTextsFailAndStoreNothing) {
  UseZone("America/New_York");
  const std::string malformed[] = {
      "",
      "2024",
      "2024-",
      "1899-12-31T00:00Z",
      "0-01-01T00:00Z",
      "2024-13-01T00:00Z",
      "2024-00-10T00:00Z",
      "2024-01-00T00:00Z",
      "2024-01-32T00:00Z",
      "2024-02-30T00:00Z",
      "2023-02-29T00:00Z",
      "1900-02-29T00:00Z",
      "2024-04-31T00:00Z",
      "2024-01-01T25:00Z",
      "2024-01-01T00:60Z",
      "2024-01-01T00:00:60Z",
      "2024-01-01T00:00:00",  // a zone must follow the seconds
      "2024-01-01T00:00:",
      "2024-01-01T00:00+24:00",
      "2024-01-01T00:00-24",
      "2024-01-01T00:00+05:60",
      "2024-01-01T00:00+05:",
      "2024-01-01T00:00+05:-30",
      "2024-01-01T00:00+",
      "2024-01-01T00:00+0530",
      "2024-01-01T00:00Zjunk",
      "2024-01-01T00:00+01:00x",
      "2024-01-01T00:00 ",
      "2024-01-01T00:00z",
      "2024-01-01X00:00Z",
      "2024-01-01T00-00Z",
      "2024-01-01T00",
      "2024-01-01T",
      "2024-01-01",
      "2024-01",
      "2024/01/01",
      "2024XY",
      "-2024-01-01T00:00Z",
      " 2024-01-01T00:00Z",
      "T00:00Z",
      "Z",
      // Numbers beyond 32 bits fail instead of wrapping into a field.
      "4294969320-01-01T00:00Z",
      "99999999999-01-01T00:00Z",
      "2024-4294967297-01T00:00Z",
      "2024-01-4294967297T00:00Z",
      "2024-01-01T4294967296:00Z",
      "2024-01-01T00:4294967296Z",
      "2024-01-01T00:00:4294967296Z",
      "2024-01-01T00:00+4294967297",
      "2024-01-01T00:00-4294967319",
      std::string("2024-01-01T00:00\0Z", 18),
      std::string("2024-01-01T00:00Z\0", 18),
  };
  for (const std::string& text : malformed) {
    std::tm record{};
    record.tm_year = 77;
    bool known = true;
    std::int32_t offset = 4242;
    EXPECT_FALSE(
        UtcTime::ConvertIso8601StringToTmStructInUtc(Text(text), record, known, offset, true))
        << text;
    EXPECT_EQ(record.tm_year, 77) << text;
    EXPECT_TRUE(known) << text;
    EXPECT_EQ(offset, 4242) << text;

    UtcTime time;
    time.SetWithTime64(86400);
    EXPECT_FALSE(time.SetWithIso8601String(Text(text), false)) << text;
    EXPECT_EQ(time.GetAsTime64(), 86400) << text;
  }
  // The constructor falls back to now.
  const std::int64_t before = w4platform::CurrentUtcSeconds();
  const UtcTime fallback(Text("2024-13-01T00:00Z"));
  EXPECT_GE(fallback.GetAsTime64(), before);
  EXPECT_LE(fallback.GetAsTime64(), w4platform::CurrentUtcSeconds());
}

// A value written and read back is the same instant, in either season and
// before 1970, whatever today's offset of the zone is.
TEST_F(UtcTimeInZone, WriteAndReadBackIsTheSameInstant) {
  struct Zone {
    const char* name;
    std::int64_t t;
    const char* local;  // GetAsIso8601String
  } const cases[] = {
      {"Europe/Berlin", 1704110400, "2024-01-01T13:00:00+01:00"},  // 2024-01-01T12:00Z
      {"Europe/Berlin", 1719835200, "2024-07-01T14:00:00+02:00"},  // 2024-07-01T12:00Z
      {"Europe/Berlin", 1711846800,
       "2024-03-31T03:00:00+02:00"},  // the first second of summer time
      {"Europe/Berlin", 1711846799, "2024-03-31T01:59:59+01:00"},  // the last of winter time
      {"Europe/Berlin", 1729990800, "2024-10-27T02:00:00+01:00"},  // the repeated hour, second pass
      {"Europe/Berlin", 1729987200, "2024-10-27T02:00:00+02:00"},  // ... first pass
      {"Europe/Berlin", -299851200, "1960-07-01T13:00:00+01:00"},  // no summer time in 1960
      {"Europe/Berlin", -1, "1970-01-01T00:59:59+01:00"},
      {"Europe/Berlin", -2208988800, "1900-01-01T01:00:00+01:00"},
      {"America/New_York", 1704110400, "2024-01-01T07:00:00-05:00"},
      {"America/New_York", 1719835200, "2024-07-01T08:00:00-04:00"},
      {"America/New_York", -299851200, "1960-07-01T08:00:00-04:00"},  // summer time in 1960
      {"America/New_York", -315576000, "1960-01-01T07:00:00-05:00"},
      {"America/New_York", 4102444800, "2099-12-31T19:00:00-05:00"},
  };
  for (const Zone& c : cases) {
    UseZone(c.name);
    UtcTime time;
    ASSERT_TRUE(time.SetWithTime64(c.t));
    EXPECT_EQ(time.GetAsTime64(), c.t) << c.name << " " << c.t;
    const CXString local = time.GetAsIso8601String();
    EXPECT_EQ(Ascii(local), c.local) << c.name << " " << c.t;

    UtcTime back;
    ASSERT_TRUE(back.SetWithIso8601String(local, true)) << Ascii(local);
    EXPECT_EQ(back.GetAsTime64(), c.t) << Ascii(local);
    EXPECT_TRUE(back == time) << Ascii(local);

    ASSERT_TRUE(back.SetWithIso8601String(time.GetAsIso8601StringInUTC(), true));
    EXPECT_EQ(back.GetAsTime64(), c.t) << c.t;

    // The same wall clock without its zone means the same instant here,
    // except in the hour that the end of summer time repeats.
    const bool repeatedHour = c.t == 1729987200 || c.t == 1729990800;
    if (!repeatedHour && c.t % 60 == 0) {
      const std::string wall = Ascii(local).substr(0, 16);
      UtcTime zoneless;
      ASSERT_TRUE(zoneless.SetWithIso8601String(Text(wall), true)) << wall;
      EXPECT_EQ(zoneless.GetAsTime64(), c.t) << wall;
      EXPECT_FALSE(zoneless.IsOriginalTimeZoneOffsetKnown());
    }

    // Local fields given back through the runtime's local-time conversion.
    const std::tm fields = time.GetTimeInCurrentTimeZone();
    UtcTime fromLocal;
    fromLocal.SetWithTmStructInCurrentTimeZone(fields);
    if (!repeatedHour) {
      EXPECT_EQ(fromLocal.GetAsTime64(), c.t) << c.name << " " << c.t;
    }
    EXPECT_TRUE(fromLocal.IsOriginalTimeZoneOffsetKnown());
  }
}

TEST_F(UtcTimeInZone, UtcCountDoesNotDependOnTheZone) {
  std::tm record{};
  record.tm_year = 60;
  record.tm_mon = 6;
  record.tm_mday = 1;
  record.tm_hour = 12;
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York", "Australia/Lord_Howe"}) {
    UseZone(zone);
    EXPECT_EQ(UtcTime::GetTime64FromUtcTmStruct(record, 5, 30, true), -299851200) << zone;
    EXPECT_EQ(UtcTime::GetTime64FromUtcTmStruct(record, -8, 0, false), -299851200) << zone;
  }
  // Fields out of their ranges count on, as timegm does: month 12 of 1960
  // is January 1961, and its day 0 is 1960-12-31.
  record.tm_mon = 12;
  record.tm_mday = 0;
  EXPECT_EQ(UtcTime::GetTime64FromUtcTmStruct(record, 0, 0, false), -284040000);
}

TEST_F(UtcTimeInZone, ZoneTextsAndOffsets) {
  UseZone("UTC");
  struct Case {
    std::int32_t hours, minutes;
    const char* zone;
  } const zones[] = {
      {0, 0, "Z"},       {5, 30, "+05:30"},  {-1, 30, "-01:30"}, {0, -30, "-00:30"},
      {0, 45, "+00:45"}, {-12, 0, "-12:00"}, {14, 0, "+14:00"},
  };
  std::tm record{};
  record.tm_year = 124;
  record.tm_mon = 2;
  record.tm_mday = 5;
  record.tm_hour = 7;
  record.tm_min = 8;
  record.tm_sec = 9;
  for (const Case& c : zones) {
    EXPECT_EQ(Ascii(UtcTime::BuildIso8601String(record, c.hours, c.minutes)),
              std::string("2024-03-05T07:08:09") + c.zone);
  }

  UtcTime time(Text("2024-03-05T07:08:09Z"));
  for (const std::int32_t offset : {330, -90, -30, 30, 0, -720}) {
    time.SetOriginalTimeZoneOffset(offset);
    bool known = false;
    std::int32_t got = 0;
    const CXString text = time.GetAsIso8601StringInOriginalTimeZone(known, got);
    EXPECT_TRUE(known);
    EXPECT_EQ(got, offset);
    UtcTime back;
    ASSERT_TRUE(back.SetWithIso8601String(text, true)) << Ascii(text);
    EXPECT_EQ(back.GetAsTime64(), time.GetAsTime64()) << Ascii(text);
    if (offset != 0) {
      EXPECT_EQ(back.GetOriginalTimeZoneOffset(), offset) << Ascii(text);
    }
  }
  bool known = false;
  std::int32_t offset = 0;
  UtcTime shifted(Text("2024-03-05T07:08:09Z"));
  shifted.SetOriginalTimeZoneOffset(-90);
  EXPECT_EQ(Ascii(shifted.GetAsIso8601StringInOriginalTimeZone(known, offset)),
            "2024-03-05T07:08:09-01:30");
  EXPECT_EQ(Ascii(shifted.GetAsIso8601StringInUTC()), "2024-03-05T08:38:09Z");
  ExpectFields(shifted.GetTimeInOriginalTimeZone(known, offset), {2024, 3, 5, 7, 8, 9}, "original");
  EXPECT_EQ(Ascii(UtcTime(Text("2024-03-05T07:08:09Z")).GetDumpDisplayString(false)),
            "2024-03-05T07:08:09Z [time zone minutes: 0 (known)]");
  UtcTime unknown;
  unknown.SetWithTime64(0);
  EXPECT_EQ(Ascii(unknown.GetDumpDisplayString(false)),
            "1970-01-01T00:00:00Z [time zone minutes: 0 (unknown)]");
}

TEST_F(UtcTimeInZone, CurrentZoneInformation) {
  struct Case {
    const char* zone;
    std::int32_t hours, minutes;
  } const fixed[] = {
      {"UTC", 0, 0},           {"Asia/Kolkata", 5, 30},
      {"<-0030>0:30", 0, -30},  // POSIX rule: 30 minutes west of UTC all year
      {"<-0930>9:30", -9, 30}, {"Asia/Kathmandu", 5, 45},
  };
  for (const Case& c : fixed) {
    UseZone(c.zone);
    std::int32_t hours = 99, minutes = 99;
    bool daylight = true;
    UtcTime::GetCurrentTimeZoneInformation(hours, minutes, daylight);
    EXPECT_EQ(hours, c.hours) << c.zone;
    EXPECT_EQ(minutes, c.minutes) << c.zone;
    EXPECT_FALSE(daylight) << c.zone;
    // The default time carries the same offset.
    EXPECT_EQ(UtcTime().GetOriginalTimeZoneOffset(),
              c.hours * 60 + (c.hours < 0 ? -c.minutes : c.minutes));
  }
  // With summer time the answer depends on today; either is consistent.
  UseZone("America/New_York");
  std::int32_t hours = 0, minutes = 0;
  bool daylight = false;
  UtcTime::GetCurrentTimeZoneInformation(hours, minutes, daylight);
  EXPECT_EQ(minutes, 0);
  EXPECT_EQ(hours, daylight ? -4 : -5);
}

TEST_F(UtcTimeInZone, ModifyAndCompare) {
  UseZone("UTC");
  UtcTime time(Text("1970-01-01T00:00:00Z"));
  time.ModifyTimeInSeconds(-1);
  EXPECT_EQ(time.GetAsTime64(), -1);
  time.ModifyTimeInMinutes(2);
  EXPECT_EQ(time.GetAsTime64(), 119);
  time.ModifyTimeInHours(-48);
  EXPECT_EQ(Ascii(time.GetAsIso8601StringInUTC()), "1969-12-30T00:01:59Z");
  time.ModifyTimeInDays(366 + 365);
  EXPECT_EQ(Ascii(time.GetAsIso8601StringInUTC()), "1971-12-31T00:01:59Z");
  // Far beyond the 32-bit range of seconds.
  time.ModifyTimeInDays(2000000000);
  time.ModifyTimeInDays(-2000000000);
  EXPECT_EQ(Ascii(time.GetAsIso8601StringInUTC()), "1971-12-31T00:01:59Z");
  ExpectFields(time.GetTimeInUtc(), {1971, 12, 31, 0, 1, 59}, "utc");
  EXPECT_EQ(time.GetTimeInUtc().tm_wday, 5);  // a Friday
  EXPECT_EQ(time.GetTimeInUtc().tm_yday, 364);

  // A count beyond the record's years changes nothing.
  EXPECT_FALSE(time.SetWithTime64(INT64_MAX));
  EXPECT_FALSE(time.SetWithTime64(INT64_MIN));
  EXPECT_EQ(Ascii(time.GetAsIso8601StringInUTC()), "1971-12-31T00:01:59Z");

  UtcTime a(Text("2024-03-05T12:00:00Z"));
  UtcTime b(Text("2024-03-05T13:00+01:00"));
  EXPECT_TRUE(a == b);  // the same fields in UTC; the offsets take no part
  EXPECT_FALSE(a < b);
  b.ModifyTimeInSeconds(30);
  EXPECT_TRUE(a < b);
  EXPECT_TRUE(a != b);
  EXPECT_EQ(a.GetDeltaInSecondsBetweenTwoClocks(b), 30 + 3600);
  EXPECT_EQ(b.GetDeltaInSecondsBetweenTwoClocks(a), -30 - 3600);
  UtcTime c;
  c.SetWithTime64(a.GetAsTime64());  // offset unknown: counts as this zone's (0)
  EXPECT_EQ(c.GetDeltaInSecondsBetweenTwoClocks(b), 30 + 3600);
}

TEST_F(UtcTimeInZone, SetOriginalTimeZoneOffsetKeepsTheWallClock) {
  UseZone("UTC");
  UtcTime time;
  time.SetWithTime64(43200);                       // 12:00Z, offset 0 unknown
  EXPECT_TRUE(time.SetOriginalTimeZoneOffset(0));  // equal, but was unknown
  EXPECT_FALSE(time.SetOriginalTimeZoneOffset(0));
  EXPECT_TRUE(time.SetOriginalTimeZoneOffset(60));
  EXPECT_EQ(time.GetAsTime64(), 43200 - 3600);
  bool known = false;
  std::int32_t offset = 0;
  EXPECT_EQ(Ascii(time.GetAsIso8601StringInOriginalTimeZone(known, offset)),
            "1970-01-01T12:00:00+01:00");
  EXPECT_TRUE(known);
  EXPECT_EQ(offset, 60);
}

TEST_F(UtcTimeInZone, EnsureWithinOneDay) {
  UseZone("UTC");  // no summer time: the wall clock exists every day
  const std::int64_t before = w4platform::CurrentUtcSeconds();
  UtcTime soon;
  soon.SetWithTime64(before + 3600);
  EXPECT_FALSE(soon.EnsureTimeIsWithinOneDayAfterCurrentTime());
  EXPECT_EQ(soon.GetAsTime64(), before + 3600);

  for (const std::int64_t away :
       {std::int64_t{-10} * 86400 - 1234, std::int64_t{400} * 86400 + 777}) {
    UtcTime time;
    time.SetWithTime64(before + away);
    const std::tm wall = time.GetTimeInCurrentTimeZone();
    EXPECT_TRUE(time.EnsureTimeIsWithinOneDayAfterCurrentTime());
    const std::int64_t after = w4platform::CurrentUtcSeconds();
    EXPECT_GE(time.GetAsTime64(), before - 60);
    EXPECT_LE(time.GetAsTime64(), after + 86400);
    const std::tm now = time.GetTimeInCurrentTimeZone();
    EXPECT_EQ(now.tm_hour, wall.tm_hour);
    EXPECT_EQ(now.tm_min, wall.tm_min);
    EXPECT_EQ(now.tm_sec, 0);
  }
}

TEST_F(UtcTimeInZone, FormatTmStruct) {
  UseZone("UTC");
  const UtcTime time(Text("2024-03-05T07:08:09Z"));
  EXPECT_EQ(Ascii(time.FormatTimeInUtc(CXString(u"%Y-%m-%d %H:%M:%S"))), "2024-03-05 07:08:09");
  EXPECT_EQ(Ascii(time.FormatTimeInCurrentTimeZone(CXString(u"%H:%M"))), "07:08");
  UtcTime shifted = time;
  shifted.SetOriginalTimeZoneOffset(-30);
  EXPECT_EQ(Ascii(shifted.FormatTimeInOriginalTimeZone(CXString(u"%H:%M"))), "07:08");
  EXPECT_EQ(Ascii(shifted.FormatTimeInUtc(CXString(u"%H:%M"))), "07:38");
  const CXString accented =
      UtcTime::FormatTmStruct(time.GetTimeInUtc(), CXString(u"\u00e4%Y\U0001F600"));
  EXPECT_EQ(accented, CXString(u"\u00e42024\U0001F600"));
  EXPECT_EQ(UtcTime::FormatTmStruct(time.GetTimeInUtc(), CXString(u'x', 259)).GetLength(), 259);
  EXPECT_TRUE(UtcTime::FormatTmStruct(time.GetTimeInUtc(), CXString(u'x', 260)).IsEmpty());
  EXPECT_TRUE(UtcTime::FormatTmStruct(time.GetTimeInUtc(), CXString()).IsEmpty());
}

TEST_F(UtcTimeInZone, RuntimeConversions) {
  UseZone("Europe/Berlin");
  std::tm fields{};
  ASSERT_TRUE(UtcTime::ThreadSafe_gmtime64(-1, fields));
  ExpectFields(fields, {1969, 12, 31, 23, 59, 59}, "gmtime64");
  ASSERT_TRUE(UtcTime::ThreadSafe_localtime64(1719835200, fields));
  ExpectFields(fields, {2024, 7, 1, 14, 0, 0}, "localtime64");
  EXPECT_GT(fields.tm_isdst, 0);
  fields.tm_isdst = -1;
  EXPECT_EQ(UtcTime::ThreadSafe_mktime64(fields), 1719835200);
  const std::time_t t = 1704110400;
  ASSERT_TRUE(UtcTime::ThreadSafe_localtime(t, fields));
  EXPECT_EQ(fields.tm_hour, 13);
  EXPECT_EQ(UtcTime::ThreadSafe_mktime(fields), t);
  ASSERT_TRUE(UtcTime::ThreadSafe_gmtime(t, fields));
  EXPECT_EQ(fields.tm_hour, 12);

  EXPECT_TRUE(C_ThreadSafe_gmtime(&t, &fields));
  EXPECT_FALSE(C_ThreadSafe_gmtime(nullptr, &fields));
  EXPECT_FALSE(C_ThreadSafe_localtime(&t, nullptr));
  const std::int64_t t64 = 1719835200;
  EXPECT_TRUE(C_ThreadSafe_localtime64(&t64, &fields));
  EXPECT_EQ(C_ThreadSafe_mktime64(&fields), t64);
  EXPECT_TRUE(C_ThreadSafe_gmtime64(&t64, &fields));
  EXPECT_EQ(C_ThreadSafe_mktime(nullptr), static_cast<std::time_t>(-1));
  EXPECT_EQ(C_ThreadSafe_mktime64(nullptr), -1);
  EXPECT_FALSE(UtcTime::ThreadSafe_gmtime64(INT64_MAX, fields));
}

TEST_F(UtcTimeInZone, DefaultIsNowWithTheCurrentOffset) {
  UseZone("Asia/Kolkata");
  const std::int64_t before = w4platform::CurrentUtcSeconds();
  const UtcTime now;
  EXPECT_GE(now.GetAsTime64(), before);
  EXPECT_LE(now.GetAsTime64(), w4platform::CurrentUtcSeconds());
  EXPECT_TRUE(now.IsOriginalTimeZoneOffsetKnown());
  EXPECT_EQ(now.GetOriginalTimeZoneOffset(), 330);
  EXPECT_EQ(Ascii(now.GetAsIso8601String()).substr(19), "+05:30");
}

// Conversions from several threads at once give each its own answer.
TEST(UtcTimeThreads, ConcurrentConversions) {
  w4platform::ScopedTimeZone zone("Europe/Berlin");
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([i, &failures] {
      const std::int64_t t = i % 2 == 0 ? 1704110400 : 1719835200;
      const std::string expected =
          i % 2 == 0 ? "2024-01-01T13:00:00+01:00" : "2024-07-01T14:00:00+02:00";
      for (int k = 0; k < 500; ++k) {
        UtcTime time;
        time.SetWithTime64(t);
        if (Ascii(time.GetAsIso8601String()) != expected) ++failures[static_cast<std::size_t>(i)];
        std::tm fields{};
        if (!UtcTime::ThreadSafe_localtime64(t, fields) ||
            fields.tm_hour != (i % 2 == 0 ? 13 : 14)) {
          ++failures[static_cast<std::size_t>(i)];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const int count : failures) EXPECT_EQ(count, 0);
}

}  // namespace
