// `stratus decode`: reports given on the command line or standard input,
// decoded by the library without any network.
#include <string>
#include <vector>

#include "commands.h"

namespace stratus_cli {

namespace {

std::string trimLine(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

}  // namespace

int runDecode(Context& ctx, const std::string& report, std::istream& in) {
  std::vector<std::string> reports;
  if (report.empty() || report == "-") {
    std::string line;
    while (std::getline(in, line)) {
      line = trimLine(line);
      if (!line.empty()) reports.push_back(line);
    }
    if (reports.empty()) {
      ctx.status->error("no report on standard input");
      return kExitUsage;
    }
  } else {
    reports.push_back(trimLine(report));
  }

  int status = kExitOk;
  nlohmann::json list = nlohmann::json::array();
  for (size_t i = 0; i < reports.size(); ++i) {
    WObservation observation{};
    decodeObservation(reports[i].c_str(), observation);
    Reading reading = readingOf(observation);
    if (reading.empty()) {
      ctx.status->error("nothing could be decoded from \"" + reports[i] + "\"");
      status = kExitDataError;
    }
    if (ctx.json) {
      nlohmann::json j = readingJson(reading, ctx.units);
      j["report"] = reports[i];
      j["decoded"] = !reading.empty();
      list.push_back(j);
      continue;
    }
    if (i > 0) *ctx.out << '\n';
    *ctx.out << "Report:      " << reports[i] << '\n';
    printReading(*ctx.out, reading, ctx.units);
  }
  if (ctx.json) *ctx.out << jsonText(nlohmann::json{{"reports", list}});
  return status;
}

}  // namespace stratus_cli
