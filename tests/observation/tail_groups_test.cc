// Temperature, altimeter setting and the remarks scanners.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "stratus/foundation/result.h"

#include "observation/parsers.h"

namespace stratus {
namespace {

// The value as printf's %f shows it (what a host printing the record sees).
std::string shown(float v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%f", v);
  return buf;
}

// Purpose: whole degrees with "M" for minus, split at the first "/"; a
// group without "/" or without a blank behind it stays and leaves the
// values alone.
TEST(TailGroups, Temperature) {
  const struct {
    const char* input;
    int rc;
    const char* rest;
    float temp, dew;
  } cases[] = {
      {"M05/M12 A2992 ", L_OK, "A2992 ", -5, -12},
      {"22/18 A2992 ", L_OK, "A2992 ", 22, 18},
      {"00/M01 A2992 ", L_OK, "A2992 ", 0, -1},
      {"M05/ A2992 ", L_OK, "A2992 ", -5, 0},
      {"/M ", L_OK, "", 0, 0},
      {"12/10/08 X ", L_OK, "X ", 12, 10},
      {"M99999999999999999999/1 X ", L_OK, "X ", -9.223372e18f, 1},
      {"A2992 RMK ", L_FORMAT, "A2992 RMK ", 99, 99},
      {"22/18", L_FORMAT, "22/18", 99, 99},
  };
  for (const auto& c : cases) {
    LString text(c.input);
    float temp = 99, dew = 99;
    EXPECT_EQ(parseTemperature(text, temp, dew), c.rc) << c.input;
    EXPECT_STREQ(text, c.rest) << c.input;
    EXPECT_EQ(temp, c.temp) << c.input;
    EXPECT_EQ(dew, c.dew) << c.input;
  }
}

// Purpose: only an "A" group is an altimeter setting, scaled by the
// single-precision 0.01 (so A3012 shows as 30.119999, not 30.120000).
TEST(TailGroups, Pressure) {
  const struct {
    const char* input;
    int rc;
    const char* rest;
    const char* shown;
  } cases[] = {
      {"A2992 RMK ", L_OK, "RMK ", "29.920000"},
      {"A3012 RMK ", L_OK, "RMK ", "30.119999"},
      {"A2543 X ", L_OK, "X ", "25.430000"},
      {"A //// ", L_OK, "//// ", "0.000000"},
      {"Q1013 RMK ", L_FORMAT, "Q1013 RMK ", "-1.000000"},
      {"A2992", L_FORMAT, "A2992", "-1.000000"},
      {" A2992 ", L_FORMAT, " A2992 ", "-1.000000"},
  };
  for (const auto& c : cases) {
    LString text(c.input);
    float pressure = -1;
    EXPECT_EQ(parsePressure(text, pressure), c.rc) << c.input;
    EXPECT_STREQ(text, c.rest) << c.input;
    EXPECT_EQ(shown(pressure), c.shown) << c.input;
  }
  LString text("A3012 ");
  float pressure = 0;
  parsePressure(text, pressure);
  EXPECT_EQ(pressure, 3012 * 0.01f);
  EXPECT_NE(pressure, 30.12f);
}

// Purpose: "RMK" is found anywhere, and everything up to it goes.
TEST(TailGroups, FindRemarks) {
  const struct {
    const char* input;
    int found;
    const char* rest;
  } cases[] = {
      {"A2992 RMK AO2 T01", 1, "AO2 T01"},
      {"RMK AO2", 1, "AO2"},
      {"XRMKY Z", 1, "Y Z"},
      {"RMK", 1, ""},
      {"22/18 A2992", 0, "22/18 A2992"},
      {"RM K", 0, "RM K"},
  };
  for (const auto& c : cases) {
    LString text(c.input);
    EXPECT_EQ(findRemarks(text), c.found) << c.input;
    EXPECT_STREQ(text, c.rest) << c.input;
  }
}

// Purpose: AO1/AO2 count only as whole tokens; the first one wins.
TEST(TailGroups, StationType) {
  const struct {
    const char* input;
    int rc;
    StationType type;
  } cases[] = {
      {"AO2 SLP132 T02220178", L_OK, kWithPrecipitationSensor},
      {"SLP132 AO1 AO2", L_OK, kWithoutPrecipitationSensor},
      {"SLP132  AO2", L_OK, kWithPrecipitationSensor},
      {"AO2A SLP132", L_NOTFOUND, kNoStationType},
      {"", L_NOTFOUND, kNoStationType},
  };
  for (const auto& c : cases) {
    LString text(c.input);
    StationType type = kWithoutPrecipitationSensor;
    EXPECT_EQ(parseStationType(text, type), c.rc) << c.input;
    EXPECT_EQ(type, c.type) << c.input;
    EXPECT_STREQ(text, c.input);
  }
}

// Purpose: the first 9-character token beginning with "T" gives tenths,
// a leading "1" meaning minus, scaled by the single-precision 0.1; it is
// found also as the last token; without one the values stay.
TEST(TailGroups, PreciseTemperature) {
  const struct {
    const char* input;
    int rc;
    float temp, dew;
  } cases[] = {
      {"AO2 SLP132 T02220178", L_OK, 222 * 0.1f, 178 * 0.1f},
      {"T10561083 $", L_OK, -(56 * 0.1f), -(83 * 0.1f)},
      {"AO2 TSNO T01831122 ", L_OK, 183 * 0.1f, -(122 * 0.1f)},
      {"TXXXXXXXX T02220178", L_OK, 0, 0},
      {"T2345 T0222017 TT1234567", L_OK, 0, 4567 * 0.1f},
      {"T0222017 AO2", L_NOTFOUND, 99, 99},
      {"XT02220178", L_NOTFOUND, 99, 99},
  };
  for (const auto& c : cases) {
    LString text(c.input);
    float temp = 99, dew = 99;
    EXPECT_EQ(parsePreciseTemperature(text, temp, dew), c.rc) << c.input;
    EXPECT_EQ(temp, c.temp) << c.input;
    EXPECT_EQ(dew, c.dew) << c.input;
    EXPECT_STREQ(text, c.input);
  }
  LString text("T02220178");
  float temp, dew;
  parsePreciseTemperature(text, temp, dew);
  EXPECT_EQ(shown(temp), "22.200001");
  EXPECT_EQ(shown(dew), "17.800001");
}

}  // namespace
}  // namespace stratus
