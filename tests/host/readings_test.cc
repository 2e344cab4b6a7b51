// The derived readings against the weather service's published tables, and
// local times against the zones' known clocks.
#include "stratus/host/readings.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

namespace {

// Purpose: the wind chill chart (NWS, 2001): temperature F, wind mph, the
// chart's whole degrees.
TEST(Readings, WindChillMatchesTheChart) {
  struct Case {
    double t, v;
    int chart;
  } cases[] = {
      {40, 5, 36},    {40, 30, 28},   {30, 10, 21},  {30, 25, 16},
      {0, 5, -11},    {0, 15, -19},   {0, 30, -26},  {-20, 10, -41},
      {-20, 20, -48}, {-45, 60, -98}, {10, 40, -15}, {35, 60, 17},
  };
  for (const Case& c : cases) {
    double chill = 0;
    ASSERT_TRUE(windChill(c.t, c.v, chill)) << c.t << " F " << c.v << " mph";
    EXPECT_EQ(std::lround(chill), c.chart) << c.t << " F " << c.v << " mph";
  }
  double unused = 0;
  EXPECT_FALSE(windChill(51, 20, unused)) << "only at 50 F or colder";
  EXPECT_FALSE(windChill(20, 2.9, unused)) << "only in 3 mph or more";
}

// Purpose: the heat index chart (NWS): temperature F, relative humidity %,
// the chart's whole degrees. (The chart leaves out the formula's adjustment
// for humid mild heat, 80-87 F above 85 %, so no case stands there.)
TEST(Readings, HeatIndexMatchesTheChart) {
  struct Case {
    double t, rh;
    int chart;
  } cases[] = {
      {80, 40, 80},  {90, 40, 91},   {90, 50, 95},
      {90, 60, 100}, {100, 40, 109}, {86, 90, 105},
      {96, 55, 112}, {104, 40, 119}, {110, 40, 136},
  };
  for (const Case& c : cases) {
    double hi = 0;
    ASSERT_TRUE(heatIndex(c.t, c.rh, hi)) << c.t << " F " << c.rh << " %";
    EXPECT_NEAR(hi, c.chart, 1.0) << c.t << " F " << c.rh << " %";
  }
  double unused = 0;
  EXPECT_FALSE(heatIndex(79, 90, unused)) << "only at 80 F or warmer";
}

// Purpose: relative humidity from temperature and dew point, against the
// psychrometric values (T, dew point in C; percent).
TEST(Readings, RelativeHumidity) {
  struct Case {
    double t, td, rh;
  } cases[] = {
      {20, 10, 52.5}, {30, 20, 55.2}, {0, -10, 46.7},
      {25, 25, 100},  {-4, -6, 86.2}, {15, 16, 100},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(relativeHumidity(c.t, c.td), c.rh, 0.5) << c.t << "/" << c.td;
}

// Purpose: the wall clock at places of each zone kind, at moments on both
// sides of the daylight saving time changes of 2026 (8 March and 1 November,
// 2:00 local).
TEST(Readings, LocalTimeByTheZoneTable) {
  struct Case {
    const char* tz;
    double lon;
    long utc;
    const char* local;  // "YYYY-MM-DD HH:MM ZONE"
  } cases[] = {
      // 2026-03-08 07:59:59 UTC is 01:59:59 CST; a second later 03:00 CDT.
      {"C", -93, 1772956799, "2026-03-08 01:59 CST"},
      {"C", -93, 1772956800, "2026-03-08 03:00 CDT"},
      // 2026-11-01 06:59:59 UTC is 01:59:59 CDT; a second later 01:00 CST.
      {"C", -93, 1793516399, "2026-11-01 01:59 CDT"},
      {"C", -93, 1793516400, "2026-11-01 01:00 CST"},
      {"E", -71, 1782000000, "2026-06-20 20:00 EDT"},
      {"m", -112, 1782000000, "2026-06-20 17:00 MST"},
      {"M", -105, 1782000000, "2026-06-20 18:00 MDT"},
      {"P", -122, 1767225600, "2025-12-31 16:00 PST"},
      {"A", -150, 1782000000, "2026-06-20 16:00 AKDT"},
      {"H", -157, 1782000000, "2026-06-20 14:00 HST"},
      {"V", -66, 1782000000, "2026-06-20 20:00 AST"},
      {"AH", -176.6, 1782000000, "2026-06-20 15:00 HDT"},
      {"AH", -166.5, 1782000000, "2026-06-20 16:00 AKDT"},
      {"CE", -85, 1782000000, "2026-06-20 19:00 CDT"},
  };
  for (const Case& c : cases) {
    WPlace p;
    p.data = std::string("azone(XXZ001)atz(") + c.tz + ")";
    p.hasPosition = true;
    p.longitude = c.lon;
    WLocalTime t;
    ASSERT_TRUE(placeLocalTime(p, c.utc, t)) << c.tz;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d %s", t.year,
                  t.month, t.day, t.hour, t.minute, t.zone.c_str());
    EXPECT_STREQ(text, c.local) << c.tz << " " << c.utc;
  }
  WPlace none;
  none.data = "azone(IAZ060)";
  WLocalTime t;
  EXPECT_FALSE(placeLocalTime(none, 0, t));
}

}  // namespace
