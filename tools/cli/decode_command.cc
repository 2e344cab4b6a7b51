// `stratus decode`: reports given on the command line or standard input,
// decoded by the library without any network.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "text.h"

namespace stratus_cli {

int runDecode(Context& ctx, const std::string& report) {
  std::vector<std::string> reports;
  if (report.empty() || report == "-") {
    std::string line;
    while (std::getline(*ctx.in, line)) {
      line = trim(line);
      if (!line.empty()) reports.push_back(line);
    }
    if (reports.empty()) {
      ctx.status->error("no report on standard input");
      return kExitUsage;
    }
  } else {
    reports.push_back(trim(report));
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

void addDecodeCommand(CLI::App& app, Context& ctx) {
  auto words = std::make_shared<std::vector<std::string>>();
  CLI::App* sub = app.add_subcommand(
      "decode", "Decode raw observation reports (no network)");
  sub->add_option("report", *words,
                  "The report; none or - reads one per line from standard "
                  "input (put -- before a report with a group such as -RA)");
  sub->callback([&ctx, words] {
    ctx.action = [&ctx, words] { return runDecode(ctx, joinWords(*words)); };
  });
}

}  // namespace stratus_cli
