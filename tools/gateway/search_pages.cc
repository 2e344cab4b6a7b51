#include "search_pages.h"

#include "html.h"

namespace stratus_gateway {
namespace {

std::string searchForm(const std::string& query) {
  return "<header>\n<form action=\"/place\" method=\"get\" "
         "role=\"search\">\n<label for=\"q\">Place</label>\n<input "
         "type=\"text\" id=\"q\" name=\"q\" value=\"" +
         htmlEscape(query) +
         "\" placeholder=\"Des Moines, IA\" autocomplete=\"off\">\n"
         "<button type=\"submit\">Show weather</button>\n</form>\n"
         "</header>\n";
}

const char kForms[] =
    "<ul>\n<li>a city and its state: <code>Des Moines, IA</code> or "
    "<code>Des Moines, Iowa</code></li>\n<li>a city alone when one state has "
    "it</li>\n<li>a city id: <code>1921000</code></li>\n"
    "<li>a ZIP code: <code>50309</code></li>\n<li>a station code: "
    "<code>KDSM</code></li>\n<li>coordinates in decimal degrees: "
    "<code>41.59,-93.62</code></li>\n</ul>\n";

}  // namespace

std::string placeDocument(const std::string& title, const std::string& query,
                          const std::string& main) {
  return htmlDocument(
      title, searchForm(query) + "<main>\n" + main +
                 "</main>\n<footer>\n<p>Weather from the US National Weather "
                 "Service's public API, read by stratus.</p>\n</footer>\n");
}

std::string searchPage() {
  return placeDocument("stratus: weather for a place", "",
                       "<h1>Weather for a place</h1>\n");
}

std::string candidatesPage(const std::string& query,
                           const std::vector<WPlace>& candidates, bool metric) {
  std::string list = "<ul>\n";
  for (const WPlace& c : candidates)
    list += "<li><a href=\"/place?q=" + std::to_string(c.id) +
            (metric ? "&amp;units=metric" : "") + "\">" + htmlEscape(c.name) +
            ", " + htmlEscape(c.stateName) + "</a></li>\n";
  return placeDocument(query + ": which place?", query,
                       "<h1>Which place?</h1>\n<section>\n<p>&ldquo;" +
                           htmlEscape(query) + "&rdquo; fits " +
                           std::to_string(candidates.size()) +
                           " places:</p>\n" + list + "</ul>\n</section>\n");
}

std::string unknownPlacePage(const std::string& query, const std::string& why) {
  return placeDocument(
      "Place not found", query,
      "<h1>Place not found</h1>\n<section>\n<p>" +
          htmlEscape(why.empty() ? "No place is named \"" + query + "\"."
                                 : why) +
          "</p>\n<p>A place may be written as</p>\n" + kForms + "</section>\n");
}

}  // namespace stratus_gateway
