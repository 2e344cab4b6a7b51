#include <algorithm>
#include <string>
#include <vector>

#include "commands.h"
#include "place_finder.h"
#include "session.h"

namespace stratus_cli {

namespace {

// Display width of UTF-8 text: one column per character.
size_t columns(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// Writes rows as columns separated by two blanks, each as wide as its
// widest cell; the last column is not padded.
void printTable(std::ostream& out,
                const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> width;
  for (const auto& row : rows) {
    width.resize(std::max(width.size(), row.size()));
    for (size_t i = 0; i < row.size(); ++i)
      width[i] = std::max(width[i], columns(row[i]));
  }
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size())
        line += std::string(width[i] - columns(row[i]) + 2, ' ');
    }
    out << line << '\n';
  }
}

nlohmann::json stateJson(const StateRow& s) {
  return {{"id", s.id}, {"name", s.name}, {"short", s.short_}};
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
    rows.push_back({std::to_string(s.id), s.short_, s.name});
  printTable(*ctx.out, rows);
  return kExitOk;
}

}  // namespace

int runPlaces(Context& ctx, const std::string& text, const std::string& st) {
  LocationData data(ctx);
  if (int rc = data.check(ctx)) return rc;
  PlaceFinder finder;
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

}  // namespace stratus_cli
