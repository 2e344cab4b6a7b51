#include "stratus/weather/condition.h"

#include "foundation/units.h"

namespace {

// Knots to miles per hour for whole knots 0..209: k x 1.1508 rounded to one
// decimal, a half rounded up. The product is taken in exact decimal
// arithmetic (k x 11508 ten-thousandths) so that 125 kt, exactly 143.85 mph,
// rounds to 143.9; binary floating point would give 143.8.
struct KnotsTable {
  double mph[210];
  constexpr KnotsTable() : mph() {
    for (long k = 0; k < 210; ++k) {
      long tenths = (k * 11508 + 500) / 1000;
      mph[k] = static_cast<double>(tenths) / 10.0;
    }
  }
};

constexpr KnotsTable kKnots;

}  // namespace

WCondition::WCondition()
    : valid(false),
      temp(0),
      dewPoint(0),
      pressure(0),
      windDirection(0),
      windSpeed(0),
      windGustSpeed(0),
      time(LTime::Local) {}

WCondition::WCondition(const WCondition& other) = default;
WCondition& WCondition::operator=(const WCondition& other) = default;
WCondition::~WCondition() = default;

const LString& WCondition::formatTemp(LString& out, TempScale scale) {
  out = "";
  if (scale == Celsius) {
    out.printf("%.0f C", static_cast<double>(temp));
  } else {
    out.printf("%.0f F", static_cast<double>(C2F(temp)));
  }
  return out;
}

float knots2MPH(unsigned int knots) {
  return knots <= 209 ? static_cast<float>(kKnots.mph[knots])
                      : static_cast<float>(999.99);
}
float MPH2KMPH(float mph) { return static_cast<float>(mph * 1.609); }
float KMPH2MPH(float kmph) {
  return static_cast<float>(kmph * 0.6215040397762586);
}
float INHG2MMHG(float inhg) { return static_cast<float>(inhg * 25.4); }
float INHG2HPA(float inhg) {
  return static_cast<float>(inhg * stratus::kHpaPerInHg);
}
float C2F(float celsius) { return static_cast<float>(celsius * 1.8 + 32); }
float F2C(float fahrenheit) {
  return static_cast<float>((fahrenheit - 32.0) * 0.5555555555555556);
}
