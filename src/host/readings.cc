#include "stratus/host/readings.h"

#include <cmath>
#include <cstring>

#include "stratus/foundation/time.h"

namespace {

// Saturation vapour pressure over water, hPa (the weather service's
// calculators use this Tetens form).
double saturation(double c) {
  return 6.11 * std::pow(10.0, 7.5 * c / (237.3 + c));
}

struct ZoneRule {
  char code;
  int standardMinutes;  // east of UTC
  const char* standard;
  const char* daylight;  // null: no daylight saving time
};

// The zone table's codes; the rules as the US zones keep them.
constexpr ZoneRule kZones[] = {
    {'E', -300, "EST", "EDT"},   {'e', -300, "EST", nullptr},
    {'C', -360, "CST", "CDT"},   {'M', -420, "MST", "MDT"},
    {'m', -420, "MST", nullptr}, {'P', -480, "PST", "PDT"},
    {'A', -540, "AKST", "AKDT"}, {'H', -600, "HST", nullptr},
    {'V', -240, "AST", nullptr}, {'G', 600, "ChST", nullptr},
    {'S', -660, "SST", nullptr},
};
// The Aleutians west of 169.5 W keep Hawaii-Aleutian time with daylight
// saving time.
constexpr ZoneRule kAleutian = {'H', -600, "HST", "HDT"};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
long daysFromCivil(long y, int m, int d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The day of month of the `n`th Sunday of month `m` of year `y`.
int nthSunday(long y, int m, int n) {
  long days = daysFromCivil(y, m, 1);
  int weekday = static_cast<int>(((days % 7) + 11) % 7);  // 0 Sunday
  return 1 + (7 - weekday) % 7 + 7 * (n - 1);
}

const ZoneRule* ruleOf(const WPlace& place) {
  LString value;
  if (WCity::getDataToken(LString(place.data.c_str()), "atz", value) != 0 ||
      value.length() == 0)
    return nullptr;
  if (std::strcmp(value.c_str(), "AH") == 0 && place.hasPosition &&
      place.longitude < -169.5)
    return &kAleutian;
  for (const ZoneRule& z : kZones) {
    if (z.code == value.c_str()[0]) return &z;
  }
  return nullptr;
}

}  // namespace

double relativeHumidity(double tempC, double dewPointC) {
  double rh = 100.0 * saturation(dewPointC) / saturation(tempC);
  return rh > 100.0 ? 100.0 : rh;
}

bool windChill(double tempF, double windMph, double& chillF) {
  if (!(tempF <= 50.0 && windMph >= 3.0)) return false;
  double v = std::pow(windMph, 0.16);
  chillF = 35.74 + 0.6215 * tempF - 35.75 * v + 0.4275 * tempF * v;
  return true;
}

bool heatIndex(double tempF, double humidity, double& indexF) {
  if (!(tempF >= 80.0)) return false;
  const double t = tempF, rh = humidity;
  double hi = 0.5 * (t + 61.0 + (t - 68.0) * 1.2 + rh * 0.094);
  if ((hi + t) / 2 >= 80.0) {
    hi = -42.379 + 2.04901523 * t + 10.14333127 * rh - 0.22475541 * t * rh -
         0.00683783 * t * t - 0.05481717 * rh * rh + 0.00122874 * t * t * rh +
         0.00085282 * t * rh * rh - 0.00000199 * t * t * rh * rh;
    if (rh < 13 && t >= 80 && t <= 112)
      hi -= (13 - rh) / 4 * std::sqrt((17 - std::fabs(t - 95)) / 17);
    else if (rh > 85 && t >= 80 && t <= 87)
      hi += (rh - 85) / 10 * ((87 - t) / 5);
  }
  indexF = hi;
  return true;
}

bool placeLocalTime(const WPlace& place, long utc, WLocalTime& out) {
  const ZoneRule* rule = ruleOf(place);
  if (rule == nullptr) return false;
  long standard = utc + rule->standardMinutes * 60L;
  bool daylight = false;
  if (rule->daylight != nullptr) {
    LCTime wall(standard, LTime::UTC);
    long y = wall.year;
    // 2:00 standard time on the second Sunday of March; 2:00 daylight time
    // (1:00 standard) on the first Sunday of November.
    long start = daysFromCivil(y, 3, nthSunday(y, 3, 2)) * 86400 + 2 * 3600;
    long end = daysFromCivil(y, 11, nthSunday(y, 11, 1)) * 86400 + 3600;
    daylight = standard >= start && standard < end;
  }
  int offset = rule->standardMinutes + (daylight ? 60 : 0);
  LCTime wall(utc + offset * 60L, LTime::UTC);
  WLocalTime t;
  t.year = wall.year;
  t.month = wall.month;
  t.day = wall.day;
  t.hour = wall.hour;
  t.minute = wall.minute;
  t.second = wall.second;
  t.offsetMinutes = offset;
  t.zone = daylight ? rule->daylight : rule->standard;
  out = t;
  return true;
}
