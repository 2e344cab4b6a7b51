// The library's clock pinned at a moment, in a given time zone, for the
// length of a scope: month and year rollovers tested for real.
#ifndef STRATUS_TESTS_SUPPORT_PINNED_CLOCK_H_
#define STRATUS_TESTS_SUPPORT_PINNED_CLOCK_H_

#include <stdlib.h>
#include <time.h>

#include "foundation/clock.h"

namespace stratus_test {

// The clock pinned at `now` (UTC seconds) in zone `tz` while it lives; TZ
// is unset again afterwards.
class PinnedClock {
 public:
  PinnedClock(const char* tz, long now) {
    setenv("TZ", tz, 1);
    stratus::zoneChanged();
    stratus::pinClock(now);
  }
  ~PinnedClock() {
    stratus::unpinClock();
    unsetenv("TZ");
    stratus::zoneChanged();
  }
  PinnedClock(const PinnedClock&) = delete;
  PinnedClock& operator=(const PinnedClock&) = delete;
};

// UTC seconds of a date by the C library, not the decoder's arithmetic.
inline long utc(int year, int month, int day, int hour, int minute) {
  struct tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  return static_cast<long>(timegm(&tm));
}

}  // namespace stratus_test

#endif  // STRATUS_TESTS_SUPPORT_PINNED_CLOCK_H_
