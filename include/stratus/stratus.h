// stratus: weather data for host applications.
//
// The one header a host includes. It declares every exported class,
// function and constant of libstratus:
//   foundation  - LString, LTokenizer, LIStream, LCTime, LVector, LKeyedList,
//                 result codes and LEx, and the host interfaces LInfoLine
//                 and LKeeper
//   weather     - WCondition and the unit conversions
//   location    - the location records and WLocationDB
//   observation - WObservation and decodeObservation (the exact reading);
//                 WReport and decodeReport (the complete reading)
//   reader      - WReader: text products and current conditions; WSettings,
//                 the settings it reads; lastFetchFailure, why a fetch failed
//   host        - what every host needs beyond those: places by name, ZIP
//                 code, station or coordinates (WPlaces), a settings file as
//                 the keeper (WSettingsFile), the current report read with
//                 its flags (getCurrentReport), product text as plain lines,
//                 a product's text cut to a place and a forecast's periods,
//                 a report's groups in words
#ifndef STRATUS_STRATUS_H_
#define STRATUS_STRATUS_H_

#include "stratus/export.h"
#include "stratus/foundation/host.h"
#include "stratus/foundation/istream.h"
#include "stratus/foundation/keyed_list.h"
#include "stratus/foundation/result.h"
#include "stratus/foundation/string.h"
#include "stratus/foundation/time.h"
#include "stratus/foundation/vector.h"
#include "stratus/host/current.h"
#include "stratus/host/places.h"
#include "stratus/host/product_text.h"
#include "stratus/host/readings.h"
#include "stratus/host/report_lines.h"
#include "stratus/host/report_words.h"
#include "stratus/host/settings_file.h"
#include "stratus/location/location.h"
#include "stratus/location/location_db.h"
#include "stratus/observation/observation.h"
#include "stratus/observation/report.h"
#include "stratus/reader/fetch_failure.h"
#include "stratus/reader/reader.h"
#include "stratus/reader/settings.h"
#include "stratus/version.h"
#include "stratus/weather/condition.h"

#endif  // STRATUS_STRATUS_H_
