#include "place_page.h"

#include <algorithm>
#include <ctime>
#include <future>

#include "stratus/foundation/result.h"
#include "stratus/host/product_text.h"

#include "html.h"
#include "pages.h"
#include "place_parts.h"
#include "search_pages.h"

namespace stratus_gateway {

using stratus_server::Response;

namespace {

const char kGeoJson[] = "application/geo+json";
const char kLdJson[] = "application/ld+json";
constexpr long kDay = 24 * 3600;
// A station whose newest coded report is older than this has no current
// observation (as its station page has none).
constexpr long long kReportHours = 3;
// Place texts remembered with the place they name, or that they name none
// (an ambiguous text, with its list of candidates, is resolved anew).
constexpr std::size_t kResolvedKept = 1024;
// The longest place text read.
constexpr std::size_t kMaxQuery = 200;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string formDecode(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 &&
               hexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

Response htmlAnswer(int status, std::string body, long maxAge) {
  Response res;
  res.status = status;
  res.body = std::move(body);
  res.headers.emplace_back("Cache-Control",
                           "public, max-age=" + std::to_string(maxAge));
  return res;
}

std::string failureText(const Fetched& f) {
  switch (f.kind) {
    case Fetched::Kind::kNotFound:
      return "the weather service has no such data";
    case Fetched::Kind::kRateLimited:
      return "the weather service asks us to slow down (" + f.detail + ")";
    case Fetched::Kind::kTimeout:
      return "the weather service did not answer in time";
    default:
      return "the weather service's answer could not be used (" + f.detail +
             ")";
  }
}

// The state's active alerts, as its alert pages ask for them.
std::string alertsPath(const WPlace& place) {
  std::string state = place.state;
  for (char& c : state)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return "/alerts/active?status=actual&area=" + state;
}

}  // namespace

// One part of a place's page: its sections, and how long its sources stay
// fresh.
struct PlacePages::Part {
  std::string html;
  std::string chart;        // observations only: the chart's section
  std::string stationName;  // observations only
  long fresh = kDay;
  bool stale = false;
  bool missing = false;  // the part says it cannot be had

  void add(const Fetched& f) {
    fresh = std::min(fresh, f.stale ? 0 : f.freshSeconds);
    stale = stale || f.stale;
  }
  static Part lacking(const char* id, const char* heading,
                      const std::string& why) {
    Part p;
    p.html = missingPart(id, heading, why);
    p.missing = true;
    return p;
  }
};

std::string formValue(const std::string& query, const std::string& name) {
  for (std::size_t at = 0; at <= query.size();) {
    std::size_t end = query.find('&', at);
    if (end == std::string::npos) end = query.size();
    std::string field = query.substr(at, end - at);
    std::size_t eq = field.find('=');
    if (formDecode(field.substr(0, eq)) == name)
      return eq == std::string::npos ? "" : formDecode(field.substr(eq + 1));
    at = end + 1;
  }
  return "";
}

Response GatewaySource::serve(const stratus_server::Request& request) {
  if (request.path == "/" || request.path == "/place")
    return places_.serve(request);
  return library_.serve(request);
}

bool GatewaySource::answerNow(const stratus_server::Request& request,
                              Response& response) {
  // A place page is made anew for each request.
  if (request.path == "/" || request.path == "/place") return false;
  return library_.answerNow(request, response);
}

PlacePages::PlacePages(Api& api, const std::string& dataDir)
    : api_(api), db_(LString(dataDir.c_str())), places_(db_, dataDir) {}

std::size_t PlacePages::answersRead() const {
  return observations_.reads() + alerts_.reads() + texts_.reads();
}

PlacePages::Resolved PlacePages::resolve(const std::string& text) {
  std::lock_guard<std::mutex> lock(placesMutex_);
  auto it = resolved_.find(text);
  if (it != resolved_.end()) return it->second;
  Resolved r;
  try {
    r.result = places_.resolve(text, r.place, r.candidates, r.why);
  } catch (const LEx&) {
    r.result = WPlaces::UNREADABLE;
  }
  if (r.result != WPlaces::FOUND && r.result != WPlaces::NOT_FOUND) return r;
  if (resolved_.size() >= kResolvedKept) resolved_.clear();
  resolved_[text] = r;
  return r;
}

Response PlacePages::serve(const stratus_server::Request& request) {
  const Clock::time_point deadline =
      Clock::now() + std::chrono::seconds(api_.options().answerSeconds);
  std::string query = formValue(request.query, "q");
  const bool metric = formValue(request.query, "units") == "metric";
  query.erase(0, query.find_first_not_of(" \t"));
  query.erase(query.find_last_not_of(" \t") + 1);
  if (query.empty()) return htmlAnswer(200, searchPage(), kDay);
  if (query.size() > kMaxQuery)
    return htmlAnswer(
        404, unknownPlacePage("", "That is too long for a place."), kDay);
  Resolved r = resolve(query);
  switch (r.result) {
    case WPlaces::FOUND:
      try {
        return placePage(query, r.place, metric, deadline);
      } catch (const std::exception&) {
        return Response::error(502, "The page could not be made.");
      } catch (const LEx&) {
        return Response::error(502, "The page could not be made.");
      }
    case WPlaces::AMBIGUOUS:
      return htmlAnswer(200, candidatesPage(query, r.candidates, metric), kDay);
    case WPlaces::NOT_FOUND:
      return htmlAnswer(404, unknownPlacePage(query, r.why), kDay);
    default:
      return Response::error(500, "The location data cannot be read.");
  }
}

Response PlacePages::placePage(const std::string& query, const WPlace& place,
                               bool metric, Clock::time_point deadline) {
  // The parts whose answers are not cached are asked at the same time.
  auto launch = [this](const std::string& path) {
    Fetched unused;
    return api_.getFresh(path, unused) ? std::launch::deferred
                                       : std::launch::async;
  };
  const std::string office = place.office;
  auto alerts = std::async(launch(alertsPath(place)),
                           [&] { return alertsPart(place, deadline); });
  auto forecast =
      std::async(launch("/products/types/ZFP/locations/" + office),
                 [&] { return productPart(place, "ZFP", deadline); });
  auto discussion =
      std::async(launch("/products/types/AFD/locations/" + office),
                 [&] { return productPart(place, "AFD", deadline); });
  Part observations = observationsPart(place, metric, deadline);
  Part parts[] = {alerts.get(), forecast.get(), discussion.get()};

  Part page = observations;
  page.html = placeHeading(place, observations.stationName) + observations.html;
  for (Part& p : parts) {
    // The chart goes after the forecast.
    if (&p == &parts[2]) page.html += observations.chart;
    page.html += p.html;
    page.fresh = std::min(page.fresh, p.fresh);
    page.stale = page.stale || p.stale;
    page.missing = page.missing || p.missing;
  }
  std::string units =
      metric ? "<a href=\"/place?q=" + queryEscape(query) + "\">US units</a>"
             : "<a href=\"/place?q=" + queryEscape(query) +
                   "&amp;units=metric\">Metric units</a>";
  page.html += "<p class=\"note\">" + units + "</p>\n";
  return withCaching(
      placeDocument(place.label() + ": weather", query, page.html), page);
}

Response PlacePages::withCaching(std::string body, const Part& page) {
  Response res;
  res.body = std::move(body);
  // A page with a part missing is this moment's only.
  res.headers.emplace_back(
      "Cache-Control", page.missing
                           ? "no-store"
                           : "public, max-age=" + std::to_string(page.fresh));
  if (page.stale)
    res.headers.emplace_back("Warning",
                             "110 stratus-gateway \"Response is Stale\"");
  return res;
}

PlacePages::Part PlacePages::observationsPart(const WPlace& place, bool metric,
                                              Clock::time_point deadline) {
  const char* heading = "Current conditions";
  if (place.code.empty())
    return Part::lacking("now", heading, "This place has no station.");
  Fetched f = api_.get("/stations/" + place.code + "/observations?limit=" +
                           std::to_string(kPlaceObservations),
                       kGeoJson, deadline);
  if (f.kind != Fetched::Kind::kOk)
    return Part::lacking("now", heading,
                         "No observations of station " + place.code + ": " +
                             failureText(f) + ".");
  std::string why;
  auto series = observations_.get(
      "/stations/" + place.code, f,
      [&]() -> std::shared_ptr<ObservationSeries> {
        auto s = std::make_shared<ObservationSeries>();
        return readObservations(*f.body, *s, why) ? s : nullptr;
      });
  if (series == nullptr)
    return Part::lacking("now", heading,
                         "No observations of station " + place.code +
                             ": the weather service's answer could not be "
                             "used (" +
                             why + ").");
  Part part;
  part.add(f);
  part.stationName = series->stationName;
  const long long now = static_cast<long long>(std::time(nullptr));
  if (series->items.empty() ||
      series->items.front().time < now - kReportHours * 3600) {
    part.html = missingPart("now", heading,
                            "Station " + place.code +
                                " has no coded report from the last " +
                                std::to_string(kReportHours) + " hours.");
    part.missing = true;
  } else {
    part.html = conditionsPart(place, series->items.front(), now, metric);
  }
  part.chart = chartPart(place, *series, metric);
  return part;
}

PlacePages::Part PlacePages::alertsPart(const WPlace& place,
                                        Clock::time_point deadline) {
  const char* heading = "Alerts";
  Fetched f = api_.get(alertsPath(place), kGeoJson, deadline);
  if (f.kind != Fetched::Kind::kOk)
    return Part::lacking("alerts", heading,
                         "Alerts cannot be shown: " + failureText(f) + ".");
  std::string why;
  auto all = alerts_.get(alertsPath(place), f,
                         [&]() -> std::shared_ptr<std::vector<Alert>> {
                           auto a = std::make_shared<std::vector<Alert>>();
                           return readAlerts(*f.body, *a, why) ? a : nullptr;
                         });
  if (all == nullptr)
    return Part::lacking("alerts", heading,
                         "Alerts cannot be shown: the weather service's "
                         "answer could not be used (" +
                             why + ").");
  Part part;
  part.add(f);
  part.html = stratus_gateway::alertsPart(
      place, alertsFor(*all, place.zone, place.county));
  return part;
}

PlacePages::Part PlacePages::productPart(const WPlace& place, const char* type,
                                         Clock::time_point deadline) {
  const bool zone = std::string(type) == "ZFP";
  const char* id = zone ? "forecast" : "discussion";
  const char* heading = zone ? "Forecast" : "Forecast discussion";
  if (place.office.empty())
    return Part::lacking(id, heading, "This place has no forecast office.");
  Part part;
  Fetched list = api_.get(
      std::string("/products/types/") + type + "/locations/" + place.office,
      kLdJson, deadline);
  if (list.kind != Fetched::Kind::kOk)
    return Part::lacking(id, heading, failureText(list) + ".");
  part.add(list);
  std::string productId, why;
  if (!latestProductId(*list.body, productId, why))
    return Part::lacking(id, heading, "Unusable answer: " + why + ".");
  if (productId.empty())
    return Part::lacking(id, heading,
                         "Office " + place.office + " has no current one.");
  const std::string path = "/products/" + productId;
  Fetched product = api_.get(path, kLdJson, deadline);
  if (product.kind != Fetched::Kind::kOk)
    return Part::lacking(id, heading, failureText(product) + ".");
  part.add(product);
  auto text = texts_.get(path, product, [&]() -> std::shared_ptr<std::string> {
    auto t = std::make_shared<std::string>();
    return readProductText(*product.body, *t, why) ? t : nullptr;
  });
  if (text == nullptr)
    return Part::lacking(id, heading, "Unusable answer: " + why + ".");
  std::string lines;
  const WProductInfo& row = WReader::PRODUCTS[zone ? 1 : 2];
  if (placeSections(*text, place, row, lines) == L_INPUT || lines.empty())
    return Part::lacking(id, heading,
                         std::string("The office's latest ") +
                             (zone ? "zone forecast" : "discussion") +
                             " holds nothing for this place.");
  part.html = zone ? forecastPart(lines) : discussionPart(place, lines);
  return part;
}

}  // namespace stratus_gateway
