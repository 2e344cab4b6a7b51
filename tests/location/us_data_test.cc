// The US data set shipped in data/us, read through the database.
#include <cctype>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "stratus/location/location_db.h"

namespace {

const char kDataDir[] = STRATUS_SOURCE_DIR "/data/us";

// 52 states, 3,222 counties, every city with a zone of its state and a station.
TEST(USData, EveryRecordResolves) {
  WLocationDB db(kDataDir);
  LVector<WState> states;
  ASSERT_EQ(db.getStateList(1, states), 0);
  ASSERT_EQ(states.getSize(), 52u);
  std::set<unsigned> ids;
  unsigned areas = 0;
  for (unsigned i = 0; i < states.getSize(); ++i) {
    std::string postal = states[i].getData().str();
    ASSERT_TRUE(std::regex_match(postal, std::regex("[a-z]{2}"))) << postal;
    std::string upper = {char(postal[0] - 32), char(postal[1] - 32)};
    LVector<WArea> counties;
    ASSERT_EQ(db.getAreaList(1, states[i].getId(), counties), 0);
    areas += counties.getSize();
    const std::regex ugcForm(upper + "C[0-9]{3}");
    for (unsigned a = 0; a < counties.getSize(); ++a)
      EXPECT_TRUE(std::regex_match(counties[a].getData().str(), ugcForm))
          << counties[a].getName();
    LVector<WCity> cities;
    ASSERT_EQ(db.getCityList(1, states[i].getId(), cities), 0);
    EXPECT_GT(cities.getSize(), 0u) << postal;
    std::set<std::string> names;
    const std::regex dataForm("azone\\(" + upper +
                              "Z[0-9]{3}\\)acode\\([A-Z][A-Z0-9]{3}\\)");
    for (unsigned c = 0; c < cities.getSize(); ++c) {
      const WCity& city = cities[c];
      EXPECT_TRUE(ids.insert(city.getId()).second) << city.getId();
      std::string folded = city.getName().str();
      for (char& ch : folded) ch = static_cast<char>(std::tolower(ch));
      EXPECT_TRUE(names.insert(folded).second) << city.getName();
      EXPECT_TRUE(std::regex_match(city.getData().str(), dataForm))
          << city.getName() << ": " << city.getData();
    }
  }
  EXPECT_EQ(areas, 3222u);
  EXPECT_GT(ids.size(), 33000u);
}

// The largest cities carry the zones and stations of the override table.
TEST(USData, LargestCities) {
  WLocationDB db(kDataDir);
  const struct {
    unsigned state, city;
    const char *name, *shortState, *zone, *code;
  } cases[] = {
      {25, 2507000, "Boston, Massachusetts, United States", "ma", "MAZ015",
       "KBOS"},
      {6, 667000, "San Francisco, California, United States", "ca", "CAZ006",
       "KSFO"},
      {2, 203000, "Anchorage, Alaska, United States", "ak", "AKZ101", "PANC"},
  };
  for (const auto& c : cases) {
    WLocation loc;
    ASSERT_EQ(db.makeUSLocation(c.state, c.city, loc), 0) << c.name;
    EXPECT_EQ(loc.getName(), c.name);
    EXPECT_EQ(loc.getShortState(), c.shortState) << c.name;
    LString zone, code;
    EXPECT_TRUE(loc.getCityData("azone", zone) == L_OK && zone == c.zone)
        << c.name;
    EXPECT_TRUE(loc.getCityData("acode", code) == L_OK && code == c.code)
        << c.name;
  }
}

}  // namespace
