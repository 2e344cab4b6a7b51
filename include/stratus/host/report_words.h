// A complete reading's coded groups in the words a person reads: present
// weather ("light snow"), sky layers ("overcast at 1,200 ft") and wind
// directions ("NW"), for hosts that show a report (WReport, report.h).
// Pure functions; thread-safe.
#ifndef STRATUS_HOST_REPORT_WORDS_H_
#define STRATUS_HOST_REPORT_WORDS_H_

#include <string>

#include "stratus/export.h"
#include "stratus/observation/report.h"

// A present-weather group in words: intensity, descriptor and phenomena in
// coded order ("-SHRA" "light showers of rain", "+TSRAGR" "heavy
// thunderstorm with rain and hail", "VCFG" "fog in the vicinity", "+FC"
// "tornado", "TS" "thunderstorm", "VCSH" "showers in the vicinity").
STRATUS_EXPORT std::string weatherWords(const WReport::Weather& group);

// A sky layer in words: the cover, then " at " and its height in feet with
// thousands grouped ("broken at 12,000 ft"), "vertical visibility 200 ft",
// the cloud type in brackets ("few at 3,000 ft (cumulonimbus)"); a cover
// without height alone ("clear").
STRATUS_EXPORT std::string layerWords(const WReport::Layer& layer);

// The point of a 16-point compass nearest `degrees` ("N", "NNE", ... "NNW";
// 360 is "N"); null for a direction outside 0-360 (W_VARIABLE_WIND
// included).
STRATUS_EXPORT const char* compassPoint(int degrees);

#endif  // STRATUS_HOST_REPORT_WORDS_H_
