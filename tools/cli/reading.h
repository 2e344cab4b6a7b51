// Reading: one set of weather values (current conditions or a decoded
// report) with the units chosen for display, shown as text or as JSON.
//
// The values stay in the units of the report (degrees Celsius, inches of
// mercury, degrees, knots); every conversion for display goes through the
// library's functions (formatTemp, knots2MPH, MPH2KMPH, INHG2HPA,
// INHG2MMHG). ReadingFormatter (reading_formatter.h) shows a stream of
// readings without building anything per reading.
#ifndef STRATUS_TOOLS_CLI_READING_H_
#define STRATUS_TOOLS_CLI_READING_H_

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "stratus/observation/report.h"
#include "stratus/stratus.h"

namespace stratus_cli {

struct Units {
  enum class Temp { kCelsius, kFahrenheit };
  enum class Wind { kKnots, kMph, kKmh };
  enum class Pressure { kInHg, kHPa, kMmHg };
  Temp temp = Temp::kFahrenheit;
  Wind wind = Wind::kMph;
  Pressure pressure = Pressure::kInHg;
  // Visibility in kilometres (metric) rather than statute miles.
  bool metricDistance = false;
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
  // The complete reading of the report, when it was read completely: its
  // visibility, weather, sky, ceiling and flight category are shown too.
  const WReport* report = nullptr;
  // The place the report is from, when known: its time is then shown on
  // the place's own clock rather than the machine's.
  const WPlace* place = nullptr;

  // True when no value is present.
  bool empty() const;
};

// The flagged values of a report read by decodeObservation.
Reading readingOf(const WObservation& observation);
// The flagged values of a report read completely; refers to `report`.
Reading readingOf(const WReport& report);

// Writes "Label:  value" lines for the values present, in the chosen units.
void printReading(std::ostream& out, const Reading& reading,
                  const Units& units);
// The values as JSON (see ReadingFormatter::appendJsonMembers in
// reading_formatter.h).
nlohmann::json readingJson(const Reading& reading, const Units& units);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_READING_H_
