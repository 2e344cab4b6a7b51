#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "command_steps.h"
#include "commands.h"
#include "text.h"

namespace stratus_cli {

namespace {

nlohmann::json stateJson(const WPlaceState& s) {
  return {{"id", s.id}, {"name", s.name}, {"short", s.shortName}};
}

int listStates(Context& ctx, WPlaces& places) {
  std::vector<WPlaceState> states;
  if (places.states(states) != WPlaces::FOUND) return noData(ctx);
  if (ctx.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const WPlaceState& s : states) list.push_back(stateJson(s));
    *ctx.out << jsonText(nlohmann::json{{"states", list}});
    return kExitOk;
  }
  std::vector<std::vector<std::string>> rows{{"ID", "ST", "NAME"}};
  for (const WPlaceState& s : states)
    rows.push_back({std::to_string(s.id), s.shortName, s.name});
  printTable(*ctx.out, rows);
  return kExitOk;
}

}  // namespace

int runPlaces(Context& ctx, const std::string& text, const std::string& st) {
  LocationData data(ctx);
  if (int rc = data.check(ctx)) return rc;
  WPlaces places(WLocationDB::getLocationDB(), ctx.dataDir);
  if (text.empty() && st.empty()) return listStates(ctx, places);

  WPlaceState state;
  if (!st.empty()) {
    WPlaces::Result r = places.findState(st, state);
    if (r == WPlaces::UNREADABLE) return noData(ctx);
    if (r != WPlaces::FOUND) {
      ctx.status->error("no state \"" + st +
                        "\" (`stratus places` lists the states)");
      return kExitNotFound;
    }
  }
  std::vector<WPlace> cities;
  WPlaces::Result r =
      text.empty() ? places.citiesOf(state, cities)
                   : places.search(text, st.empty() ? nullptr : &state, cities);
  if (r != WPlaces::FOUND) return noData(ctx);

  if (ctx.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const WPlace& c : cities) list.push_back(placeJson(c));
    nlohmann::json j{
        {"state", st.empty() ? nlohmann::json(nullptr) : stateJson(state)},
        {"query",
         text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text)},
        {"cities", list}};
    *ctx.out << jsonText(j);
  } else if (!cities.empty()) {
    std::vector<std::vector<std::string>> rows{
        {"ID", "NAME", "ST", "ZONE", "CODE"}};
    for (const WPlace& c : cities)
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
