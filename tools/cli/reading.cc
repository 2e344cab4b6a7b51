#include "reading.h"

#include <cmath>

#include "out_buffer.h"
#include "reading_formatter.h"

namespace stratus_cli {

bool Reading::empty() const {
  // The complete reading says itself whether it holds an observation.
  if (report != nullptr) return !report->decoded;
  return !temp && !dewPoint && !pressure && !windDirection && !windSpeed &&
         !windGust && !variableFrom && !variableTo && !time;
}

Reading readingOf(const WObservation& o) {
  Reading r;
  if (o.hasTemp) r.temp = o.temp;
  if (o.hasDewPoint) r.dewPoint = o.dewPoint;
  if (o.hasPressure) r.pressure = o.pressure;
  if (o.hasWindDirection) {
    r.windDirection = o.windDirection;
    r.variableFrom = o.windVariableFrom;
    r.variableTo = o.windVariableTo;
  }
  if (o.hasWindSpeed) r.windSpeed = o.windSpeed;
  if (o.hasWindGustSpeed) r.windGust = o.windGustSpeed;
  if (o.hasTime) r.time = o.time;
  return r;
}

Reading readingOf(const WReport& w) {
  Reading r;
  r.report = &w;
  if (w.hasTemp) r.temp = w.temp;
  if (w.hasDewPoint) r.dewPoint = w.dewPoint;
  if (w.hasPressure) r.pressure = w.pressure;
  if (w.hasWind) {
    if (!w.windDirectionMissing) r.windDirection = w.windDirection;
    r.windSpeed = static_cast<int>(std::lround(w.windSpeed));
    if (w.hasWindGust)
      r.windGust = static_cast<int>(std::lround(w.windGustSpeed));
    if (w.hasWindVariable) {
      r.variableFrom = w.windVariableFrom;
      r.variableTo = w.windVariableTo;
    }
  }
  if (w.hasTime) r.time = w.time;
  return r;
}

void printReading(std::ostream& out, const Reading& reading,
                  const Units& units) {
  OutBuffer text;
  ReadingFormatter(units).appendText(text, reading);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

nlohmann::json readingJson(const Reading& reading, const Units& units) {
  OutBuffer text;
  text.put('{');
  ReadingFormatter(units).appendJsonMembers(text, reading);
  text.put('}');
  return nlohmann::json::parse(text.data(), text.data() + text.size());
}

}  // namespace stratus_cli
