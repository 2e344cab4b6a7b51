// Steps that several commands share: opening the location data, loading
// the settings and resolving a PLACE, each reporting its own failure on the
// status line and giving the exit status.
#ifndef STRATUS_TOOLS_CLI_COMMAND_STEPS_H_
#define STRATUS_TOOLS_CLI_COMMAND_STEPS_H_

#include <nlohmann/json.hpp>
#include <string>

#include "stratus/stratus.h"

#include "commands.h"

namespace stratus_cli {

// The process-wide location database, open on ctx.dataDir while the object
// lives.
class LocationData {
 public:
  explicit LocationData(const Context& ctx);
  ~LocationData();
  LocationData(const LocationData&) = delete;
  LocationData& operator=(const LocationData&) = delete;

  // kExitOk when the folder holds the data files, else kExitNoData with an
  // error shown.
  int check(Context& ctx) const;
};

// Shows the error for a database read that failed; returns kExitNoData.
int noData(Context& ctx);

// Loads the settings file: kExitOk, or kExitConfig with the error shown
// (the file is not touched).
int loadSettingsFile(Context& ctx, WSettingsFile& file);

// Resolves `text`: kExitOk with `place` filled, kExitNotFound (no such
// place), kExitUsage (ambiguous; the candidates are listed) or kExitNoData.
// The location data must be open.
int resolvePlace(Context& ctx, const std::string& text, WPlace& place);

// A city as JSON: id, name, state, zone, code, county, office.
nlohmann::json placeJson(const WPlace& place);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_COMMAND_STEPS_H_
