// Proleptic Gregorian calendar arithmetic on UTC fields, without the C
// runtime: days from a civil date and back, and a broken-down UTC record from
// and to a 64-bit count of seconds since 1970-01-01T00:00:00Z (what timegm
// and gmtime do, over the whole range the record's int fields can hold).
//
// Pure functions: thread-safe, no state, no allocation. Internal to the
// library; UtcTime and its tests use them.
#pragma once

#include <cstdint>
#include <ctime>
#include <limits>

namespace ZelvoUtilities::internal {

constexpr std::int64_t kSecondsPerDay = 86400;

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

constexpr std::int64_t FloorMod(std::int64_t a, std::int64_t b) { return a - FloorDiv(a, b) * b; }

constexpr bool IsGregorianLeapYear(std::int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// month 1..12.
constexpr int GregorianDaysInMonth(std::int64_t year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return (month == 2 && IsGregorianLeapYear(year)) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of year-month-day; month 1..12, day 1..31 (a day past
// the month's end simply counts on). Valid for |year| below 2^40.
constexpr std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = FloorDiv(year, 400);
  const std::int64_t yoe = year - era * 400;                       // [0, 399]
  const std::int64_t mp = (month + 9) % 12;                        // March = 0
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;           // [0, 365]
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;  // [0, 146096]
  return era * 146097 + doe - 719468;
}

// The inverse of DaysFromCivil for any days.
constexpr void CivilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = FloorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;                                       // [0, 146096]
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                // [0, 365]
  const std::int64_t mp = (5 * doy + 2) / 153;                                     // [0, 11]
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

// timegm: the record read as UTC. Fields out of their usual ranges count on
// (month 12 is January of the next year, second -1 the last second of the
// previous minute); tm_wday, tm_yday and tm_isdst take no part. Never
// overflows: every int field combination fits.
constexpr std::int64_t SecondsFromUtcFields(const std::tm& fields) {
  const std::int64_t months = static_cast<std::int64_t>(fields.tm_mon);
  const std::int64_t year = static_cast<std::int64_t>(fields.tm_year) + 1900 + FloorDiv(months, 12);
  const int month = static_cast<int>(FloorMod(months, 12)) + 1;
  const std::int64_t days =
      DaysFromCivil(year, month, 1) + static_cast<std::int64_t>(fields.tm_mday) - 1;
  return days * kSecondsPerDay + static_cast<std::int64_t>(fields.tm_hour) * 3600 +
         static_cast<std::int64_t>(fields.tm_min) * 60 + static_cast<std::int64_t>(fields.tm_sec);
}

// gmtime: the UTC record of t, weekday and day of year included, daylight
// flag 0. False (out unchanged) when the year does not fit tm_year.
inline bool UtcFieldsFromSeconds(std::int64_t t, std::tm& out) {
  std::int64_t seconds = t % kSecondsPerDay;
  std::int64_t days = t / kSecondsPerDay;
  if (seconds < 0) {
    seconds += kSecondsPerDay;
    --days;
  }
  std::int64_t year = 0;
  int month = 0;
  int day = 0;
  CivilFromDays(days, year, month, day);
  const std::int64_t tmYear = year - 1900;
  if (tmYear < std::numeric_limits<int>::min() || tmYear > std::numeric_limits<int>::max())
    return false;
  std::tm fields{};
  fields.tm_year = static_cast<int>(tmYear);
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = static_cast<int>(seconds / 3600);
  fields.tm_min = static_cast<int>(seconds / 60 % 60);
  fields.tm_sec = static_cast<int>(seconds % 60);
  fields.tm_wday = static_cast<int>(FloorMod(days + 4, 7));  // 1970-01-01 was a Thursday
  fields.tm_yday = static_cast<int>(days - DaysFromCivil(year, 1, 1));
  fields.tm_isdst = 0;
  out = fields;
  return true;
}

}  // namespace ZelvoUtilities::internal
