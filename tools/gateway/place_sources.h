// What a place's page takes from the weather service's API answers, read
// apart from any fetching: a station's observations decoded by the
// library from their coded reports, a state's active alerts, a product's
// text. Each reader takes the answer's body as the API sent it, never
// throws for what is in it, and writes its out-argument only on success.
#ifndef STRATUS_TOOLS_GATEWAY_PLACE_SOURCES_H_
#define STRATUS_TOOLS_GATEWAY_PLACE_SOURCES_H_

#include <string>
#include <vector>

#include "stratus/observation/report.h"

namespace stratus_gateway {

// One observation with a coded report, read completely by decodeReport.
struct Observation {
  long long time = 0;  // the record's timestamp, seconds since the epoch
  std::string raw;     // the coded report, on one line
  WReport report;      // report.decoded is true
};

struct ObservationSeries {
  std::string stationName;         // "" when the answer names none
  std::vector<Observation> items;  // newest first, one per moment
};

// The observations of an observations answer whose coded report decodes
// (records without one, the 5-minute ones, are left out), newest first; a
// record whose timestamp is not a time is left out. False, with the reason
// in `why`, when `body` is not a JSON object with a list of features.
bool readObservations(const std::string& body, ObservationSeries& out,
                      std::string& why);

// Alert severities, most severe first, as the API names them.
enum class Severity { kExtreme, kSevere, kModerate, kMinor, kUnknown };

struct Alert {
  std::string event, headline, areas, description, instruction;
  Severity severity = Severity::kUnknown;
  long long from = -1;   // onset, else effective; -1 when neither is a time
  long long until = -1;  // ends, else expires; -1 when neither
  std::vector<std::string> codes;  // its UGC codes ("IAZ060", "IAC153")
};

// Every alert of an active alerts answer, in the answer's order. False,
// with the reason in `why`, when `body` is not a JSON object with a list
// of features.
bool readAlerts(const std::string& body, std::vector<Alert>& out,
                std::string& why);

// The alerts of `all` whose codes list `zone` or `county` (either may be
// ""), most severe first, then soonest ending, then in their order.
std::vector<Alert> alertsFor(const std::vector<Alert>& all,
                             const std::string& zone,
                             const std::string& county);

// The "productText" of a product answer ("" when it has none). False, with
// the reason in `why`, when `body` is not a JSON object.
bool readProductText(const std::string& body, std::string& text,
                     std::string& why);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_PLACE_SOURCES_H_
