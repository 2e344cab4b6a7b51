#include "stratus/location/location.h"

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

namespace {

// Purpose: the data-string lookup takes the first occurrence of the key's
// text anywhere, demands "(" right behind it and a ")" later, keeps blanks,
// and leaves the out-value alone on every failure.
TEST(CityData, GetDataToken) {
  struct Case {
    const char* data;
    const char* key;
    int rc;
    const char* value;  // expected on L_OK
  };
  const Case cases[] = {
      {"azone(CAZ006)acode(KSFO)", "azone", L_OK, "CAZ006"},
      {"azone(CAZ006)acode(KSFO)", "acode", L_OK, "KSFO"},
      {"azone(CAZ006)acode(KSFO)", "bcode", L_NOTFOUND, nullptr},
      {"azone(CAZ006)acode(KSFO)", "ACODE", L_NOTFOUND, nullptr},
      {"acode (KSFO)", "acode", L_FORMAT, nullptr},
      {"acode(KSFO", "acode", L_FORMAT, nullptr},
      {"azone(CAZ006)acode", "acode", L_FORMAT, nullptr},
      {"xacode(KSFO)", "acode", L_OK, "KSFO"},
      {"azone(acode)acode(KSFO)", "acode", L_FORMAT, nullptr},
      {"acode( KSFO )", "acode", L_OK, " KSFO "},
      {"acode()azone(X)", "acode", L_OK, ""},
      {"acode(a(b)c)", "acode", L_OK, "a(b"},
      {"", "acode", L_NOTFOUND, nullptr},
      {"garbage azone(Z) more", "azone", L_OK, "Z"},
  };
  for (const Case& c : cases) {
    LString value("untouched");
    int rc = WCity::getDataToken(c.data, c.key, value);
    EXPECT_EQ(rc, c.rc) << c.data << " / " << c.key;
    EXPECT_STREQ(value, c.rc == L_OK ? c.value : "untouched")
        << c.data << " / " << c.key;
    // The member forms run the same lookup on their own data.
    WCity city(1, 1, 1, "X", c.data);
    LString viaCity("untouched");
    EXPECT_EQ(city.getDataToken(c.key, viaCity), c.rc) << c.data;
    EXPECT_EQ(viaCity, value) << c.data;
    WLocation loc;
    loc.setCityData(c.data);
    LString viaLocation("untouched");
    EXPECT_EQ(loc.getCityData(c.key, viaLocation), c.rc) << c.data;
    EXPECT_EQ(viaLocation, value) << c.data;
  }
}

// Purpose: assignment and copying carry every field (the record classes
// assign field by field, with the texts copied first), copies are
// independent of their source, and self-assignment keeps the record.
TEST(Records, CopiesCarryEveryField) {
  WLocation loc;
  EXPECT_FALSE(loc.isValid());
  loc.setCountry(1);
  loc.setState(6);
  loc.setArea(6075);
  loc.setCity(667000);
  loc.setName("San Francisco, California, United States");
  loc.setShortState("ca");
  loc.setCityData("acode(KSFO)");
  loc.setValid(true);
  WLocation copy;
  copy = loc;
  WLocation(copy).setName("changed");  // a temporary copy, changed
  LString code;
  EXPECT_TRUE(copy.isValid() && copy.getCityData("acode", code) == L_OK);
  EXPECT_EQ(code, "KSFO");
  EXPECT_EQ(copy.getCountry(), 1u);
  EXPECT_EQ(copy.getState(), 6u);
  EXPECT_EQ(copy.getArea(), 6075u);
  EXPECT_EQ(copy.getCity(), 667000u);
  EXPECT_EQ(copy.getName(), "San Francisco, California, United States");
  EXPECT_EQ(copy.getShortState(), "ca");

  WCity city(2507000, 3, 25, "Boston", "azone(MAZ015)acode(KBOS)");
  WCity assigned;
  assigned = city;
  const WCity& same = assigned;
  assigned = same;
  city.setCity(1, 1, 1, "Other", "x");
  EXPECT_EQ(assigned.getId(), 2507000u);
  EXPECT_EQ(assigned.getCountryId(), 3u);
  EXPECT_EQ(assigned.getStateId(), 25u);
  EXPECT_EQ(assigned.getName(), "Boston");
  EXPECT_EQ(assigned.getData(), "azone(MAZ015)acode(KBOS)");
  WState state(6, 1, "California", "ca");
  WState stateCopy(state);
  stateCopy = WState(25, 2, "Massachusetts", "ma");
  EXPECT_EQ(state.getName(), "California");
  EXPECT_EQ(stateCopy.getCountryId(), 2u);
  EXPECT_EQ(stateCopy.getData(), "ma");
}

}  // namespace
