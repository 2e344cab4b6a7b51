#include "stratus/host/current.h"

#include "stratus/foundation/result.h"

namespace {

// Fetches the report and reads it with `decode` into `record`; L_ERROR
// when `decoded` says nothing was read. Out-arguments as the callers say.
template <typename Record, typename Decode, typename Decoded>
int readCurrent(WReader& reader, const WLocation& location, LString& raw,
                Record& record, Decode decode, Decoded decoded) {
  LString text;
  int rc = reader.getReport(location, text);
  if (rc != L_OK) return rc;
  Record read{};
  decode(text, read);
  raw = text;
  if (!decoded(read)) return L_ERROR;
  record = read;
  return L_OK;
}

}  // namespace

int getCurrentReport(WReader& reader, const WLocation& location, LString& raw,
                     WReport& report) {
  return readCurrent(reader, location, raw, report, decodeReport,
                     [](const WReport& r) { return r.decoded; });
}

int getCurrentObservation(WReader& reader, const WLocation& location,
                          LString& raw, WObservation& observation) {
  return readCurrent(reader, location, raw, observation, decodeObservation,
                     [](const WObservation& o) {
                       return o.hasTemp || o.hasPressure ||
                              o.hasWindDirection || o.hasTime;
                     });
}
