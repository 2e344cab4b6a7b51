// The database reads real files written into a fresh temporary directory.
#include "stratus/location/location_db.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

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
    "644000\t1\t6\tLos Angeles\tazone(CAZ041)acode(KCQT)\n"
    "2507000\t1\t25\tBoston again\tazone(MAZ999)acode(KXXX)\n";

template <typename T>
std::vector<unsigned> idsOf(LVector<T>& v) {
  std::vector<unsigned> ids;
  for (unsigned i = 0; i < v.getSize(); ++i) ids.push_back(v[i].getId());
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

// Purpose: each list selects on its ids only, keeps file order and
// duplicates, gives an empty list (and 0) when nothing matches, and
// replaces whatever the vector held.
TEST_F(LocationDB, ListsSelectInFileOrder) {
  WLocationDB d = db();
  LVector<WCountry> countries;
  ASSERT_EQ(d.getCountryList(countries), 0);
  EXPECT_EQ(idsOf(countries), (std::vector<unsigned>{1, 2, 1}));

  LVector<WState> states(7);
  ASSERT_EQ(d.getStateList(1, states), 0);
  EXPECT_EQ(idsOf(states), (std::vector<unsigned>{6, 25, 11}));
  ASSERT_EQ(d.getStateList(99, states), 0);
  EXPECT_EQ(states.getSize(), 0u);

  struct Case {
    unsigned country, state;
    std::vector<unsigned> ids;
  };
  const Case cases[] = {{1, 6, {600562, 667000, 644000}},
                        {2, 6, {999}},
                        {1, 25, {2507000, 2507000}},
                        {1, 99, {}},
                        {3, 6, {}}};
  LVector<WCity> cities(5);
  cities[4] = WCity(1, 1, 1, "stale", "stale");
  for (const Case& c : cases) {
    ASSERT_EQ(d.getCityList(c.country, c.state, cities), 0)
        << c.country << "/" << c.state;
    EXPECT_EQ(idsOf(cities), c.ids) << c.country << "/" << c.state;
  }
  ASSERT_EQ(d.getCityList(1, 6, cities), 0);
  EXPECT_EQ(cities[2].getName(), "Los Angeles");
  EXPECT_EQ(cities[2].getData(), "azone(CAZ041)acode(KCQT)");

  LVector<WArea> areas;
  ASSERT_EQ(d.getAreaList(1, 6, areas), 0);
  EXPECT_EQ(idsOf(areas), (std::vector<unsigned>{6075, 6001}));
  EXPECT_EQ(areas[1].getData(), "CAC001");
}

// Purpose: a lookup returns the first record with the id, also the last
// record of a file without a final line end, and leaves the record passed
// in untouched when no record carries the id.
TEST_F(LocationDB, LookupsTakeFirstMatch) {
  WLocationDB d = db();
  WCountry country;
  ASSERT_EQ(d.getCountry(1, country), 0);
  EXPECT_EQ(country.getName(), "United States");
  WState state;
  ASSERT_EQ(d.getState(11, state), 0);
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

// Purpose: a directory that does not exist, or data files that are
// directories, fail every operation with -1 and change no out-argument.
TEST_F(LocationDB, MissingFilesFail) {
  WLocationDB gone((dir_.path() + "/no-such-dir").c_str());
  TempDir dirs;
  for (const char* name : {"countries.ldt", "states.ldt", "cities.ldt"})
    mkdir(dirs.file(name).c_str(), 0700);
  WLocationDB named(dirs.path().c_str());
  for (WLocationDB* d : {&gone, &named}) {
    LVector<WCity> cities(1);
    cities[0] = WCity(5, 5, 5, "kept", "kept");
    EXPECT_EQ(d->getCityList(1, 6, cities), -1);
    EXPECT_EQ(cities[0].getName(), "kept");
    LVector<WCountry> countries;
    EXPECT_EQ(d->getCountryList(countries), -1);
    WLocation loc;
    EXPECT_EQ(d->makeUSLocation(6, 667000, loc), -1);
    EXPECT_FALSE(loc.isValid());
    EXPECT_EQ(d->initCityIterator(1, 6), -1);
    WCity city;
    EXPECT_EQ(d->getNextCity(city), -1);
  }
}

// Purpose: empty, blank-lined, CR LF and damaged files give a clean result:
// lists 0 with the records that are whole, lookups and the iteration
// agreeing with the list, and a line of a megabyte read whole.
TEST_F(LocationDB, EmptyAndDamagedFiles) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<unsigned> ids;
  };
  const std::string good = "2\t1\t6\tB\tb\n";
  const Case cases[] = {
      {"empty", "", {}},
      {"only line ends", "\n\n\r\n", {}},
      {"no final line end", "1\t1\t6\tA\ta\n2\t1\t6\tB\tb", {1, 2}},
      {"blank lines and CR LF",
       "\n1\t1\t6\tA\ta\r\n\r\n\n2\t1\t6\tB\tb\r\n",
       {1, 2}},
      {"damaged ids",
       "x1\t1\t6\tA\ta\n1\t1\n4294967296\t1\t6\tA\ta\n" + good,
       {2}},
      {"binary junk",
       std::string("\x01\xff\0\t\t\t\n\x80\t9\n", 11) + good,
       {2}},
      {"megabyte line",
       "3\t1\t6\t" + std::string(1 << 20, 'n') + "\tz\n" + good,
       {3, 2}},
  };
  for (const Case& c : cases) {
    dir_.write("cities.ldt", c.content);
    WLocationDB d = db();
    LVector<WCity> cities;
    ASSERT_EQ(d.getCityList(1, 6, cities), 0) << c.name;
    EXPECT_EQ(idsOf(cities), c.ids) << c.name;
    std::vector<unsigned> iterated;
    WCity city;
    ASSERT_EQ(d.initCityIterator(1, 6), 0) << c.name;
    while (d.getNextCity(city) == 0) iterated.push_back(city.getId());
    EXPECT_EQ(iterated, c.ids) << c.name;
    EXPECT_EQ(d.getCity(2, city), c.ids.empty() ? -1 : 0) << c.name;
    if (!c.ids.empty()) {
      EXPECT_EQ(city.getData(), "b") << c.name;
    }
  }
}

// Purpose: the iterations yield their records in file order, then keep
// returning -1; the two share one cursor, so opening one ends the other and
// either close ends whichever is open; a copy of the database takes the
// directory but not the open iteration.
TEST_F(LocationDB, IterationsShareOneCursor) {
  WLocationDB d = db();
  WState state;
  WCity city;
  EXPECT_EQ(d.getNextState(state), -1);  // none opened yet
  ASSERT_EQ(d.initStateIterator(1), 0);
  std::vector<unsigned> states;
  while (d.getNextState(state) == 0) states.push_back(state.getId());
  EXPECT_EQ(states, (std::vector<unsigned>{6, 25, 35, 11}));
  EXPECT_EQ(d.getNextState(state), -1);
  EXPECT_EQ(state.getName(), "District of Columbia");

  ASSERT_EQ(d.initCityIterator(1, 6), 0);  // ends the state iteration
  std::vector<unsigned> cities;
  while (d.getNextCity(city) == 0) cities.push_back(city.getId());
  EXPECT_EQ(cities, (std::vector<unsigned>{600562, 667000, 999, 644000}));
  EXPECT_EQ(d.getNextCity(city), -1);

  ASSERT_EQ(d.initCityIterator(1, 25), 0);
  ASSERT_EQ(d.getNextCity(city), 0);
  EXPECT_EQ(city.getName(), "Boston");
  WLocationDB copy(d);
  EXPECT_EQ(copy.getNextCity(city), -1);
  EXPECT_EQ(copy.getCity(667000, city), 0);
  ASSERT_EQ(d.getNextCity(city), 0);
  EXPECT_EQ(city.getName(), "Boston again");
  d.closeStateIterator();  // closes the city iteration too
  EXPECT_EQ(d.getNextCity(city), -1);
  d.closeCityIterator();  // closing with none open does nothing

  ASSERT_EQ(d.initStateIterator(1), 0);
  unlink(dir_.file("cities.ldt").c_str());
  EXPECT_EQ(d.initCityIterator(1, 6), -1);  // the state iteration is gone
  EXPECT_EQ(d.getNextState(state), -1);
  EXPECT_EQ(d.getNextCity(city), -1);
}

// Purpose: makeUSLocation fills every field from the city and the state,
// and when either lookup fails returns -1 leaving the location as it was.
TEST_F(LocationDB, MakeUSLocation) {
  WLocationDB d = db();
  WLocation loc;
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
  EXPECT_EQ(loc.getName(), "Elsewhere, Massachusetts, United States");

  for (unsigned state : {6u, 99u}) {
    WLocation kept;
    kept.setName("kept");
    EXPECT_EQ(d.makeUSLocation(state, state == 6 ? 1 : 667000, kept), -1);
    EXPECT_EQ(kept.getName(), "kept") << state;
    EXPECT_FALSE(kept.isValid()) << state;
  }
}

// Purpose: the process-wide database: init replaces it (on the new
// directory), close is safe to repeat, and a directory given with a trailing
// separator or none at all (the current directory) still finds the files.
TEST_F(LocationDB, SingletonAndDirectories) {
  WLocationDB::closeLocationDB();
  EXPECT_EQ(WLocationDB::p_locDB, nullptr);
  WLocationDB::initLocationDB("/no/such/dir");
  WLocationDB::initLocationDB(dir_.path().c_str());
  ASSERT_NE(WLocationDB::p_locDB, nullptr);
  EXPECT_EQ(&WLocationDB::getLocationDB(), WLocationDB::p_locDB);
  WState state;
  EXPECT_EQ(WLocationDB::getLocationDB().getState(25, state), 0);
  WLocationDB::closeLocationDB();
  WLocationDB::closeLocationDB();
  EXPECT_EQ(WLocationDB::p_locDB, nullptr);

  WLocationDB trailing((dir_.path() + "/").c_str());
  EXPECT_EQ(trailing.getState(25, state), 0);

  char* cwd = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  WCity city;
  int rc = WLocationDB("").getCity(667000, city);
  int fallbackRc = WLocationDB::getLocationDB().getState(6, state);
  ASSERT_EQ(chdir(cwd), 0);
  free(cwd);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(city.getName(), "San Francisco");
  EXPECT_EQ(fallbackRc, 0);
}

}  // namespace
