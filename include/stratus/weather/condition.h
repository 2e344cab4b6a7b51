// WCondition, the current weather handed to the host, and unit conversions.
//
// The record holds the values in the units of the observation report:
// degrees Celsius, inches of mercury, degrees and knots. It converts nothing;
// the free functions below convert for display. Plain value; not thread-safe.
#ifndef STRATUS_WEATHER_CONDITION_H_
#define STRATUS_WEATHER_CONDITION_H_

#include "stratus/export.h"
#include "stratus/foundation/string.h"
#include "stratus/foundation/time.h"

class STRATUS_EXPORT WCondition {
 public:
  enum TempScale { Celsius = 0, Fahrenheit = 1 };

  // `valid` false, `time` the epoch in the local zone, every numeric field 0.
  WCondition();
  WCondition(const WCondition& other);
  WCondition& operator=(const WCondition& other);
  ~WCondition();

  // The validity flag belongs to the host; the library never sets it.
  bool isValid() { return valid; }
  void setValid(bool v) { valid = v; }
  // Air temperature, degrees Celsius.
  float getTemp() { return temp; }
  void setTemp(float v) { temp = v; }
  // Dew point, degrees Celsius.
  float getDewPoint() { return dewPoint; }
  void setDewPoint(float v) { dewPoint = v; }
  // Altimeter setting, inches of mercury.
  float getPressure() { return pressure; }
  void setPressure(float v) { pressure = v; }
  // Degrees the wind blows from; 400 means variable.
  int getWindDirection() { return windDirection; }
  void setWindDirection(int v) { windDirection = v; }
  // Knots.
  int getWindSpeed() { return windSpeed; }
  void setWindSpeed(int v) { windSpeed = v; }
  // Knots; -1 when the last report read had no gust.
  int getWindGustSpeed() { return windGustSpeed; }
  void setWindGustSpeed(int v) { windGustSpeed = v; }
  // Time of the observation.
  const LCTime& getTime() { return time; }
  void setTime(const LCTime& t) { time = t; }

  // Sets `out` to the temperature rounded to whole degrees with a blank and
  // the scale's letter ("21 C", "70 F"); any scale but Celsius gives
  // Fahrenheit. Returns `out`.
  const LString& formatTemp(LString& out, TempScale scale);

 private:
  bool valid;
  float temp;
  float dewPoint;
  float pressure;
  int windDirection;
  int windSpeed;
  int windGustSpeed;
  LCTime time;
};

// Knots to miles per hour, from a table of whole knots 0..209 rounded to one
// decimal; 999.99 for 210 knots and above.
STRATUS_EXPORT float knots2MPH(unsigned int knots);
STRATUS_EXPORT float MPH2KMPH(float mph);
STRATUS_EXPORT float KMPH2MPH(float kmph);
STRATUS_EXPORT float INHG2MMHG(float inhg);
STRATUS_EXPORT float INHG2HPA(float inhg);
STRATUS_EXPORT float C2F(float celsius);
STRATUS_EXPORT float F2C(float fahrenheit);

#endif  // STRATUS_WEATHER_CONDITION_H_
