// Reading: one set of weather values (current conditions or a decoded
// report) with the units chosen for display, shown as text or as JSON.
//
// The values stay in the units of the report (degrees Celsius, inches of
// mercury, degrees, knots); every conversion for display goes through the
// library's functions (formatTemp, knots2MPH, MPH2KMPH, INHG2HPA,
// INHG2MMHG).
#ifndef STRATUS_TOOLS_CLI_READING_H_
#define STRATUS_TOOLS_CLI_READING_H_

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "stratus/stratus.h"

namespace stratus_cli {

struct Units {
  enum class Temp { kCelsius, kFahrenheit };
  enum class Wind { kKnots, kMph, kKmh };
  enum class Pressure { kInHg, kHPa, kMmHg };
  Temp temp = Temp::kFahrenheit;
  Wind wind = Wind::kMph;
  Pressure pressure = Pressure::kInHg;
};

struct Reading {
  std::optional<float> temp;         // degrees Celsius
  std::optional<float> dewPoint;     // degrees Celsius
  std::optional<float> pressure;     // inches of mercury
  std::optional<int> windDirection;  // degrees; 400 variable
  std::optional<int> windSpeed;      // knots
  std::optional<int> windGust;       // knots
  std::optional<int> variableFrom;   // degrees (decoded reports only)
  std::optional<int> variableTo;
  std::optional<long> time;  // seconds since the epoch

  // True when no value is present.
  bool empty() const;
};

// Sets every field of `condition` to a value that no report gives, so that
// after WReader::getCondition (which writes only what the report supplied)
// readingOf() can tell which values came from the report.
void markUnset(WCondition& condition);
// The values of `condition` that differ from the marks of markUnset, and the
// gust when not -1.
Reading readingOf(WCondition& condition);
// The flagged values of a decoded report.
Reading readingOf(const WObservation& observation);

// Writes "Label:  value" lines for the values present, in the chosen units.
void printReading(std::ostream& out, const Reading& reading,
                  const Units& units);
// The values as JSON: each quantity in every unit, plus "text" as shown;
// null for a value not present.
nlohmann::json readingJson(const Reading& reading, const Units& units);

// "2026-03-12 09:54 EDT": the time in the machine's local zone.
std::string localTimeText(long calendarTime);
// "2026-03-12T09:54:00-04:00": the same in ISO 8601 form.
std::string localTimeIso(long calendarTime);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_READING_H_
