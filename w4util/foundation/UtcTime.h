// UtcTime: a point in time kept as UTC calendar fields (a broken-down record,
// month 0-11, years since 1900), together with the time-zone offset it was
// given in (minutes east of UTC) and whether that offset is known. Read and
// written as ISO 8601 text: "YYYY-MM-DDThh:mm:ss" and a zone, "Z" or
// "+hh:mm" / "-hh:mm".
//
// The 64-bit time count (seconds since 1970-01-01T00:00:00Z) is computed from
// the UTC fields directly, over the record's whole range, before 1970 too.
// Conversion into the current zone uses the offset that zone has in force at
// that instant (winter and summer time differ), not today's offset.
//
// Zone offsets as an (hours, minutes) pair: offset = hours * 60 + minutes,
// with minutes counted negative when hours < 0. Minutes carry the sign only
// when hours is 0 (-00:30 is hours 0, minutes -30).
//
// A plain value: copyable, no sharing. The ThreadSafe_* conversions go through
// the platform's time-zone service, which serialises on one process-wide
// lock. FormatTmStruct does not change the process's locale; it formats with
// the user's locale (LANG / LC_TIME) in a stream of its own.
#pragma once

#include <cstdint>
#include <ctime>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT UtcTime {
 public:
  // Now, with the current zone's offset, marked known.
  UtcTime();
  // ISO 8601 text converted to UTC; text that does not parse gives now.
  explicit UtcTime(const CXString& iso8601);
  UtcTime(const UtcTime& other) = default;
  UtcTime& operator=(const UtcTime& other) = default;

  std::int64_t GetAsTime64() const;

  // In the current zone, with the offset in force at this time.
  CXString GetAsIso8601String() const;
  // The UTC fields and "Z".
  CXString GetAsIso8601StringInUTC() const;
  // In the original zone, with its offset.
  CXString GetAsIso8601StringInOriginalTimeZone(bool& known, std::int32_t& offsetMinutes) const;

  std::tm GetTimeInCurrentTimeZone() const;
  std::tm GetTimeInUtc() const { return m_time; }
  std::tm GetTimeInOriginalTimeZone(bool& known, std::int32_t& offsetMinutes) const;

  CXString FormatTimeInCurrentTimeZone(const CXString& format) const;
  CXString FormatTimeInUtc(const CXString& format) const;
  CXString FormatTimeInOriginalTimeZone(const CXString& format) const;

  // Offset 0, not known. False (nothing changed) when the count lies beyond
  // the years the record can hold.
  bool SetWithTime64(const std::int64_t& time);
  // False, nothing stored, when the text does not parse.
  bool SetWithIso8601String(const CXString& text, bool convertToUtc);
  // The record is a local time of the current zone; the offset becomes the
  // one in force then, marked known.
  void SetWithTmStructInCurrentTimeZone(const std::tm& local);
  void SetToCurrentTime();

  void ModifyTimeInSeconds(std::int32_t seconds);
  void ModifyTimeInMinutes(std::int32_t minutes);
  void ModifyTimeInHours(std::int32_t hours);
  void ModifyTimeInDays(std::int32_t days);

  // A new offset moves the time by (old - new) minutes, so the wall clock in
  // the original zone stays; the offset is marked known. True when it
  // changed, or when it was equal but not known.
  bool SetOriginalTimeZoneOffset(std::int32_t minutes);
  std::int32_t GetOriginalTimeZoneOffset() const { return m_offsetMinutes; }
  bool IsOriginalTimeZoneOffsetKnown() const { return m_offsetKnown; }

  // False when the time lies within [now, now + 1 day]; otherwise the time
  // becomes the next occurrence (today or tomorrow, current zone) of its own
  // wall-clock hour and minute in the current zone, second 0, and true.
  bool EnsureTimeIsWithinOneDayAfterCurrentTime();
  // (other - this) in seconds, plus the difference of the two offsets; an
  // offset that is not known counts as the current zone's. Truncated to 32
  // bits.
  std::int32_t GetDeltaInSecondsBetweenTwoClocks(const UtcTime& other) const;

  // Seconds, minutes, hours, day, month, year and daylight flag.
  bool operator==(const UtcTime& other) const;
  bool operator!=(const UtcTime& other) const { return !(*this == other); }
  // By GetAsTime64.
  bool operator<(const UtcTime& other) const;

  // The C runtime's conversions under the process-wide lock; false (or -1)
  // when the time cannot be converted.
  static bool ThreadSafe_gmtime(const std::time_t& time, std::tm& out);
  static bool ThreadSafe_gmtime64(const std::int64_t& time, std::tm& out);
  static bool ThreadSafe_localtime(const std::time_t& time, std::tm& out);
  static bool ThreadSafe_localtime64(const std::int64_t& time, std::tm& out);
  static std::time_t ThreadSafe_mktime(std::tm& local);
  static std::int64_t ThreadSafe_mktime64(std::tm& local);

  // The UTC time count of a UTC record, computed from its fields (as timegm
  // does). The zone pair and the daylight flag take no part: the count of a
  // UTC record does not depend on a zone.
  static std::int64_t GetTime64FromUtcTmStruct(const std::tm& record, std::int32_t hours,
                                               std::int32_t minutes, bool daylight);
  // The current zone's offset now, as an (hours, minutes) pair, and whether
  // it is daylight saving time.
  static void GetCurrentTimeZoneInformation(std::int32_t& hours, std::int32_t& minutes,
                                            bool& daylight);

  // "YYYY-MM-DDThh:mm:ss" from the record's fields, then "Z" when the zone
  // pair is 0, else "+hh:mm" / "-hh:mm".
  static CXString BuildIso8601String(const std::tm& record, std::int32_t hours,
                                     std::int32_t minutes);
  // Parses ISO 8601 text; see UtcTime.cpp for the accepted forms. On success
  // stores the record (UTC when convertToUtc, else the fields as written),
  // whether the zone was known and its offset in minutes; on failure stores
  // nothing and answers false. Fields of an accepted record are in range.
  static bool ConvertIso8601StringToTmStructInUtc(const CXString& text, std::tm& record,
                                                  bool& known, std::int32_t& offsetMinutes,
                                                  bool convertToUtc);
  // strftime-style formatting of the record with the user's locale, at most
  // 259 characters (a longer result gives an empty text).
  static CXString FormatTmStruct(const std::tm& record, const CXString& format);

  // "<GetAsIso8601String()> [time zone minutes: <offset> (known|unknown)]".
  CXString GetDumpDisplayString(bool withDetails = false) const;

 private:
  std::tm m_time{};
  std::int32_t m_offsetMinutes = 0;
  bool m_offsetKnown = false;
};

// The unmangled twins of the ThreadSafe_* conversions; null pointers give
// false (or -1).
extern "C" {
W4UTIL_EXPORT bool C_ThreadSafe_gmtime(const std::time_t* time, std::tm* out);
W4UTIL_EXPORT bool C_ThreadSafe_gmtime64(const std::int64_t* time, std::tm* out);
W4UTIL_EXPORT bool C_ThreadSafe_localtime(const std::time_t* time, std::tm* out);
W4UTIL_EXPORT bool C_ThreadSafe_localtime64(const std::int64_t* time, std::tm* out);
W4UTIL_EXPORT std::time_t C_ThreadSafe_mktime(std::tm* local);
W4UTIL_EXPORT std::int64_t C_ThreadSafe_mktime64(std::tm* local);
}
