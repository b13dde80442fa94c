// Time-zone service of the host: the C runtime's clock and its broken-down
// time conversions (gmtime_r, localtime_r, mktime) over the zone that TZ names
// (tzdata under /usr/share/zoneinfo, or a POSIX rule such as "EST5EDT").
//
// Time counts are signed 64-bit seconds since 1970-01-01T00:00:00Z; counts
// before 1970 are valid. Offsets are seconds east of UTC, as the zone defines
// them at a given instant (so they follow daylight saving time and historic
// changes of the zone).
//
// Thread-safety: every function may be called from any thread; all of them
// serialise on one process-wide lock, because the runtime keeps the zone
// state (and the TZ variable it reads) in shared storage. Nothing here
// allocates what the caller must free.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "w4util/Export.h"

namespace w4platform {

// The current time.
W4UTIL_EXPORT std::int64_t CurrentUtcSeconds() noexcept;

// gmtime_r: the UTC fields of t. False when the year does not fit the record.
W4UTIL_EXPORT bool UtcFieldsFromSeconds(std::int64_t t, std::tm& out) noexcept;

// localtime_r: the fields of t in the current zone. False when the year does
// not fit the record.
W4UTIL_EXPORT bool LocalFieldsFromSeconds(std::int64_t t, std::tm& out) noexcept;

// The offset (seconds east of UTC) and daylight flag in force at t in the
// current zone. False when t cannot be converted.
W4UTIL_EXPORT bool ZoneOffsetAt(std::int64_t t, std::int32_t& offsetSeconds,
                                bool& daylight) noexcept;

// mktime: fields taken as a local time of the current zone (tm_isdst -1 lets
// the zone decide; a time that the zone skips is moved by the runtime). The
// fields are normalised in place. False when they cannot be converted.
W4UTIL_EXPORT bool SecondsFromLocalFields(std::tm& fields, std::int64_t& out) noexcept;

// Sets TZ to zone (an empty text means the host's default zone, TZ unset)
// and re-reads it; the old value is given back for RestoreTimeZone. Meant for
// tests and tools; other threads must not read the environment meanwhile.
class W4UTIL_EXPORT ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const std::string& zone);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  bool m_hadValue = false;
  std::string m_oldValue;
};

}  // namespace w4platform
