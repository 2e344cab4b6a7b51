#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "command_steps.h"
#include "commands.h"
#include "place_finder.h"
#include "text.h"

namespace stratus_cli {

namespace {

nlohmann::json stateJson(const StateRow& s) {
  return {{"id", s.id}, {"name", s.name}, {"short", s.shortName}};
}

int listStates(Context& ctx, PlaceFinder& finder) {
  std::vector<StateRow> states;
  if (finder.states(states) != PlaceFinder::Result::kFound) return noData(ctx);
  if (ctx.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const StateRow& s : states) list.push_back(stateJson(s));
    *ctx.out << jsonText(nlohmann::json{{"states", list}});
    return kExitOk;
  }
  std::vector<std::vector<std::string>> rows{{"ID", "ST", "NAME"}};
  for (const StateRow& s : states)
    rows.push_back({std::to_string(s.id), s.shortName, s.name});
  printTable(*ctx.out, rows);
  return kExitOk;
}

}  // namespace

int runPlaces(Context& ctx, const std::string& text, const std::string& st) {
  LocationData data(ctx);
  if (int rc = data.check(ctx)) return rc;
  PlaceFinder finder(ctx.dataDir);
  if (text.empty() && st.empty()) return listStates(ctx, finder);

  StateRow state;
  if (!st.empty()) {
    PlaceFinder::Result r = finder.findState(st, state);
    if (r == PlaceFinder::Result::kNoData) return noData(ctx);
    if (r != PlaceFinder::Result::kFound) {
      ctx.status->error("no state \"" + st +
                        "\" (`stratus places` lists the states)");
      return kExitNotFound;
    }
  }
  std::vector<CityRow> cities;
  PlaceFinder::Result r =
      text.empty() ? finder.citiesOf(state, cities)
                   : finder.search(text, st.empty() ? nullptr : &state, cities);
  if (r != PlaceFinder::Result::kFound) return noData(ctx);

  if (ctx.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const CityRow& c : cities) list.push_back(c.json());
    nlohmann::json j{
        {"state", st.empty() ? nlohmann::json(nullptr) : stateJson(state)},
        {"query",
         text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text)},
        {"cities", list}};
    *ctx.out << jsonText(j);
  } else if (!cities.empty()) {
    std::vector<std::vector<std::string>> rows{
        {"ID", "NAME", "ST", "ZONE", "CODE"}};
    for (const CityRow& c : cities)
      rows.push_back({std::to_string(c.id), c.name, c.state, c.zone, c.code});
    printTable(*ctx.out, rows);
  }
  if (cities.empty() && !text.empty()) {
    ctx.status->error("no city name contains \"" + text + "\"" +
                      (st.empty() ? std::string() : " in " + state.name));
    return kExitNotFound;
  }
  return kExitOk;
}

void addPlacesCommand(CLI::App& app, Context& ctx) {
  struct Options {
    std::string text, state;
  };
  auto opts = std::make_shared<Options>();
  CLI::App* sub = app.add_subcommand(
      "places", "List states, the cities of a state, or cities by name");
  sub->add_option("text", opts->text, "Part of a city name, any case");
  sub->add_option("--state", opts->state, "A state's short or full name");
  sub->callback([&ctx, opts] {
    ctx.action = [&ctx, opts] {
      return runPlaces(ctx, opts->text, opts->state);
    };
  });
}

}  // namespace stratus_cli
