// The US data set shipped in data/us, read through the database as a host
// reads it.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>

#include "stratus/location/location_db.h"

#include "location/record_reader.h"

namespace {

const char kDataDir[] = STRATUS_SOURCE_DIR "/data/us";

std::string lower(const LString& s) {
  std::string out(s.c_str(), s.length());
  for (char& c : out) c = static_cast<char>(std::tolower(c));
  return out;
}

bool isZone(const LString& z, const std::string& postal) {
  const char* p = z.c_str();
  return z.length() == 6 && lower(LString(p, 2)) == postal && p[2] == 'Z' &&
         std::isdigit(p[3]) && std::isdigit(p[4]) && std::isdigit(p[5]);
}

bool isStation(const LString& s) {
  const char* p = s.c_str();
  if (s.length() != 4 || !std::isupper(p[0])) return false;
  for (int i = 1; i < 4; ++i)
    if (!std::isupper(p[i]) && !std::isdigit(p[i])) return false;
  return true;
}

// Purpose: the country, the 52 states (50, DC, PR) with two-letter short
// names, and the counties of each state with their UGC codes.
TEST(USData, CountryStatesAndAreas) {
  WLocationDB db(kDataDir);
  LVector<WCountry> countries;
  ASSERT_EQ(db.getCountryList(countries), 0);
  ASSERT_EQ(countries.getSize(), 1u);
  EXPECT_EQ(countries[0].getId(), 1u);
  EXPECT_EQ(countries[0].getName(), "United States");

  LVector<WState> states;
  ASSERT_EQ(db.getStateList(1, states), 0);
  ASSERT_EQ(states.getSize(), 52u);
  std::set<unsigned> ids;
  unsigned areaCount = 0;
  for (unsigned i = 0; i < states.getSize(); ++i) {
    const WState& s = states[i];
    EXPECT_TRUE(ids.insert(s.getId()).second) << "state " << s.getId();
    ASSERT_EQ(s.getData().length(), 2) << s.getName();
    EXPECT_EQ(lower(s.getData()), std::string(s.getData().c_str()))
        << s.getName();
    LVector<WArea> areas;
    ASSERT_EQ(db.getAreaList(1, s.getId(), areas), 0) << s.getName();
    EXPECT_GT(areas.getSize(), 0u) << s.getName();
    areaCount += areas.getSize();
    for (unsigned a = 0; a < areas.getSize(); ++a) {
      const LString& ugc = areas[a].getData();
      EXPECT_TRUE(ugc.length() == 6 &&
                  lower(LString(ugc.c_str(), 2)) == lower(s.getData()) &&
                  ugc.c_str()[2] == 'C')
          << areas[a].getName() << " " << ugc;
      EXPECT_EQ(areas[a].getId() / 1000, s.getId()) << areas[a].getName();
    }
  }
  EXPECT_EQ(areaCount, 3222u);
}

// Purpose: every city of every state carries a forecast zone of its own
// state and a station code that the reader can use, as the data-string
// lookup reads them; ids are unique and names unique within a state.
TEST(USData, EveryCityResolves) {
  WLocationDB db(kDataDir);
  LVector<WState> states;
  ASSERT_EQ(db.getStateList(1, states), 0);
  std::set<unsigned> ids;
  for (unsigned i = 0; i < states.getSize(); ++i) {
    std::string postal = lower(states[i].getData());
    LVector<WCity> cities;
    ASSERT_EQ(db.getCityList(1, states[i].getId(), cities), 0);
    EXPECT_GT(cities.getSize(), 0u) << postal;
    std::set<std::string> names;
    for (unsigned c = 0; c < cities.getSize(); ++c) {
      const WCity& city = cities[c];
      EXPECT_TRUE(ids.insert(city.getId()).second) << city.getId();
      EXPECT_TRUE(names.insert(lower(city.getName())).second)
          << postal << ": " << city.getName();
      LString zone, code;
      ASSERT_EQ(city.getDataToken("azone", zone), L_OK) << city.getData();
      ASSERT_EQ(city.getDataToken("acode", code), L_OK) << city.getData();
      EXPECT_TRUE(isZone(zone, postal)) << city.getName() << " " << zone;
      EXPECT_TRUE(isStation(code)) << city.getName() << " " << code;
    }
  }
  EXPECT_GT(ids.size(), 33000u);
}

// Purpose: the largest cities resolve to the zones and stations that the
// override table sets for them.
TEST(USData, LargestCities) {
  WLocationDB db(kDataDir);
  struct Case {
    unsigned state, city;
    const char *name, *shortState, *zone, *code;
  };
  const Case cases[] = {
      {25, 2507000, "Boston, Massachusetts, United States", "ma", "MAZ015",
       "KBOS"},
      {6, 667000, "San Francisco, California, United States", "ca", "CAZ006",
       "KSFO"},
      {36, 3651000, "New York, New York, United States", "ny", "NYZ072",
       "KNYC"},
      {2, 203000, "Anchorage, Alaska, United States", "ak", "AKZ101", "PANC"},
  };
  for (const Case& c : cases) {
    WLocation loc;
    ASSERT_EQ(db.makeUSLocation(c.state, c.city, loc), 0) << c.name;
    EXPECT_EQ(loc.getName(), c.name);
    EXPECT_EQ(loc.getShortState(), c.shortState) << c.name;
    LString zone, code;
    EXPECT_EQ(loc.getCityData("azone", zone), L_OK) << c.name;
    EXPECT_EQ(loc.getCityData("acode", code), L_OK) << c.name;
    EXPECT_EQ(zone, c.zone) << c.name;
    EXPECT_EQ(code, c.code) << c.name;
  }
}

// Purpose: over the whole city file, the in-place scan and the field
// extraction read the same records.
TEST(USData, InPlaceScanMatchesExtraction) {
  std::string file = std::string(kDataDir) + "/cities.ldt";
  LIStream fast(file.c_str());
  LIStream slow(file.c_str());
  ASSERT_TRUE(fast.isOpen());
  stratus::RecordReader a(fast, 3, stratus::IdFilter(), true);
  stratus::RecordReader b(slow, 3, stratus::IdFilter(), false);
  LString nameA, dataA, nameB, dataB;
  unsigned n = 0;
  for (;; ++n) {
    bool more = a.next();
    ASSERT_EQ(more, b.next()) << "record " << n;
    if (!more) break;
    a.readTexts(nameA, dataA);
    b.readTexts(nameB, dataB);
    ASSERT_EQ(a.id(0), b.id(0)) << "record " << n;
    ASSERT_EQ(a.id(2), b.id(2)) << "record " << n;
    ASSERT_EQ(nameA, nameB) << "record " << n;
    ASSERT_EQ(dataA, dataB) << "record " << n;
  }
  EXPECT_GT(n, 33000u);
}

}  // namespace
