#include "w4util/platform/TimeZone.h"

#include <stdlib.h>
#include <time.h>

#include <limits>
#include <mutex>

namespace w4platform {
namespace {

std::mutex& ZoneLock() {
  static std::mutex lock;
  return lock;
}

// localtime_r does not re-read TZ by itself; tzset once before first use and
// whenever ScopedTimeZone changes it.
void EnsureZoneLoaded() {
  static bool loaded = false;
  if (!loaded) {
    tzset();
    loaded = true;
  }
}

bool FitsTimeT(std::int64_t t) {
  return t >= static_cast<std::int64_t>(std::numeric_limits<time_t>::min()) &&
         t <= static_cast<std::int64_t>(std::numeric_limits<time_t>::max());
}

}  // namespace

std::int64_t CurrentUtcSeconds() noexcept {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec);
}

bool UtcFieldsFromSeconds(std::int64_t t, std::tm& out) noexcept {
  if (!FitsTimeT(t)) return false;
  std::lock_guard<std::mutex> hold(ZoneLock());
  const time_t value = static_cast<time_t>(t);
  std::tm fields{};
  if (gmtime_r(&value, &fields) == nullptr) return false;
  out = fields;
  return true;
}

bool LocalFieldsFromSeconds(std::int64_t t, std::tm& out) noexcept {
  if (!FitsTimeT(t)) return false;
  std::lock_guard<std::mutex> hold(ZoneLock());
  EnsureZoneLoaded();
  const time_t value = static_cast<time_t>(t);
  std::tm fields{};
  if (localtime_r(&value, &fields) == nullptr) return false;
  out = fields;
  return true;
}

bool ZoneOffsetAt(std::int64_t t, std::int32_t& offsetSeconds, bool& daylight) noexcept {
  std::tm fields{};
  if (!LocalFieldsFromSeconds(t, fields)) return false;
  offsetSeconds = static_cast<std::int32_t>(fields.tm_gmtoff);
  daylight = fields.tm_isdst > 0;
  return true;
}

bool SecondsFromLocalFields(std::tm& fields, std::int64_t& out) noexcept {
  std::lock_guard<std::mutex> hold(ZoneLock());
  EnsureZoneLoaded();
  std::tm work = fields;
  // mktime answers -1 both for failure and for 1969-12-31T23:59:59Z; a
  // weekday it did not fill in tells them apart.
  work.tm_wday = -1;
  const time_t value = mktime(&work);
  if (value == static_cast<time_t>(-1) && work.tm_wday == -1) return false;
  fields = work;
  out = static_cast<std::int64_t>(value);
  return true;
}

ScopedTimeZone::ScopedTimeZone(const std::string& zone) {
  std::lock_guard<std::mutex> hold(ZoneLock());
  if (const char* old = getenv("TZ")) {
    m_hadValue = true;
    m_oldValue = old;
  }
  if (zone.empty()) {
    unsetenv("TZ");
  } else {
    setenv("TZ", zone.c_str(), 1);
  }
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  std::lock_guard<std::mutex> hold(ZoneLock());
  if (m_hadValue) {
    setenv("TZ", m_oldValue.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace w4platform
