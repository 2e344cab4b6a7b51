// The US data set shipped in data/us, read through the database.
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stratus/location/location_db.h"

namespace {

const char kDataDir[] = STRATUS_SOURCE_DIR "/data/us";
// The NWS zone-county correlation table the data was built from.
const char kZoneTable[] = STRATUS_SOURCE_DIR "/tools/ldt/bp05mr24.dbx";

std::string token(const WCity& city, const char* key) {
  LString value;
  return city.getDataToken(key, value) == L_OK ? value.str() : "";
}

// (zone, county UGC) -> office, one entry per line of the table; the
// county's UGC takes its state from the county's FIPS code.
std::map<std::pair<std::string, std::string>, std::string> readZoneTable(
    const std::map<unsigned, std::string>& postalOfFips) {
  std::map<std::pair<std::string, std::string>, std::string> offices;
  std::ifstream in(kZoneTable);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string field; std::getline(fields, field, '|');)
      f.push_back(field);
    if (f.size() != 11) continue;
    auto postal = postalOfFips.find(std::stoul(f[6].substr(0, 2)));
    if (postal == postalOfFips.end()) continue;  // territories
    offices[{f[0] + "Z" + f[1], postal->second + "C" + f[6].substr(2)}] = f[2];
  }
  return offices;
}

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
    const std::regex dataForm(
        "azone\\(" + upper +
        "Z[0-9]{3}\\)acode\\([A-Z][A-Z0-9]{3}\\)acounty\\(" + upper +
        "C[0-9]{3}\\)aoffice\\([A-Z]{3}\\)alat\\(-?[0-9]{1,2}\\.[0-9]{4}\\)"
        "alon\\(-?[0-9]{1,3}\\.[0-9]{4}\\)atz\\([ACEGHMPSVem]{1,2}\\)");
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
      {2, 203000, "Anchorage, Alaska, United States", "ak", "AKZ102", "PANC"},
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

// Every city's zone is a zone of the table that includes the city's county,
// and its office is the one the table gives for that zone and county; its
// point lies in the box of its state's cities (a swapped or unscaled
// coordinate would leave it).
TEST(USData, ZonesCountiesAndOfficesAgreeWithTheZoneTable) {
  WLocationDB db(kDataDir);
  LVector<WState> states;
  ASSERT_EQ(db.getStateList(1, states), 0);
  std::map<unsigned, std::string> postalOfFips;
  for (unsigned i = 0; i < states.getSize(); ++i) {
    std::string postal = states[i].getData().str();
    for (char& c : postal) c = static_cast<char>(std::toupper(c));
    postalOfFips[states[i].getId()] = postal;
  }
  auto offices = readZoneTable(postalOfFips);
  ASSERT_GT(offices.size(), 4000u) << kZoneTable;
  std::set<std::string> zones;
  for (const auto& entry : offices) zones.insert(entry.first.first);
  unsigned cities = 0;
  for (unsigned i = 0; i < states.getSize(); ++i) {
    LVector<WCity> list;
    ASSERT_EQ(db.getCityList(1, states[i].getId(), list), 0);
    for (unsigned c = 0; c < list.getSize(); ++c, ++cities) {
      const WCity& city = list[c];
      std::string zone = token(city, "azone"), county = token(city, "acounty");
      ASSERT_TRUE(zones.count(zone)) << city.getName() << ": " << zone;
      auto office = offices.find({zone, county});
      ASSERT_TRUE(office != offices.end())
          << city.getName() << ": " << zone << " does not include " << county;
      EXPECT_EQ(token(city, "aoffice"), office->second) << city.getName();
      double lat = std::atof(token(city, "alat").c_str());
      double lon = std::atof(token(city, "alon").c_str());
      bool inUS =
          (lat > 17.8 && lat < 71.5 && lon > -179.2 && lon < -64.5) ||
          (lat > 51 && lat < 53 && lon > 172 && lon < 180);  // Aleutians
      EXPECT_TRUE(inUS) << city.getName() << " " << lat << "," << lon;
    }
  }
  EXPECT_EQ(cities, 33163u);
}

// Zones a person picks from the weather service's zone list for the place,
// including the ones Oregon, Washington and Alaska renumbered.
TEST(USData, HandCheckedZones) {
  WLocationDB db(kDataDir);
  const struct {
    unsigned city;
    const char *zone, *why;
  } cases[] = {
      {4159000, "ORZ111", "Portland: Inner Portland Metro (old ORZ006)"},
      {4123850, "ORZ118", "Eugene: Lane County Lowlands"},
      {4147000, "ORZ026", "Medford: Jackson County"},
      {4103150, "ORZ101", "Astoria: Clatsop County Coast"},
      {4105800, "ORZ511", "Bend: Central Oregon, not the Cascade east slopes"},
      {4139700, "ORZ029", "Klamath Falls: Klamath Basin"},
      {5363000, "WAZ558", "Seattle: Seattle and Vicinity"},
      {5367000, "WAZ036", "Spokane: Spokane Area"},
      {5370000, "WAZ509", "Tacoma: Tacoma Area"},
      {5374060, "WAZ206", "Vancouver: Inner Vancouver Metro, issued by PQR"},
      {5377105, "WAZ041", "Wenatchee: Wenatchee Area"},
      {203000, "AKZ102", "Anchorage: Anchorage (old AKZ101)"},
      {224230, "AKZ844", "Fairbanks: Fairbanks Metro Area"},
      {236400, "AKZ325", "Juneau: City and Borough of Juneau"},
      {258660, "AKZ112", "Palmer: Matanuska Valley, not Anchorage"},
      {238970, "AKZ330", "Ketchikan: Ketchikan Gateway Borough"},
      {206520, "AKZ155", "Bethel: Kuskokwim Delta"},
  };
  for (const auto& c : cases) {
    WCity city;
    ASSERT_EQ(db.getCity(c.city, city), 0) << c.why;
    EXPECT_EQ(token(city, "azone"), c.zone) << c.why;
  }
}

// County and office of cities checked by hand against county maps and the
// offices' areas. Hartford keeps Connecticut's old county (the table has no
// planning regions); New York's zone is Manhattan's, so is its county.
TEST(USData, HandCheckedCountiesAndOffices) {
  WLocationDB db(kDataDir);
  const struct {
    unsigned city;
    const char *name, *county, *office;
  } cases[] = {
      {1921000, "Des Moines", "IAC153", "DMX"},
      {2507000, "Boston", "MAC025", "BOX"},
      {1949755, "Marshalltown", "IAC127", "DMX"},
      {1714000, "Chicago", "ILC031", "LOT"},
      {820000, "Denver", "COC031", "BOU"},
      {1245000, "Miami", "FLC086", "MFL"},
      {455000, "Phoenix", "AZC013", "PSR"},
      {1304000, "Atlanta", "GAC121", "FFC"},
      {2938000, "Kansas City", "MOC095", "EAX"},
      {937000, "Hartford", "CTC003", "BOX"},
      {3651000, "New York", "NYC061", "OKX"},
      {5363000, "Seattle", "WAC033", "SEW"},
      {4159000, "Portland", "ORC051", "PQR"},
      {203000, "Anchorage", "AKC020", "AFC"},
      {7276770, "San Juan", "PRC127", "SJU"},
  };
  for (const auto& c : cases) {
    WCity city;
    ASSERT_EQ(db.getCity(c.city, city), 0) << c.name;
    EXPECT_EQ(city.getName(), c.name);
    EXPECT_EQ(token(city, "acounty"), c.county) << c.name;
    EXPECT_EQ(token(city, "aoffice"), c.office) << c.name;
  }
}

// A host table of data/us (zips.tsv, stations.tsv): key -> (state, city),
// read with its line form, checked to be in key order.
std::map<std::string, std::pair<unsigned, unsigned>> readHostTable(
    const std::string& name, const std::string& keyForm) {
  std::map<std::string, std::pair<unsigned, unsigned>> rows;
  std::ifstream in(std::string(kDataDir) + "/" + name);
  EXPECT_TRUE(in) << name;
  const std::regex form("(" + keyForm + ")\t([0-9]{1,2})\t([0-9]{3,9})");
  std::string line, last;
  while (std::getline(in, line)) {
    std::smatch m;
    EXPECT_TRUE(std::regex_match(line, m, form)) << name << ": " << line;
    EXPECT_LT(last, m[1].str()) << name << " out of order: " << line;
    last = m[1].str();
    rows[last] = {unsigned(std::stoul(m[2])), unsigned(std::stoul(m[3]))};
  }
  return rows;
}

// The ZIP and station tables: every row names a city of its state (a
// station row one that carries the station), and the codes of known city
// centres and principal stations lead to those cities.
TEST(USData, ZipAndStationTables) {
  WLocationDB db(kDataDir);
  auto zips = readHostTable("zips.tsv", "[0-9]{5}");
  auto stations = readHostTable("stations.tsv", "[A-Z][A-Z0-9]{3}");
  EXPECT_GT(zips.size(), 33000u);
  EXPECT_GT(stations.size(), 2000u);
  // city id -> (state, station), from one list per state.
  std::map<unsigned, std::pair<unsigned, std::string>> cities;
  LVector<WState> states;
  ASSERT_EQ(db.getStateList(1, states), 0);
  for (unsigned i = 0; i < states.getSize(); ++i) {
    LVector<WCity> list;
    ASSERT_EQ(db.getCityList(1, states[i].getId(), list), 0);
    for (unsigned c = 0; c < list.getSize(); ++c)
      cities[list[c].getId()] = {states[i].getId(), token(list[c], "acode")};
  }
  for (const auto* table : {&zips, &stations}) {
    for (const auto& row : *table) {
      auto city = cities.find(row.second.second);
      ASSERT_TRUE(city != cities.end()) << row.first;
      EXPECT_EQ(city->second.first, row.second.first) << row.first;
      if (table == &stations) {
        EXPECT_EQ(city->second.second, row.first);
      }
    }
  }
  const struct {
    const char* code;
    unsigned city;
  } cases[] = {
      {"50309", 1921000},  // Des Moines, downtown
      {"02108", 2507000},  // Boston, Beacon Hill
      {"98101", 5363000},  // Seattle, downtown
      {"97201", 4159000},  // Portland, downtown
      {"60601", 1714000},  // Chicago, the Loop
      {"10001", 3651000},  // New York, Chelsea
      {"00601", 7200358},  // Adjuntas, Puerto Rico
      {"KDSM", 1921000},   // Des Moines airport, not suburban Norwalk
      {"KNYC", 3651000},   // Central Park, not Guttenberg across the river
      {"KSEA", 5363000},   // Seattle-Tacoma airport, named for Seattle
      {"KBOS", 2507000},   // Logan, in Boston
      {"KOMA", 3137000},   // Omaha Eppley airfield
  };
  for (const auto& c : cases) {
    const auto& table = c.code[0] <= '9' ? zips : stations;
    auto row = table.find(c.code);
    ASSERT_TRUE(row != table.end()) << c.code;
    EXPECT_EQ(row->second.second, c.city) << c.code;
  }
}

}  // namespace
