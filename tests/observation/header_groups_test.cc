// The head groups of a report: each parser takes its group from the front,
// or leaves the text as it was.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "stratus/foundation/result.h"

#include "foundation/clock.h"
#include "observation/parsers.h"

namespace stratus {
namespace {

// One call of a parser: the text before and after, the result code and the
// out-values rendered as text (values the parser did not write show the
// sentinel they started with).
struct Case {
  const char* input;
  int rc;
  const char* rest;
  const char* values;
};

template <size_t N, typename Parse>
void runCases(const char* parser, const Case (&cases)[N], Parse parse) {
  for (const Case& c : cases) {
    LString text(c.input);
    std::string values;
    int rc = parse(text, values);
    EXPECT_EQ(rc, c.rc) << parser << " on \"" << c.input << "\"";
    EXPECT_STREQ(text, c.rest) << parser << " on \"" << c.input << "\"";
    EXPECT_EQ(values, c.values) << parser << " on \"" << c.input << "\"";
  }
}

// Purpose: the type word is tested on five characters without a blank, and
// the blanks in front go in every case.
TEST(HeaderGroups, ReportType) {
  const Case cases[] = {
      {"METAR KSFO 1", L_OK, "KSFO 1", "0"},
      {"SPECI KSFO 1", L_OK, "KSFO 1", "1"},
      {"SPECIKSFO 1", L_OK, "KSFO 1", "1"},
      {"KSFO 121753Z", L_OK, "KSFO 121753Z", "2"},
      {"  \tKSFO", L_OK, "KSFO", "2"},
      {"META", L_OK, "META", "2"},
      {"", L_OK, "", "2"},
  };
  runCases("parseReportType", cases, [](LString& t, std::string& v) {
    ReportType type = kMetar;
    int rc = parseReportType(t, type);
    v = std::to_string(type);
    return rc;
  });
}

// Purpose: the station is any group of exactly four characters.
TEST(HeaderGroups, StationId) {
  const Case cases[] = {
      {"KSFO 121753Z", L_OK, "121753Z", "KSFO"},
      {"K1B7  121753Z", L_OK, "121753Z", "K1B7"},
      {"KSF 121753Z", L_FORMAT, "KSF 121753Z", "-"},
      {"KSFOX 121753Z", L_FORMAT, "KSFOX 121753Z", "-"},
      {"KSFO", L_FORMAT, "KSFO", "-"},
  };
  runCases("parseStationId", cases, [](LString& t, std::string& v) {
    LString station("-");
    int rc = parseStationId(t, station);
    v = station.c_str();
    return rc;
  });
}

// Purpose: only a whole AUTO or COR group is a modifier, at most one is
// taken, and a text without a blank leaves the modifier alone.
TEST(HeaderGroups, ReportModifier) {
  const Case cases[] = {
      {"AUTO 27010KT", L_OK, "27010KT", "0"},
      {"COR AUTO 27010KT", L_OK, "AUTO 27010KT", "1"},
      {"AUTOX 27010KT", L_OK, "AUTOX 27010KT", "2"},
      {"AUT 27010KT", L_OK, "AUT 27010KT", "2"},
      {"AUTO", L_FORMAT, "AUTO", "9"},
  };
  runCases("parseReportModifier", cases, [](LString& t, std::string& v) {
    ReportModifier modifier = static_cast<ReportModifier>(9);
    int rc = parseReportModifier(t, modifier);
    v = std::to_string(modifier);
    return rc;
  });
}

// Purpose: the wind group in knots with VRB, gusts and three-digit speeds;
// any next group holding a "V" is the variable-direction group; a missing
// blank behind the next group fails after the wind values were written.
TEST(HeaderGroups, Wind) {
  const Case cases[] = {
      {"27010G15KT 240V300 10SM ", L_OK, "10SM ", "270 10 15 240 300"},
      {"VRB03KT 10SM ", L_OK, "10SM ", "400 3 0 400 400"},
      {"270110KT 10SM ", L_OK, "10SM ", "270 110 0 400 400"},
      {"270110G150KT 1SM ", L_OK, "1SM ", "270 110 150 400 400"},
      {"00000KT 10SM ", L_OK, "10SM ", "0 0 0 400 400"},
      {"27010KT VCSH BKN ", L_OK, "BKN ", "270 10 0 0 0"},
      {"14009PG14KT 7SM ", L_OK, "7SM ", "140 9 14 400 400"},
      {"/////KT 7SM ", L_OK, "7SM ", "0 0 0 400 400"},
      {"KT 7SM ", L_OK, "7SM ", "0 0 0 400 400"},
      {"27015G25G30KT 1SM ", L_OK, "1SM ", "270 15 25 400 400"},
      {"27010KT 10SM", L_FORMAT, "10SM", "270 10 0 -1 -1"},
      {"27005MPS 10SM ", L_FORMAT, "27005MPS 10SM ", "-1 -1 -1 -1 -1"},
      {"27010KT", L_FORMAT, "27010KT", "-1 -1 -1 -1 -1"},
      {"10SM 27010KT ", L_FORMAT, "10SM 27010KT ", "-1 -1 -1 -1 -1"},
  };
  runCases("parseWind", cases, [](LString& t, std::string& v) {
    int d = -1, s = -1, g = -1, from = -1, to = -1;
    int rc = parseWind(t, d, s, g, from, to);
    v = std::to_string(d) + " " + std::to_string(s) + " " + std::to_string(g) +
        " " + std::to_string(from) + " " + std::to_string(to);
    return rc;
  });
}

// Purpose: visibility in one group or two (whole and fraction), kept as
// text; nothing is consumed when it fails.
TEST(HeaderGroups, Visibility) {
  const Case cases[] = {
      {"10SM FEW010 ", L_OK, "FEW010 ", "10SM"},
      {"1 1/2SM BR ", L_OK, "BR ", "1 1/2SM"},
      {"1  1/2SM BR ", L_OK, "BR ", "1 1/2SM"},
      {"M1/4SM FG ", L_OK, "FG ", "M1/4SM"},
      {"1 1/2SM", L_FORMAT, "1 1/2SM", "-"},
      {"9999 FEW010 ", L_NOTFOUND, "9999 FEW010 ", "-"},
      {"10SM", L_FORMAT, "10SM", "-"},
  };
  runCases("parseVisibility", cases, [](LString& t, std::string& v) {
    LString visibility("-");
    int rc = parseVisibility(t, visibility);
    v = visibility.c_str();
    return rc;
  });
}

// Purpose: every runway group in a row is passed over; the runway groups
// taken before a missing blank stay taken.
TEST(HeaderGroups, RunwayRanges) {
  const Case cases[] = {
      {"R28L/2600FT R10/1200FT -RA ", L_OK, "-RA ", ""},
      {"RA BR ", L_OK, "RA BR ", ""},
      {"-RA R28L/2600FT ", L_OK, "-RA R28L/2600FT ", ""},
      {"R28L/2600FT R10/1200FT", L_FORMAT, "R10/1200FT", ""},
      {"R28L/2600FT", L_FORMAT, "R28L/2600FT", ""},
      {"", L_FORMAT, "", ""},
  };
  runCases("skipRunwayRanges", cases,
           [](LString& t, std::string&) { return skipRunwayRanges(t); });
}

// A fixed "now" on the library's clock and a fixed zone for one test.
class ReportTime : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) savedTz_ = tz;
  }
  void TearDown() override {
    unpinClock();
    if (hadTz_) {
      setenv("TZ", savedTz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    zoneChanged();
  }
  static void useZone(const char* tz) {
    setenv("TZ", tz, 1);
    zoneChanged();
  }

 private:
  bool hadTz_ = false;
  std::string savedTz_;
};

// Seconds since the epoch of a UTC date, by the C library, as an oracle
// independent of the decoder's date arithmetic.
long utc(int year, int month, int day, int hour, int minute) {
  struct tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  return static_cast<long>(timegm(&tm));
}

// Purpose: the report day is placed in today's month, or in the month
// before when it is later than today's day (December of last year in
// January); the fields get no range test and carry over.
TEST_F(ReportTime, MonthAndYearRollover) {
  struct {
    long now;
    const char* group;
    long expected;
  } cases[] = {
      {utc(2026, 3, 15, 12, 0), "151130Z", utc(2026, 3, 15, 11, 30)},
      {utc(2026, 3, 15, 12, 0), "011200Z", utc(2026, 3, 1, 12, 0)},
      {utc(2026, 3, 15, 12, 0), "161130Z", utc(2026, 2, 16, 11, 30)},
      {utc(2026, 3, 15, 12, 0), "301130Z", utc(2026, 3, 2, 11, 30)},
      {utc(2026, 1, 10, 8, 0), "251200Z", utc(2025, 12, 25, 12, 0)},
      {utc(2026, 1, 10, 8, 0), "100000Z", utc(2026, 1, 10, 0, 0)},
      {utc(2026, 1, 1, 0, 5), "312355Z", utc(2025, 12, 31, 23, 55)},
      {utc(2026, 12, 31, 23, 59), "010000Z", utc(2026, 12, 1, 0, 0)},
      {utc(2024, 3, 1, 0, 30), "292359Z", utc(2024, 2, 29, 23, 59)},
      {utc(2026, 3, 15, 12, 0), "152460Z", utc(2026, 3, 16, 1, 0)},
  };
  useZone("UTC");
  for (const auto& c : cases) {
    pinClock(c.now);
    LString text = LString(c.group) + " 27010KT";
    LCTime time(LTime::UTC);
    ASSERT_EQ(parseReportTime(text, time), L_OK) << c.group;
    EXPECT_EQ(time.GetCalendarTime(), c.expected) << c.group << " at " << c.now;
    EXPECT_STREQ(text, "27010KT") << c.group;
  }
}

// Purpose: "today" is the local date of the clock's zone, not the UTC
// date: at 20:00 on the last of February in UTC-10 it is already March 1
// in UTC, yet a report of day 1 belongs to February.
TEST_F(ReportTime, TodayIsTheLocalDate) {
  pinClock(utc(2026, 3, 1, 6, 0));
  LCTime time(LTime::UTC);

  useZone("XST10");  // ten hours behind UTC, no daylight saving
  LString text("010000Z X");
  ASSERT_EQ(parseReportTime(text, time), L_OK);
  EXPECT_EQ(time.GetCalendarTime(), utc(2026, 2, 1, 0, 0));

  useZone("UTC");
  text = "010000Z X";
  ASSERT_EQ(parseReportTime(text, time), L_OK);
  EXPECT_EQ(time.GetCalendarTime(), utc(2026, 3, 1, 0, 0));
}

// Purpose: only a seven-character group ending in "Z" is a time; anything
// else stays in the text and the time is not written.
TEST_F(ReportTime, RejectsOtherGroups) {
  useZone("UTC");
  pinClock(utc(2026, 3, 15, 12, 0));
  for (const char* input :
       {"1217532 X", "121753 X", "1217533Z X", "121753Z", "KSFO 121753Z "}) {
    LString text(input);
    LCTime time(12345L, LTime::UTC);
    EXPECT_EQ(parseReportTime(text, time), L_FORMAT) << input;
    EXPECT_STREQ(text, input);
    EXPECT_EQ(time.GetCalendarTime(), 12345L) << input;
  }
}

}  // namespace
}  // namespace stratus
