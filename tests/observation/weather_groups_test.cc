// Present weather and sky condition: what each parser takes from the front
// and, for the sky, the layers it appends.
#include <gtest/gtest.h>

#include <string>

#include "stratus/foundation/result.h"

#include "observation/parsers.h"

namespace stratus {
namespace {

// Purpose: the weather codes are taken by prefixes in passes over the five
// tables, with or without blanks between them, up to the first text that
// starts no code; a pass that takes nothing ends the run. Every pass sets
// all five values, so the run always ends on the none values.
TEST(WeatherGroups, PresentWeatherTakesCodesUpToTheFirstOther) {
  const struct {
    const char* input;
    const char* rest;
  } cases[] = {
      {"-SHRA BR BKN030 ", "BKN030 "},
      {"+TSRA OVC010 ", "OVC010 "},
      {"RASN FG 12/10 ", "12/10 "},
      {"FZFG VCTS +FC SCT005 ", "SCT005 "},
      {"MIFG PRFG BCFG DRSN BLSN UP PY PO SQ SS VA DU SA HZ FU DZ SG IC PE GR "
       "GS X",
       "X"},
      {"BKN030 12/10 ", "BKN030 12/10 "},
      {"RAXX BKN ", "XX BKN "},
      {"VCSH", ""},
      {"  \t-RA CLR ", "CLR "},
      {"", ""},
      {"M 20/03 A3001 ", "M 20/03 A3001 "},
  };
  for (const auto& c : cases) {
    LString text(c.input);
    WeatherIntensity intensity = kLight;
    WeatherDescriptor descriptor = kShallow;
    Precipitation precipitation = kDrizzle;
    Obscuration obscuration = kMist;
    OtherPhenomenon other = kDustWhirls;
    EXPECT_EQ(parsePresentWeather(text, intensity, descriptor, precipitation,
                                  obscuration, other),
              L_OK)
        << c.input;
    EXPECT_STREQ(text, c.rest) << c.input;
    EXPECT_EQ(intensity, kNoIntensity) << c.input;
    EXPECT_EQ(descriptor, kNoDescriptor) << c.input;
    EXPECT_EQ(precipitation, kNoPrecipitation) << c.input;
    EXPECT_EQ(obscuration, kNoObscuration) << c.input;
    EXPECT_EQ(other, kNoOtherPhenomenon) << c.input;
  }
}

std::string describe(LVector<SkyLayer>& layers) {
  std::string s;
  for (unsigned i = 0; i < layers.getSize(); ++i) {
    if (i) s += ' ';
    s += std::to_string(layers[i].cover) + ":" +
         std::to_string(layers[i].height) +
         (layers[i].heightMissing ? "m" : "");
  }
  return s;
}

// Purpose: one layer per sky group in order, the height from the group's
// last three characters, "///" as a missing height; the first other group
// stays, and a group without a blank behind it ends the run with the
// layers so far kept.
TEST(WeatherGroups, SkyCondition) {
  const struct {
    const char* input;
    int rc;
    const char* rest;
    const char* layers;
  } cases[] = {
      {"FEW/// OVC010 VV002 CLR SKC 12/10 ", L_OK, "12/10 ",
       "1:0m 4:10 5:2 0:0 0:0"},
      {"BKN030 OVC050 M05/M12 ", L_OK, "M05/M12 ", "3:30 4:50"},
      {"SCT025TCU BKN030CB 12/10 ", L_OK, "12/10 ", "2:0 3:0"},
      {"BKN/// VV/// X ", L_OK, "X ", "3:0m 5:0m"},
      {"FEW SCT1 VV X ", L_OK, "X ", "1:0 2:0 5:0"},
      {"CLR100 OVC0010 X ", L_OK, "X ", "0:0 4:10"},
      {"BKN030 OVC050", L_FORMAT, "OVC050", "3:30"},
      {"NSC 12/10 ", L_OK, "NSC 12/10 ", ""},
      {"OVC010", L_FORMAT, "OVC010", ""},
      {"", L_FORMAT, "", ""},
  };
  for (const auto& c : cases) {
    LString text(c.input);
    LVector<SkyLayer> layers;
    EXPECT_EQ(parseSkyCondition(text, layers), c.rc) << c.input;
    EXPECT_STREQ(text, c.rest) << c.input;
    EXPECT_EQ(describe(layers), c.layers) << c.input;
  }
}

// Purpose: the parser appends and never removes a layer already there.
TEST(WeatherGroups, SkyConditionAppends) {
  LVector<SkyLayer> layers(1);
  layers[0] = SkyLayer{kBroken, 7, false};
  LString text("OVC012 12/10 ");
  EXPECT_EQ(parseSkyCondition(text, layers), L_OK);
  EXPECT_EQ(describe(layers), "3:7 4:12");
}

}  // namespace
}  // namespace stratus
