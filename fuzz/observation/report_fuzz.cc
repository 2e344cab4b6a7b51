// decodeReport on any bytes: it must return 0 without reading out of
// bounds, leave its input alone, keep the record consistent (counts within
// their arrays, texts terminated, derived values only with their sources)
// and decode the same text the same way twice.
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
         a.flightCategory == b.flightCategory &&
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
  if (text.length() != static_cast<int>(size) ||
      (size != 0 && std::memcmp(static_cast<const char*>(text), data, size)))
    __builtin_trap();
  decodeReport(text, second);
  // The report time follows the clock, which may move between the decodes.
  second.time = first.time;
  if (!sameRecord(first, second)) __builtin_trap();
  return 0;
}
