// The place pages' frame and their short pages: the search form at the top
// of every page, the search page itself, the list of candidates for an
// ambiguous place, and the page for a place that is not known. `query` is
// the text asked, as the person typed it (escaped here).
#ifndef STRATUS_TOOLS_GATEWAY_SEARCH_PAGES_H_
#define STRATUS_TOOLS_GATEWAY_SEARCH_PAGES_H_

#include <string>
#include <vector>

#include "stratus/host/places.h"

namespace stratus_gateway {

// A whole document: the search form holding `query`, then `main` (HTML),
// then the footer naming the data's source.
std::string placeDocument(const std::string& title, const std::string& query,
                          const std::string& main);

// The search page: the form and nothing else.
std::string searchPage();

// The candidates of an ambiguous place, each a link to its page by city id.
std::string candidatesPage(const std::string& query,
                           const std::vector<WPlace>& candidates, bool metric);

// A place that is not known: `why` (from WPlaces) and the forms a place may
// take.
std::string unknownPlacePage(const std::string& query, const std::string& why);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_SEARCH_PAGES_H_
