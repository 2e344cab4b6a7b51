// The parts of a place's page, each an HTML <section> made from what the
// place_sources readers took from the API: the place and its current
// observation, its alerts, its zone forecast, the chart of its station's
// observations and its office's discussion; and the section that stands
// in for a part that cannot be had. Every text from the API is escaped;
// every number is the library's reading of a coded report, shown in US or
// metric units by the library's conversions.
#ifndef STRATUS_TOOLS_GATEWAY_PLACE_PARTS_H_
#define STRATUS_TOOLS_GATEWAY_PLACE_PARTS_H_

#include <string>
#include <vector>

#include "stratus/host/places.h"
#include "stratus/host/product_text.h"

#include "place_sources.h"

namespace stratus_gateway {

// The place's heading: its name, then state, county, zone, office and
// station, with the station's name when the API gave one.
std::string placeHeading(const WPlace& place, const std::string& stationName);

// The current observation: `newest` read completely, at `now` (seconds
// since the epoch) for its age, with the raw report in a <details>.
std::string conditionsPart(const WPlace& place, const Observation& newest,
                           long long now, bool metric);

// The alerts for the place (as alertsFor orders them), each coloured by
// its severity with its full text in a <details>; a line saying there are
// none when there are none.
std::string alertsPart(const WPlace& place, const std::vector<Alert>& alerts);

// The zone forecast period by period, from the lines of the place's
// section of the zone forecast (placeSections); the lines as they are when
// no period is found in them.
std::string forecastPart(const std::string& section);

// The chart of `series` (newest first) over the 72 hours before its newest
// observation, with the table of its values in a <details>.
std::string chartPart(const WPlace& place, const ObservationSeries& series,
                      bool metric);

// The office's discussion, collapsed.
std::string discussionPart(const WPlace& place, const std::string& lines);

// A part that cannot be had: its heading and `why`, in a sentence.
std::string missingPart(const char* id, const char* heading,
                        const std::string& why);

// The time `utc` on the place's clock, "Sat 5 Dec 11:54 CST" (UTC when the
// place has no known zone).
std::string placeTimeText(const WPlace& place, long long utc);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_PLACE_PARTS_H_
