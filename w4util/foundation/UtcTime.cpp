#include "w4util/foundation/UtcTime.h"

#include <cstdio>
#include <ctime>
#include <iomanip>
#include <limits>
#include <locale>
#include <sstream>
#include <string>
#include <type_traits>

#include "w4util/foundation/CivilTime.h"
#include "w4util/platform/TimeZone.h"

namespace civil = ZelvoUtilities::internal;

namespace {

constexpr std::size_t kMaxFormattedLength = 259;

// ISO 8601 offsets are whole minutes; a zone's historic offset in seconds
// (local mean time) is rounded to the nearest minute so that text and count
// agree.
std::int32_t RoundToMinutes(std::int32_t offsetSeconds) {
  return (offsetSeconds + (offsetSeconds >= 0 ? 30 : -30)) / 60;
}

void OffsetInForceAt(std::int64_t t, std::int32_t& minutes, bool& daylight) {
  std::int32_t seconds = 0;
  daylight = false;
  if (!w4platform::ZoneOffsetAt(t, seconds, daylight) &&
      !w4platform::ZoneOffsetAt(w4platform::CurrentUtcSeconds(), seconds, daylight)) {
    seconds = 0;
    daylight = false;
  }
  minutes = RoundToMinutes(seconds);
}

std::int32_t OffsetInForceAt(std::int64_t t) {
  std::int32_t minutes = 0;
  bool daylight = false;
  OffsetInForceAt(t, minutes, daylight);
  return minutes;
}

void SplitOffset(std::int32_t offset, std::int32_t& hours, std::int32_t& minutes) {
  hours = offset / 60;
  const std::int32_t rest = offset % 60;
  minutes = hours != 0 && rest < 0 ? -rest : rest;
}

// The record as a wall clock offsetMinutes east of UTC.
bool FieldsInZone(std::int64_t t, std::int32_t offsetMinutes, bool daylight, std::tm& out) {
  if (!civil::UtcFieldsFromSeconds(t + static_cast<std::int64_t>(offsetMinutes) * 60, out))
    return false;
  out.tm_isdst = daylight ? 1 : 0;
  return true;
}

CXString FromAscii(const char* text, int length) {
  std::u16string wide;
  wide.reserve(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i)
    wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i])));
  return CXString(wide.data(), static_cast<std::int32_t>(wide.size()));
}

// The character walker of the parser: digits with an optional sign, as the
// text walkers read them, but a number beyond the 32-bit range fails instead
// of wrapping into a plausible field.
class Walker {
 public:
  explicit Walker(const CXString& text) : m_p(text), m_left(text.GetLength()) {}

  bool AtEnd() const { return m_left < 1; }
  char16_t Peek() const { return *m_p; }

  bool Next(char16_t& ch) {
    if (m_left < 1) return false;
    ch = *m_p++;
    --m_left;
    return true;
  }

  void Back() {
    --m_p;
    ++m_left;
  }

  bool Whole(bool negativeAllowed, std::int32_t& value, bool& minus) {
    if (m_left < 1) return false;
    minus = false;
    if (*m_p == u'+') {
      Next();
    } else if (*m_p == u'-' && negativeAllowed) {
      minus = true;
      Next();
    }
    std::int64_t accumulated = 0;
    bool any = false;
    while (m_left > 0 && *m_p >= u'0' && *m_p <= u'9') {
      accumulated = accumulated * 10 + (*m_p - u'0');
      if (accumulated > std::numeric_limits<std::int32_t>::max()) return false;
      any = true;
      Next();
    }
    if (!any) return false;
    value = static_cast<std::int32_t>(minus ? -accumulated : accumulated);
    return true;
  }

  bool Whole(std::int32_t& value) {
    bool minus = false;
    return Whole(false, value, minus);
  }

 private:
  void Next() {
    ++m_p;
    --m_left;
  }

  const char16_t* m_p;
  std::int32_t m_left;
};

// "Z", or [+|-]hours[:minutes]. An explicit zero offset counts as unknown.
bool ParseZone(Walker& walker, bool& known, std::int32_t& offset) {
  if (walker.AtEnd()) return false;
  if (walker.Peek() == u'Z') {
    char16_t ch = 0;
    walker.Next(ch);
    known = true;
    offset = 0;
    return true;
  }
  std::int32_t hours = 0;
  bool minus = false;
  if (!walker.Whole(true, hours, minus) || hours < -23 || hours > 23) return false;
  std::int32_t minutes = 0;
  if (!walker.AtEnd() && walker.Peek() == u':') {
    char16_t ch = 0;
    walker.Next(ch);
    if (!walker.Whole(minutes) || minutes > 59) return false;
  }
  // The sign is the text's, so that -00:30 stays west of UTC.
  const std::int32_t magnitude = (hours < 0 ? -hours : hours) * 60 + minutes;
  offset = minus ? -magnitude : magnitude;
  known = offset != 0;
  return true;
}

std::wstring ToWide(const CXString& text) {
  std::wstring out;
  const char16_t* p = text;
  const std::int32_t length = text.GetLength();
  for (std::int32_t i = 0; i < length; ++i) {
    const char32_t unit = p[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && p[i + 1] >= 0xDC00 &&
        p[i + 1] <= 0xDFFF) {
      out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (p[i + 1] - 0xDC00)));
      ++i;
    } else if (unit != 0) {
      out.push_back(static_cast<wchar_t>(unit));
    } else {
      break;  // the runtime stops at a terminator
    }
  }
  return out;
}

CXString FromWide(const std::wstring& text) {
  std::u16string out;
  for (const wchar_t ch : text) {
    const auto code = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(ch));
    if (code >= 0x10000 && code <= 0x10FFFF) {
      out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char16_t>(code));
    } else {
      out.push_back(u'?');
    }
  }
  return CXString(out.data(), static_cast<std::int32_t>(out.size()));
}

}  // namespace

UtcTime::UtcTime() { SetToCurrentTime(); }

UtcTime::UtcTime(const CXString& iso8601) {
  if (!SetWithIso8601String(iso8601, true)) SetToCurrentTime();
}

std::int64_t UtcTime::GetAsTime64() const { return civil::SecondsFromUtcFields(m_time); }

std::tm UtcTime::GetTimeInCurrentTimeZone() const {
  const std::int64_t t = GetAsTime64();
  std::int32_t offset = 0;
  bool daylight = false;
  OffsetInForceAt(t, offset, daylight);
  std::tm local{};
  if (!FieldsInZone(t, offset, daylight, local)) return m_time;
  return local;
}

std::tm UtcTime::GetTimeInOriginalTimeZone(bool& known, std::int32_t& offsetMinutes) const {
  known = m_offsetKnown;
  offsetMinutes = m_offsetMinutes;
  std::tm local{};
  if (!FieldsInZone(GetAsTime64(), m_offsetMinutes, false, local)) return m_time;
  return local;
}

CXString UtcTime::GetAsIso8601String() const {
  const std::int64_t t = GetAsTime64();
  std::int32_t offset = 0;
  bool daylight = false;
  OffsetInForceAt(t, offset, daylight);
  std::tm local{};
  if (!FieldsInZone(t, offset, daylight, local)) return GetAsIso8601StringInUTC();
  std::int32_t hours = 0;
  std::int32_t minutes = 0;
  SplitOffset(offset, hours, minutes);
  return BuildIso8601String(local, hours, minutes);
}

CXString UtcTime::GetAsIso8601StringInUTC() const { return BuildIso8601String(m_time, 0, 0); }

CXString UtcTime::GetAsIso8601StringInOriginalTimeZone(bool& known,
                                                       std::int32_t& offsetMinutes) const {
  known = m_offsetKnown;
  offsetMinutes = m_offsetMinutes;
  std::tm local{};
  if (!FieldsInZone(GetAsTime64(), m_offsetMinutes, false, local)) return GetAsIso8601StringInUTC();
  std::int32_t hours = 0;
  std::int32_t minutes = 0;
  SplitOffset(m_offsetMinutes, hours, minutes);
  return BuildIso8601String(local, hours, minutes);
}

CXString UtcTime::FormatTimeInCurrentTimeZone(const CXString& format) const {
  return FormatTmStruct(GetTimeInCurrentTimeZone(), format);
}

CXString UtcTime::FormatTimeInUtc(const CXString& format) const {
  return FormatTmStruct(m_time, format);
}

CXString UtcTime::FormatTimeInOriginalTimeZone(const CXString& format) const {
  bool known = false;
  std::int32_t offset = 0;
  return FormatTmStruct(GetTimeInOriginalTimeZone(known, offset), format);
}

bool UtcTime::SetWithTime64(const std::int64_t& time) {
  std::tm fields{};
  if (!civil::UtcFieldsFromSeconds(time, fields)) return false;
  m_time = fields;
  m_offsetMinutes = 0;
  m_offsetKnown = false;
  return true;
}

bool UtcTime::SetWithIso8601String(const CXString& text, bool convertToUtc) {
  std::tm record{};
  bool known = false;
  std::int32_t offset = 0;
  if (!ConvertIso8601StringToTmStructInUtc(text, record, known, offset, convertToUtc)) return false;
  m_time = record;
  m_offsetKnown = known;
  m_offsetMinutes = offset;
  return true;
}

void UtcTime::SetWithTmStructInCurrentTimeZone(const std::tm& local) {
  std::tm fields = local;
  fields.tm_isdst = -1;
  std::int64_t t = 0;
  std::tm utc{};
  if (!w4platform::SecondsFromLocalFields(fields, t) || !civil::UtcFieldsFromSeconds(t, utc))
    return;
  m_time = utc;
  m_offsetMinutes = OffsetInForceAt(t);
  m_offsetKnown = true;
}

void UtcTime::SetToCurrentTime() {
  const std::int64_t now = w4platform::CurrentUtcSeconds();
  civil::UtcFieldsFromSeconds(now, m_time);
  m_offsetMinutes = OffsetInForceAt(now);
  m_offsetKnown = true;
}

namespace {

void MoveBy(std::tm& record, std::int64_t seconds) {
  if (seconds == 0) return;
  std::tm moved{};
  if (civil::UtcFieldsFromSeconds(civil::SecondsFromUtcFields(record) + seconds, moved))
    record = moved;
}

}  // namespace

void UtcTime::ModifyTimeInSeconds(std::int32_t seconds) { MoveBy(m_time, seconds); }
void UtcTime::ModifyTimeInMinutes(std::int32_t minutes) {
  MoveBy(m_time, std::int64_t{minutes} * 60);
}
void UtcTime::ModifyTimeInHours(std::int32_t hours) { MoveBy(m_time, std::int64_t{hours} * 3600); }
void UtcTime::ModifyTimeInDays(std::int32_t days) { MoveBy(m_time, std::int64_t{days} * 86400); }

bool UtcTime::SetOriginalTimeZoneOffset(std::int32_t minutes) {
  if (minutes != m_offsetMinutes) {
    MoveBy(m_time, (std::int64_t{m_offsetMinutes} - minutes) * 60);
    m_offsetMinutes = minutes;
    m_offsetKnown = true;
    return true;
  }
  const bool wasUnknown = !m_offsetKnown;
  m_offsetKnown = true;
  return wasUnknown;
}

bool UtcTime::EnsureTimeIsWithinOneDayAfterCurrentTime() {
  const std::int64_t now = w4platform::CurrentUtcSeconds();
  const std::int64_t t = GetAsTime64();
  if (t >= now && t <= now + civil::kSecondsPerDay) return false;

  const std::tm wall = GetTimeInCurrentTimeZone();
  std::tm today{};
  if (!w4platform::LocalFieldsFromSeconds(now, today)) return false;
  today.tm_hour = wall.tm_hour;
  today.tm_min = wall.tm_min;
  today.tm_sec = 0;
  SetWithTmStructInCurrentTimeZone(today);
  if (GetAsTime64() < now) {
    // Tomorrow by the calendar, so that a change to or from summer time
    // keeps the wall clock.
    ++today.tm_mday;
    SetWithTmStructInCurrentTimeZone(today);
  }
  return true;
}

std::int32_t UtcTime::GetDeltaInSecondsBetweenTwoClocks(const UtcTime& other) const {
  const std::int64_t mine = GetAsTime64();
  const std::int64_t theirs = other.GetAsTime64();
  const std::int64_t myOffset = m_offsetKnown ? m_offsetMinutes : OffsetInForceAt(mine);
  const std::int64_t theirOffset =
      other.m_offsetKnown ? other.m_offsetMinutes : OffsetInForceAt(theirs);
  return static_cast<std::int32_t>((theirs - mine) + (theirOffset - myOffset) * 60);
}

bool UtcTime::operator==(const UtcTime& other) const {
  const std::tm& a = m_time;
  const std::tm& b = other.m_time;
  return a.tm_sec == b.tm_sec && a.tm_min == b.tm_min && a.tm_hour == b.tm_hour &&
         a.tm_mday == b.tm_mday && a.tm_mon == b.tm_mon && a.tm_year == b.tm_year &&
         a.tm_isdst == b.tm_isdst;
}

bool UtcTime::operator<(const UtcTime& other) const { return GetAsTime64() < other.GetAsTime64(); }

bool UtcTime::ThreadSafe_gmtime(const std::time_t& time, std::tm& out) {
  return w4platform::UtcFieldsFromSeconds(static_cast<std::int64_t>(time), out);
}

bool UtcTime::ThreadSafe_gmtime64(const std::int64_t& time, std::tm& out) {
  return w4platform::UtcFieldsFromSeconds(time, out);
}

bool UtcTime::ThreadSafe_localtime(const std::time_t& time, std::tm& out) {
  return w4platform::LocalFieldsFromSeconds(static_cast<std::int64_t>(time), out);
}

bool UtcTime::ThreadSafe_localtime64(const std::int64_t& time, std::tm& out) {
  return w4platform::LocalFieldsFromSeconds(time, out);
}

std::time_t UtcTime::ThreadSafe_mktime(std::tm& local) {
  std::int64_t t = 0;
  if (!w4platform::SecondsFromLocalFields(local, t)) return static_cast<std::time_t>(-1);
  return static_cast<std::time_t>(t);
}

std::int64_t UtcTime::ThreadSafe_mktime64(std::tm& local) {
  std::int64_t t = 0;
  if (!w4platform::SecondsFromLocalFields(local, t)) return -1;
  return t;
}

std::int64_t UtcTime::GetTime64FromUtcTmStruct(const std::tm& record, std::int32_t /*hours*/,
                                               std::int32_t /*minutes*/, bool /*daylight*/) {
  return civil::SecondsFromUtcFields(record);
}

void UtcTime::GetCurrentTimeZoneInformation(std::int32_t& hours, std::int32_t& minutes,
                                            bool& daylight) {
  std::int32_t offset = 0;
  OffsetInForceAt(w4platform::CurrentUtcSeconds(), offset, daylight);
  SplitOffset(offset, hours, minutes);
}

CXString UtcTime::BuildIso8601String(const std::tm& record, std::int32_t hours,
                                     std::int32_t minutes) {
  char text[160];
  int length = std::snprintf(
      text, sizeof text,
      "%4lld-%02lld-%02lld"
      "T%02lld:%02lld:%02lld",
      static_cast<long long>(record.tm_year) + 1900, static_cast<long long>(record.tm_mon) + 1,
      static_cast<long long>(record.tm_mday), static_cast<long long>(record.tm_hour),
      static_cast<long long>(record.tm_min), static_cast<long long>(record.tm_sec));
  if (hours == 0 && minutes == 0) {
    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "Z");
  } else {
    const bool west = hours < 0 || (hours == 0 && minutes < 0);
    const long long h = hours < 0 ? -static_cast<long long>(hours) : hours;
    const long long m = minutes < 0 ? -static_cast<long long>(minutes) : minutes;
    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                            "%c%02lld:%02lld", west ? '-' : '+', h, m);
  }
  return FromAscii(text, length);
}

// Accepted forms (each number: digits with an optional "+"):
//   YYYY-MM-DDThh:mm            no zone: a local time of the current zone,
//                               the offset in force then, marked unknown
//   YYYY-MM-DDThh:mmZ           UTC
//   YYYY-MM-DDThh:mm<zone>      zone: [+|-]hh[:mm], -23..23 hours
//   YYYY-MM-DDThh:mm:ss<zone>   zone "Z" or as above (required after seconds)
//   YYYY<one character>         January 1st of that year, 00:00, no zone
// A space may stand for the "T". The year is 1900 or later; months 1-12;
// days 1 to the month's length; hours 0-24 (24 is 0 of the same day);
// minutes and seconds 0-59. Anything left over fails.
bool UtcTime::ConvertIso8601StringToTmStructInUtc(const CXString& text, std::tm& record,
                                                  bool& known, std::int32_t& offsetMinutes,
                                                  bool convertToUtc) {
  Walker walker(text);
  std::tm fields{};
  fields.tm_mday = 1;
  std::int32_t year = 0;
  if (!walker.Whole(year) || year < 1900) return false;
  fields.tm_year = year - 1900;
  char16_t ch = 0;
  if (!walker.Next(ch)) return false;

  bool zoneGiven = false;
  bool zoneKnown = false;
  std::int32_t offset = 0;
  if (ch == u'-') {
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    if (!walker.Whole(month) || month < 1 || month > 12) return false;
    if (!walker.Next(ch) || ch != u'-') return false;
    if (!walker.Whole(day) || day < 1 || day > civil::GregorianDaysInMonth(year, month))
      return false;
    if (!walker.Next(ch) || (ch != u'T' && ch != u' ')) return false;
    if (!walker.Whole(hour) || hour > 24) return false;
    if (!walker.Next(ch) || ch != u':') return false;
    if (!walker.Whole(minute) || minute > 59) return false;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour == 24 ? 0 : hour;
    fields.tm_min = minute;

    if (walker.Next(ch)) {
      zoneGiven = true;
      if (ch == u'Z') {
        zoneKnown = true;
      } else if (ch == u':') {
        std::int32_t second = 0;
        if (!walker.Whole(second) || second > 59) return false;
        fields.tm_sec = second;
        if (!ParseZone(walker, zoneKnown, offset)) return false;
      } else {
        walker.Back();
        if (!ParseZone(walker, zoneKnown, offset)) return false;
      }
    }
  }
  if (!walker.AtEnd()) return false;

  const std::int64_t wall = civil::SecondsFromUtcFields(fields);
  std::int64_t utc = 0;
  if (zoneGiven) {
    utc = wall - std::int64_t{offset} * 60;
  } else {
    // A local time of the current zone; the zone decides summer or winter.
    std::tm local = fields;
    local.tm_isdst = -1;
    if (!w4platform::SecondsFromLocalFields(local, utc)) {
      utc = wall - std::int64_t{OffsetInForceAt(w4platform::CurrentUtcSeconds())} * 60;
    }
    offset = OffsetInForceAt(utc);
    zoneKnown = false;
  }

  std::tm result{};
  if (!civil::UtcFieldsFromSeconds(convertToUtc ? utc : wall, result)) return false;
  record = result;
  known = zoneKnown;
  offsetMinutes = offset;
  return true;
}

CXString UtcTime::FormatTmStruct(const std::tm& record, const CXString& format) {
  const std::wstring pattern = ToWide(format);
  std::wostringstream out;
  try {
    out.imbue(std::locale(""));
  } catch (...) {
    // An unknown locale name in the environment: format in the classic one.
  }
  out << std::put_time(&record, pattern.c_str());
  const std::wstring result = out.str();
  if (result.size() > kMaxFormattedLength) return CXString();
  return FromWide(result);
}

CXString UtcTime::GetDumpDisplayString(bool /*withDetails*/) const {
  const CXString iso = GetAsIso8601String();
  return ZelvoUtilities::formatString(u"%s [time zone minutes: %ld (%s)]",
                                      static_cast<const char16_t*>(iso), m_offsetMinutes,
                                      m_offsetKnown ? u"known" : u"unknown");
}

extern "C" {

bool C_ThreadSafe_gmtime(const std::time_t* time, std::tm* out) {
  return time != nullptr && out != nullptr && UtcTime::ThreadSafe_gmtime(*time, *out);
}

bool C_ThreadSafe_gmtime64(const std::int64_t* time, std::tm* out) {
  return time != nullptr && out != nullptr && UtcTime::ThreadSafe_gmtime64(*time, *out);
}

bool C_ThreadSafe_localtime(const std::time_t* time, std::tm* out) {
  return time != nullptr && out != nullptr && UtcTime::ThreadSafe_localtime(*time, *out);
}

bool C_ThreadSafe_localtime64(const std::int64_t* time, std::tm* out) {
  return time != nullptr && out != nullptr && UtcTime::ThreadSafe_localtime64(*time, *out);
}

std::time_t C_ThreadSafe_mktime(std::tm* local) {
  return local != nullptr ? UtcTime::ThreadSafe_mktime(*local) : static_cast<std::time_t>(-1);
}

std::int64_t C_ThreadSafe_mktime64(std::tm* local) {
  return local != nullptr ? UtcTime::ThreadSafe_mktime64(*local) : -1;
}

}  // extern "C"
