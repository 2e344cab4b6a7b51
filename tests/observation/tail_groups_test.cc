// Temperature, altimeter setting and the remarks scanners.
#include <cstdio>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

#include "observation/parsers.h"
#include "parse_cases.h"

namespace stratus {
namespace {

using stratus_test::expectCases;
using stratus_test::join;

// Purpose: whole degrees with "M" for minus split at the first "/"; only
// an "A" group is an altimeter setting; a group of another shape or
// without a blank behind it stays and leaves the values alone.
TEST(TailGroups, TemperatureAndPressure) {
  expectCases({{"M05/M12 A2992 ", L_OK, "A2992 ", "-5 -12"},
               {"00/M01 1 ", L_OK, "1 ", "0 -1"},
               {"M05/ 1 ", L_OK, "1 ", "-5 0"},
               {"12/10/08 1 ", L_OK, "1 ", "12 10"},
               {"M99999999999999999999/1 1 ", L_OK, "1 ", "-9.22337e+18 1"},
               {"A2992 RMK ", L_FORMAT, "A2992 RMK ", "99 99"},
               {"22/18", L_FORMAT, "22/18", "99 99"}},
              [](LString& t, std::string& v) {
                float temp = 99, dew = 99;
                int rc = parseTemperature(t, temp, dew);
                return v = join(temp, dew), rc;
              });
  expectCases({{"A2992 RMK ", L_OK, "RMK ", "29.92"},
               {"A //// ", L_OK, "//// ", "0"},
               {"Q1013 RMK ", L_FORMAT, "Q1013 RMK ", "-1"},
               {"A2992", L_FORMAT, "A2992", "-1"}},
              [](LString& t, std::string& v) {
                float pressure = -1;
                int rc = parsePressure(t, pressure);
                return v = join(pressure), rc;
              });
  // The scaling is single precision, as a host printing the value sees.
  LString text("A3012 ");
  float pressure;
  parsePressure(text, pressure);
  char shown[32];
  std::snprintf(shown, sizeof shown, "%f", pressure);
  EXPECT_STREQ(shown, "30.119999");
}

// Purpose: "RMK" is found anywhere and everything up to it goes; AO1/AO2
// count as whole tokens, the first wins; the first 9-character "T" token
// gives tenths (leading "1" minus) also as the last token; the remarks
// scanners leave the text alone.
TEST(TailGroups, Remarks) {
  expectCases({{"A2992 RMK AO2 T01", 1, "AO2 T01", ""},
               {"XRMKY Z", 1, "Y Z", ""},
               {"22/18 RM K", 0, "22/18 RM K", ""}},
              [](LString& t, std::string&) { return findRemarks(t); });
  expectCases({{"SLP132 AO1 AO2", L_OK, "SLP132 AO1 AO2", "0"},
               {"  SLP132   AO2", L_OK, "  SLP132   AO2", "1"},
               {"AO2A", L_NOTFOUND, "AO2A", "2"}},
              [](LString& t, std::string& v) {
                StationType type = kWithPrecipitationSensor;
                int rc = parseStationType(t, type);
                return v = join(type), rc;
              });
  expectCases(
      {{"AO2 T02220178", L_OK, "AO2 T02220178", "22.2 17.8"},
       {"T10561083 $", L_OK, "T10561083 $", "-5.6 -8.3"},
       {"TSNO TXXXXXXXX T0", L_OK, "TSNO TXXXXXXXX T0", "0 0"},
       {"T0222017 XT02220178", L_NOTFOUND, "T0222017 XT02220178", "99 99"}},
      [](LString& t, std::string& v) {
        float temp = 99, dew = 99;
        int rc = parsePreciseTemperature(t, temp, dew);
        return v = join(temp, dew), rc;
      });
  float temp, dew;
  parsePreciseTemperature(LString("T02220178"), temp, dew);
  EXPECT_EQ(dew, 178 * 0.1f);
  EXPECT_NE(dew, 17.8f);
}

}  // namespace
}  // namespace stratus
