// The readings people expect beside a report's values, computed by the
// weather service's published formulas: relative humidity, wind chill and
// heat index; and a place's local time, from the time zone its city data
// carries. Pure functions; thread-safe.
#ifndef STRATUS_HOST_READINGS_H_
#define STRATUS_HOST_READINGS_H_

#include <string>

#include "stratus/export.h"
#include "stratus/host/places.h"

// Relative humidity in percent from the air temperature and the dew point
// (degrees Celsius), by the saturation vapour pressure
// es(T) = 6.11 * 10^(7.5 T / (237.3 + T)) hPa: 100 * es(dew point) / es(T),
// at most 100 (a dew point above the temperature, as some reports code it,
// gives 100).
STRATUS_EXPORT double relativeHumidity(double tempC, double dewPointC);

// The wind chill temperature in degrees Fahrenheit (the 2001 formula:
// 35.74 + 0.6215 T - 35.75 V^0.16 + 0.4275 T V^0.16, T in degrees F, V the
// wind speed in mph). True with `chillF` written when it is defined: T at
// most 50 F and V at least 3 mph; false otherwise.
STRATUS_EXPORT bool windChill(double tempF, double windMph, double& chillF);

// The heat index in degrees Fahrenheit (the simple formula, then the
// Rothfusz regression with its two adjustments when their mean reaches
// 80 F). True with `indexF` written when the temperature is 80 F or more;
// false otherwise.
STRATUS_EXPORT bool heatIndex(double tempF, double humidity, double& indexF);

// A moment on a place's wall clock.
struct WLocalTime {
  int year = 0, month = 0, day = 0;  // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0;
  int offsetMinutes = 0;  // east of UTC: -300 for EST
  std::string zone;       // "CDT", "HST", "ChST"
};

// The local time at `place` of the moment `utc` (seconds since the epoch),
// by the time zone code of its city data ("atz": E, C, M, P, A, H, V, G, S;
// m and e without daylight saving time; of two letters the first, except
// "AH", the Aleutians, which is Hawaii-Aleutian time west of 169.5 W) and
// the US rule for daylight saving time since 2007 (from 2:00 on the second
// Sunday of March to 2:00 on the first Sunday of November); earlier years
// are shown by the same rule. False, `out` untouched, when the place has no
// known code.
STRATUS_EXPORT bool placeLocalTime(const WPlace& place, long utc,
                                   WLocalTime& out);

#endif  // STRATUS_HOST_READINGS_H_
