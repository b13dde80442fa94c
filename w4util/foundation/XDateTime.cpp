#include "w4util/foundation/XDateTime.h"

#include "w4util/foundation/UtcTime.h"
#include "w4util/platform/TimeZone.h"

XDateTime::XDateTime() { SetCurrentTime(); }

XDateTime::XDateTime(const std::int64_t& time) {
  if (time == 0 || !SetTimeAsLocalTime(time)) SetCurrentTime();
}

std::int64_t XDateTime::GetTimeInUTC() const {
  std::tm local = m_time;
  local.tm_isdst = -1;
  std::int64_t t = 0;
  return w4platform::SecondsFromLocalFields(local, t) ? t : -1;
}

std::tm XDateTime::GetTickCount() {
  std::tm now{};
  w4platform::LocalFieldsFromSeconds(w4platform::CurrentUtcSeconds(), now);
  return now;
}

void XDateTime::SetCurrentTime() { m_time = GetTickCount(); }

bool XDateTime::SetTime(const std::int64_t& time) {
  return time != 0 && w4platform::UtcFieldsFromSeconds(time, m_time);
}

bool XDateTime::SetTimeAsLocalTime(const std::int64_t& time) {
  return time != 0 && w4platform::LocalFieldsFromSeconds(time, m_time);
}

bool XDateTime::XIsLeapYear(std::int32_t year) { return year % 4 == 0; }

std::int32_t XDateTime::XDaysInMonth(std::int32_t year, ZLV_MONTH_ENUM month) {
  switch (month) {
    case ZLV_JANUARY:
    case ZLV_MARCH:
    case ZLV_MAY:
    case ZLV_JULY:
    case ZLV_AUGUST:
    case ZLV_OCTOBER:
    case ZLV_DECEMBER:
      return 31;
    case ZLV_APRIL:
    case ZLV_JUNE:
    case ZLV_SEPTEMBER:
    case ZLV_NOVEMBER:
      return 30;
    case ZLV_FEBRUARY:
      return XIsLeapYear(year) ? 29 : 28;
  }
  return -1;
}

bool XDateTime::AddOneDay() {
  // Widen first: a caller's record may hold any int in its fields.
  const std::int64_t year = std::int64_t{m_time.tm_year} + 1900;
  const std::int64_t month = std::int64_t{m_time.tm_mon} + 1;
  const bool representable = year >= INT32_MIN && year <= INT32_MAX && month >= 1 && month <= 12;
  const std::int32_t days = representable ? XDaysInMonth(static_cast<std::int32_t>(year),
                                                         static_cast<ZLV_MONTH_ENUM>(month))
                                          : -1;
  if (m_time.tm_mday >= INT32_MAX - 1) return true;  // no room to count on
  ++m_time.tm_mday;
  if (m_time.tm_mday > days) {
    m_time.tm_mday -= days;
    if (m_time.tm_mon < INT32_MAX) ++m_time.tm_mon;
    if (m_time.tm_mon == 12) {
      m_time.tm_mon = 0;
      if (m_time.tm_year < INT32_MAX) ++m_time.tm_year;
    }
  }
  return true;
}

CXString XDateTime::FormatTime(const char16_t* format) const {
  return UtcTime::FormatTmStruct(m_time, CXString(format));
}
