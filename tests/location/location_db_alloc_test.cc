// Allocation failure for real, one point after the other (fail_new.cc).
#include <string>

#include <gtest/gtest.h>

#include "stratus/location/location_db.h"

#include "support/fail_new.h"
#include "testing/temp_dir.h"

namespace {

// Names and data strings long enough to need heap blocks of their own.
const char kTexts[] =
    "\tA name past the short-string size\tazone(CAZ006)acode(KSFO) and more\n";

const auto kNoThrow = [](long n, bool threw) {
  EXPECT_FALSE(threw) << "round " << n;
};

class LocationDBAlloc : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string cities;
    for (unsigned id = 1; id <= 8; ++id)
      cities += std::to_string(id) + (id % 2 ? "\t1\t6" : "\t1\t7") + kTexts;
    dir_.write("cities.ldt", cities);
    dir_.write("states.ldt", std::string("6\t1") + kTexts);
  }
  stratus_test::TempDir dir_;
};

// A failed list gives -1, with the old contents (no leak) or the final size.
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
          EXPECT_EQ(list[0].getName(), "old city, with a long enough name");
          EXPECT_EQ(failnew::live(), before);
        } else {
          EXPECT_EQ(list.getSize(), 4u);
        }
      },
      kNoThrow);
  EXPECT_GT(points, 4);
  ASSERT_EQ(list.getSize(), 4u);
  for (unsigned i = 0; i < 4; ++i)
    EXPECT_EQ(list[i].getId(), 2 * i + 1) << "element " << i;
}

// A failed makeUSLocation or iteration step gives -1, keeping its argument.
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
      kNoThrow);
  EXPECT_TRUE(loc.isValid());
  failnew::torture(
      [&] {
        WCity next(9, 9, 9, "kept", "kept");
        if (db.initCityIterator(1, 7) != 0) return;
        int rc = db.getNextCity(next);
        EXPECT_EQ(next.getId(), rc == 0 ? 2u : 9u);
      },
      kNoThrow);
}

}  // namespace
