// WPlaces on the US data set shipped in data/us: every form of a place text
// a person types, and the tables of codes read as data files are read.
#include "stratus/host/places.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/temp_dir.h"

namespace {

const char kDataDir[] = STRATUS_SOURCE_DIR "/data/us";

class PlacesTest : public ::testing::Test {
 protected:
  PlacesTest() : db_(kDataDir), places_(db_, kDataDir) {}

  WPlaces::Result resolve(const std::string& text) {
    candidates_.clear();
    why_.clear();
    return places_.resolve(text, place_, candidates_, why_);
  }

  WLocationDB db_;
  WPlaces places_;
  WPlace place_;
  std::vector<WPlace> candidates_;
  std::string why_;
};

// Purpose: each form of a place text reaches the same city, Des Moines, IA
// (id 1921000 in the census places; ZIP 50309 and station KDSM are its
// downtown's; 41.59,-93.62 lies 2 km from its centre).
TEST_F(PlacesTest, EveryFormFindsDesMoines) {
  for (const char* text : {"1921000", "Des Moines, IA", "des moines, iowa",
                           "Des Moines IA", "  Des Moines ,  ia ", "50309",
                           "KDSM", "41.59,-93.62", "41.59 , -93.62"}) {
    ASSERT_EQ(resolve(text), WPlaces::FOUND) << text << ": " << why_;
    EXPECT_EQ(place_.id, 1921000u) << text;
    EXPECT_EQ(place_.label(), "Des Moines, IA") << text;
    EXPECT_EQ(place_.zone, "IAZ060") << text;
    EXPECT_EQ(place_.code, "KDSM") << text;
    EXPECT_EQ(place_.county, "IAC153") << text;
    EXPECT_EQ(place_.office, "DMX") << text;
    EXPECT_TRUE(place_.hasPosition) << text;
    EXPECT_NEAR(place_.latitude, 41.5726, 1e-9) << text;
  }
}

// Purpose: the location a place gives is the one the database makes.
TEST_F(PlacesTest, LocationIsTheDatabases) {
  ASSERT_EQ(resolve("Boston, MA"), WPlaces::FOUND) << why_;
  WLocation made;
  ASSERT_EQ(db_.makeUSLocation(place_.stateId, place_.id, made), 0);
  WLocation mine = place_.location();
  EXPECT_STREQ(mine.getName().c_str(), made.getName().c_str());
  EXPECT_STREQ(mine.getName().c_str(), "Boston, Massachusetts, United States");
  LString mineZone, madeZone;
  ASSERT_EQ(mine.getCityData("azone", mineZone), 0);
  ASSERT_EQ(made.getCityData("azone", madeZone), 0);
  EXPECT_STREQ(mineZone.c_str(), "MAZ015");
  EXPECT_STREQ(mineZone.c_str(), madeZone.c_str());
  EXPECT_STREQ(mine.getShortState().c_str(), "ma");
  EXPECT_EQ(mine.getState(), made.getState());
  EXPECT_EQ(mine.getCity(), made.getCity());
  EXPECT_TRUE(mine.isValid());
}

// Purpose: texts that name no place say why, in words a person can act on;
// names that fit several cities give every candidate and pick none.
TEST_F(PlacesTest, NotFoundAndAmbiguous) {
  struct Case {
    const char* text;
    WPlaces::Result result;
    const char* why;  // a part of the reason
  } cases[] = {
      {"Boston, XX", WPlaces::NOT_FOUND, "no state \"XX\""},
      {"Nowhere Town, IA", WPlaces::NOT_FOUND,
       "no city named \"Nowhere Town\""},
      {"99999", WPlaces::NOT_FOUND, "no ZIP code 99999"},
      {"KZZZ", WPlaces::NOT_FOUND, "no city named \"KZZZ\""},
      {"4294967295", WPlaces::NOT_FOUND, "no city with id 4294967295"},
      {"91,0", WPlaces::NOT_FOUND, "are not coordinates"},
      // Paris, France: 6,700 km from Van Buren, ME, the nearest US city.
      {"48.85,2.35", WPlaces::NOT_FOUND, "US longitudes are negative"},
      {", IA", WPlaces::NOT_FOUND, "no city name"},
      {"Denver", WPlaces::AMBIGUOUS, ""},
      {"Cottonwood, AZ", WPlaces::AMBIGUOUS, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(resolve(c.text), c.result) << c.text;
    EXPECT_NE(why_.find(c.why), std::string::npos) << c.text << ": " << why_;
    if (c.result == WPlaces::AMBIGUOUS) {
      EXPECT_GE(candidates_.size(), 2u) << c.text;
    }
  }
}

// Purpose: "Cottonwood, AZ" lists both of the data's disambiguated names.
TEST_F(PlacesTest, AmbiguousNamesListTheCandidates) {
  ASSERT_EQ(resolve("Cottonwood, AZ"), WPlaces::AMBIGUOUS);
  std::vector<std::string> labels;
  for (const WPlace& c : candidates_) labels.push_back(c.label());
  EXPECT_NE(std::find(labels.begin(), labels.end(), "Cottonwood (city), AZ"),
            labels.end());
}

// Purpose: find gives the one city a text names, else the cities whose
// name holds it, with the candidates of an ambiguous "Name ST" added.
TEST_F(PlacesTest, FindListsWhatATextMayMean) {
  struct Case {
    const char* text;
    WPlaces::Result result;
    std::vector<std::string> labels;  // in file order
  } cases[] = {
      {"50309", WPlaces::FOUND, {"Des Moines, IA"}},
      {"des moines, wa", WPlaces::FOUND, {"Des Moines, WA"}},
      // Three cities are named so (ambiguous); a fourth holds the name.
      {"des moines",
       WPlaces::FOUND,
       {"Des Moines, IA", "West Des Moines, IA", "Des Moines, NM",
        "Des Moines, WA"}},
      // No name holds "Cottonwood AZ": the two candidates of Arizona.
      {"Cottonwood AZ",
       WPlaces::FOUND,
       {"Cottonwood (CDP), AZ", "Cottonwood (city), AZ"}},
      {"Nowhere Town", WPlaces::FOUND, {}},
      {"Boston, XX", WPlaces::NOT_FOUND, {}},
  };
  for (const Case& c : cases) {
    std::vector<WPlace> out;
    std::string why;
    EXPECT_EQ(places_.find(c.text, out, why), c.result) << c.text;
    std::vector<std::string> labels;
    for (const WPlace& p : out) labels.push_back(p.label());
    EXPECT_EQ(labels, c.labels) << c.text;
    if (c.result == WPlaces::NOT_FOUND) {
      EXPECT_NE(why, "") << c.text;
    }
  }
}

// Purpose: zips.tsv and stations.tsv are read as the other data files are:
// a FIFO in their place neither hangs nor is read, a link to an endless
// device is not read, and the message names the file.
TEST(PlacesTables, OnlyRegularFilesOfBoundedSizeAreRead) {
  stratus_test::TempDir dir;
  for (const char* file : {"states.ldt", "cities.ldt", "countries.ldt"}) {
    ASSERT_EQ(symlink((std::string(kDataDir) + "/" + file).c_str(),
                      dir.file(file).c_str()),
              0);
  }
  ASSERT_EQ(mkfifo(dir.file("zips.tsv").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", dir.file("stations.tsv").c_str()), 0);
  WLocationDB db(dir.path().c_str());
  WPlaces places(db, dir.path());
  WPlace place;
  std::vector<WPlace> candidates;
  std::string why;
  EXPECT_EQ(places.resolve("50309", place, candidates, why),
            WPlaces::NOT_FOUND);
  EXPECT_NE(why.find(dir.file("zips.tsv")), std::string::npos) << why;
  EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
  why.clear();
  // A station code that is not in a readable table falls back to a name.
  EXPECT_EQ(places.resolve("KDSM", place, candidates, why), WPlaces::NOT_FOUND);
  EXPECT_NE(why.find("KDSM"), std::string::npos) << why;
}

}  // namespace
