// Present weather and sky condition: what each parser takes from the front
// and, for the sky, the layers it appends.
#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

#include "observation/parsers.h"
#include "parse_cases.h"

namespace stratus {
namespace {

using stratus_test::expectCases;
using stratus_test::join;

// Purpose: codes are taken by prefix in passes over the five tables, with
// or without blanks between them, up to the first text that starts no
// code. The last pass takes nothing, so the values end as "none".
TEST(WeatherGroups, PresentWeather) {
  expectCases({{"-SHRA BR BKN030 ", L_OK, "BKN030 ", "3 8 9 8 4"},
               {"+TSRA FZFG VCTS +FC RASN X", L_OK, "X", "3 8 9 8 4"},
               {"RAXX BKN ", L_OK, "XX BKN ", "3 8 9 8 4"},
               {"M 20/03 ", L_OK, "M 20/03 ", "3 8 9 8 4"}},
              [](LString& t, std::string& v) {
                WeatherIntensity i = kLight;
                WeatherDescriptor d = kShallow;
                Precipitation p = kDrizzle;
                Obscuration o = kMist;
                OtherPhenomenon x = kDustWhirls;
                int rc = parsePresentWeather(t, i, d, p, o, x);
                return v = join(i, d, p, o, x), rc;
              });
}

// Purpose: one layer (cover:height, "m" when "///") per sky group, in
// order, the height from the group's last three characters; the first
// other group stays; a group without a blank behind it ends the run with
// the layers so far kept; earlier layers stay in the vector.
TEST(WeatherGroups, SkyCondition) {
  expectCases(
      {{"FEW/// OVC010 VV002 CLR SKC 1 ", L_OK, "1 ", "1:0m 4:10 5:2 0:0 0:0"},
       {"SCT025TCU BKN030CB VV M05/M12 ", L_OK, "M05/M12 ", "2:0 3:0 5:0"},
       {"BKN030 OVC050", L_FORMAT, "OVC050", "3:30"},
       {"NSC 12/10 ", L_OK, "NSC 12/10 ", ""}},
      [](LString& t, std::string& v) {
        LVector<SkyLayer> layers;
        int rc = parseSkyCondition(t, layers);
        for (unsigned i = 0; i < layers.getSize(); ++i) {
          v += (i ? " " : "") + join(layers[i].cover) + ":" +
               join(layers[i].height) + (layers[i].heightMissing ? "m" : "");
        }
        return rc;
      });
  LVector<SkyLayer> layers(1);
  LString text("OVC012 1 ");
  parseSkyCondition(text, layers);
  EXPECT_EQ(layers.getSize(), 2u);
}

}  // namespace
}  // namespace stratus
