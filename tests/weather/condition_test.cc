#include "stratus/weather/condition.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

// Purpose: the knots table is rounded in decimal (row 125 is 143.9, not
// 143.8) and everything from 210 knots on is 999.99.
TEST(Conversions, KnotsTable) {
  struct Row {
    unsigned knots;
    double mph;
  } rows[] = {{0, 0.0},     {1, 1.2},     {2, 2.3},     {3, 3.5},
              {10, 11.5},   {50, 57.5},   {100, 115.1}, {125, 143.9},
              {150, 172.6}, {200, 230.2}, {209, 240.5}};
  for (const Row& r : rows)
    EXPECT_EQ(knots2MPH(r.knots), static_cast<float>(r.mph))
        << r.knots << " kt";
  for (unsigned k : {210u, 4000000000u})
    EXPECT_EQ(knots2MPH(k), static_cast<float>(999.99)) << k << " kt";
  // Every row is the decimal rounding of k x 1.1508, a half rounded up.
  for (unsigned k = 0; k < 210; ++k) {
    long tenths = (static_cast<long>(k) * 11508 + 500) / 1000;
    EXPECT_EQ(knots2MPH(k), static_cast<float>(tenths / 10.0)) << k;
  }
}

// Purpose: the linear conversions use the stated constants.
TEST(Conversions, Linear) {
  EXPECT_FLOAT_EQ(C2F(100), 212);
  EXPECT_FLOAT_EQ(C2F(-40), -40);
  EXPECT_FLOAT_EQ(F2C(212), 100);
  EXPECT_FLOAT_EQ(F2C(32), 0);
  EXPECT_NEAR(INHG2HPA(29.92f), 1013.2, 0.05);
  EXPECT_NEAR(INHG2MMHG(29.92f), 760.0, 0.05);
  EXPECT_EQ(INHG2HPA(29.92f), static_cast<float>(29.92f * 33.8638));
  EXPECT_FLOAT_EQ(MPH2KMPH(KMPH2MPH(100)), 100);
  EXPECT_FLOAT_EQ(MPH2KMPH(10), 16.09f);
}

// Purpose: formatTemp rounds to whole degrees with a blank and the letter;
// any scale but Celsius is Fahrenheit.
TEST(WCondition, FormatTemp) {
  struct Case {
    float temp;
    int scale;
    const char* text;
  } cases[] = {
      {21.0f, 0, "21 C"},   {21.0f, 1, "70 F"}, {-40.0f, 0, "-40 C"},
      {-40.0f, 1, "-40 F"}, {21.0f, 2, "70 F"}, {22.6f, 0, "23 C"},
      {-0.2f, 0, "-0 C"},
  };
  for (const Case& c : cases) {
    WCondition w;
    w.setTemp(c.temp);
    LString out("old");
    const LString& r =
        w.formatTemp(out, static_cast<WCondition::TempScale>(c.scale));
    EXPECT_EQ(&r, &out);
    EXPECT_STREQ(out, c.text) << c.temp << " scale " << c.scale;
  }
}

// Purpose: copying and assigning carry every field, the host's flag and
// the time included; a fresh record is not valid.
TEST(WCondition, CopyAndAssign) {
  WCondition a;
  EXPECT_FALSE(a.isValid());
  a.setValid(true);
  a.setTemp(1.5f);
  a.setDewPoint(-2.5f);
  a.setPressure(30.12f);
  a.setWindDirection(400);
  a.setWindSpeed(12);
  a.setWindGustSpeed(-1);
  a.setTime(LCTime(1798761599L, LTime::UTC));
  WCondition b(a);
  WCondition c;
  c = a;
  for (WCondition* w : {&b, &c}) {
    EXPECT_TRUE(w->isValid());
    EXPECT_EQ(w->getTemp(), 1.5f);
    EXPECT_EQ(w->getDewPoint(), -2.5f);
    EXPECT_EQ(w->getPressure(), 30.12f);
    EXPECT_EQ(w->getWindDirection(), 400);
    EXPECT_EQ(w->getWindSpeed(), 12);
    EXPECT_EQ(w->getWindGustSpeed(), -1);
    EXPECT_EQ(w->getTime().GetCalendarTime(), 1798761599L);
  }
}

}  // namespace
