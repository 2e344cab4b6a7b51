// decodeReport on any bytes: it must return 0 without reading out of
// bounds, leave its input alone, keep the record consistent (counts within
// their arrays, texts terminated, derived values only with their sources),
// hold every value within its legal range and decode the same text the same
// way twice.
#include <cstdint>
#include <cstring>

#include "stratus/observation/report.h"

namespace {

bool terminated(const char* s, size_t size) {
  return std::memchr(s, '\0', size) != nullptr;
}

bool consistent(const WReport& r) {
  if (r.runwayCount < 0 || r.runwayCount > WReport::MAX_RUNWAYS) return false;
  if (r.weatherCount < 0 || r.weatherCount > WReport::MAX_WEATHER) return false;
  if (r.layerCount < 0 || r.layerCount > WReport::MAX_LAYERS) return false;
  if (!terminated(r.station, sizeof r.station)) return false;
  for (int i = 0; i < r.runwayCount; ++i) {
    if (!terminated(r.runways[i].runway, sizeof r.runways[i].runway))
      return false;
  }
  for (int i = 0; i < r.weatherCount; ++i) {
    const WReport::Weather& w = r.weather[i];
    if (!terminated(w.text, sizeof w.text) || w.phenomenonCount < 0 ||
        w.phenomenonCount > WReport::MAX_PHENOMENA)
      return false;
  }
  if (r.hasWindGust && !r.hasWind) return false;
  if (r.hasTime && !r.hasTimeGroup) return false;
  if (r.hasPressure != (r.hasAltimeterInHg || r.hasAltimeterHpa)) return false;
  if (r.hasCeiling && r.layerCount == 0) return false;
  if (r.cavok && !r.hasVisibility) return false;
  return true;
}

bool within(double v, double low, double high) { return v >= low && v <= high; }

bool isDirection(int degrees) { return degrees >= 0 && degrees <= 360; }

// Every value that is set lies in its legal range (report.h), and
// "decoded" says whether any value of the observation is set.
bool inRange(const WReport& r) {
  if (r.hasTime && !(within(r.day, 1, 31) && within(r.hour, 0, 23) &&
                     within(r.minute, 0, 59)))
    return false;
  if (r.hasWind) {
    if (!r.windDirectionMissing && !isDirection(r.windDirection) &&
        r.windDirection != 400)
      return false;
    if (!within(r.windSpeedCoded, 0, 999) || !(r.windSpeed >= 0)) return false;
    if (r.hasWindGust &&
        (!within(r.windGustCoded, 0, 999) || !(r.windGustSpeed >= 0)))
      return false;
  }
  if (r.hasWindVariable &&
      (!isDirection(r.windVariableFrom) || !isDirection(r.windVariableTo)))
    return false;
  if (r.hasVisibility && !(r.visibilityMiles >= 0 && r.visibilityMeters >= 0 &&
                           within(r.visibilityBound, -1, 1)))
    return false;
  for (int i = 0; i < r.runwayCount; ++i) {
    const WReport::Runway& w = r.runways[i];
    const int number = (w.runway[0] - '0') * 10 + (w.runway[1] - '0');
    if (!within(number, 1, 36) || !within(w.low, 0, 9999) ||
        !within(w.high, 0, 9999))
      return false;
  }
  for (int i = 0; i < r.layerCount; ++i) {
    if (!r.layers[i].heightMissing && !within(r.layers[i].height, 0, 99900))
      return false;
  }
  if (r.hasCeiling && !within(r.ceiling, 0, 99900)) return false;
  // Tenths are scaled in single precision: 999 tenths give 99.9f.
  if (r.hasTemp && !within(r.temp, -99.9f, 99.9f)) return false;
  if (r.hasDewPoint && !within(r.dewPoint, -99.9f, 99.9f)) return false;
  if ((r.hasAltimeterInHg && !(r.altimeterInHg >= 0)) ||
      (r.hasAltimeterHpa && !(r.altimeterHpa >= 0)) ||
      (r.hasPressure && !(r.pressure >= 0)))
    return false;
  const bool observed = r.hasTime || r.hasWind || r.hasVisibility ||
                        r.runwayCount > 0 || r.weatherCount > 0 ||
                        r.layerCount > 0 || r.hasTemp || r.hasDewPoint ||
                        r.hasPressure || r.hasSeaLevelPressure;
  return r.decoded == (observed && !r.nil);
}

bool sameRecord(const WReport& a, const WReport& b) {
  return a.type == b.type && a.hasTime == b.hasTime && a.time == b.time &&
         a.hasWind == b.hasWind && a.windDirection == b.windDirection &&
         a.windSpeedCoded == b.windSpeedCoded &&
         a.hasVisibility == b.hasVisibility &&
         a.visibilityMeters == b.visibilityMeters &&
         a.runwayCount == b.runwayCount && a.weatherCount == b.weatherCount &&
         a.layerCount == b.layerCount && a.hasTemp == b.hasTemp &&
         a.temp == b.temp && a.hasDewPoint == b.hasDewPoint &&
         a.hasPressure == b.hasPressure && a.pressure == b.pressure &&
         a.hasSeaLevelPressure == b.hasSeaLevelPressure &&
         a.flightCategory == b.flightCategory && a.decoded == b.decoded &&
         std::strcmp(a.station, b.station) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  const LString text(reinterpret_cast<const char*>(data),
                     static_cast<int>(size));
  WReport first, second;
  if (decodeReport(text, first) != 0) __builtin_trap();
  if (!consistent(first)) __builtin_trap();
  if (!inRange(first)) __builtin_trap();
  if (text.length() != static_cast<int>(size) ||
      (size != 0 && std::memcmp(static_cast<const char*>(text), data, size)))
    __builtin_trap();
  decodeReport(text, second);
  // The report time follows the clock, which may move between the decodes.
  second.time = first.time;
  if (!sameRecord(first, second)) __builtin_trap();
  return 0;
}
