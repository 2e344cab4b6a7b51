#include "place_finder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

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
  row.county = dataToken(city, "acounty");
  row.office = dataToken(city, "aoffice");
  return row;
}

bool allOf(const std::string& text, size_t n, int (*test)(int)) {
  if (text.size() != n) return false;
  for (unsigned char c : text) {
    if (!test(c)) return false;
  }
  return true;
}

// Whether a PLACE is a pair of decimal numbers, and then whether they are a
// latitude and a longitude.
enum class Coordinates { kNone, kOutOfRange, kValid };

// "41.59,-93.62" (blanks allowed around the numbers): latitude, longitude.
Coordinates parseCoordinates(const std::string& text, double& lat,
                             double& lon) {
  // Only plain decimal numbers: strtod also takes "inf", "nan" and hex.
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c)) &&
        std::strchr(" ,.-+", c) == nullptr)
      return Coordinates::kNone;
  }
  const char* p = text.c_str();
  char* end;
  errno = 0;
  lat = std::strtod(p, &end);
  if (end == p) return Coordinates::kNone;
  while (*end == ' ') ++end;
  if (*end != ',') return Coordinates::kNone;
  p = end + 1;
  lon = std::strtod(p, &end);
  if (end == p) return Coordinates::kNone;
  while (*end == ' ') ++end;
  if (*end != '\0') return Coordinates::kNone;
  // ERANGE: a number too large for a double, far out of range anyway.
  return errno == 0 && lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180
             ? Coordinates::kValid
             : Coordinates::kOutOfRange;
}

// Great-circle distance in kilometres (haversine, mean earth radius).
double kilometres(double lat1, double lon1, double lat2, double lon2) {
  const double rad = 3.14159265358979323846 / 180;
  double a = std::sin((lat2 - lat1) * rad / 2),
         b = std::sin((lon2 - lon1) * rad / 2);
  double h = a * a + std::cos(lat1 * rad) * std::cos(lat2 * rad) * b * b;
  return 2 * 6371.0 * std::asin(std::sqrt(std::min(1.0, h)));
}

// Coordinates farther than this from every city are not a US place: the
// farthest any city of the data lies from its nearest neighbour is 194 km
// (Kaktovik, AK), so a point on land, or just off the coast, is well within.
constexpr double kFarthestKm = 300;

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
  return {{"id", id},     {"name", name},     {"state", state},  {"zone", zone},
          {"code", code}, {"county", county}, {"office", office}};
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
  Result r = Result::kNotFound;
  unsigned id;
  double lat, lon;
  if (allOf(text, 5, isdigit)) {
    r = byCode("zips.tsv", text, city, why);
  } else if (parseId(text, id)) {
    r = byId(0, id, city, why);
  } else if (allOf(text, 4, isupper) &&
             byCode("stations.tsv", text, city, why) == Result::kFound) {
    r = Result::kFound;  // else a name of four capitals
  } else if (Coordinates c = parseCoordinates(text, lat, lon);
             c != Coordinates::kNone) {
    if (c == Coordinates::kOutOfRange) {
      why = text +
            " are not coordinates: a latitude is -90 to 90, a longitude "
            "-180 to 180";
      return Result::kNotFound;
    }
    r = nearest(lat, lon, city, why);
  } else {
    return byText(text, location, city, candidates, why);
  }
  return r == Result::kFound ? locate(city, location) : r;
}

PlaceFinder::Result PlaceFinder::byId(unsigned stateId, unsigned id,
                                      CityRow& city, std::string& why) {
  WLocationDB& db = WLocationDB::getLocationDB();
  WCity record;
  WState state;
  if (db.getCity(id, record) != 0 ||
      (stateId != 0 && record.getStateId() != stateId)) {
    why = "no city with id " + std::to_string(id);
    return Result::kNotFound;
  }
  if (db.getState(record.getStateId(), state) != 0) {
    why = "city " + std::to_string(id) + " names state " +
          std::to_string(record.getStateId()) + ", which is not in the data";
    return Result::kNotFound;
  }
  city = rowOf(record, state.getData().str());
  return Result::kFound;
}

PlaceFinder::Result PlaceFinder::byCode(const char* file,
                                        const std::string& code, CityRow& city,
                                        std::string& why) {
  std::ifstream in(dataDir_ + "/" + file);
  if (!in) {
    why = std::string("no ") + file + " in " + dataDir_ + " to look up " + code;
    return Result::kNotFound;
  }
  // Lines "code<TAB>state id<TAB>city id", sorted by code.
  std::string line;
  const std::string prefix = code + '\t';
  while (std::getline(in, line)) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    unsigned long stateId = 0, id = 0;
    if (std::sscanf(line.c_str() + prefix.size(), "%lu\t%lu", &stateId, &id) !=
        2)
      break;
    return byId(static_cast<unsigned>(stateId), static_cast<unsigned>(id), city,
                why);
  }
  why = std::string(file[0] == 'z' ? "no ZIP code " : "no station ") + code +
        " in the data";
  return Result::kNotFound;
}

PlaceFinder::Result PlaceFinder::nearest(double lat, double lon, CityRow& city,
                                         std::string& why) {
  std::vector<StateRow> all;
  if (states(all) != Result::kFound) return Result::kNoData;
  double best = 1e300;
  Result r = Result::kNotFound;
  WLocationDB& db = WLocationDB::getLocationDB();
  for (const StateRow& s : all) {
    if (db.initCityIterator(kUnitedStates, s.id) != 0) {
      db.closeCityIterator();
      return Result::kNoData;
    }
    WCity record;
    while (db.getNextCity(record) == 0) {
      std::string a = dataToken(record, "alat"), o = dataToken(record, "alon");
      if (a.empty() || o.empty()) continue;
      double d =
          kilometres(lat, lon, std::atof(a.c_str()), std::atof(o.c_str()));
      if (d < best) {
        best = d;
        city = rowOf(record, s.shortName);
        r = Result::kFound;
      }
    }
    db.closeCityIterator();
  }
  if (r == Result::kNotFound) {
    why = "no city in the data has coordinates";
  } else if (best > kFarthestKm) {
    char point[64], away[32];
    std::snprintf(point, sizeof point, "%.0f km of %.4g,%.4g", kFarthestKm,
                  lat + 0.0, lon + 0.0);  // -0 shown as 0
    std::snprintf(away, sizeof away, "%.0f km", best);
    why = std::string("no city within ") + point + " (the nearest, " +
          city.name + ", " + upperAscii(city.state) + ", is " + away +
          " away)" + (lon > 0 ? "; US longitudes are negative (west)" : "");
    r = Result::kNotFound;
  }
  return r;
}

PlaceFinder::Result PlaceFinder::byText(const std::string& text,
                                        WLocation& location, CityRow& city,
                                        std::vector<CityRow>& candidates,
                                        std::string& why) {
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
