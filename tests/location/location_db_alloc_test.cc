// Allocation failure for real: this executable's operator new fails the N-th
// allocation (tests/support/fail_new.cc), one point after the other.
#include <string>

#include <gtest/gtest.h>

#include "stratus/location/location_db.h"

#include "support/fail_new.h"
#include "support/temp_dir.h"

namespace {

using stratus_test::TempDir;

// Names and data strings long enough to need heap blocks of their own.
std::string cityLine(unsigned id, unsigned state) {
  return std::to_string(id) + "\t1\t" + std::to_string(state) +
         "\tA city name past the short-string size " + std::to_string(id) +
         "\tazone(CAZ006)acode(KSFO) and some more text\n";
}

class LocationDBAlloc : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string cities;
    for (unsigned id = 1; id <= 8; ++id) cities += cityLine(id, id % 2 ? 6 : 7);
    dir_.write("cities.ldt", cities);
    dir_.write("states.ldt",
               "6\t1\tA state name past the short-string size\tca\n");
  }
  TempDir dir_;
};

// Purpose: every allocation of a list that fails gives -1, never an
// exception. A failure before or at the sizing of the list leaves the old
// contents; a later one leaves the list at its final size. Nothing leaks.
TEST_F(LocationDBAlloc, CityList) {
  WLocationDB db(dir_.path().c_str());
  LVector<WCity> list(2);
  list[0] = WCity(100, 1, 1, "old city, with a long enough name", "x");
  long before = failnew::live();
  long points = failnew::torture(
      [&] {
        int rc = db.getCityList(1, 6, list);
        EXPECT_EQ(rc == 0, failnew::failures() == 0);
        if (rc == 0) return;
        if (list.getSize() == 2u) {
          EXPECT_EQ(list[0].getId(), 100u);
          EXPECT_EQ(list[0].getName(), "old city, with a long enough name");
          EXPECT_EQ(failnew::live(), before);
        } else {
          EXPECT_EQ(list.getSize(), 4u);
        }
      },
      [&](long n, bool threw) { EXPECT_FALSE(threw) << "round " << n; });
  EXPECT_GT(points, 4);
  ASSERT_EQ(list.getSize(), 4u);
  for (unsigned i = 0; i < 4; ++i)
    EXPECT_EQ(list[i].getId(), 2 * i + 1) << "element " << i;
}

// Purpose: a failed allocation in makeUSLocation (its two lookups and the
// name) or in an iteration step gives -1 and leaves the out-argument as it
// was.
TEST_F(LocationDBAlloc, LookupsAndIterations) {
  WLocationDB db(dir_.path().c_str());
  WLocation loc;
  loc.setName("kept location, with a long enough name");
  failnew::torture(
      [&] {
        if (db.makeUSLocation(6, 3, loc) == 0) return;
        EXPECT_FALSE(loc.isValid());
        EXPECT_EQ(loc.getName(), "kept location, with a long enough name");
      },
      [&](long n, bool threw) { EXPECT_FALSE(threw) << "round " << n; });
  EXPECT_TRUE(loc.isValid());

  failnew::torture(
      [&] {
        WCity next(9, 9, 9, "kept", "kept");
        if (db.initCityIterator(1, 7) != 0) return;
        int rc = db.getNextCity(next);
        EXPECT_EQ(next.getId(), rc == 0 ? 2u : 9u);
      },
      [&](long n, bool threw) { EXPECT_FALSE(threw) << "round " << n; });
}

}  // namespace
