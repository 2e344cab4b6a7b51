// Reading: one set of weather values (current conditions or a decoded
// report) with the units chosen for display, shown as text or as JSON.
//
// The values stay in the units of the report (degrees Celsius, inches of
// mercury, degrees, knots); every conversion for display goes through the
// library's functions (formatTemp, knots2MPH, MPH2KMPH, INHG2HPA,
// INHG2MMHG). Text and JSON are appended to a string, so that `decode` can
// print a stream of reports without building anything per report.
#ifndef STRATUS_TOOLS_CLI_READING_H_
#define STRATUS_TOOLS_CLI_READING_H_

#include <climits>
#include <cstdint>
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

// Formats readings. Remembers the local zone's offset and name for the
// quarter hours it met, and the text of the temperatures it formatted, so
// that a stream of reports costs no zone look-up or number formatting per
// report.
class ReadingFormatter {
 public:
  explicit ReadingFormatter(const Units& units) : units_(units) {}

  // Appends "Label:  value" lines for the values present.
  void appendText(std::string& out, const Reading& reading);
  // Appends the values as one compact JSON object's members (no braces):
  // each quantity in every unit, plus "text" as shown; null for a value not
  // present. The fields of the complete reading (visibility, weather, sky,
  // ceiling_ft, flight_category) are null or empty when it was not used.
  void appendJsonMembers(std::string& out, const Reading& reading);

 private:
  // "2026-03-12 09:54 EDT", or with `iso` "2026-03-12T09:54:00-04:00":
  // the time on the clock of `place`, or of the machine's local zone.
  void appendTime(std::string& out, long calendarTime, bool iso,
                  const WPlace* place);
  // Relative humidity, wind chill and heat index, as text lines or JSON
  // members.
  void appendFeelsText(std::string& out, const Reading& reading);
  void appendFeelsJson(std::string& out, const Reading& reading);
  void appendTemp(std::string& out, float celsius);
  void tempJson(std::string& out, float celsius);

  // The local zone during one quarter hour of UTC (zones change their
  // offset only at such times).
  struct ZoneEntry {
    long quarter = LONG_MIN;
    long offset = 0;  // seconds east of UTC
    char name[16] = "";
  };
  // formatTemp's text for a temperature, by the bits of the float.
  struct TempEntry {
    uint32_t bits = 0;
    bool used = false;
    unsigned char length = 0;
    char text[16] = "";
  };

  Units units_;
  // A derived reading (humidity of a temperature and dew point, wind chill
  // of a temperature and wind speed) by the two inputs' bits, so that a
  // stream of reports computes each pair once.
  struct FeelsEntry {
    uint64_t key = 0;
    bool used = false;
    bool defined = false;
    double value = 0;
  };
  // The humidity and wind chill of `r`, from the caches.
  bool humidity(const Reading& r, double& out);
  bool chill(const Reading& r, double& out);

  ZoneEntry zones_[64];
  TempEntry temps_[512];
  FeelsEntry humidities_[1024];
  FeelsEntry chills_[1024];
};

// Writes "Label:  value" lines for the values present, in the chosen units.
void printReading(std::ostream& out, const Reading& reading,
                  const Units& units);
// The values as JSON (see ReadingFormatter::appendJsonMembers).
nlohmann::json readingJson(const Reading& reading, const Units& units);

// Appends `text` as a JSON string, quoted and escaped.
void appendJsonString(std::string& out, const char* text, size_t n);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_READING_H_
