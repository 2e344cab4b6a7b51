// decodeObservation: whole reports in, record out; hostile texts; and the
// real-report corpus when the shared folder is present.
#include <stdlib.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "stratus/stratus.h"

#include "foundation/clock.h"
#include "parse_cases.h"
#include "support/temp_dir.h"

namespace {

using stratus_test::join;

// The decoded fields of one report, unset ones left out; checks that the
// caller's text stays and the paired flags go together.
std::string decode(const std::string& report) {
  const LString text(report.data(), static_cast<int>(report.size()));
  WObservation o;
  o.hasTemp = o.hasDewPoint = o.hasPressure = o.hasTime = true;
  o.hasWindDirection = o.hasWindSpeed = o.hasWindGustSpeed = true;
  EXPECT_EQ(decodeObservation(text, o), 0);
  EXPECT_EQ(text.str(), report);
  EXPECT_EQ(o.hasTemp, o.hasDewPoint);
  EXPECT_EQ(o.hasWindDirection, o.hasWindSpeed);
  std::string s;
  if (o.hasTime) s += " time=" + join(o.time);
  if (o.hasWindSpeed) {
    s += " wind=" + join(o.windDirection, o.windSpeed, o.windVariableFrom,
                         o.windVariableTo);
  }
  if (o.hasWindGustSpeed) s += " gust=" + join(o.windGustSpeed);
  if (o.hasTemp) s += " temp=" + join(o.temp, o.dewPoint);
  if (o.hasPressure) s += " alt=" + join(o.pressure);
  return s;
}

// Decodes at 2026-03-15 12:00 UTC, in UTC.
class ObservationDecode : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    stratus::zoneChanged();
    stratus::pinClock(1773576000L);
  }
  void TearDown() override {
    stratus::unpinClock();
    unsetenv("TZ");
    stratus::zoneChanged();
  }
};

// Purpose: whole reports give the values of their groups; a group that no
// parser takes costs the groups behind it, but the remarks are still read;
// texts unlike any report end without harm.
TEST_F(ObservationDecode, Reports) {
  const std::string t = " time=1773337980";  // 12th, 17:53 UTC
  std::string longText = "KSFO 121753Z 27010KT 10SM ";
  std::string rain;  // one run of 50,000 weather codes
  while (longText.size() < 100000) longText += "-RA FEW010 ";
  while (rain.size() < 100000) rain += "RA";
  const struct {
    std::string report, expected;
  } cases[] = {
      {"METAR KXYZ 121753Z AUTO 27010G15KT 240V300 10SM ",
       t + " wind=270 10 240 300 gust=15"},
      {"KSFO 121753Z 29012KT 1 1/2SM R28L/2600FT -SHRA BR BKN030 OVC050 "
       "M05/M12 A3012 RMK AO2 T01830122",
       t + " wind=290 12 400 400 temp=18.3 12.2 alt=30.12"},
      {"KABC 282355Z 27010KT 10SM 22/18 A2992 ",  // last month
       " time=1772322900 wind=270 10 400 400 temp=22 18 alt=29.92"},
      {"K1S3 121753Z AUTO 01005KT 10SM 11/05 A2938",
       t + " wind=10 5 400 400 temp=11 5"},
      {"KSF 121753Z 27010KT 10SM 22/18 A2992 RMK AO2 T02220178",
       " temp=22.2 17.8"},
      {"EDDF 121753Z 27005MPS 9999 FEW030 12/08 Q1013 NOSIG", t},
      {"K1MW 121753Z AUTO 26007KT 10SM M 07/M09 A2501 RMK T00691091",
       t + " wind=260 7 400 400 temp=6.9 -9.1"},
      {"KXYZ 121753Z 27010KT OVC005 22/18 A2992 ",
       t + " wind=270 10 0 0 temp=22 18 alt=29.92"},
      {"RMK AO2 T10561083", " temp=-5.6 -8.3"},
      {"1234 567890Z 12345KT 1 ", " time=1774942200 wind=123 45 400 400"},
      {"////// ///// / ", " temp=0 0"},
      {"", ""},
      {std::string(10000, ' '), ""},
      {std::string(9, 'T') + " RMK TABCDEFGH", " temp=0 0"},
      {longText + "RMK T01230045", t + " wind=270 10 400 400 temp=12.3 4.5"},
      {"KSFO 121753Z " + rain + " 22/18 A2992 ", t + " temp=22 18 alt=29.92"},
      {"KSFO 121753Z " + std::string(100000, '7') + "KT 1 ",
       t + " wind=777 2147483647 400 400"},
      {std::string("KSFO 121753Z 27010KT\0 10SM 22/18 A2992 ", 39),
       t + " wind=270 10 400 400 temp=22 18 alt=29.92"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decode(c.report), c.expected) << c.report.substr(0, 80);
  }
}

// Purpose: every real report decodes (no crash, no sanitizer report) and
// the number that give each field stays as measured, so that a change in
// any parser shows.
TEST_F(ObservationDecode, RealCorpus) {
  const std::string shared = stratus_test::sharedDir();
  if (shared.empty()) GTEST_SKIP() << "shared corpus not found";
  const struct {
    const char* file;
    long counts[6];  // reports, time, wind, gust, temperature, altimeter
  } files[] = {{"us.txt", {34481, 34481, 34017, 5273, 33474, 32472}},
               {"intl.txt", {41363, 41363, 38149, 1691, 15934, 3880}},
               {"rejected.txt", {112, 1, 15, 1, 5, 0}}};
  for (const auto& f : files) {
    std::ifstream in(shared + "/corpus/metar/" + f.file);
    long n[6] = {};
    WObservation o;
    for (std::string line; std::getline(in, line);) {
      decodeObservation(LString(line.c_str()), o);
      const bool flags[] = {true,           o.hasTime,
                            o.hasWindSpeed, o.hasWindGustSpeed,
                            o.hasTemp,      o.hasPressure};
      for (int i = 0; i < 6; ++i) n[i] += flags[i];
    }
    std::printf("%s: %s\n", f.file,
                join(n[0], n[1], n[2], n[3], n[4], n[5]).c_str());
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(n[i], f.counts[i]) << f.file << " " << i;
  }
}

}  // namespace
