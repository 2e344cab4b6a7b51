// The gateway's pages for a person, beside the library's pages:
//
//   /               a search form with one field, a place as WPlaces reads
//                   it ("Des Moines, IA", a city id, a ZIP code, a station
//                   code, coordinates), sent to /place
//   /place?q=PLACE  the place's page: the place and its station's current
//                   observation, its zone's and county's active alerts,
//                   its zone forecast, a chart of the station's last 72
//                   hours and its office's latest discussion; with
//                   &units=metric in metric units
//
// An ambiguous place answers a page of its candidates as links, an unknown
// one 404 with the forms a place may take. The page is made from the same
// upstream answers as the library's pages, through the same cache: the
// state's active alerts, the office's latest zone forecast and discussion,
// and the station's newest observations (kObservations of them). Each part
// that cannot be had says why in its place, and the page, which holds the
// others, then carries Cache-Control: no-store; a whole page carries
// Cache-Control: public with the time its sources stay fresh, and Warning
// 110 when one of them is a stored copy.
#ifndef STRATUS_TOOLS_GATEWAY_PLACE_PAGE_H_
#define STRATUS_TOOLS_GATEWAY_PLACE_PAGE_H_

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "stratus/host/places.h"
#include "stratus/location/location_db.h"

#include "kept_parts.h"
#include "place_sources.h"
#include "server.h"
#include "upstream.h"

namespace stratus_gateway {

// Observations asked for a place's chart: the API's most, which covers 72
// hours of hourly reports even where 5-minute records come between them
// for part of the time.
constexpr int kPlaceObservations = 500;

class PlacePages {
 public:
  // `api` must outlive this object; `dataDir` is the folder of the
  // location data (cities.ldt, zips.tsv, stations.tsv).
  PlacePages(Api& api, const std::string& dataDir);

  // The page for `request` ("/" or "/place"). Thread-safe.
  stratus_server::Response serve(const stratus_server::Request& request);

  // Upstream answers read into records so far (each one parse).
  std::size_t answersRead() const;

 private:
  struct Resolved {
    WPlaces::Result result = WPlaces::NOT_FOUND;
    WPlace place;
    std::vector<WPlace> candidates;
    std::string why;
  };
  struct Part;

  Resolved resolve(const std::string& text);
  stratus_server::Response placePage(const std::string& query,
                                     const WPlace& place, bool metric,
                                     Clock::time_point deadline);
  // The page's answer: `body` with the caching headers of its parts.
  static stratus_server::Response withCaching(std::string body,
                                              const Part& page);
  Part observationsPart(const WPlace& place, bool metric,
                        Clock::time_point deadline);
  Part alertsPart(const WPlace& place, Clock::time_point deadline);
  // The office's latest product of `type` ("ZFP", "AFD") cut to the place.
  Part productPart(const WPlace& place, const char* type,
                   Clock::time_point deadline);

  Api& api_;
  std::mutex placesMutex_;  // WPlaces: one call at a time
  WLocationDB db_;
  WPlaces places_;
  std::map<std::string, Resolved> resolved_;  // by the text asked
  // A station's series holds up to kPlaceObservations decoded reports
  // (some 300 KiB): 16 stations are kept.
  KeptParts<ObservationSeries> observations_{16};
  KeptParts<std::vector<Alert>> alerts_{64};
  KeptParts<std::string> texts_{256};
};

// The router of the gateway: "/" and "/place" to the place pages, every
// other path to the library's pages.
class GatewaySource : public stratus_server::PageSource {
 public:
  GatewaySource(stratus_server::PageSource& libraryPages, PlacePages& places)
      : library_(libraryPages), places_(places) {}
  stratus_server::Response serve(
      const stratus_server::Request& request) override;
  // The library's page at once when it can be had so (see
  // ApiSource::answerNow); false for a place page.
  bool answerNow(const stratus_server::Request& request,
                 stratus_server::Response& response) override;

 private:
  stratus_server::PageSource& library_;
  PlacePages& places_;
};

// The value of the field `name` in a query string (form encoded: "+" is a
// blank, %XX a byte); "" when it is not there.
std::string formValue(const std::string& query, const std::string& name);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_PLACE_PAGE_H_
