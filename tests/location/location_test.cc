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

// Purpose: default construction zeroes ids and empties texts; a default
// location is not valid and has no city data.
TEST(Records, Defaults) {
  WCity city;
  EXPECT_EQ(city.getId() + city.getCountryId() + city.getStateId(), 0u);
  EXPECT_TRUE(city.getName().isEmpty() && city.getData().isEmpty());
  WState state;
  EXPECT_EQ(state.getId() + state.getCountryId(), 0u);
  EXPECT_TRUE(state.getName().isEmpty() && state.getData().isEmpty());
  WArea area;
  EXPECT_EQ(area.getId() + area.getCountryId() + area.getStateId(), 0u);
  WCountry country;
  EXPECT_EQ(country.getId(), 0u);
  EXPECT_TRUE(country.getName().isEmpty() && country.getData().isEmpty());

  WLocation loc;
  EXPECT_FALSE(loc.isValid());
  EXPECT_EQ(loc.getCountry() + loc.getState() + loc.getArea() + loc.getCity(),
            0u);
  EXPECT_TRUE(loc.getName().isEmpty() && loc.getShortState().isEmpty());
  LString value("untouched");
  EXPECT_EQ(loc.getCityData("azone", value), L_NOTFOUND);
  EXPECT_EQ(value, "untouched");
}

// Purpose: the value constructors and setters put each argument into its
// own field (the argument order is easy to get wrong).
TEST(Records, FieldOrder) {
  WCountry country(1, "United States", "US");
  EXPECT_EQ(country.getId(), 1u);
  EXPECT_EQ(country.getName(), "United States");
  EXPECT_EQ(country.getData(), "US");

  WState state(6, 1, "California", "ca");
  EXPECT_EQ(state.getId(), 6u);
  EXPECT_EQ(state.getCountryId(), 1u);
  EXPECT_EQ(state.getName(), "California");
  EXPECT_EQ(state.getData(), "ca");
  state.setData(25, 2, "Massachusetts", "ma");
  EXPECT_EQ(state.getId(), 25u);
  EXPECT_EQ(state.getCountryId(), 2u);
  EXPECT_EQ(state.getName(), "Massachusetts");
  EXPECT_EQ(state.getData(), "ma");

  WArea area(6075, 1, 6, "San Francisco County", "CAC075");
  EXPECT_EQ(area.getId(), 6075u);
  EXPECT_EQ(area.getCountryId(), 1u);
  EXPECT_EQ(area.getStateId(), 6u);
  EXPECT_EQ(area.getName(), "San Francisco County");
  EXPECT_EQ(area.getData(), "CAC075");

  WCity city(667000, 1, 6, "San Francisco", "azone(CAZ006)acode(KSFO)");
  city.setCity(2507000, 3, 25, "Boston", "azone(MAZ015)acode(KBOS)");
  EXPECT_EQ(city.getId(), 2507000u);
  EXPECT_EQ(city.getCountryId(), 3u);
  EXPECT_EQ(city.getStateId(), 25u);
  EXPECT_EQ(city.getName(), "Boston");
  EXPECT_EQ(city.getData(), "azone(MAZ015)acode(KBOS)");
}

// Purpose: copies are independent of their source, both ways of copying.
TEST(Records, CopiesAreIndependent) {
  WCity city(1, 1, 6, "Alameda", "azone(CAZ006)acode(KOAK)");
  WCity copy(city);
  copy.setCity(2, 2, 7, "Other", "x");
  EXPECT_EQ(city.getId(), 1u);
  EXPECT_EQ(city.getName(), "Alameda");
  WCity assigned;
  assigned = city;
  const WCity& same = assigned;
  assigned = same;  // self-assignment keeps the record
  EXPECT_EQ(assigned.getData(), "azone(CAZ006)acode(KOAK)");

  WState state(6, 1, "California", "ca");
  WState stateCopy;
  stateCopy = state;
  stateCopy.setData(7, 1, "Other", "ot");
  EXPECT_EQ(state.getName(), "California");

  WLocation loc;
  loc.setCountry(1);
  loc.setState(6);
  loc.setArea(6075);
  loc.setCity(667000);
  loc.setName("San Francisco, California, United States");
  loc.setShortState("ca");
  loc.setCityData("azone(CAZ006)acode(KSFO)");
  loc.setValid(true);
  WLocation other(loc);
  other.setName("changed");
  other.setCityData("acode(X)");
  other.setValid(false);
  WLocation third;
  third = loc;
  third.setShortState("zz");
  EXPECT_TRUE(loc.isValid());
  EXPECT_EQ(loc.getName(), "San Francisco, California, United States");
  EXPECT_EQ(loc.getShortState(), "ca");
  EXPECT_EQ(third.getArea(), 6075u);
  LString code;
  EXPECT_EQ(loc.getCityData("acode", code), L_OK);
  EXPECT_EQ(code, "KSFO");
}

}  // namespace
