#include "place_finder.h"

#include <cerrno>
#include <cstdlib>

#include "text.h"

namespace stratus_cli {

namespace {

// Every state and city of the data set belongs to this country.
constexpr unsigned kUnitedStates = 1;

std::string dataToken(const WCity& city, const char* key) {
  LString value;
  return city.getDataToken(key, value) == L_OK ? value.str() : "";
}

CityRow rowOf(const WCity& city, const std::string& state) {
  CityRow row;
  row.id = city.getId();
  row.stateId = city.getStateId();
  row.name = city.getName().str();
  row.state = state;
  row.zone = dataToken(city, "azone");
  row.code = dataToken(city, "acode");
  return row;
}

// A city id: decimal digits only, fitting 32 bits.
bool parseId(const std::string& text, unsigned& id) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
  if (v > 0xFFFFFFFFull) return false;
  id = static_cast<unsigned>(v);
  return true;
}

}  // namespace

std::string CityRow::label() const { return name + ", " + upperAscii(state); }

nlohmann::json CityRow::json() const {
  return {{"id", id},
          {"name", name},
          {"state", state},
          {"zone", zone},
          {"code", code}};
}

PlaceFinder::Result PlaceFinder::states(std::vector<StateRow>& out) {
  LVector<WState> list;
  if (WLocationDB::getLocationDB().getStateList(kUnitedStates, list) != 0)
    return Result::kNoData;
  out.clear();
  for (unsigned i = 0; i < list.getSize(); ++i) {
    out.push_back(
        {list[i].getId(), list[i].getName().str(), list[i].getData().str()});
  }
  return Result::kFound;
}

PlaceFinder::Result PlaceFinder::findState(const std::string& text,
                                           StateRow& out) {
  std::vector<StateRow> all;
  Result r = states(all);
  if (r != Result::kFound) return r;
  std::string wanted = lowerAscii(trim(text));
  for (const StateRow& s : all) {
    if (lowerAscii(s.shortName) == wanted || lowerAscii(s.name) == wanted) {
      out = s;
      return Result::kFound;
    }
  }
  return Result::kNotFound;
}

PlaceFinder::Result PlaceFinder::citiesOf(const StateRow& state,
                                          std::vector<CityRow>& out) {
  WLocationDB& db = WLocationDB::getLocationDB();
  out.clear();
  if (db.initCityIterator(kUnitedStates, state.id) != 0) {
    db.closeCityIterator();
    return Result::kNoData;
  }
  WCity city;
  while (db.getNextCity(city) == 0) out.push_back(rowOf(city, state.shortName));
  db.closeCityIterator();
  return Result::kFound;
}

PlaceFinder::Result PlaceFinder::search(const std::string& text,
                                        const StateRow* state,
                                        std::vector<CityRow>& out) {
  std::vector<StateRow> scope;
  if (state != nullptr) {
    scope.push_back(*state);
  } else if (states(scope) != Result::kFound) {
    return Result::kNoData;
  }
  std::string wanted = lowerAscii(text);
  out.clear();
  for (const StateRow& s : scope) {
    std::vector<CityRow> cities;
    if (citiesOf(s, cities) != Result::kFound) return Result::kNoData;
    for (CityRow& c : cities) {
      if (lowerAscii(c.name).find(wanted) != std::string::npos)
        out.push_back(std::move(c));
    }
  }
  return Result::kFound;
}

PlaceFinder::Result PlaceFinder::byName(const std::string& name,
                                        const StateRow* state,
                                        std::vector<CityRow>& matches) {
  std::vector<CityRow> found;
  if (search(name, state, found) != Result::kFound) return Result::kNoData;
  // An exact name wins; otherwise the data set's disambiguated forms,
  // "Name (kind)" and "Name (kind, County)", stand for the bare name.
  std::string wanted = lowerAscii(name);
  std::string qualified = wanted + " (";
  matches.clear();
  for (const CityRow& c : found) {
    if (lowerAscii(c.name) == wanted) matches.push_back(c);
  }
  if (matches.empty()) {
    for (const CityRow& c : found) {
      if (lowerAscii(c.name).compare(0, qualified.size(), qualified) == 0)
        matches.push_back(c);
    }
  }
  if (matches.empty()) return Result::kNotFound;
  return matches.size() == 1 ? Result::kFound : Result::kAmbiguous;
}

PlaceFinder::Result PlaceFinder::locate(const CityRow& city,
                                        WLocation& location) {
  if (WLocationDB::getLocationDB().makeUSLocation(city.stateId, city.id,
                                                  location) != 0)
    return Result::kNoData;
  return Result::kFound;
}

PlaceFinder::Result PlaceFinder::resolve(const std::string& place,
                                         WLocation& location, CityRow& city,
                                         std::vector<CityRow>& candidates,
                                         std::string& why) {
  std::string text = trim(place);
  candidates.clear();
  unsigned id;
  if (parseId(text, id)) {
    WLocationDB& db = WLocationDB::getLocationDB();
    WCity record;
    WState state;
    if (db.getCity(id, record) != 0) {
      why = "no city with id " + text;
      return Result::kNotFound;
    }
    if (db.getState(record.getStateId(), state) != 0) {
      why = "city " + text + " names state " +
            std::to_string(record.getStateId()) + ", which is not in the data";
      return Result::kNotFound;
    }
    city = rowOf(record, state.getData().str());
    return locate(city, location);
  }

  size_t comma = text.find_last_of(',');
  StateRow state;
  const StateRow* scope = nullptr;
  std::string name = text;
  if (comma != std::string::npos) {
    name = trim(text.substr(0, comma));
    std::string st = trim(text.substr(comma + 1));
    Result r = findState(st, state);
    if (r == Result::kNoData) return r;
    if (r != Result::kFound) {
      why = "no state \"" + st + "\" (use a short name such as MA, or a " +
            "full name; `stratus places` lists them)";
      return Result::kNotFound;
    }
    scope = &state;
  }
  if (name.empty()) {
    why = "no city name in \"" + text + "\"";
    return Result::kNotFound;
  }
  Result r = byName(name, scope, candidates);
  size_t blank = name.find_last_of(' ');
  if (r == Result::kNotFound && scope == nullptr &&
      blank != std::string::npos &&
      findState(name.substr(blank + 1), state) == Result::kFound) {
    // "Boston MA": the last word names a state.
    scope = &state;
    name = trim(name.substr(0, blank));
    r = byName(name, scope, candidates);
  }
  if (r == Result::kFound) {
    city = candidates.front();
    candidates.clear();
    return locate(city, location);
  }
  if (r == Result::kNotFound) {
    why = "no city named \"" + name + "\"" +
          (scope != nullptr ? " in " + scope->name : std::string());
  }
  return r;
}

}  // namespace stratus_cli
