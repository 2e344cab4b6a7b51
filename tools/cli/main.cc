// stratus: the command-line host of libstratus.
//
// It uses only the public API, as any host does: the location database to
// pick a place, a WReader with a status line on standard error and a keeper
// over an INI settings file, decodeObservation for raw reports, and the
// unit conversions for display.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "stratus/stratus.h"

#include "commands.h"
#include "console_info_line.h"
#include "paths.h"
#include "place_finder.h"
#include "settings.h"

namespace {

using stratus_cli::Context;
using stratus_cli::Units;

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

std::string defaultDataDir() {
  return stratus_cli::dataFolder(STRATUS_CLI_BUILD_DIR, STRATUS_SOURCE_DATA_DIR,
                                 STRATUS_DATA_FROM_BIN,
                                 STRATUS_INSTALLED_DATA_DIR);
}

const char kFooter[] =
    R"(PLACE is "City, ST" (a state's short or full name), a city id, or a city
name alone when only one state has it. `stratus places NAME` finds ids.

Exit status: 0 success; 1 nothing found; 64 usage error or ambiguous place;
65 a report that decodes to nothing; 66 location data missing; 70 the library
failed; 73 settings file not writable; 75 page not available; 78 bad settings
file. See stratus(1) and stratus-settings(5).)";

struct UnitOptions {
  std::string system = "us";
  std::string temp, wind, pressure;

  // The names were checked without regard to case.
  Units resolve() const {
    std::string system = stratus_cli::lowerAscii(this->system);
    std::string temp = stratus_cli::lowerAscii(this->temp);
    std::string wind = stratus_cli::lowerAscii(this->wind);
    std::string pressure = stratus_cli::lowerAscii(this->pressure);
    Units u;
    if (system == "metric") {
      u.temp = Units::Temp::kCelsius;
      u.wind = Units::Wind::kKmh;
      u.pressure = Units::Pressure::kHPa;
    }
    if (temp == "c") u.temp = Units::Temp::kCelsius;
    if (temp == "f") u.temp = Units::Temp::kFahrenheit;
    if (wind == "kt") u.wind = Units::Wind::kKnots;
    if (wind == "mph") u.wind = Units::Wind::kMph;
    if (wind == "kmh") u.wind = Units::Wind::kKmh;
    if (pressure == "inhg") u.pressure = Units::Pressure::kInHg;
    if (pressure == "hpa") u.pressure = Units::Pressure::kHPa;
    if (pressure == "mmhg") u.pressure = Units::Pressure::kMmHg;
    return u;
  }
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Current conditions, forecasts and bulletins for US places, "
      "from libstratus.",
      "stratus"};
  app.footer(kFooter);
  app.set_version_flag("--version",
                       std::string("stratus ") + STRATUS_VERSION_STRING);
  app.fallthrough();
  app.require_subcommand(1);

  bool json = false, quiet = false;
  std::string dataDir = defaultDataDir();
  std::string configFile;
  UnitOptions units;
  app.add_flag("--json", json, "Print data as JSON");
  app.add_option("--units", units.system, "Units: us (default) or metric")
      ->check(CLI::IsMember({"us", "metric"}, CLI::ignore_case));
  app.add_option("--temp", units.temp, "Temperature unit: c or f")
      ->check(CLI::IsMember({"c", "f"}, CLI::ignore_case));
  app.add_option("--wind", units.wind, "Wind speed unit: kt, mph or kmh")
      ->check(CLI::IsMember({"kt", "mph", "kmh"}, CLI::ignore_case));
  app.add_option("--pressure", units.pressure,
                 "Pressure unit: inhg, hpa or mmhg")
      ->check(CLI::IsMember({"inhg", "hpa", "mmhg"}, CLI::ignore_case));
  app.add_option("--data-dir", dataDir, "Folder of the location data files")
      ->envname("STRATUS_DATA_DIR");
  app.add_option("--config", configFile,
                 "Settings file (default: $XDG_CONFIG_HOME/stratus/"
                 "settings.ini)");
  app.add_flag("-q,--quiet", quiet, "Show no progress, only errors");

  std::string placesText, placesState;
  CLI::App* places = app.add_subcommand(
      "places", "List states, the cities of a state, or cities by name");
  places->add_option("text", placesText, "Part of a city name, any case");
  places->add_option("--state", placesState, "A state's short or full name");

  std::vector<std::string> nowPlace;
  CLI::App* now = app.add_subcommand("now", "Current conditions at a place");
  now->add_option("place", nowPlace, "The place")->required();

  std::map<CLI::App*, std::pair<std::string, std::vector<std::string>>>
      products;
  for (const stratus_cli::ProductName& p : stratus_cli::productNames()) {
    CLI::App* sub =
        app.add_subcommand(p.command, std::string("Show ") + p.help);
    auto& entry = products[sub];
    entry.first = p.command;
    sub->add_option("place", entry.second, "The place")->required();
  }

  std::vector<std::string> reportWords;
  CLI::App* decode = app.add_subcommand(
      "decode", "Decode raw observation reports (no network)");
  decode->add_option("report", reportWords,
                     "The report; none or - reads one per line from "
                     "standard input (put -- before a report with a group "
                     "such as -RA)");

  std::string configKey, configValue;
  CLI::App* config = app.add_subcommand("config", "Show or change settings");
  config->require_subcommand(1);
  CLI::App* configList =
      config->add_subcommand("list", "Every setting, defaults included");
  CLI::App* configGet = config->add_subcommand("get", "One setting's value");
  configGet->add_option("key", configKey, "The setting")->required();
  CLI::App* configSet =
      config->add_subcommand("set", "Change a setting in the settings file");
  configSet->add_option("key", configKey, "The setting")->required();
  configSet->add_option("value", configValue, "Its new value")->required();
  CLI::App* configPath =
      config->add_subcommand("path", "Where the settings file is");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    stratus_cli::ConsoleInfoLine status(stderr, false);
    status.error(std::string(e.what()) + " (see `stratus --help`)");
    return stratus_cli::kExitUsage;
  }

  stratus_cli::ConsoleInfoLine status(stderr, quiet);
  Context ctx;
  ctx.json = json;
  ctx.units = units.resolve();
  ctx.dataDir = dataDir;
  ctx.settingsPath =
      configFile.empty() ? stratus_cli::defaultSettingsPath() : configFile;
  ctx.status = &status;
  ctx.out = &std::cout;

  try {
    if (places->parsed()) return runPlaces(ctx, placesText, placesState);
    if (now->parsed()) return runNow(ctx, joined(nowPlace));
    for (auto& p : products) {
      if (p.first->parsed())
        return runProduct(ctx, p.second.first, joined(p.second.second));
    }
    if (decode->parsed()) return runDecode(ctx, joined(reportWords), std::cin);
    if (configList->parsed()) return runConfigList(ctx);
    if (configGet->parsed()) return runConfigGet(ctx, configKey);
    if (configSet->parsed()) return runConfigSet(ctx, configKey, configValue);
    if (configPath->parsed()) return runConfigPath(ctx);
  } catch (const LEx& e) {
    status.error(std::string("the library failed: ") +
                 resultMessage(e.getId()));
    return stratus_cli::kExitSoftware;
  } catch (const std::bad_alloc&) {
    status.error("out of memory");
    return stratus_cli::kExitSoftware;
  }
  return stratus_cli::kExitUsage;
}
