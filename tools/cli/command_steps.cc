#include "command_steps.h"

#include <vector>

#include "paths.h"

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
    std::string problem = stratus_tools::fileProblem(ctx.dataDir + "/" + name);
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

int loadSettingsFile(Context& ctx, WSettingsFile& file) {
  std::string error;
  if (file.load(error) != WSettingsFile::DONE) {
    ctx.status->error(error);
    return kExitConfig;
  }
  return kExitOk;
}

nlohmann::json placeJson(const WPlace& p) {
  return {{"id", p.id},        {"name", p.name}, {"state", p.state},
          {"zone", p.zone},    {"code", p.code}, {"county", p.county},
          {"office", p.office}};
}

int resolvePlace(Context& ctx, const std::string& text, WPlace& place) {
  WPlaces places(WLocationDB::getLocationDB(), ctx.dataDir);
  std::vector<WPlace> candidates;
  std::string why;
  switch (places.resolve(text, place, candidates, why)) {
    case WPlaces::FOUND:
      return kExitOk;
    case WPlaces::NOT_FOUND:
      ctx.status->error(why);
      return kExitNotFound;
    case WPlaces::UNREADABLE:
      return noData(ctx);
    case WPlaces::AMBIGUOUS:
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
  ctx.status->error("\"" + text + "\" matches " +
                    std::to_string(candidates.size()) +
                    " places; name one by its full name with the state "
                    "(\"City, ST\") or by its id:" +
                    list);
  return kExitUsage;
}

}  // namespace stratus_cli
