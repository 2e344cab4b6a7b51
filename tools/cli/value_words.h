// The words of a reading's values in the units chosen for display:
// pressure, wind speed and visibility, as the text output shows them and as
// the "text" members of the JSON output repeat them.
#ifndef STRATUS_TOOLS_CLI_VALUE_WORDS_H_
#define STRATUS_TOOLS_CLI_VALUE_WORDS_H_

#include "stratus/observation/report.h"

#include "out_buffer.h"
#include "reading.h"

namespace stratus_cli {

// True when the wind is reported calm (speed 0, no direction or 0).
bool isCalm(const Reading& r);
// True when a wind speed or direction is present.
bool hasWind(const Reading& r);

// "29.92 inHg (1013.2 hPa)", or hPa or mmHg first with inHg beside.
void appendPressure(OutBuffer& out, float inhg, const Units& units);
// "12 mph", "10 kt" or "19 km/h".
void appendSpeed(OutBuffer& out, int knots, const Units& units);
// "10 miles", "1.25 miles", "less than 0.25 miles", "8 km", or the CAVOK
// words.
void appendVisibility(OutBuffer& out, const WReport& w, const Units& units);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_VALUE_WORDS_H_
