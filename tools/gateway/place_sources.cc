#include "place_sources.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "pages.h"

namespace stratus_gateway {
namespace {

using json = nlohmann::json;

// The string at `key` of an object; "" when it is missing or not a string.
std::string text(const json& object, const char* key) {
  if (!object.is_object()) return "";
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : "";
}

json propertiesOf(const json& feature) {
  return feature.is_object() ? feature.value("properties", json()) : json();
}

// The features of a GeoJSON collection, or null when there are none.
const json* featuresOf(const json& doc) {
  if (!doc.is_object()) return nullptr;
  auto it = doc.find("features");
  return it != doc.end() && it->is_array() ? &*it : nullptr;
}

std::string oneLine(std::string s) {
  std::replace(s.begin(), s.end(), '\n', ' ');
  std::replace(s.begin(), s.end(), '\r', ' ');
  return s;
}

Severity severityOf(const std::string& name) {
  if (name == "Extreme") return Severity::kExtreme;
  if (name == "Severe") return Severity::kSevere;
  if (name == "Moderate") return Severity::kModerate;
  if (name == "Minor") return Severity::kMinor;
  return Severity::kUnknown;
}

long long firstTime(const json& props, const char* a, const char* b) {
  long long t = parseIsoTime(text(props, a));
  return t >= 0 ? t : parseIsoTime(text(props, b));
}

std::vector<std::string> codesOf(const json& props) {
  std::vector<std::string> codes;
  if (!props.is_object()) return codes;
  const json geocode = props.value("geocode", json());
  if (!geocode.is_object() || !geocode.value("UGC", json()).is_array())
    return codes;
  for (const json& code : geocode["UGC"])
    if (code.is_string()) codes.push_back(code.get<std::string>());
  return codes;
}

}  // namespace

bool readObservations(const std::string& body, ObservationSeries& out,
                      std::string& why) {
  json doc = json::parse(body, nullptr, false);
  const json* features = featuresOf(doc);
  if (features == nullptr) {
    why = "no list of observations";
    return false;
  }
  ObservationSeries series;
  for (const json& feature : *features) {
    const json props = propertiesOf(feature);
    Observation o;
    o.raw = oneLine(text(props, "rawMessage"));
    o.time = parseIsoTime(text(props, "timestamp"));
    if (o.time < 0 || o.raw.find_first_not_of(' ') == std::string::npos)
      continue;
    decodeReport(LString(o.raw.c_str()), o.report);
    if (!o.report.decoded) continue;
    if (series.stationName.empty())
      series.stationName = oneLine(text(props, "stationName"));
    series.items.push_back(std::move(o));
  }
  std::stable_sort(series.items.begin(), series.items.end(),
                   [](const Observation& a, const Observation& b) {
                     return a.time > b.time;
                   });
  series.items.erase(
      std::unique(series.items.begin(), series.items.end(),
                  [](const Observation& a, const Observation& b) {
                    return a.time == b.time;
                  }),
      series.items.end());
  out = std::move(series);
  return true;
}

bool readAlerts(const std::string& body, std::vector<Alert>& out,
                std::string& why) {
  json doc = json::parse(body, nullptr, false);
  const json* features = featuresOf(doc);
  if (features == nullptr) {
    why = "no list of alerts";
    return false;
  }
  std::vector<Alert> alerts;
  for (const json& feature : *features) {
    const json props = propertiesOf(feature);
    Alert a;
    a.event = oneLine(text(props, "event"));
    a.headline = oneLine(text(props, "headline"));
    a.areas = oneLine(text(props, "areaDesc"));
    a.description = text(props, "description");
    a.instruction = text(props, "instruction");
    a.severity = severityOf(text(props, "severity"));
    a.from = firstTime(props, "onset", "effective");
    a.until = firstTime(props, "ends", "expires");
    a.codes = codesOf(props);
    alerts.push_back(std::move(a));
  }
  out = std::move(alerts);
  return true;
}

std::vector<Alert> alertsFor(const std::vector<Alert>& all,
                             const std::string& zone,
                             const std::string& county) {
  std::vector<Alert> mine;
  for (const Alert& a : all) {
    bool covers = std::any_of(a.codes.begin(), a.codes.end(),
                              [&](const std::string& code) {
                                return (!zone.empty() && code == zone) ||
                                       (!county.empty() && code == county);
                              });
    if (covers) mine.push_back(a);
  }
  // An alert without an end sorts after those that end.
  auto endOf = [](const Alert& a) {
    return a.until < 0 ? (1LL << 62) : a.until;
  };
  std::stable_sort(mine.begin(), mine.end(),
                   [&](const Alert& a, const Alert& b) {
                     if (a.severity != b.severity)
                       return a.severity < b.severity;
                     return endOf(a) < endOf(b);
                   });
  return mine;
}

bool readProductText(const std::string& body, std::string& productText,
                     std::string& why) {
  json doc = json::parse(body, nullptr, false);
  if (!doc.is_object()) {
    why = "a product that is not a JSON object";
    return false;
  }
  productText = text(doc, "productText");
  return true;
}

}  // namespace stratus_gateway
