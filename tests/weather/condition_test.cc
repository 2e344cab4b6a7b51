#include "stratus/weather/condition.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

// Purpose: the knots table is rounded in decimal (row 125 is 143.9, not
// 143.8) and everything from 210 knots on is 999.99. The rows were worked
// out by hand from 1 kt = 1.1508 mph, to the nearest tenth.
TEST(Conversions, KnotsTable) {
  struct Row {
    unsigned knots;
    double mph;
  } rows[] = {{0, 0.0},     {1, 1.2},     {2, 2.3},     {3, 3.5},
              {7, 8.1},     {10, 11.5},   {13, 15.0},   {43, 49.5},
              {50, 57.5},   {87, 100.1},  {100, 115.1}, {125, 143.9},
              {133, 153.1}, {150, 172.6}, {161, 185.3}, {178, 204.8},
              {199, 229.0}, {200, 230.2}, {209, 240.5}};
  for (const Row& r : rows)
    EXPECT_EQ(knots2MPH(r.knots), static_cast<float>(r.mph))
        << r.knots << " kt";
  for (unsigned k : {210u, 4000000000u})
    EXPECT_EQ(knots2MPH(k), static_cast<float>(999.99)) << k << " kt";
}

// Purpose: the linear conversions give the published figures (standard
// atmosphere 29.92 inHg = 1013.2 hPa = 760 mmHg; 1 inHg = 25.4 mmHg).
TEST(Conversions, Linear) {
  EXPECT_FLOAT_EQ(C2F(100), 212);
  EXPECT_FLOAT_EQ(C2F(-40), -40);
  EXPECT_FLOAT_EQ(F2C(212), 100);
  EXPECT_FLOAT_EQ(F2C(32), 0);
  EXPECT_NEAR(INHG2HPA(29.92f), 1013.2, 0.05);
  EXPECT_NEAR(INHG2MMHG(29.92f), 760.0, 0.05);
  EXPECT_NEAR(INHG2HPA(30.00f), 1015.92, 0.01);
  EXPECT_NEAR(INHG2HPA(28.00f), 948.19, 0.01);
  EXPECT_NEAR(INHG2MMHG(30.00f), 762.0, 0.01);
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
