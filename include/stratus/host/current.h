// The current report of a location's station read completely or narrowly,
// with what the report gave told apart from what it did not: the reader's
// raw report (WReader::getReport) decoded by decodeReport or
// decodeObservation. A host needs no values of its own to mark fields
// unset.
#ifndef STRATUS_HOST_CURRENT_H_
#define STRATUS_HOST_CURRENT_H_

#include "stratus/export.h"
#include "stratus/foundation/string.h"
#include "stratus/location/location.h"
#include "stratus/observation/observation.h"
#include "stratus/observation/report.h"
#include "stratus/reader/reader.h"

// Fetches the station page of `location` with `reader` and reads its report
// completely.
//   L_OK       `raw` is the report line and `report` its complete reading
//              (report.decoded is true)
//   L_ERROR    the report decodes to nothing; `raw` holds it, `report`
//              untouched
//   L_NOTFOUND the page holds no report; L_CONNECT the page could not be
//              fetched; L_DB the city data has no valid "acode" (as
//              WReader::getReport); both untouched
// The status line shows what WReader::getReport shows. Throws LEx(L_MEM).
STRATUS_EXPORT int getCurrentReport(WReader& reader, const WLocation& location,
                                    LString& raw, WReport& report);

// The same read narrowly, as WReader::getCondition reads it (temperature,
// dew point, pressure, wind and time, each with its flag); L_ERROR when no
// field decodes.
STRATUS_EXPORT int getCurrentObservation(WReader& reader,
                                         const WLocation& location,
                                         LString& raw,
                                         WObservation& observation);

#endif  // STRATUS_HOST_CURRENT_H_
