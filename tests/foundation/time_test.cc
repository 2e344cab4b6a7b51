#include "stratus/foundation/time.h"

#include <stdlib.h>

#include <string>

#include <gtest/gtest.h>

#include "foundation/clock.h"

namespace {

// Runs a test body in a given TZ and restores the previous one.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* tz) {
    const char* old = getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz, 1);
    stratus::zoneChanged();
  }
  ~ZoneGuard() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    stratus::zoneChanged();
  }

 private:
  bool had_;
  std::string old_;
};

// Purpose: UTC calendar time both ways, across leap days, centuries and
// carried-over fields.
TEST(LCTime, UtcCalendarBothWays) {
  struct Case {
    int month, day, year, hour, minute, second;
    long expected;
  } cases[] = {
      {1, 1, 1970, 0, 0, 0, 0},
      {2, 29, 2024, 12, 0, 0, 1709208000},
      {3, 1, 2100, 0, 0, 0, 4107542400},
      {12, 31, 2026, 23, 59, 59, 1798761599},
      {1, 32, 2026, 0, 0, 0, 1769904000},  // February 1
      {13, 1, 2025, 0, 0, 0, 1767225600},  // January 2026
      {1, 1, 2039, 0, 0, 0, 2177452800},   // past 2038
      {12, 31, 1969, 0, 0, 0, -86400},
  };
  for (const Case& c : cases) {
    LCTime t(c.month, c.day, c.year, c.hour, c.minute, c.second, LTime::UTC);
    EXPECT_EQ(t.GetCalendarTime(), c.expected)
        << c.year << "-" << c.month << "-" << c.day;
    LCTime back(c.expected, LTime::UTC);
    LCTime again(back.month, back.day, back.year, back.hour, back.minute,
                 back.second, LTime::UTC);
    EXPECT_EQ(again.GetCalendarTime(), c.expected) << c.expected;
  }
  LCTime t(1709208000L, LTime::UTC);
  EXPECT_EQ(t.year, 2024);
  EXPECT_EQ(t.month, 2);
  EXPECT_EQ(t.day, 29);
  EXPECT_EQ(t.hour, 12);
}

// Purpose: the local zone follows TZ, including daylight saving time.
TEST(LCTime, LocalZoneFollowsTz) {
  ZoneGuard zone("America/Chicago");
  LCTime summer(1751371200L, LTime::Local);  // 2025-07-01 12:00 UTC
  EXPECT_EQ(summer.hour, 7);
  LCTime winter(1735732800L, LTime::Local);  // 2025-01-01 12:00 UTC
  EXPECT_EQ(winter.hour, 6);
  LCTime built(7, 1, 2025, 7, 0, 0, LTime::Local);
  EXPECT_EQ(built.GetCalendarTime(), 1751371200L);
  LCTime utc(1751371200L, LTime::UTC);
  EXPECT_EQ(utc.hour, 12);
}

// Purpose: Now reads the clock seam, and assignment keeps the zone.
TEST(LCTime, NowUsesPinnedClock) {
  ZoneGuard zone("UTC");
  stratus::pinClock(1798761599L);
  LCTime now(LTime::Local);
  now.Now();
  stratus::unpinClock();
  EXPECT_EQ(now.GetCalendarTime(), 1798761599L);
  EXPECT_EQ(now.year, 2026);
  EXPECT_EQ(now.month, LTime::December);
  EXPECT_EQ(now.day, 31);
  LCTime copy(LTime::UTC);
  copy = now;
  EXPECT_EQ(copy.getZone(), LTime::Local);
  copy = 0L;
  EXPECT_EQ(copy.year, 1970);
  EXPECT_EQ(copy.getZone(), LTime::Local);
}

}  // namespace
