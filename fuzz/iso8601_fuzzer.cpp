// ISO 8601 text to UtcTime: every text either fails (storing nothing) or
// yields fields in range, and what the library writes from an accepted
// value reads back as the same instant. Runs in a zone with summer time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "w4util/foundation/CXString.h"
#include "w4util/foundation/CivilTime.h"
#include "w4util/foundation/UtcTime.h"
#include "w4util/platform/TimeZone.h"

namespace civil = ZelvoUtilities::internal;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckRecord(const std::tm& r) {
  Check(r.tm_sec >= 0 && r.tm_sec <= 59);
  Check(r.tm_min >= 0 && r.tm_min <= 59);
  Check(r.tm_hour >= 0 && r.tm_hour <= 23);
  Check(r.tm_mon >= 0 && r.tm_mon <= 11);
  const std::int64_t year = std::int64_t{r.tm_year} + 1900;
  Check(year >= 1899);
  Check(r.tm_mday >= 1 && r.tm_mday <= civil::GregorianDaysInMonth(year, r.tm_mon + 1));
  Check(r.tm_wday >= 0 && r.tm_wday <= 6);
  Check(r.tm_yday >= 0 && r.tm_yday <= 365);
  Check(r.tm_isdst == 0);
}

// Texts whose year the parser accepts again.
bool Readable(const std::tm& r) {
  const std::int64_t year = std::int64_t{r.tm_year} + 1900;
  return year >= 1900 && year <= std::numeric_limits<std::int32_t>::max();
}

void ReadsBackAs(const CXString& text, const std::tm& fields, std::int64_t t) {
  if (!Readable(fields)) return;
  UtcTime back;
  Check(back.SetWithIso8601String(text, true));
  Check(back.GetAsTime64() == t);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static w4platform::ScopedTimeZone zone("Europe/Berlin");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string units(data, data + size);
  const CXString text(units.data(), static_cast<std::int32_t>(units.size()));

  for (const bool convert : {true, false}) {
    std::tm record{};
    record.tm_year = -12345;
    bool known = true;
    std::int32_t offset = -98765;
    if (!UtcTime::ConvertIso8601StringToTmStructInUtc(text, record, known, offset, convert)) {
      Check(record.tm_year == -12345 && known && offset == -98765);
      UtcTime untouched;
      Check(untouched.SetWithTime64(12345));
      Check(!untouched.SetWithIso8601String(text, convert));
      Check(untouched.GetAsTime64() == 12345);
      continue;
    }
    CheckRecord(record);
    Check(offset >= -(23 * 60 + 59) && offset <= 23 * 60 + 59);

    UtcTime time;
    Check(time.SetWithIso8601String(text, convert));
    const std::tm utc = time.GetTimeInUtc();
    Check(utc.tm_year == record.tm_year && utc.tm_mon == record.tm_mon &&
          utc.tm_mday == record.tm_mday && utc.tm_hour == record.tm_hour &&
          utc.tm_min == record.tm_min && utc.tm_sec == record.tm_sec);
    Check(time.GetOriginalTimeZoneOffset() == offset &&
          time.IsOriginalTimeZoneOffsetKnown() == known);
    const std::int64_t t = time.GetAsTime64();

    // The record's own fields written out read back unchanged.
    std::int32_t hours = offset / 60;
    std::int32_t minutes = offset % 60;
    if (hours != 0 && minutes < 0) minutes = -minutes;
    const CXString own = UtcTime::BuildIso8601String(record, hours, minutes);
    if (Readable(record)) {
      std::tm again{};
      bool againKnown = false;
      std::int32_t againOffset = 0;
      Check(
          UtcTime::ConvertIso8601StringToTmStructInUtc(own, again, againKnown, againOffset, false));
      Check(civil::SecondsFromUtcFields(again) == civil::SecondsFromUtcFields(record));
      if (offset != 0) Check(againKnown && againOffset == offset);
    }

    if (!convert) continue;
    // UTC, the original zone and the current zone: the same instant.
    ReadsBackAs(time.GetAsIso8601StringInUTC(), utc, t);
    bool originalKnown = false;
    std::int32_t originalOffset = 0;
    const CXString original =
        time.GetAsIso8601StringInOriginalTimeZone(originalKnown, originalOffset);
    Check(originalKnown == known && originalOffset == offset);
    ReadsBackAs(original, time.GetTimeInOriginalTimeZone(originalKnown, originalOffset), t);
    ReadsBackAs(time.GetAsIso8601String(), time.GetTimeInCurrentTimeZone(), t);
    Check(!time.GetDumpDisplayString(false).IsEmpty());
  }
  return 0;
}
