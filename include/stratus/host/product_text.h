// The text of a product as a host shows it: the lines a product getter of
// WReader gives; the sections of a product's own text that concern a place,
// for hosts that hold the text rather than a page (the weather service's
// API hands a product's text whole); and the periods of a zone forecast.
#ifndef STRATUS_HOST_PRODUCT_TEXT_H_
#define STRATUS_HOST_PRODUCT_TEXT_H_

#include <string>
#include <vector>

#include "stratus/export.h"
#include "stratus/foundation/string.h"
#include "stratus/host/places.h"
#include "stratus/reader/reader.h"

// The getters end every line with "\r\n" and put one blank before every
// line but the first (the joint between collected lines). This gives the
// lines back as the page had them: each ends with "\n" (the last one too,
// when there is text), no joint blank, no carriage return. Other bytes,
// valid UTF-8 or not, pass unchanged. Takes time linear in the text.
STRATUS_EXPORT std::string productLines(const LString& text);

// The sections of a product's plain text `text` (a bulletin as issued, LF
// or CR LF line ends, markup characters taken as text) that concern
// `place`, cut by the bulletins' UGC groups and headings exactly as
// WReader's UgcRule cuts a product page (reader.h): `product` is the row of
// WReader::PRODUCTS the text is a product of (zone or city product, first
// section only or all).
//   L_OK        `out` holds the sections' lines trimmed, each ending in "\n"
//   L_INPUT     nothing in the text concerns the place; `out` empty
//   L_RANGE     the sections reached the getters' 4 MiB limit: `out` holds
//               the whole lines that fit
//   L_NOTFOUND  the place has no zone and no county (nor, for a city
//               product, an office); `out` untouched
// Takes time linear in the text. Throws LEx(L_MEM) when memory runs out.
STRATUS_EXPORT int placeSections(const std::string& text, const WPlace& place,
                                 const WProductInfo& product, std::string& out);

// One period of a zone forecast: ".TONIGHT...Snow ending this evening."
// is the period "TONIGHT" with the text "Snow ending this evening.".
struct STRATUS_EXPORT WForecastPeriod {
  std::string name;
  std::string text;
};

// The periods of a zone forecast section (lines as placeSections gives
// them), in order. A period opens at a line of the form
//   "." NAME "..." TEXT      NAME: capitals, digits, blanks, "/" and "-"
// and runs over the lines after it, joined by one blank, up to the next
// period, a blank line or the end. Lines before the first period (the zone
// names, the cities, the issue time) and after a blank line belong to no
// period. Empty when the section has none.
STRATUS_EXPORT std::vector<WForecastPeriod> forecastPeriods(
    const std::string& section);

#endif  // STRATUS_HOST_PRODUCT_TEXT_H_
