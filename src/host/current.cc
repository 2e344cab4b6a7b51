#include "stratus/host/current.h"

#include "stratus/foundation/result.h"

int getCurrentReport(WReader& reader, const WLocation& location, LString& raw,
                     WReport& report) {
  LString text;
  int rc = reader.getReport(location, text);
  if (rc != L_OK) return rc;
  WReport decoded;
  decodeReport(text, decoded);
  raw = text;
  if (!decoded.decoded) return L_ERROR;
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
