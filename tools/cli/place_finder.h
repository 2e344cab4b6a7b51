// PlaceFinder: states and cities of the location database for the
// command line: listing, searching and resolving a PLACE argument.
//
// A PLACE is a city id ("2507000"), "City, ST" (the state's short name or
// full name, any case), "City ST" when no city is named so, or a bare city
// name, which is looked for in every state. It may also be a 5-digit ZIP code
// ("50309", from the data folder's zips.tsv), an observing station's code in
// capitals ("KDSM", from stations.tsv) or coordinates in decimal degrees
// ("41.59,-93.62": the nearest city, within 300 km). Names match regardless of
// case; a name that the data set disambiguates ("Cottonwood (city)",
// "Cottonwood (CDP)") also matches its bare form. A name that matches more than
// one city is ambiguous: the candidates are returned and nothing is picked.
//
// Uses the process-wide WLocationDB, which must be open. Not thread-safe.
#ifndef STRATUS_TOOLS_CLI_PLACE_FINDER_H_
#define STRATUS_TOOLS_CLI_PLACE_FINDER_H_

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "stratus/stratus.h"

namespace stratus_cli {

struct StateRow {
  unsigned id = 0;
  std::string name;       // "Massachusetts"
  std::string shortName;  // "ma"
};

struct CityRow {
  unsigned id = 0;
  unsigned stateId = 0;
  std::string name;
  std::string state;   // short name, as in product URLs
  std::string zone;    // "azone" of the city data, "" when absent
  std::string code;    // "acode" of the city data, "" when absent
  std::string county;  // "acounty", "" when absent
  std::string office;  // "aoffice", "" when absent

  // "Boston, MA"
  std::string label() const;
  nlohmann::json json() const;
};

class PlaceFinder {
 public:
  enum class Result { kFound, kNotFound, kAmbiguous, kNoData };

  // `dataDir`: the folder of the ZIP and station tables (the database's own
  // folder).
  explicit PlaceFinder(std::string dataDir = "")
      : dataDir_(std::move(dataDir)) {}

  // Every state of the United States, in file order. kNoData when the
  // states file cannot be read.
  Result states(std::vector<StateRow>& out);
  // The state whose short or full name is `text` (any case).
  Result findState(const std::string& text, StateRow& out);
  // The cities of `state`, in file order.
  Result citiesOf(const StateRow& state, std::vector<CityRow>& out);
  // Cities whose name contains `text` (any case), in `state` when it is
  // not null, else in every state.
  Result search(const std::string& text, const StateRow* state,
                std::vector<CityRow>& out);

  // Resolves `place`. kFound: `location` and `city` are filled.
  // kAmbiguous: `candidates` holds the matches. kNotFound: `why` says what
  // was not found. kNoData: the data files could not be read.
  Result resolve(const std::string& place, WLocation& location, CityRow& city,
                 std::vector<CityRow>& candidates, std::string& why);

 private:
  Result byName(const std::string& name, const StateRow* state,
                std::vector<CityRow>& matches);
  Result locate(const CityRow& city, WLocation& location);
  // "City, ST", "City ST" or a bare name.
  Result byText(const std::string& text, WLocation& location, CityRow& city,
                std::vector<CityRow>& candidates, std::string& why);
  Result byId(unsigned stateId, unsigned id, CityRow& city, std::string& why);
  // The city that `code` stands for in the table `file` ("zips.tsv").
  Result byCode(const char* file, const std::string& code, CityRow& city,
                std::string& why);
  // The city nearest to a point; not found when it is over 300 km away.
  Result nearest(double lat, double lon, CityRow& city, std::string& why);

  std::string dataDir_;
};

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_PLACE_FINDER_H_
