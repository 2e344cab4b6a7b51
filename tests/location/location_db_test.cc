// The database on real files written into a fresh temporary directory.
#include "stratus/location/location_db.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/temp_dir.h"

namespace {

using Ids = std::vector<unsigned>;
using stratus_test::TempDir;

const char kCountries[] = "1\tUnited States\tUS\n2\tCanada\tCA\n1\tDup\tXX\n";
// No line end after the last record.
const char kStates[] =
    "6\t1\tCalifornia\tca\n25\t1\tMassachusetts\tma\n35\t2\tOntario\ton\n"
    "11\t1\tDistrict of Columbia\tdc";
const char kAreas[] =
    "6075\t1\t6\tSan Francisco County\tCAC075\n"
    "25025\t1\t25\tSuffolk County\tMAC025\n"
    "6001\t1\t6\tAlameda County\tCAC001\n";
const char kCities[] =
    "600562\t1\t6\tAlameda\tazone(CAZ006)acode(KOAK)\n"
    "2507000\t1\t25\tBoston\tazone(MAZ015)acode(KBOS)\n"
    "\n"
    "667000\t1\t6\tSan Francisco\tazone(CAZ006)acode(KSFO)\n"
    "999\t2\t6\tElsewhere\tazone(X)acode(Y)\n"
    "2507000\t1\t25\tBoston again\tazone(MAZ999)acode(KXXX)\n";

template <typename T>
Ids idsOf(LVector<T>& v) {
  Ids ids;
  for (unsigned i = 0; i < v.getSize(); ++i) ids.push_back(v[i].getId());
  return ids;
}

// The ids of the cities that the open city iteration still yields.
Ids remainingCities(WLocationDB& db) {
  Ids ids;
  for (WCity city; db.getNextCity(city) == 0;) ids.push_back(city.getId());
  return ids;
}

class LocationDB : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("countries.ldt", kCountries);
    dir_.write("states.ldt", kStates);
    dir_.write("areas.ldt", kAreas);
    dir_.write("cities.ldt", kCities);
  }
  WLocationDB db() const { return WLocationDB(dir_.path().c_str()); }

  TempDir dir_;
};

// Lists select by id in file order, duplicates kept, old contents replaced.
TEST_F(LocationDB, ListsSelectInFileOrder) {
  WLocationDB d = db();
  LVector<WCountry> countries;
  ASSERT_EQ(d.getCountryList(countries), 0);
  EXPECT_EQ(idsOf(countries), (Ids{1, 2, 1}));
  LVector<WState> states(7);
  ASSERT_EQ(d.getStateList(1, states), 0);
  EXPECT_EQ(idsOf(states), (Ids{6, 25, 11}));
  LVector<WArea> areas;
  ASSERT_EQ(d.getAreaList(1, 6, areas), 0);
  EXPECT_EQ(idsOf(areas), (Ids{6075, 6001}));
  EXPECT_EQ(areas[1].getData(), "CAC001");
  const struct {
    unsigned country, state;
    Ids ids;
  } cases[] = {{1, 6, {600562, 667000}},
               {2, 6, {999}},
               {1, 25, {2507000, 2507000}},
               {1, 99, {}}};
  LVector<WCity> cities(5);
  for (const auto& c : cases) {
    ASSERT_EQ(d.getCityList(c.country, c.state, cities), 0) << c.state;
    EXPECT_EQ(idsOf(cities), c.ids) << c.country << "/" << c.state;
  }
}

// A lookup takes the first record with the id, or keeps the record given.
TEST_F(LocationDB, LookupsTakeFirstMatch) {
  WLocationDB d = db();
  WCountry country;
  ASSERT_EQ(d.getCountry(1, country), 0);
  EXPECT_EQ(country.getName(), "United States");
  WState state;
  ASSERT_EQ(d.getState(11, state), 0);  // the last record, without line end
  EXPECT_EQ(state.getData(), "dc");
  WArea area;
  ASSERT_EQ(d.getArea(25025, area), 0);
  EXPECT_EQ(area.getData(), "MAC025");
  WCity city(7, 7, 7, "kept", "kept");
  EXPECT_EQ(d.getCity(12345, city), -1);
  EXPECT_EQ(city.getName(), "kept");
  ASSERT_EQ(d.getCity(2507000, city), 0);
  EXPECT_EQ(city.getName(), "Boston");
}

// A missing directory, or data files that are directories, give -1.
TEST_F(LocationDB, MissingFilesFail) {
  TempDir dirs;
  for (const char* name : {"states.ldt", "cities.ldt"})
    mkdir(dirs.file(name).c_str(), 0700);
  for (const std::string& path : {dir_.path() + "/none", dirs.path()}) {
    WLocationDB d(path.c_str());
    LVector<WCity> cities(1);
    EXPECT_EQ(d.getCityList(1, 6, cities), -1) << path;
    EXPECT_EQ(cities.getSize(), 1u) << path;
    WState state;
    EXPECT_EQ(d.getState(6, state), -1) << path;
    EXPECT_EQ(d.initCityIterator(1, 6), -1) << path;
  }
}

// Lists, iterations and lookups on an empty file and a line of a megabyte.
TEST_F(LocationDB, EmptyFileAndMegabyteLine) {
  const struct {
    const char* name;
    std::string content;
    Ids ids;
  } cases[] = {
      {"empty", "", {}},
      {"megabyte line",
       "3\t1\t6\t" + std::string(1 << 20, 'n') + "\tz\n2\t1\t6\tB\tb\n",
       {3, 2}},
  };
  for (const auto& c : cases) {
    dir_.write("cities.ldt", c.content);
    WLocationDB d = db();
    LVector<WCity> cities;
    ASSERT_EQ(d.getCityList(1, 6, cities), 0) << c.name;
    EXPECT_EQ(idsOf(cities), c.ids) << c.name;
    ASSERT_EQ(d.initCityIterator(1, 6), 0) << c.name;
    EXPECT_EQ(remainingCities(d), c.ids) << c.name;
    WCity city;
    EXPECT_EQ(d.getCity(2, city), c.ids.empty() ? -1 : 0) << c.name;
    EXPECT_EQ(city.getData(), c.ids.empty() ? "" : "b") << c.name;
  }
}

// Iterations share one cursor, which a copy of the database does not take.
TEST_F(LocationDB, IterationsShareOneCursor) {
  WLocationDB d = db();
  WState state;
  WCity city;
  EXPECT_EQ(d.getNextState(state), -1);  // none opened yet
  ASSERT_EQ(d.initStateIterator(1), 0);
  Ids states;
  while (d.getNextState(state) == 0) states.push_back(state.getId());
  EXPECT_EQ(states, (Ids{6, 25, 35, 11}));
  EXPECT_EQ(d.getNextState(state), -1);
  ASSERT_EQ(d.initCityIterator(1, 6), 0);
  EXPECT_EQ(remainingCities(d), (Ids{600562, 667000, 999}));

  ASSERT_EQ(d.initCityIterator(1, 25), 0);
  WLocationDB copy(d);
  EXPECT_EQ(copy.getNextCity(city), -1);
  EXPECT_EQ(copy.getCity(667000, city), 0);
  ASSERT_EQ(d.getNextCity(city), 0);
  EXPECT_EQ(city.getName(), "Boston");
  d.closeStateIterator();  // closes the city iteration too
  EXPECT_EQ(d.getNextCity(city), -1);
  d.closeCityIterator();  // closing with none open does nothing

  ASSERT_EQ(d.initStateIterator(1), 0);
  unlink(dir_.file("cities.ldt").c_str());
  EXPECT_EQ(d.initCityIterator(1, 6), -1);  // ends the state iteration too
  EXPECT_EQ(d.getNextState(state), -1);
}

// makeUSLocation fills every field, or fails leaving the location as it was.
TEST_F(LocationDB, MakeUSLocation) {
  WLocationDB d = db();
  WLocation loc;
  loc.setArea(5);  // to be replaced by 0
  ASSERT_EQ(d.makeUSLocation(6, 667000, loc), 0);
  EXPECT_TRUE(loc.isValid());
  EXPECT_EQ(loc.getCountry(), 1u);
  EXPECT_EQ(loc.getState(), 6u);
  EXPECT_EQ(loc.getArea(), 0u);
  EXPECT_EQ(loc.getCity(), 667000u);
  EXPECT_EQ(loc.getName(), "San Francisco, California, United States");
  EXPECT_EQ(loc.getShortState(), "ca");
  LString zone;
  ASSERT_EQ(loc.getCityData("azone", zone), 0);
  EXPECT_EQ(zone, "CAZ006");
  // The city's own state is not checked against the argument.
  ASSERT_EQ(d.makeUSLocation(25, 999, loc), 0);
  EXPECT_EQ(d.makeUSLocation(6, 1, loc), -1);        // no such city
  EXPECT_EQ(d.makeUSLocation(99, 667000, loc), -1);  // no such state
  EXPECT_EQ(loc.getCity(), 999u);
  EXPECT_EQ(loc.getName(), "Elsewhere, Massachusetts, United States");
}

// The process-wide database; "" and the fallback read the current directory.
TEST_F(LocationDB, SingletonAndDirectories) {
  WLocationDB::initLocationDB("/no/such/dir");
  WLocationDB::initLocationDB(dir_.path().c_str());
  WState state;
  EXPECT_EQ(WLocationDB::getLocationDB().getState(25, state), 0);
  WLocationDB::closeLocationDB();
  WLocationDB::closeLocationDB();
  EXPECT_EQ(WLocationDB::p_locDB, nullptr);
  char* cwd = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  EXPECT_EQ(WLocationDB("").getState(6, state), 0);
  EXPECT_EQ(WLocationDB::getLocationDB().getState(35, state), 0);
  EXPECT_EQ(chdir(cwd), 0);
  free(cwd);
}

}  // namespace
