#include "stratus/host/current.h"

#include "stratus/foundation/result.h"

namespace {

// At least one observation group was read: the station and the report
// type alone are no observation.
bool anyObservation(const WReport& r) {
  return r.hasTime || r.hasWind || r.hasVisibility || r.weatherCount > 0 ||
         r.layerCount > 0 || r.hasTemp || r.hasDewPoint || r.hasPressure ||
         r.hasSeaLevelPressure;
}

}  // namespace

int getCurrentReport(WReader& reader, const WLocation& location, LString& raw,
                     WReport& report) {
  LString text;
  int rc = reader.getReport(location, text);
  if (rc != L_OK) return rc;
  WReport decoded;
  decodeReport(text, decoded);
  raw = text;
  if (!anyObservation(decoded)) return L_ERROR;
  report = decoded;
  return L_OK;
}

int getCurrentObservation(WReader& reader, const WLocation& location,
                          LString& raw, WObservation& observation) {
  LString text;
  int rc = reader.getReport(location, text);
  if (rc != L_OK) return rc;
  WObservation decoded;
  decodeObservation(text, decoded);
  raw = text;
  if (!decoded.hasTemp && !decoded.hasPressure && !decoded.hasWindDirection &&
      !decoded.hasTime)
    return L_ERROR;
  observation = decoded;
  return L_OK;
}
