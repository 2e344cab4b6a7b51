// decodeObservation: whole reports in, record out; hostile texts; and the
// real-report corpus when the shared folder is present.
#include "stratus/observation/observation.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "stratus/stratus.h"

#include "foundation/clock.h"
#include "support/temp_dir.h"

namespace {

// Every field of the record in one line, unset values left out, so that a
// table row can state the whole expected outcome.
std::string describe(const WObservation& o) {
  char buf[256];
  std::string s;
  if (o.hasTime) {
    std::snprintf(buf, sizeof buf, "time=%ld ", o.time);
    s += buf;
  }
  if (o.hasWindDirection) {
    std::snprintf(buf, sizeof buf, "wind=%d/%d var=%d/%d ", o.windDirection,
                  o.windSpeed, o.windVariableFrom, o.windVariableTo);
    s += buf;
  }
  if (o.hasWindGustSpeed) s += "gust=" + std::to_string(o.windGustSpeed) + " ";
  if (o.hasTemp) {
    std::snprintf(buf, sizeof buf, "temp=%.1f/%.1f ", o.temp, o.dewPoint);
    s += buf;
  }
  if (o.hasPressure) {
    std::snprintf(buf, sizeof buf, "alt=%.2f ", o.pressure);
    s += buf;
  }
  if (!s.empty()) s.pop_back();
  return s;
}

// The fixed "now" of the decoding tests: 2026-03-15 12:00 UTC, read in UTC.
class ObservationDecode : public ::testing::Test {
 protected:
  static constexpr long kNow = 1773576000L;
  // 2026-03-12 17:53 UTC and 2026-02-28 23:55 UTC.
  static constexpr long k121753 = 1773337980L;
  static constexpr long k282355 = 1772322900L;

  void SetUp() override {
    const char* tz = getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) savedTz_ = tz;
    setenv("TZ", "UTC", 1);
    stratus::zoneChanged();
    stratus::pinClock(kNow);
  }
  void TearDown() override {
    stratus::unpinClock();
    if (hadTz_) {
      setenv("TZ", savedTz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    stratus::zoneChanged();
  }

  static std::string decode(const char* report) {
    WObservation o;
    // Set flags must be cleared by the decoder, whatever was there.
    o.hasTemp = o.hasDewPoint = o.hasPressure = o.hasTime = true;
    o.hasWindDirection = o.hasWindSpeed = o.hasWindGustSpeed = true;
    EXPECT_EQ(decodeObservation(LString(report), o), 0) << report;
    EXPECT_EQ(o.hasTemp, o.hasDewPoint) << report;
    EXPECT_EQ(o.hasWindDirection, o.hasWindSpeed) << report;
    return describe(o);
  }

 private:
  bool hadTz_ = false;
  std::string savedTz_;
};

// Purpose: whole reports, real ones among them, decode to the values the
// groups give, and a group no parser takes costs every blank-delimited
// group behind it while the remarks are still read.
TEST_F(ObservationDecode, Reports) {
  char t1[32], t2[32];
  std::snprintf(t1, sizeof t1, "time=%ld", k121753);
  std::snprintf(t2, sizeof t2, "time=%ld", k282355);
  const std::string time = t1, lastMonth = t2;
  const struct {
    const char* report;
    std::string expected;
  } cases[] = {
      {"METAR KXYZ 121753Z AUTO 27010G15KT 240V300 10SM ",
       time + " wind=270/10 var=240/300 gust=15"},
      {"KSFO 121753Z 29012G20KT 10SM FEW008 18/12 A2996 RMK AO2 T01830122",
       time + " wind=290/12 var=400/400 gust=20 temp=18.3/12.2 alt=29.96"},
      {"SPECI KORD 121753Z VRB03KT 1 1/2SM R28L/2600FT R10/1200FT -SHRA BR "
       "BKN030 OVC050 M05/M12 A2992 RMK AO2",
       time + " wind=400/3 var=400/400 temp=-5.0/-12.0 alt=29.92"},
      {"KABC 282355Z 27010KT 10SM CLR 22/18 A2992 ",
       lastMonth + " wind=270/10 var=400/400 temp=22.0/18.0 alt=29.92"},
      // The altimeter group last, with no blank behind it: not seen.
      {"K1S3 121753Z AUTO 01005KT 10SM 11/05 A2938",
       time + " wind=10/5 var=400/400 temp=11.0/5.0"},
      // A station of three characters blocks everything but the remarks.
      {"KSF 121753Z 27010KT 10SM 22/18 A2992 RMK AO2 T02220178",
       "temp=22.2/17.8"},
      // Metric wind and a Q group: neither is decoded.
      {"EDDF 121753Z 27005MPS 9999 FEW030 12/08 Q1013 NOSIG", time},
      {"EGLL 121753Z 27010KT 9999 FEW030 12/08 Q1013 NOSIG",
       time + " wind=270/10 var=400/400"},
      // The lone "M" of a missing sensor stops the weather and sky parsers.
      {"K1MW 121753Z AUTO 26007KT 10SM M 07/M09 A2501 RMK AO2 SLP394 "
       "T00691091 55002 FZRANO $",
       time + " wind=260/7 var=400/400 temp=6.9/-9.1"},
      // The group after the wind holds a "V": taken as variable directions.
      {"KXYZ 121753Z 27010KT VCSH 10SM 22/18 A2992 ",
       time + " wind=270/10 var=0/0 temp=22.0/18.0 alt=29.92"},
      {"RMK AO2 T10561083", "temp=-5.6/-8.3"},
      {"KXYZ 121753Z 00000KT 10SM SKC 00/M01 A3012 RMK AO1 T0000",
       time + " wind=0/0 var=400/400 temp=0.0/-1.0 alt=30.12"},
      {"", ""},
      {" ", ""},
      // Slashes hold the "/" of a temperature group: 0 and 0.
      {"////// ///// //// /// // / ", "temp=0.0/0.0"},
      // Day 56, hour 78, minute 90 of February carry into March 31.
      {"1234 567890Z 12345KT 1234 ", "time=1774942200 wind=123/45 var=400/400"},
      {"RMK TABCDEFGH", "temp=0.0/0.0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(decode(c.report), c.expected) << c.report;
}

// Purpose: the caller's text is not changed.
TEST_F(ObservationDecode, LeavesTheTextAlone) {
  const char* report = "KSFO 121753Z 29012KT 10SM 18/12 A2996 RMK AO2";
  LString text(report);
  WObservation o;
  decodeObservation(text, o);
  EXPECT_STREQ(text, report);
}

// Purpose: texts no report looks like end, without reading out of bounds
// (the sanitizer build checks that), with the flags their groups allow.
TEST_F(ObservationDecode, HostileTexts) {
  std::string blanks(10000, ' ');
  std::string longReport = "KSFO 121753Z 27010KT 10SM ";
  while (longReport.size() < 100000) longReport += "-RA FEW010 ";
  longReport += "22/18 A2992 RMK T01230045";
  std::string longWeather(100000, 'R');
  for (size_t i = 1; i < longWeather.size(); i += 2) longWeather[i] = 'A';
  std::string longGroup =
      "KSFO 121753Z " + std::string(100000, '7') + "KT 10SM ";
  std::string withNul =
      std::string("KSFO 121753Z 27010KT") + '\0' + " 10SM 22/18 A2992 ";
  const struct {
    std::string report;
    const char* expected;
  } cases[] = {
      {blanks, ""},
      {longReport, "time=1773337980 wind=270/10 var=400/400 temp=12.3/4.5"},
      {longWeather, ""},
      {longGroup, "time=1773337980 wind=777/2147483647 var=400/400"},
      {"TABCDEFGHI RMK TABCDEFGH", "temp=0.0/0.0"},
      {withNul,
       "time=1773337980 wind=270/10 var=400/400 temp=22.0/18.0 alt=29.92"},
      {std::string(9, 'T'), ""},
  };
  for (const auto& c : cases) {
    WObservation o;
    decodeObservation(
        LString(c.report.data(), static_cast<int>(c.report.size())), o);
    EXPECT_EQ(describe(o), c.expected) << c.report.substr(0, 60);
  }
}

// Counts of decoded fields over one corpus file.
struct Counts {
  long reports = 0, time = 0, wind = 0, gust = 0, temp = 0, pressure = 0;
};

Counts decodeFile(const std::string& path) {
  Counts n;
  std::ifstream in(path);
  std::string line;
  WObservation o;
  while (std::getline(in, line)) {
    decodeObservation(LString(line.c_str()), o);
    ++n.reports;
    n.time += o.hasTime;
    n.wind += o.hasWindSpeed;
    n.gust += o.hasWindGustSpeed;
    n.temp += o.hasTemp;
    n.pressure += o.hasPressure;
  }
  std::printf(
      "%s: %ld reports, time %ld, wind %ld, gust %ld, temp %ld, "
      "pressure %ld\n",
      path.c_str(), n.reports, n.time, n.wind, n.gust, n.temp, n.pressure);
  return n;
}

// Purpose: every real report decodes (no crash, no sanitizer report), and
// the number of reports that give each field stays what it was measured
// to be, so that a change in any parser shows.
TEST_F(ObservationDecode, RealCorpus) {
  const std::string shared = stratus_test::sharedDir();
  if (shared.empty()) GTEST_SKIP() << "shared corpus not found";
  const struct {
    const char* file;
    Counts expected;
  } files[] = {
      {"us.txt", {34481, 34481, 34017, 5273, 33474, 32472}},
      {"intl.txt", {41363, 41363, 38149, 1691, 15934, 3880}},
      {"rejected.txt", {112, 1, 15, 1, 5, 0}},
  };
  for (const auto& f : files) {
    Counts n = decodeFile(shared + "/corpus/metar/" + f.file);
    EXPECT_EQ(n.reports, f.expected.reports) << f.file;
    EXPECT_EQ(n.time, f.expected.time) << f.file;
    EXPECT_EQ(n.wind, f.expected.wind) << f.file;
    EXPECT_EQ(n.gust, f.expected.gust) << f.file;
    EXPECT_EQ(n.temp, f.expected.temp) << f.file;
    EXPECT_EQ(n.pressure, f.expected.pressure) << f.file;
  }
}

}  // namespace
