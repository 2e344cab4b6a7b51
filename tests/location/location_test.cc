// The location records and the data-string lookup.
#include "stratus/location/location.h"

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

namespace {

// The key's first occurrence, "(" right behind it, up to the first ")".
TEST(CityData, GetDataToken) {
  const struct {
    const char *data, *key;
    int rc;
    const char* value;  // expected on L_OK
  } cases[] = {
      {"azone(CAZ006)acode(KSFO)", "azone", L_OK, "CAZ006"},
      {"azone(CAZ006)acode(KSFO)", "acode", L_OK, "KSFO"},
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
  };
  for (const auto& c : cases) {
    LString value("untouched"), viaCity("untouched"), viaLocation("untouched");
    EXPECT_EQ(WCity::getDataToken(c.data, c.key, value), c.rc) << c.data;
    EXPECT_STREQ(value, c.rc == L_OK ? c.value : "untouched") << c.data;
    // The member forms run the same lookup on their own data.
    WLocation loc;
    loc.setCityData(c.data);
    EXPECT_EQ(loc.getCityData(c.key, viaLocation), c.rc) << c.data;
    EXPECT_EQ(WCity(1, 1, 1, "X", c.data).getDataToken(c.key, viaCity), c.rc);
    EXPECT_TRUE(viaLocation == value && viaCity == value) << c.data;
  }
}

// Copy assignment carries every field, also onto itself.
TEST(Records, AssignmentCarriesEveryField) {
  const WCity boston(2507000, 3, 25, "Boston", "azone(MAZ015)acode(KBOS)");
  WCity copy, self(boston);
  copy = boston;
  self = static_cast<const WCity&>(self);
  for (const WCity* city : {&copy, &self}) {
    EXPECT_EQ(city->getId(), 2507000u);
    EXPECT_EQ(city->getCountryId(), 3u);
    EXPECT_EQ(city->getStateId(), 25u);
    EXPECT_EQ(city->getName(), "Boston");
    EXPECT_EQ(city->getData(), "azone(MAZ015)acode(KBOS)");
  }
}

}  // namespace
