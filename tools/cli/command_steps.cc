#include "command_steps.h"

#include <vector>

#include "paths.h"
#include "settings.h"

namespace stratus_cli {

namespace {

// Candidates listed for an ambiguous place before the list is cut short.
constexpr size_t kMaxCandidates = 20;

}  // namespace

LocationData::LocationData(const Context& ctx) {
  WLocationDB::initLocationDB(ctx.dataDir.c_str());
}

LocationData::~LocationData() { WLocationDB::closeLocationDB(); }

int LocationData::check(Context& ctx) const {
  for (const char* name : {"states.ldt", "cities.ldt"}) {
    std::string problem = fileProblem(ctx.dataDir + "/" + name);
    if (!problem.empty()) {
      ctx.status->error("no location data in " + ctx.dataDir + " (" + name +
                        " " + problem +
                        "; name the data folder with --data-dir)");
      return kExitNoData;
    }
  }
  if (WLocationDB::p_locDB == nullptr) return noData(ctx);
  return kExitOk;
}

int noData(Context& ctx) {
  ctx.status->error("cannot read the location data in " + ctx.dataDir);
  return kExitNoData;
}

int loadSettingsFile(Context& ctx, IniFile& file) {
  std::string error;
  if (!loadSettings(ctx.settingsPath, file, error)) {
    ctx.status->error(error);
    return kExitConfig;
  }
  return kExitOk;
}

int resolvePlace(Context& ctx, const std::string& place, WLocation& location,
                 CityRow& city) {
  PlaceFinder finder(ctx.dataDir);
  std::vector<CityRow> candidates;
  std::string why;
  switch (finder.resolve(place, location, city, candidates, why)) {
    case PlaceFinder::Result::kFound:
      return kExitOk;
    case PlaceFinder::Result::kNotFound:
      ctx.status->error(why);
      return kExitNotFound;
    case PlaceFinder::Result::kNoData:
      return noData(ctx);
    case PlaceFinder::Result::kAmbiguous:
      break;
  }
  std::string list;
  for (size_t i = 0; i < candidates.size() && i < kMaxCandidates; ++i) {
    list += "\n  " + std::to_string(candidates[i].id) + "  " +
            candidates[i].label();
  }
  if (candidates.size() > kMaxCandidates) {
    list += "\n  ... and " +
            std::to_string(candidates.size() - kMaxCandidates) +
            " more (`stratus places` with the name lists them all)";
  }
  ctx.status->error("\"" + place + "\" matches " +
                    std::to_string(candidates.size()) +
                    " places; name one by its full name with the state "
                    "(\"City, ST\") or by its id:" +
                    list);
  return kExitUsage;
}

}  // namespace stratus_cli
