// decodeReport on the real corpus, against the independent reading, and on
// the in-repo sample with hand-checked values.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stratus/stratus.h"

#include "oracle.h"
#include "support/pinned_clock.h"
#include "support/temp_dir.h"

namespace {

using namespace stratus_test;

// What the complete reading gives for the oracle's fields.
void readingOf(const WReport& r, bool* has, double* value) {
  for (int f = 0; f < kOracleFields; ++f) has[f] = false;
  auto set = [&](int f, bool h, double v) {
    has[f] = h;
    value[f] = v;
  };
  set(kDir, r.hasWind && !r.windDirectionMissing && r.windDirection != 400,
      r.windDirection);
  set(kSpd, r.hasWind, r.windSpeed);
  set(kGust, r.hasWindGust, r.windGustSpeed);
  set(kTemp, r.hasTemp, r.temp);
  set(kDew, r.hasDewPoint, r.dewPoint);
  set(kAlt, r.hasPressure, r.pressure);
  // The oracle gives no visibility for CAVOK.
  set(kVis, r.hasVisibility && !r.cavok, r.visibilityMiles);
  // The oracle keeps the time group as coded, in range or not; the moment
  // must give the same day, hour and minute when it is set.
  set(kDay, r.hasTimeGroup, r.day);
  set(kHour, r.hasTimeGroup, r.hour);
  set(kMin, r.hasTimeGroup, r.minute);
  if (r.hasTime) {
    const time_t t = static_cast<time_t>(r.time);
    struct tm tm;
    gmtime_r(&t, &tm);
    EXPECT_TRUE(tm.tm_mday == r.day && tm.tm_hour == r.hour &&
                tm.tm_min == r.minute)
        << r.day << " " << r.hour << " " << r.minute;
  }
}

// Where the two independent readers agree, the complete reading gives the
// same value in 99.5% of the reports; it finds each field at least as
// often as they agree, and wind, temperature and altimeter at least 99% as
// often as the better of the two.
TEST(ReportCorpus, AgreesWithTheIndependentReading) {
  const std::string shared = sharedDir();
  if (shared.empty()) GTEST_SKIP() << "shared corpus not found";
  PinnedClock clock("UTC", 1773576000L);  // 2026-03-15 12:00 UTC
  for (const char* name : {"us", "intl"}) {
    const std::string dir = shared + "/corpus/metar/";
    const std::vector<OracleRow> rows =
        loadOracle(dir + "oracle-" + name + ".tsv");
    std::ifstream in(dir + name + ".txt");
    ASSERT_FALSE(rows.empty()) << name;
    OracleTally tally;
    const char* diff = std::getenv("STRATUS_ORACLE_DIFF");  // a field name
    size_t i = 0;
    WReport r;
    for (std::string line; std::getline(in, line); ++i) {
      ASSERT_LT(i, rows.size()) << name;
      decodeReport(LString(line.c_str()), r);
      bool has[kOracleFields];
      double value[kOracleFields];
      readingOf(r, has, value);
      tally.add(rows[i], has, value);
      for (int f = 0; diff && f < kOracleFields; ++f) {
        if (std::strcmp(diff, oracleFieldName(f)) != 0) continue;
        if (rows[i].agree[f] &&
            !(has[f] && oracleSame(f, value[f], rows[i].value[0][f])))
          std::printf("%s %zu: %g vs %g: %s\n", name, i + 1, value[f],
                      rows[i].value[0][f], line.c_str());
      }
    }
    EXPECT_EQ(i, rows.size()) << name;
    std::printf("%-5s field  agreed  same    share    found  better\n", name);
    for (int f = 0; f < kOracleFields; ++f) {
      std::printf("      %-5s %7ld %7ld %7.3f%% %7ld %7ld\n",
                  oracleFieldName(f), tally.agreed[f], tally.same[f],
                  100.0 * tally.sameShare(f), tally.found[f], tally.better(f));
      EXPECT_GE(tally.sameShare(f), 0.995) << name << " " << oracleFieldName(f);
      EXPECT_GE(tally.found[f], tally.agreed[f])
          << name << " " << oracleFieldName(f);
    }
    for (int f : {kSpd, kTemp, kAlt}) {
      EXPECT_GE(tally.found[f], 0.99 * tally.better(f))
          << name << " " << oracleFieldName(f);
    }
  }
}

}  // namespace
