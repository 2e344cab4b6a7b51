// A report's groups in words, decoded from real groups and read against
// the coding's tables (present weather, sky cover, the compass rose).
#include "stratus/host/report_words.h"

#include <string>

#include <gtest/gtest.h>

namespace {

WReport decoded(const std::string& report) {
  WReport r;
  decodeReport(LString(report.c_str()), r);
  return r;
}

// Purpose: each weather group as a person reads it.
TEST(ReportWords, WeatherGroups) {
  struct Case {
    const char* group;
    const char* words;
  } cases[] = {
      {"-SN", "light snow"},
      {"+TSRAGR", "heavy thunderstorm with rain and hail"},
      {"-SHRA", "light showers of rain"},
      {"VCSH", "showers in the vicinity"},
      {"VCFG", "fog in the vicinity"},
      {"FZFG", "freezing fog"},
      {"TS", "thunderstorm"},
      {"+FC", "tornado"},
      {"-RASNPL", "light rain, snow and ice pellets"},
      {"BLSN", "blowing snow"},
  };
  for (const Case& c : cases) {
    WReport r = decoded(std::string("KDSM 051754Z 32015KT 3SM ") + c.group +
                        " OVC012 M04/M06 A2987");
    ASSERT_EQ(r.weatherCount, 1) << c.group;
    EXPECT_EQ(weatherWords(r.weather[0]), c.words) << c.group;
  }
}

// Purpose: sky layers with grouped heights and cloud types.
TEST(ReportWords, SkyLayers) {
  WReport r = decoded(
      "KDSM 051754Z 32015KT 10SM FEW030CB SCT120TCU BKN250 VV002 18/12 A2996");
  ASSERT_EQ(r.layerCount, 4);
  EXPECT_EQ(layerWords(r.layers[0]), "few at 3,000 ft (cumulonimbus)");
  EXPECT_EQ(layerWords(r.layers[1]),
            "scattered at 12,000 ft (towering cumulus)");
  EXPECT_EQ(layerWords(r.layers[2]), "broken at 25,000 ft");
  EXPECT_EQ(layerWords(r.layers[3]), "vertical visibility 200 ft");
  WReport clear = decoded("KDSM 051754Z 32015KT 10SM CLR 18/12 A2996");
  ASSERT_EQ(clear.layerCount, 1);
  EXPECT_EQ(layerWords(clear.layers[0]), "clear");
}

// Purpose: the compass point nearest a direction (each point spans 22.5
// degrees, centred on its own: N is 348.75 to 11.25).
TEST(ReportWords, CompassPoints) {
  struct Case {
    int degrees;
    const char* point;
  } cases[] = {{0, "N"},    {11, "N"},  {12, "NNE"},  {45, "NE"}, {180, "S"},
               {320, "NW"}, {349, "N"}, {348, "NNW"}, {360, "N"}};
  for (const Case& c : cases)
    EXPECT_STREQ(compassPoint(c.degrees), c.point) << c.degrees;
  EXPECT_EQ(compassPoint(W_VARIABLE_WIND), nullptr);
  EXPECT_EQ(compassPoint(-1), nullptr);
}

}  // namespace
