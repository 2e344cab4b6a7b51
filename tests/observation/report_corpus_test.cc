// decodeReport on the real corpus, against the independent reading, and on
// the in-repo sample with hand-checked values.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stratus/stratus.h"

#include "oracle.h"
#include "support/pinned_clock.h"
#include "testing/corpus_files.h"

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
  // The moment must give the same day, hour and minute when it is set.
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

// The two readers keep a value out of its legal range as coded, and agree
// on it: a wind from 370 degrees, the time 232700Z. The complete reading
// reads no such group, so their agreement on it is left out: on the
// direction, speed and gust of a wind whose direction is over 360, and on
// day, hour and minute of a time group out of range (hour 24 included,
// which the reading takes as 0000 of the next day). Returns how many rows
// lost an agreement.
int dropImpossibleAgreements(std::vector<OracleRow>& rows) {
  int dropped = 0;
  for (OracleRow& row : rows) {
    const double* v = row.value[0];
    const bool wind = row.agree[kDir] && (v[kDir] < 0 || v[kDir] > 360);
    const bool time = row.agree[kDay] && (v[kDay] < 1 || v[kDay] > 31 ||
                                          v[kHour] > 23 || v[kMin] > 59);
    for (int f : {kDir, kSpd, kGust}) row.agree[f] &= !wind;
    for (int f : {kDay, kHour, kMin}) row.agree[f] &= !time;
    dropped += wind || time;
  }
  return dropped;
}

// Where the two independent readers agree on a legal value, the complete
// reading gives the same value in 99.5% of the reports; it finds each field
// at least as often as they agree, and wind, temperature and altimeter at
// least 99% as often as the better of the two.
void expectAgreement(const std::string& dir, const char* name) {
  std::vector<OracleRow> rows = loadOracle(dir + "oracle-" + name + ".tsv");
  ASSERT_FALSE(rows.empty()) << dir << " " << name;
  std::printf("%s: %d rows agree on an impossible value\n", name,
              dropImpossibleAgreements(rows));
  size_t lines;
  WReport r;
  const OracleTally tally = tallyFile(
      dir + name + ".txt", rows,
      [&](const std::string& line, bool* has, double* value) {
        decodeReport(LString(line.c_str()), r);
        readingOf(r, has, value);
      },
      lines);
  EXPECT_EQ(lines, rows.size()) << name;
  printTally(name, tally);
  for (int f = 0; f < kOracleFields; ++f) {
    EXPECT_GE(tally.sameShare(f), 0.995) << name << " " << oracleFieldName(f);
    EXPECT_GE(tally.found[f], tally.agreed[f])
        << name << " " << oracleFieldName(f);
  }
  for (int f : {kSpd, kTemp, kAlt}) {
    EXPECT_GE(tally.found[f], 0.99 * tally.better(f))
        << name << " " << oracleFieldName(f);
  }
}

TEST(ReportCorpus, AgreesWithTheIndependentReading) {
  const std::string shared = sharedDir();
  if (shared.empty()) GTEST_SKIP() << "shared corpus not found";
  PinnedClock clock("UTC", 1773576000L);  // 2026-03-15 12:00 UTC
  expectAgreement(shared + "/corpus/metar/", "us");
  expectAgreement(shared + "/corpus/metar/", "intl");
}

const std::string kSample = STRATUS_SOURCE_DIR "/tests/data/metar/";

// The in-repo sample of the corpus, with its rows of the oracle: always
// there, so the comparison runs without the shared corpus too.
TEST(ReportSample, AgreesWithTheIndependentReading) {
  PinnedClock clock("UTC", 1773576000L);
  expectAgreement(kSample, "us");
  expectAgreement(kSample, "intl");
}

// ---- The hand-checked table (tests/data/metar/checked.tsv) ----

std::string format(const char* spec, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, spec, v);
  return buf;
}

std::string orDash(const std::string& s) { return s.empty() ? "-" : s; }

std::string bound(int b) { return b < 0 ? "M" : b > 0 ? "P" : ""; }

// The record in the table's columns, coded as the report codes them.
std::vector<std::string> columns(const WReport& r) {
  std::string kind;
  if (r.corrected) kind += " COR";
  if (r.automatic) kind += " AUTO";
  if (r.nil) kind += " NIL";
  std::string wind;
  if (r.hasWind) {
    static const char* const kUnits[] = {"KT", "MPS", "KMH"};
    char buf[48];
    std::snprintf(buf, sizeof buf, r.windDirection == 400 ? "VRB" : "%03d",
                  r.windDirection);
    wind = std::string(buf) + format("/%02.0f", r.windSpeedCoded);
    if (r.hasWindGust) wind += format("G%02.0f", r.windGustCoded);
    wind += std::string(" ") + kUnits[r.windUnit];
  }
  std::string visibility;
  if (r.cavok) {
    visibility = "CAVOK";
  } else if (r.hasVisibility) {
    visibility = bound(r.visibilityBound) +
                 (r.visibilityInMeters ? format("%.0fm", r.visibilityMeters)
                                       : format("%gSM", r.visibilityMiles));
  }
  std::string runways;
  for (int i = 0; i < r.runwayCount; ++i) {
    const WReport::Runway& w = r.runways[i];
    runways += (i ? " R" : "R") + std::string(w.runway) + "/" +
               bound(w.lowBound) + format("%04.0f", w.low);
    if (w.high != w.low || w.highBound != w.lowBound)
      runways += "V" + bound(w.highBound) + format("%04.0f", w.high);
    if (w.feet) runways += "FT";
    if (w.trend) runways += w.trend;
  }
  std::string weather;
  for (int i = 0; i < r.weatherCount; ++i)
    weather += (i ? " " : "") + std::string(r.weather[i].text);
  std::string sky;
  for (int i = 0; i < r.layerCount; ++i) {
    const WReport::Layer& l = r.layers[i];
    sky += (i ? " " : "") + std::string(reportCode(l.cover));
    if (l.cover >= WReport::FEW)
      sky += l.heightMissing ? "///" : format("%03.0f", l.height / 100);
    if (l.cloudType == WReport::CUMULONIMBUS) sky += "CB";
    if (l.cloudType == WReport::TOWERING_CUMULUS) sky += "TCU";
  }
  std::string altimeter;
  if (r.hasAltimeterInHg) altimeter = format("A%.2f", r.altimeterInHg);
  if (r.hasAltimeterHpa)
    altimeter +=
        (altimeter.empty() ? "" : " ") + format("Q%04.0f", r.altimeterHpa);
  return {orDash(kind.empty() ? "" : kind.substr(1)),
          orDash(wind),
          orDash(visibility),
          orDash(runways),
          orDash(weather),
          orDash(sky),
          r.hasCeiling ? std::to_string(r.ceiling) : "-",
          (r.hasTemp ? format("%.1f", r.temp) : "-") + "/" +
              (r.hasDewPoint ? format("%.1f", r.dewPoint) : "-"),
          orDash(altimeter),
          r.hasSeaLevelPressure ? format("%.1f", r.seaLevelPressure) : "-",
          orDash(reportCode(r.flightCategory))};
}

// Reports of the sample read by hand, column by column; each is one of the
// sample's reports.
TEST(ReportSample, HandCheckedValues) {
  std::ifstream in(kSample + "checked.tsv");
  ASSERT_TRUE(in) << "missing " << kSample << "checked.tsv";
  const std::string sample =
      readFile(kSample + "us.txt") + readFile(kSample + "intl.txt");
  std::string line;
  std::getline(in, line);  // header
  std::vector<std::string> names;
  for (std::stringstream h(line); std::getline(h, line, '\t');)
    names.push_back(line);
  int checked = 0;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    for (std::stringstream split(line); std::getline(split, line, '\t');)
      cells.push_back(line);
    ASSERT_EQ(cells.size(), names.size()) << cells[0];
    EXPECT_NE(sample.find(cells[0] + "\n"), std::string::npos)
        << "not in the sample: " << cells[0];
    WReport r;
    decodeReport(LString(cells[0].c_str()), r);
    const std::vector<std::string> got = columns(r);
    for (size_t i = 1; i < cells.size(); ++i)
      EXPECT_EQ(got[i - 1], cells[i]) << names[i] << " of " << cells[0];
    ++checked;
  }
  EXPECT_GE(checked, 24);
}

}  // namespace
