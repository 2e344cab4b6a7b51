// Temperature, altimeter setting and the remarks scanners.
#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

#include "observation/parsers.h"
#include "parse_cases.h"

namespace stratus {
namespace {

using stratus_test::expectCases;

// Whole degrees, "M" for minus; the altimeter setting in single precision.
TEST(TailGroups, TemperatureAndPressure) {
  expectCases({{"M05/M12 A2992 ", L_OK, "A2992 ", "-5 -12"},
               {"00/M01 1 ", L_OK, "1 ", "0 -1"},
               {"M05/ 1 ", L_OK, "1 ", "-5 0"},
               {"12/10/08 1 ", L_OK, "1 ", "12 10"},
               {"M99999999999999999999/1 1 ", L_OK, "1 ", "-9.223372e+18 1"},
               {"A2992 RMK ", L_FORMAT, "A2992 RMK ", "99 99"},
               {"22/18", L_FORMAT, "22/18", "99 99"}},
              parseTemperature, 99.0f, 99.0f);
  expectCases({{"A3012 RMK ", L_OK, "RMK ", "30.119999"},
               {"A //// ", L_OK, "//// ", "0"},
               {"Q1013 RMK ", L_FORMAT, "Q1013 RMK ", "-1"},
               {"A2992", L_FORMAT, "A2992", "-1"}},
              parsePressure, -1.0f);
}

// "RMK" anywhere; the first whole AO1/AO2; the first 9-character "T" token.
TEST(TailGroups, Remarks) {
  expectCases({{"A2992 RMK AO2 T01", 1, "AO2 T01", ""},
               {"XRMKY Z", 1, "Y Z", ""},
               {"22/18 RM K", 0, "22/18 RM K", ""}},
              findRemarks);
  expectCases({{"SLP132 AO1 AO2", L_OK, "SLP132 AO1 AO2", "0"},
               {"  SLP132   AO2", L_OK, "  SLP132   AO2", "1"},
               {"AO2A", L_NOTFOUND, "AO2A", "2"}},
              parseStationType, kWithPrecipitationSensor);
  expectCases(
      {{"AO2 T02220178", L_OK, "AO2 T02220178", "22.200001 17.800001"},
       {"T10561083 $", L_OK, "T10561083 $", "-5.5999999 -8.3000002"},
       {"TSNO TXXXXXXXX T0", L_OK, "TSNO TXXXXXXXX T0", "0 0"},
       {"T0222017 XT02220178", L_NOTFOUND, "T0222017 XT02220178", "99 99"}},
      parsePreciseTemperature, 99.0f, 99.0f);
}

}  // namespace
}  // namespace stratus
