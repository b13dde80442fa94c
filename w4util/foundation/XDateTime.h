// XDateTime: a broken-down local time with its own simple calendar
// arithmetic (AddOneDay, XDaysInMonth).
//
// The calendar here is the driver's own: every year divisible by 4 is a
// leap year (no century rule), so it agrees with the Gregorian calendar from
// 1901 to 2099. AddOneDay moves day, month and year only; weekday and day of
// year keep their old values.
//
// A plain value with a virtual destructor (callers derive from it); the
// runtime conversions go through the platform's time-zone service.
#pragma once

#include <cstdint>
#include <ctime>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT XDateTime {
 public:
  enum ZLV_MONTH_ENUM : std::int32_t {
    ZLV_JANUARY = 1,
    ZLV_FEBRUARY = 2,
    ZLV_MARCH = 3,
    ZLV_APRIL = 4,
    ZLV_MAY = 5,
    ZLV_JUNE = 6,
    ZLV_JULY = 7,
    ZLV_AUGUST = 8,
    ZLV_SEPTEMBER = 9,
    ZLV_OCTOBER = 10,
    ZLV_NOVEMBER = 11,
    ZLV_DECEMBER = 12,
  };

  // The current local time.
  XDateTime();
  explicit XDateTime(const std::tm& record) : m_time(record) {}
  // time taken as a local time; 0 or a time that cannot be converted gives
  // the current time.
  explicit XDateTime(const std::int64_t& time);
  XDateTime(const XDateTime& other) = default;
  XDateTime& operator=(const XDateTime& other) = default;
  virtual ~XDateTime() = default;

  std::tm& GetTimeStruct() { return m_time; }
  const std::tm& GetTimeStruct() const { return m_time; }
  // The record read as a local time (daylight flag -1, so the zone decides),
  // as a time count since 1970-01-01 UTC; -1 when it cannot be converted.
  std::int64_t GetTimeInUTC() const;
  // The current local time.
  static std::tm GetTickCount();

  void SetCurrentTime();
  // The UTC record of time; false (record unchanged) for 0 or a time that
  // cannot be converted.
  bool SetTime(const std::int64_t& time);
  // The local record of time; false as SetTime.
  bool SetTimeAsLocalTime(const std::int64_t& time);

  static bool XIsLeapYear(std::int32_t year);
  // 28 to 31; -1 for a month outside 1-12.
  static std::int32_t XDaysInMonth(std::int32_t year, ZLV_MONTH_ENUM month);
  // Always true.
  bool AddOneDay();

  // As UtcTime::FormatTmStruct.
  CXString FormatTime(const char16_t* format) const;

 private:
  std::tm m_time{};
};
