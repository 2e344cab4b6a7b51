// LCTime. UTC conversions use integer civil-date arithmetic (no time-zone
// lookup, no mktime). The local zone asks the C library, but caches the
// offset of the current minute, because the report decoder builds a local
// "today" for every report it decodes.
#include "stratus/foundation/time.h"

#include <atomic>
#include <ctime>

#include "foundation/clock.h"

namespace stratus {
namespace {

bool clockPinned = false;
long pinnedTime = 0;
std::atomic<long> zoneGeneration{0};

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
long daysFromCivil(long y, long m, long d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

long floorDiv(long a, long b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// What tzset() leaves behind for the zone in force: its names and its
// standard offset. A host that moves the process to another zone (setenv
// of TZ, then tzset) changes at least one of them, and localtime_r answers
// for the zone of the last tzset, so the cache below is keyed on them as
// well: reading four globals costs next to nothing, where asking the
// environment for TZ on every call would cost a tenth of a decode.
struct ZoneKey {
  const char* standardName;
  const char* summerName;
  long standardOffset;
  int hasSummerTime;

  static ZoneKey current() {
    return ZoneKey{tzname[0], tzname[1], timezone, daylight};
  }
  bool operator==(const ZoneKey& o) const {
    return standardName == o.standardName && summerName == o.summerName &&
           standardOffset == o.standardOffset &&
           hasSummerTime == o.hasSummerTime;
  }
};

// Offset of local time from UTC at moment t, in seconds. Cached per thread
// for the minute of t (zone rules change offsets on whole minutes at most)
// and the zone in force. One thread-local record, so that a hit costs one
// lookup of the thread's storage.
long localOffset(long t) {
  struct Cache {
    long minute = -1;
    long generation = -1;
    ZoneKey zone = {nullptr, nullptr, 0, 0};
    long offset = 0;
  };
  thread_local Cache cache;
  Cache& c = cache;
  const long minute = floorDiv(t, 60);
  const long generation = zoneGeneration.load(std::memory_order_relaxed);
  if (minute == c.minute && generation == c.generation &&
      ZoneKey::current() == c.zone)
    return c.offset;
  time_t tt = static_cast<time_t>(t);
  struct tm tm;
  if (localtime_r(&tt, &tm) == nullptr) return 0;
  c.offset = tm.tm_gmtoff;
  c.minute = minute;
  c.generation = generation;
  // localtime_r may have read the zone for the first time: key the cache
  // on what it found.
  c.zone = ZoneKey::current();
  return c.offset;
}

}  // namespace

long currentTime() {
  return clockPinned ? pinnedTime : static_cast<long>(std::time(nullptr));
}

void pinClock(long seconds) {
  clockPinned = true;
  pinnedTime = seconds;
}

void unpinClock() { clockPinned = false; }

void zoneChanged() {
  tzset();
  zoneGeneration.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace stratus

LCTime::LCTime(TimeZone zone) : time_(0), zone_(zone) { setFields(); }

LCTime::LCTime(int mon, int d, int y, int h, int min, int s, TimeZone zone)
    : zone_(zone) {
  // Carry a month outside 1..12 into the year first.
  long m0 = static_cast<long>(mon) - 1;
  long yy = static_cast<long>(y) + stratus::floorDiv(m0, 12);
  long mm = m0 - stratus::floorDiv(m0, 12) * 12 + 1;
  long days = stratus::daysFromCivil(yy, mm, 1) + (static_cast<long>(d) - 1);
  long wall = days * 86400 + static_cast<long>(h) * 3600 +
              static_cast<long>(min) * 60 + s;
  if (zone == UTC) {
    time_ = wall;
  } else {
    struct tm tm = {};
    tm.tm_year = static_cast<int>(yy - 1900);
    tm.tm_mon = static_cast<int>(mm - 1);
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = min;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    time_t t = mktime(&tm);
    time_ = t == static_cast<time_t>(-1) ? wall - stratus::localOffset(wall)
                                         : static_cast<long>(t);
  }
  setFields();
}

LCTime::LCTime(long calendarTime, TimeZone zone)
    : time_(calendarTime), zone_(zone) {
  setFields();
}

LCTime::LCTime(const LCTime& other) = default;
LCTime& LCTime::operator=(const LCTime& other) = default;

LCTime& LCTime::operator=(long calendarTime) {
  time_ = calendarTime;
  setFields();
  return *this;
}

void LCTime::Now() {
  time_ = stratus::currentTime();
  setFields();
}

void LCTime::setFields() {
  long wall = time_ + (zone_ == UTC ? 0 : stratus::localOffset(time_));
  long days = stratus::floorDiv(wall, 86400);
  long secs = wall - days * 86400;
  stratus::civilFromDays(days, year, month, day);
  hour = static_cast<int>(secs / 3600);
  minute = static_cast<int>(secs / 60 % 60);
  second = static_cast<int>(secs % 60);
}
