// The head groups, each taken from the front of the text or left there.
#include <time.h>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

#include "observation/parsers.h"
#include "parse_cases.h"
#include "support/pinned_clock.h"

namespace stratus {
namespace {

using stratus_test::expectCases;
using stratus_test::utc;

// Type word on five characters, station of exactly four, whole AUTO/COR.
TEST(HeaderGroups, TypeStationModifier) {
  expectCases({{"METAR KSFO 1", L_OK, "KSFO 1", "0"},
               {"SPECIKSFO 1", L_OK, "KSFO 1", "1"},
               {"  KSFO 1", L_OK, "KSFO 1", "2"}},
              parseReportType, kMetar);
  expectCases({{"KSFO  1", L_OK, "1", "KSFO"},
               {"KSF 1", L_FORMAT, "KSF 1", ""},
               {"KSFOX 1", L_FORMAT, "KSFOX 1", ""},
               {"KSFO", L_FORMAT, "KSFO", ""}},
              parseStationId, LString());
  expectCases({{"AUTO 1", L_OK, "1", "0"},
               {"COR AUTO 1", L_OK, "AUTO 1", "1"},
               {"AUTOX 1", L_OK, "AUTOX 1", "2"},
               {"AUTO", L_FORMAT, "AUTO", "3"}},
              parseReportModifier, static_cast<ReportModifier>(3));
}

// Wind in knots; any next group holding "V" gives the variable directions.
TEST(HeaderGroups, Wind) {
  expectCases(
      {{"27010G15KT 240V300 1 ", L_OK, "1 ", "270 10 15 240 300"},
       {"VRB03KT 10SM ", L_OK, "10SM ", "400 3 0 400 400"},
       {"270110G150KT 1 ", L_OK, "1 ", "270 110 150 400 400"},
       {"27010KT VCSH 1 ", L_OK, "1 ", "270 10 0 0 0"},
       {"14009PG14KT 1 ", L_OK, "1 ", "140 9 14 400 400"},
       {"/////KT 1 ", L_OK, "1 ", "0 0 0 400 400"},
       {"KT 1 ", L_OK, "1 ", "0 0 0 400 400"},
       {"27010KT 10SM", L_FORMAT, "10SM", "270 10 0 -1 -1"},
       {"27005MPS 10SM ", L_FORMAT, "27005MPS 10SM ", "-1 -1 -1 -1 -1"},
       {"27010K T 10KT ", L_FORMAT, "27010K T 10KT ", "-1 -1 -1 -1 -1"}},
      parseWind, -1, -1, -1, -1, -1);
}

// Visibility in one group or two; runway groups in a row passed over.
TEST(HeaderGroups, VisibilityAndRunwayRanges) {
  expectCases({{"10SM FEW010 ", L_OK, "FEW010 ", "10SM"},
               {"1  1/2SM BR ", L_OK, "BR ", "1 1/2SM"},
               {"1 1/2SM", L_FORMAT, "1 1/2SM", ""},
               {"9999 FEW010 ", L_NOTFOUND, "9999 FEW010 ", ""}},
              parseVisibility, LString());
  expectCases({{"R28L/2600FT R10/1200FT -RA ", L_OK, "-RA ", ""},
               {"RA R28L/2600FT ", L_OK, "RA R28L/2600FT ", ""},
               {"R28L/2600FT R10/1200FT", L_FORMAT, "R10/1200FT", ""}},
              skipRunwayRanges);
}

// A day later than today's local day is last month's; fields carry over.
TEST(HeaderGroups, ReportTimeRollover) {
  const long mar15 = utc(2026, 3, 15, 12, 0), mar1 = utc(2026, 3, 1, 6, 0);
  const struct {
    const char* tz;
    long now;
    const char* group;
    long expected;
  } cases[] = {
      {"UTC", mar15, "151130Z", utc(2026, 3, 15, 11, 30)},
      {"UTC", mar15, "161130Z", utc(2026, 2, 16, 11, 30)},
      {"UTC", mar15, "302460Z", utc(2026, 3, 3, 1, 0)},
      {"UTC", utc(2026, 1, 10, 8, 0), "251200Z", utc(2025, 12, 25, 12, 0)},
      {"UTC", utc(2024, 3, 1, 0, 30), "292359Z", utc(2024, 2, 29, 23, 59)},
      {"UTC", mar1, "010000Z", utc(2026, 3, 1, 0, 0)},
      // 20:00 on 28 February in UTC-10, though UTC is in March already.
      {"XST10", mar1, "010000Z", utc(2026, 2, 1, 0, 0)},
      {"UTC", mar15, "1217533Z", -1},
      {"UTC", mar15, "1217532", -1},
  };
  for (const auto& c : cases) {
    stratus_test::PinnedClock clock(c.tz, c.now);
    LString text = LString(c.group) + " X";
    LCTime time(-1L, LTime::UTC);
    int rc = parseReportTime(text, time);
    EXPECT_EQ(time.GetCalendarTime(), c.expected) << c.group << " in " << c.tz;
    EXPECT_EQ(text == "X", rc == L_OK) << c.group;
  }
}

}  // namespace
}  // namespace stratus
