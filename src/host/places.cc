#include "stratus/host/places.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stratus/foundation/result.h"

#include "foundation/ascii.h"
#include "location/us_location.h"

using stratus::isDigit;
using stratus::isUpper;
using stratus::lowerAscii;
using stratus::trim;
using stratus::upperAscii;

namespace {

// Every state and city of the data set belongs to this country.
constexpr unsigned kUnitedStates = 1;

std::string dataToken(const WCity& city, const char* key) {
  LString value;
  return city.getDataToken(key, value) == L_OK ? value.str() : "";
}

// A decimal number of the city data ("alat", "alon"); false when absent
// or not a plain number.
bool dataNumber(const WCity& city, const char* key, double& out) {
  std::string text = dataToken(city, key);
  if (text.empty()) return false;
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return false;
  out = v;
  return true;
}

WPlace placeOf(const WCity& city, const WPlaceState& state) {
  WPlace p;
  p.id = city.getId();
  p.stateId = city.getStateId();
  p.name = city.getName().str();
  p.state = state.shortName;
  p.stateName = state.name;
  p.data = city.getData().str();
  p.zone = dataToken(city, "azone");
  p.code = dataToken(city, "acode");
  p.county = dataToken(city, "acounty");
  p.office = dataToken(city, "aoffice");
  p.hasPosition = dataNumber(city, "alat", p.latitude) &&
                  dataNumber(city, "alon", p.longitude);
  if (!p.hasPosition) p.latitude = p.longitude = 0;
  return p;
}

bool allOf(const std::string& text, size_t n, bool (*test)(char)) {
  if (text.size() != n) return false;
  for (char c : text) {
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
    if (!isDigit(c) && std::strchr(" ,.-+", c) == nullptr)
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

// Coordinates farther than WPlaces::MAX_DISTANCE_KM from every city are not
// a US place: the farthest any city of the data lies from its nearest
// neighbour is 194 km (Kaktovik, AK), so a point on land, or just off the
// coast, is well within.

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

// What keeps the table at `path` from being read: "" when it is a regular
// file of at most WPlaces::MAX_TABLE_BYTES.
std::string tableProblem(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  if (st.st_size > WPlaces::MAX_TABLE_BYTES) return "larger than 16 MiB";
  return "";
}

// The line of the table `path` ("code<TAB>state id<TAB>city id", sorted by
// code) that starts with `code`: true with the two ids. Reads a regular file
// only, in bounded pieces, and never more than MAX_TABLE_BYTES.
bool lookUpCode(const std::string& path, const std::string& code,
                unsigned long& stateId, unsigned long& cityId,
                std::string& problem) {
  problem = tableProblem(path);
  if (!problem.empty()) return false;
  // O_NONBLOCK: a FIFO put in the file's place after the check must not
  // hang the open.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    problem = std::strerror(errno);
    return false;
  }
  const std::string prefix = code + '\t';
  std::string pending;
  char buf[65536];
  long total = 0;
  bool found = false;
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0 || (total += n) > WPlaces::MAX_TABLE_BYTES) break;
    pending.append(buf, static_cast<size_t>(n));
    size_t start = 0, end;
    while ((end = pending.find('\n', start)) != std::string::npos) {
      if (pending.compare(start, prefix.size(), prefix) == 0) {
        found = std::sscanf(pending.c_str() + start + prefix.size(), "%lu\t%lu",
                            &stateId, &cityId) == 2;
        close(fd);
        return found;
      }
      start = end + 1;
    }
    pending.erase(0, start);
  }
  close(fd);
  return false;
}

}  // namespace

std::string WPlace::label() const { return name + ", " + upperAscii(state); }

WLocation WPlace::location() const {
  WLocation made;
  if (stratus::buildUSLocation(
          WCity(id, kUnitedStates, stateId, name.c_str(), data.c_str()),
          WState(stateId, kUnitedStates, stateName.c_str(), state.c_str()),
          made) != 0)
    throw LEx(L_MEM);
  return made;
}

WPlaces::WPlaces(WLocationDB& db, std::string dataDir)
    : db_(db), dataDir_(std::move(dataDir)) {}

WPlaces::Result WPlaces::states(std::vector<WPlaceState>& out) {
  LVector<WState> list;
  if (db_.getStateList(kUnitedStates, list) != 0) return UNREADABLE;
  std::vector<WPlaceState> all;
  for (unsigned i = 0; i < list.getSize(); ++i) {
    all.push_back(
        {list[i].getId(), list[i].getName().str(), list[i].getData().str()});
  }
  out = std::move(all);
  return FOUND;
}

WPlaces::Result WPlaces::findState(const std::string& text, WPlaceState& out) {
  std::vector<WPlaceState> all;
  Result r = states(all);
  if (r != FOUND) return r;
  std::string wanted = lowerAscii(trim(text));
  unsigned id = 0;
  bool byId = parseId(wanted, id);
  for (const WPlaceState& s : all) {
    if ((byId && s.id == id) || lowerAscii(s.shortName) == wanted ||
        lowerAscii(s.name) == wanted) {
      out = s;
      return FOUND;
    }
  }
  return NOT_FOUND;
}

WPlaces::Result WPlaces::citiesOf(const WPlaceState& state,
                                  std::vector<WPlace>& out) {
  std::vector<WPlace> all;
  if (db_.initCityIterator(kUnitedStates, state.id) != 0) {
    db_.closeCityIterator();
    return UNREADABLE;
  }
  WCity city;
  while (db_.getNextCity(city) == 0) all.push_back(placeOf(city, state));
  db_.closeCityIterator();
  out = std::move(all);
  return FOUND;
}

WPlaces::Result WPlaces::search(const std::string& text,
                                const WPlaceState* state,
                                std::vector<WPlace>& out) {
  std::vector<WPlaceState> scope;
  if (state != nullptr) {
    scope.push_back(*state);
  } else if (states(scope) != FOUND) {
    return UNREADABLE;
  }
  std::string wanted = lowerAscii(text);
  std::vector<WPlace> found;
  for (const WPlaceState& s : scope) {
    std::vector<WPlace> cities;
    if (citiesOf(s, cities) != FOUND) return UNREADABLE;
    for (WPlace& c : cities) {
      if (lowerAscii(c.name).find(wanted) != std::string::npos)
        found.push_back(std::move(c));
    }
  }
  out = std::move(found);
  return FOUND;
}

WPlaces::Result WPlaces::byName(const std::string& name,
                                const WPlaceState* state,
                                std::vector<WPlace>& matches) {
  std::vector<WPlace> found;
  if (search(name, state, found) != FOUND) return UNREADABLE;
  // An exact name wins; otherwise the data set's disambiguated forms,
  // "Name (kind)" and "Name (kind, County)", stand for the bare name.
  std::string wanted = lowerAscii(name);
  std::string qualified = wanted + " (";
  matches.clear();
  for (const WPlace& c : found) {
    if (lowerAscii(c.name) == wanted) matches.push_back(c);
  }
  if (matches.empty()) {
    for (const WPlace& c : found) {
      if (lowerAscii(c.name).compare(0, qualified.size(), qualified) == 0)
        matches.push_back(c);
    }
  }
  if (matches.empty()) return NOT_FOUND;
  return matches.size() == 1 ? FOUND : AMBIGUOUS;
}

WPlaces::Result WPlaces::resolve(const std::string& place, WPlace& city,
                                 std::vector<WPlace>& candidates,
                                 std::string& why) {
  std::string text = trim(place);
  candidates.clear();
  unsigned id;
  double lat, lon;
  if (allOf(text, 5, isDigit)) return byCode("zips.tsv", text, city, why);
  if (parseId(text, id)) return cityIn(0, id, city, why);
  if (allOf(text, 4, isUpper) &&
      byCode("stations.tsv", text, city, why) == FOUND)
    return FOUND;  // else a name of four capitals
  if (Coordinates c = parseCoordinates(text, lat, lon);
      c != Coordinates::kNone) {
    if (c == Coordinates::kValid) return nearest(lat, lon, city, why);
    why = text +
          " are not coordinates: a latitude is -90 to 90, a longitude "
          "-180 to 180";
    return NOT_FOUND;
  }
  return byText(text, city, candidates, why);
}

WPlaces::Result WPlaces::city(unsigned id, WPlace& out, std::string& why) {
  return cityIn(0, id, out, why);
}

WPlaces::Result WPlaces::cityIn(unsigned stateId, unsigned id, WPlace& out,
                                std::string& why) {
  WCity record;
  WState state;
  if (db_.getCity(id, record) != 0 ||
      (stateId != 0 && record.getStateId() != stateId)) {
    why = "no city with id " + std::to_string(id);
    return NOT_FOUND;
  }
  if (db_.getState(record.getStateId(), state) != 0) {
    why = "city " + std::to_string(id) + " names state " +
          std::to_string(record.getStateId()) + ", which is not in the data";
    return NOT_FOUND;
  }
  out = placeOf(record,
                {state.getId(), state.getName().str(), state.getData().str()});
  return FOUND;
}

WPlaces::Result WPlaces::byCode(const char* file, const std::string& code,
                                WPlace& city, std::string& why) {
  std::string path = dataDir_ + "/" + file;
  unsigned long stateId = 0, id = 0;
  std::string problem;
  if (lookUpCode(path, code, stateId, id, problem))
    return cityIn(static_cast<unsigned>(stateId), static_cast<unsigned>(id),
                  city, why);
  if (!problem.empty()) {
    why = "cannot look up " + code + " in " + path + " (" + problem + ")";
  } else {
    why = std::string(file[0] == 'z' ? "no ZIP code " : "no station ") + code +
          " in the data";
  }
  return NOT_FOUND;
}

WPlaces::Result WPlaces::nearest(double lat, double lon, WPlace& city,
                                 std::string& why) {
  std::vector<WPlaceState> all;
  if (states(all) != FOUND) return UNREADABLE;
  double best = 1e300;
  bool any = false;
  WPlace closest;
  for (const WPlaceState& s : all) {
    std::vector<WPlace> cities;
    if (citiesOf(s, cities) != FOUND) return UNREADABLE;
    for (WPlace& c : cities) {
      if (!c.hasPosition) continue;
      double d = kilometres(lat, lon, c.latitude, c.longitude);
      if (d < best) {
        best = d;
        closest = std::move(c);
        any = true;
      }
    }
  }
  if (!any) {
    why = "no city in the data has coordinates";
    return NOT_FOUND;
  }
  if (best > MAX_DISTANCE_KM) {
    char point[64], away[32];
    std::snprintf(point, sizeof point, "%.0f km of %.4g,%.4g", MAX_DISTANCE_KM,
                  lat + 0.0, lon + 0.0);  // -0 shown as 0
    std::snprintf(away, sizeof away, "%.0f km", best);
    why = std::string("no city within ") + point + " (the nearest, " +
          closest.label() + ", is " + away + " away)" +
          (lon > 0 ? "; US longitudes are negative (west)" : "");
    return NOT_FOUND;
  }
  city = std::move(closest);
  return FOUND;
}

// "name, ST": the name and the state it is looked for in (`scope` points at
// `state` then; null for a text without a comma).
WPlaces::Result WPlaces::scopeOf(const std::string& text, std::string& name,
                                 WPlaceState& state, const WPlaceState*& scope,
                                 std::string& why) {
  size_t comma = text.find_last_of(',');
  name = text;
  scope = nullptr;
  if (comma != std::string::npos) {
    name = trim(text.substr(0, comma));
    std::string st = trim(text.substr(comma + 1));
    Result r = findState(st, state);
    if (r == UNREADABLE) return r;
    if (r != FOUND) {
      why = "no state \"" + st + "\" (use a short name such as MA, or a " +
            "full name)";
      return NOT_FOUND;
    }
    scope = &state;
  }
  if (name.empty()) {
    why = "no city name in \"" + text + "\"";
    return NOT_FOUND;
  }
  return FOUND;
}

WPlaces::Result WPlaces::find(const std::string& text, std::vector<WPlace>& out,
                              std::string& why) {
  WPlace place;
  std::vector<WPlace> candidates;
  std::string unused;
  Result r = resolve(text, place, candidates, unused);
  if (r == UNREADABLE) return r;
  if (r == FOUND) {
    out.assign(1, std::move(place));
    return FOUND;
  }
  WPlaceState state;
  const WPlaceState* scope = nullptr;
  std::string name;
  r = scopeOf(trim(text), name, state, scope, why);
  std::vector<WPlace> matches;
  if (r == FOUND) r = search(name, scope, matches);
  if (r != FOUND) return r;
  for (WPlace& c : candidates) {
    bool listed = std::any_of(matches.begin(), matches.end(),
                              [&c](const WPlace& m) { return m.id == c.id; });
    if (!listed) matches.push_back(std::move(c));
  }
  out = std::move(matches);
  return FOUND;
}

WPlaces::Result WPlaces::byText(const std::string& text, WPlace& city,
                                std::vector<WPlace>& candidates,
                                std::string& why) {
  WPlaceState state;
  const WPlaceState* scope = nullptr;
  std::string name;
  Result r = scopeOf(text, name, state, scope, why);
  if (r != FOUND) return r;
  r = byName(name, scope, candidates);
  size_t blank = name.find_last_of(' ');
  if (r == NOT_FOUND && scope == nullptr && blank != std::string::npos &&
      findState(name.substr(blank + 1), state) == FOUND) {
    // "Boston MA": the last word names a state.
    scope = &state;
    name = trim(name.substr(0, blank));
    r = byName(name, scope, candidates);
  }
  if (r == FOUND) {
    city = candidates.front();
    candidates.clear();
  } else if (r == NOT_FOUND) {
    why = "no city named \"" + name + "\"" +
          (scope != nullptr ? " in " + scope->name : std::string());
  }
  return r;
}
