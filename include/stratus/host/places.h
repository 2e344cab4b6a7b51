// WPlaces: the places of the US location data as a host names them, listed,
// searched and resolved from the text a person types.
//
// A place text is one of:
//   "2507000"        a city id
//   "Boston, MA"     a city name and a state's short or full name, any case
//   "Boston MA"      the same without the comma, when no city is named so
//   "Boston"         a city name that only one state has
//   "50309"          a 5-digit ZIP code (the data folder's zips.tsv)
//   "KDSM"           an observing station's code in capitals (stations.tsv)
//   "41.59,-93.62"   decimal degrees: the nearest city within 300 km
// Names match regardless of ASCII case; a name that the data set
// disambiguates ("Cottonwood (city)", "Cottonwood (CDP)") also matches its
// bare form. A text that fits more than one city is ambiguous: the
// candidates are handed back and nothing is picked.
//
// A WPlaces works on a WLocationDB that the host keeps open and alive (the
// process-wide one, or an instance of its own) and on the folder holding
// zips.tsv and stations.tsv (the database's own folder). It uses the
// database's iterators, so it must not be used while the host iterates the
// same database. Not thread-safe: one call at a time per database.
#ifndef STRATUS_HOST_PLACES_H_
#define STRATUS_HOST_PLACES_H_

#include <string>
#include <vector>

#include "stratus/export.h"
#include "stratus/location/location.h"
#include "stratus/location/location_db.h"

// A state of the location data.
struct STRATUS_EXPORT WPlaceState {
  unsigned id = 0;
  std::string name;       // "Massachusetts"
  std::string shortName;  // "ma", as in product page URLs
};

// A city of the location data with the keys of its city data that hosts
// show. A plain value.
struct STRATUS_EXPORT WPlace {
  unsigned id = 0;
  unsigned stateId = 0;
  std::string name;       // "Des Moines"
  std::string state;      // the state's short name, "ia"
  std::string stateName;  // "Iowa"
  std::string data;       // the whole city data, "azone(IAZ060)acode(KDSM)..."
  std::string zone;       // "azone": the forecast zone, "" when absent
  std::string code;       // "acode": the station code, "" when absent
  std::string county;     // "acounty": the county's UGC code, "" when absent
  std::string office;     // "aoffice": the forecast office, "" when absent
  bool hasPosition = false;  // "alat" and "alon" are both present
  double latitude = 0;       // decimal degrees, north positive
  double longitude = 0;      // decimal degrees, east positive

  // "Des Moines, IA".
  std::string label() const;
  // The location WReader takes, exactly as WLocationDB::makeUSLocation makes
  // it for this city and state. Throws LEx(L_MEM) when memory runs out.
  WLocation location() const;
};

class STRATUS_EXPORT WPlaces {
 public:
  enum Result {
    FOUND = 0,      // the answer is written
    NOT_FOUND = 1,  // no such place; `why` says what was not found
    AMBIGUOUS = 2,  // several cities fit; the candidates are written
    UNREADABLE = 3  // a data file could not be read
  };

  // The largest zips.tsv or stations.tsv read (16 MiB; the US tables are
  // under 1 MiB). A bigger file, or one that is not a regular file, is not
  // read: looking a code up in it is NOT_FOUND, naming the file.
  static constexpr long MAX_TABLE_BYTES = 16L << 20;
  // Coordinates farther than this from every city are not a place.
  static constexpr double MAX_DISTANCE_KM = 300;

  // `db` must outlive this object. `dataDir`: the folder of zips.tsv and
  // stations.tsv.
  WPlaces(WLocationDB& db, std::string dataDir);

  // Every state, in file order. FOUND or UNREADABLE; `out` replaced on FOUND.
  Result states(std::vector<WPlaceState>& out);
  // The state whose short or full name is `text` (any case, blanks around
  // ignored), or whose id it is when `text` is a decimal number. FOUND,
  // NOT_FOUND or UNREADABLE; `out` written on FOUND only.
  Result findState(const std::string& text, WPlaceState& out);
  // The cities of `state`, in file order. FOUND or UNREADABLE.
  Result citiesOf(const WPlaceState& state, std::vector<WPlace>& out);
  // Cities whose name holds `text` (any case), in `state` when it is not
  // null, else in every state; file order. FOUND (perhaps none) or UNREADABLE.
  Result search(const std::string& text, const WPlaceState* state,
                std::vector<WPlace>& out);
  // The city with id `id`. FOUND, NOT_FOUND (with `why`) or UNREADABLE.
  Result city(unsigned id, WPlace& out, std::string& why);

  // Resolves a place text (see the top of this file).
  //   FOUND      `place` written
  //   AMBIGUOUS  `candidates` holds every city that fits
  //   NOT_FOUND  `why` says what was not found, in a sentence a person reads
  //   UNREADABLE    a data file could not be read
  // `candidates` is cleared on every path; `place` and `why` are written only
  // on the paths named.
  Result resolve(const std::string& text, WPlace& place,
                 std::vector<WPlace>& candidates, std::string& why);

  // The cities a text may mean, for a host that shows a list: the one city
  // the text names when resolve finds it; else every city whose name holds
  // the text (any case; "name, ST" looks in that state only), in file order,
  // followed by any candidate of an ambiguous text that the name does not
  // hold ("Boston MA"). FOUND (perhaps none; `out` replaced), NOT_FOUND when
  // a state named after a comma is not in the data or no name is left
  // (`why` says so), UNREADABLE.
  Result find(const std::string& text, std::vector<WPlace>& out,
              std::string& why);

 private:
  Result byName(const std::string& name, const WPlaceState* state,
                std::vector<WPlace>& matches);
  Result scopeOf(const std::string& text, std::string& name, WPlaceState& state,
                 const WPlaceState*& scope, std::string& why);
  Result byText(const std::string& text, WPlace& place,
                std::vector<WPlace>& candidates, std::string& why);
  Result byCode(const char* file, const std::string& code, WPlace& place,
                std::string& why);
  Result nearest(double lat, double lon, WPlace& place, std::string& why);
  Result cityIn(unsigned stateId, unsigned id, WPlace& out, std::string& why);

  WLocationDB& db_;
  std::string dataDir_;
};

#endif  // STRATUS_HOST_PLACES_H_
