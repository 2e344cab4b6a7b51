// The database reads real files written into a fresh temporary directory.
#include "stratus/location/location_db.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace {

using stratus_test::TempDir;

const char kCountries[] =
    "1\tUnited States\tUS\n"
    "2\tCanada\tCA\n"
    "1\tDuplicate\tXX\n";
// No line end after the last record.
const char kStates[] =
    "6\t1\tCalifornia\tca\n"
    "25\t1\tMassachusetts\tma\n"
    "35\t2\tOntario\ton\n"
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

// A literal's bytes, NULs included.
template <size_t N>
std::string bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::vector<unsigned> idsOf(LVector<WCity>& v) {
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
// duplicates, and gives an empty list (with 0) when nothing matches.
TEST_F(LocationDB, ListsSelectInFileOrder) {
  WLocationDB d = db();
  LVector<WCountry> countries;
  ASSERT_EQ(d.getCountryList(countries), 0);
  ASSERT_EQ(countries.getSize(), 3u);
  EXPECT_EQ(countries[2].getName(), "Duplicate");

  struct StateCase {
    unsigned country;
    std::vector<unsigned> ids;
  };
  for (const StateCase& c :
       {StateCase{1, {6, 25, 11}}, StateCase{2, {35}}, StateCase{99, {}}}) {
    LVector<WState> states;
    ASSERT_EQ(d.getStateList(c.country, states), 0) << "country " << c.country;
    std::vector<unsigned> ids;
    for (unsigned i = 0; i < states.getSize(); ++i)
      ids.push_back(states[i].getId());
    EXPECT_EQ(ids, c.ids) << "country " << c.country;
  }

  struct CityCase {
    unsigned country, state;
    std::vector<unsigned> ids;
  };
  for (const CityCase& c :
       {CityCase{1, 6, {600562, 667000, 644000}}, CityCase{2, 6, {999}},
        CityCase{1, 25, {2507000, 2507000}}, CityCase{1, 99, {}},
        CityCase{3, 6, {}}}) {
    LVector<WCity> cities;
    ASSERT_EQ(d.getCityList(c.country, c.state, cities), 0)
        << c.country << "/" << c.state;
    EXPECT_EQ(idsOf(cities), c.ids) << c.country << "/" << c.state;
  }

  LVector<WArea> areas;
  ASSERT_EQ(d.getAreaList(1, 6, areas), 0);
  ASSERT_EQ(areas.getSize(), 2u);
  EXPECT_EQ(areas[0].getId(), 6075u);
  EXPECT_EQ(areas[1].getName(), "Alameda County");
  EXPECT_EQ(areas[1].getData(), "CAC001");
  EXPECT_EQ(areas[1].getStateId(), 6u);
}

// Purpose: a list replaces what the vector held, whether the new result is
// shorter, longer or empty.
TEST_F(LocationDB, ListReplacesOldContents) {
  WLocationDB d = db();
  LVector<WCity> cities(5);
  cities[4] = WCity(1, 1, 1, "stale", "stale");
  ASSERT_EQ(d.getCityList(1, 6, cities), 0);
  ASSERT_EQ(cities.getSize(), 3u);
  EXPECT_EQ(cities[2].getName(), "Los Angeles");
  EXPECT_EQ(cities[2].getData(), "azone(CAZ041)acode(KCQT)");
  EXPECT_EQ(cities[2].getCountryId(), 1u);
  ASSERT_EQ(d.getCityList(1, 99, cities), 0);
  EXPECT_EQ(cities.getSize(), 0u);
}

// Purpose: a lookup returns the first record with the id, also the last
// record of a file without a final line end, and leaves the record passed
// in untouched when no record carries the id.
TEST_F(LocationDB, LookupsTakeFirstMatch) {
  WLocationDB d = db();
  WCountry country;
  ASSERT_EQ(d.getCountry(1, country), 0);
  EXPECT_EQ(country.getName(), "United States");
  EXPECT_EQ(country.getData(), "US");

  WState state;
  ASSERT_EQ(d.getState(11, state), 0);
  EXPECT_EQ(state.getName(), "District of Columbia");
  EXPECT_EQ(state.getData(), "dc");

  WArea area;
  ASSERT_EQ(d.getArea(25025, area), 0);
  EXPECT_EQ(area.getData(), "MAC025");

  WCity city;
  ASSERT_EQ(d.getCity(2507000, city), 0);
  EXPECT_EQ(city.getName(), "Boston");
  ASSERT_EQ(d.getCity(644000, city), 0);
  EXPECT_EQ(city.getName(), "Los Angeles");

  WCity kept(7, 7, 7, "kept", "kept");
  EXPECT_EQ(d.getCity(12345, kept), -1);
  EXPECT_EQ(d.getCity(0, kept), -1);
  EXPECT_EQ(kept.getId(), 7u);
  EXPECT_EQ(kept.getName(), "kept");
  WState keptState(7, 7, "kept", "kept");
  EXPECT_EQ(d.getState(3, keptState), -1);
  EXPECT_EQ(keptState.getName(), "kept");
}

// Purpose: a directory that does not exist, or a file named as a data file
// that is a directory, fails every operation with -1 and changes no
// out-argument; the iterations then yield nothing.
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
    ASSERT_EQ(cities.getSize(), 1u);
    EXPECT_EQ(cities[0].getName(), "kept");
    LVector<WCountry> countries;
    EXPECT_EQ(d->getCountryList(countries), -1);
    WState state(7, 7, "kept", "kept");
    EXPECT_EQ(d->getState(6, state), -1);
    EXPECT_EQ(state.getId(), 7u);
    WLocation loc;
    EXPECT_EQ(d->makeUSLocation(6, 667000, loc), -1);
    EXPECT_FALSE(loc.isValid());
    EXPECT_EQ(d->initStateIterator(1), -1);
    EXPECT_EQ(d->getNextState(state), -1);
    EXPECT_EQ(d->initCityIterator(1, 6), -1);
    WCity city;
    EXPECT_EQ(d->getNextCity(city), -1);
    d->closeCityIterator();
  }
}

// Purpose: an empty file, blank lines, a final line end or none, and CR LF
// line ends all give the same records; an empty file gives empty lists and
// failed lookups.
TEST_F(LocationDB, LineEndsAndEmptyFiles) {
  struct Case {
    const char* name;
    const char* content;
    std::vector<unsigned> ids;
  };
  const Case cases[] = {
      {"empty", "", {}},
      {"only line ends", "\n\n\r\n", {}},
      {"no final line end", "1\t1\t6\tA\ta\n2\t1\t6\tB\tb", {1, 2}},
      {"final line end", "1\t1\t6\tA\ta\n2\t1\t6\tB\tb\n", {1, 2}},
      {"several final line ends", "1\t1\t6\tA\ta\n2\t1\t6\tB\tb\n\n\n", {1, 2}},
      {"blank lines between", "\n1\t1\t6\tA\ta\n\n\n2\t1\t6\tB\tb\n", {1, 2}},
      {"CR LF", "1\t1\t6\tA\ta\r\n2\t1\t6\tB\tb\r\n", {1, 2}},
  };
  for (const Case& c : cases) {
    dir_.write("cities.ldt", c.content);
    WLocationDB d = db();
    LVector<WCity> cities;
    ASSERT_EQ(d.getCityList(1, 6, cities), 0) << c.name;
    EXPECT_EQ(idsOf(cities), c.ids) << c.name;
    if (!c.ids.empty()) {
      EXPECT_EQ(cities[1].getData(), "b") << c.name;
    }
    WCity city;
    EXPECT_EQ(d.getCity(2, city), c.ids.empty() ? -1 : 0) << c.name;
  }
}

// Purpose: damaged files give a clean partial result: a record whose ids are
// missing, not decimal or over 32 bits is dropped without shifting the next
// record; missing texts read as empty; extra fields are ignored. Lists,
// lookups and the iteration agree on which records exist.
TEST_F(LocationDB, DamagedRecords) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<unsigned> ids;
  };
  const std::string good = "2\t1\t6\tB\tb\n";
  const Case cases[] = {
      {"cut after the ids", "1\t1\t6\n" + good, {1, 2}},
      {"cut inside the ids", "1\t1\n" + good, {2}},
      {"cut to the id", "1\n" + good, {2}},
      {"non-numeric id", "x1\t1\t6\tA\ta\n" + good, {2}},
      {"non-numeric state id", "1\t1\tsix\tA\ta\n" + good, {2}},
      {"negative id", "-1\t1\t6\tA\ta\n" + good, {2}},
      {"blank before id", " 1\t1\t6\tA\ta\n" + good, {2}},
      {"empty id", "\t1\t6\tA\ta\n" + good, {2}},
      {"id of 33 bits", "4294967296\t1\t6\tA\ta\n" + good, {2}},
      {"id of 32 bits", "4294967295\t1\t6\tA\ta\n" + good, {4294967295u, 2}},
      {"extra fields", "1\t1\t6\tA\ta\tmore\tmore\n" + good, {1, 2}},
      {"lone CR", "1\t1\t6\tA\ta\r" + good, {1}},
      {"NUL bytes in texts", bytes("1\t1\t6\tA\0B\ta\n") + good, {1, 2}},
      {"binary junk", bytes("\x01\xff\x00\t\t\t\n\x80\x81\t9\n") + good, {2}},
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
    d.closeCityIterator();
    EXPECT_EQ(iterated, c.ids) << c.name;

    for (unsigned id : c.ids) {
      EXPECT_EQ(d.getCity(id, city), 0) << c.name << " id " << id;
      EXPECT_EQ(city.getId(), id) << c.name;
    }
    if (c.ids.back() == 2) {
      EXPECT_EQ(city.getName(), "B") << c.name;
    }
  }
}

// Purpose: a line of a megabyte is read whole, and the records around it
// are unaffected.
TEST_F(LocationDB, HugeLine) {
  std::string name(1 << 20, 'n');
  dir_.write("cities.ldt",
             "1\t1\t6\tA\ta\n3\t1\t6\t" + name + "\tazone(Z)\n2\t1\t6\tB\tb\n");
  WLocationDB d = db();
  LVector<WCity> cities;
  ASSERT_EQ(d.getCityList(1, 6, cities), 0);
  ASSERT_EQ(cities.getSize(), 3u);
  EXPECT_EQ(cities[1].getName().length(), 1 << 20);
  EXPECT_EQ(cities[1].getData(), "azone(Z)");
  WCity city;
  ASSERT_EQ(d.getCity(2, city), 0);
  EXPECT_EQ(city.getName(), "B");
}

// Purpose: the state iteration yields every record in file order; the city
// iteration yields the cities of its state (any country) in file order; both
// then keep returning -1.
TEST_F(LocationDB, IterationsInFileOrder) {
  WLocationDB d = db();
  ASSERT_EQ(d.initStateIterator(1), 0);
  std::vector<unsigned> states;
  WState state;
  while (d.getNextState(state) == 0) states.push_back(state.getId());
  EXPECT_EQ(states, (std::vector<unsigned>{6, 25, 35, 11}));
  EXPECT_EQ(state.getName(), "District of Columbia");
  EXPECT_EQ(d.getNextState(state), -1);
  d.closeStateIterator();

  ASSERT_EQ(d.initCityIterator(1, 6), 0);
  std::vector<unsigned> cities;
  WCity city;
  while (d.getNextCity(city) == 0) cities.push_back(city.getId());
  EXPECT_EQ(cities, (std::vector<unsigned>{600562, 667000, 999, 644000}));
  EXPECT_EQ(city.getData(), "azone(CAZ041)acode(KCQT)");
  EXPECT_EQ(d.getNextCity(city), -1);
  EXPECT_EQ(city.getId(), 644000u);
  d.closeCityIterator();
  d.closeCityIterator();  // closing with none open does nothing
}

// Purpose: the two iterations share one cursor: opening one ends the other,
// either close ends whichever is open, and without an open iteration (never
// opened, closed, or an opener that failed) getNext returns -1.
TEST_F(LocationDB, SharedCursor) {
  WLocationDB d = db();
  WState state;
  WCity city;
  EXPECT_EQ(d.getNextState(state), -1);
  EXPECT_EQ(d.getNextCity(city), -1);

  ASSERT_EQ(d.initCityIterator(1, 25), 0);
  ASSERT_EQ(d.getNextCity(city), 0);
  EXPECT_EQ(city.getName(), "Boston");
  ASSERT_EQ(d.initStateIterator(1), 0);  // ends the city iteration
  ASSERT_EQ(d.getNextState(state), 0);
  EXPECT_EQ(state.getId(), 6u);
  ASSERT_EQ(d.initCityIterator(1, 25), 0);  // starts over, not resumed
  ASSERT_EQ(d.getNextCity(city), 0);
  EXPECT_EQ(city.getName(), "Boston");
  d.closeStateIterator();  // closes the city iteration too
  EXPECT_EQ(d.getNextCity(city), -1);

  ASSERT_EQ(d.initStateIterator(1), 0);
  unlink(dir_.file("cities.ldt").c_str());
  EXPECT_EQ(d.initCityIterator(1, 6), -1);  // the state iteration is gone
  EXPECT_EQ(d.getNextState(state), -1);
  EXPECT_EQ(d.getNextCity(city), -1);
  EXPECT_EQ(state.getId(), 6u);
}

// Purpose: a copy or an assignment takes the directory but not the open
// iteration; the source's iteration goes on unharmed.
TEST_F(LocationDB, CopyLeavesIterationBehind) {
  WLocationDB d = db();
  ASSERT_EQ(d.initCityIterator(1, 6), 0);
  WCity city;
  ASSERT_EQ(d.getNextCity(city), 0);
  WLocationDB copy(d);
  EXPECT_EQ(copy.getNextCity(city), -1);
  WLocationDB assigned;
  ASSERT_EQ(assigned.initStateIterator(1), -1);
  assigned = d;
  EXPECT_EQ(assigned.getNextCity(city), -1);
  ASSERT_EQ(assigned.getCity(667000, city), 0);
  ASSERT_EQ(d.getNextCity(city), 0);
  EXPECT_EQ(city.getId(), 667000u);
}

// Purpose: makeUSLocation fills every field from the city and the state,
// and on either lookup failing returns -1 leaving the location as it was.
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
  EXPECT_EQ(loc.getState(), 25u);

  for (auto ids : {std::make_pair(6u, 1u), std::make_pair(99u, 667000u)}) {
    WLocation kept;
    kept.setName("kept");
    kept.setCity(5);
    EXPECT_EQ(d.makeUSLocation(ids.first, ids.second, kept), -1)
        << ids.first << "/" << ids.second;
    EXPECT_EQ(kept.getName(), "kept");
    EXPECT_EQ(kept.getCity(), 5u);
    EXPECT_FALSE(kept.isValid());
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
  WLocationDB here("");
  WCity city;
  int rc = here.getCity(667000, city);
  int fallbackRc = WLocationDB::getLocationDB().getState(6, state);
  ASSERT_EQ(chdir(cwd), 0);
  free(cwd);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(city.getName(), "San Francisco");
  EXPECT_EQ(fallbackRc, 0);
}

}  // namespace
