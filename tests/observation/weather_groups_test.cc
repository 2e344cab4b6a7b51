// Present weather and sky condition, each taken from the front of the text.
#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

#include "observation/parsers.h"
#include "parse_cases.h"

namespace stratus {
namespace {

using stratus_test::expectCases;
using stratus_test::join;

// Codes by prefix in passes over the five tables; the last pass sets "none".
TEST(WeatherGroups, PresentWeather) {
  expectCases({{"-SHRA BR BKN030 ", L_OK, "BKN030 ", "3 8 9 8 4"},
               {"+TSRA FZFG VCTS +FC RASN X", L_OK, "X", "3 8 9 8 4"},
               {"RAXX BKN ", L_OK, "XX BKN ", "3 8 9 8 4"},
               {"M 20/03 ", L_OK, "M 20/03 ", "3 8 9 8 4"}},
              parsePresentWeather, kLight, kShallow, kDrizzle, kMist,
              kDustWhirls);
}

// Layers (cover:height, "m" for "///") appended behind one already held.
TEST(WeatherGroups, SkyCondition) {
  expectCases(
      {{"FEW/// OVC010 VV002 CLR SKC 1 ", L_OK, "1 ",
        "9:9 1:0m 4:10 5:2 0:0 0:0"},
       {"SCT025TCU BKN030CB VV M05/M12 ", L_OK, "M05/M12 ", "9:9 2:0 3:0 5:0"},
       {"BKN030 OVC050", L_FORMAT, "OVC050", "9:9 3:30"},
       {"NSC 12/10 ", L_OK, "NSC 12/10 ", "9:9"}},
      [](LString& text, std::string& shown) {
        LVector<SkyLayer> layers(1);
        layers[0] = SkyLayer{9, 9, false};
        int rc = parseSkyCondition(text, layers);
        for (unsigned i = 0; i < layers.getSize(); ++i) {
          shown += (i ? " " : "") + join(layers[i].cover) + ":" +
                   join(layers[i].height) +
                   (layers[i].heightMissing ? "m" : "");
        }
        return rc;
      },
      std::string());
}

}  // namespace
}  // namespace stratus
