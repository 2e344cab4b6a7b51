// stratus: the command-line host of libstratus.
//
// It uses only the public API, as any host does: the host layer's places
// and settings file, a WReader with a status line on standard error, the
// report decoders for raw reports, and the unit conversions for display.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "stratus/stratus.h"

#include "commands.h"
#include "console_info_line.h"
#include "paths.h"

namespace {

using stratus_cli::Context;
using stratus_cli::Units;

std::string defaultDataDir() {
  return stratus_tools::dataFolder(
      STRATUS_CLI_BUILD_DIR, STRATUS_SOURCE_DATA_DIR, STRATUS_DATA_FROM_BIN,
      STRATUS_INSTALLED_DATA_DIR);
}

const char kPlaceHelp[] =
    R"(PLACE is "City, ST" (a state's short or full name), a city id, a city
name alone when only one state has it, a ZIP code (50309), a station code
(KDSM) or coordinates (41.59,-93.62). `stratus places NAME` finds ids.

Pages come from the bundled sample server by default. For live weather, run
the gateway to the weather service's API and ask as before:
  stratus-gateway --contact you@example.org &
  stratus now "Des Moines, IA")";

struct UnitOptions {
  std::string system = "us";
  std::string temp, wind, pressure;

  // The names were matched without regard to case and replaced by the
  // lower-case names (the options' transforms).
  Units resolve() const {
    Units u;
    if (system == "metric") {
      u.temp = Units::Temp::kCelsius;
      u.wind = Units::Wind::kKmh;
      u.pressure = Units::Pressure::kHPa;
      u.metricDistance = true;
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

// The options every command takes, as given on the command line.
struct GlobalOptions {
  bool quiet = false;
  std::string dataDir = defaultDataDir();
  std::string configFile;
  std::string sections = "ugc";
  UnitOptions units;
};

void addGlobalOptions(CLI::App& app, Context& ctx, GlobalOptions& o) {
  app.add_flag("--json", ctx.json, "Print data as JSON");
  app.add_option("--units", o.units.system, "Units: us (default) or metric")
      ->transform(CLI::IsMember({"us", "metric"}, CLI::ignore_case));
  app.add_option("--temp", o.units.temp, "Temperature unit: c or f")
      ->transform(CLI::IsMember({"c", "f"}, CLI::ignore_case));
  app.add_option("--wind", o.units.wind, "Wind speed unit: kt, mph or kmh")
      ->transform(CLI::IsMember({"kt", "mph", "kmh"}, CLI::ignore_case));
  app.add_option("--pressure", o.units.pressure,
                 "Pressure unit: inhg, hpa or mmhg")
      ->transform(CLI::IsMember({"inhg", "hpa", "mmhg"}, CLI::ignore_case));
  app.add_option("--data-dir", o.dataDir, "Folder of the location data files")
      ->envname("STRATUS_DATA_DIR");
  app.add_option("--config", o.configFile,
                 "Settings file (default: $XDG_CONFIG_HOME/stratus/"
                 "settings.ini)");
  app.add_flag("-q,--quiet", o.quiet, "Show no progress, only errors");
  app.add_option("--sections", o.sections,
                 "How a product page is cut to the place: ugc (default: the "
                 "bulletins' UGC groups, by zone, county or office) or line "
                 "(one header line, by zone or city code)")
      ->transform(CLI::IsMember({"ugc", "line"}, CLI::ignore_case));
}

// Runs the command the command line named, with standard output filtered
// for text; the exit status.
int runAction(Context& ctx, const GlobalOptions& o) {
  stratus_cli::ConsoleInfoLine status(stderr, o.quiet);
  ctx.units = o.units.resolve();
  ctx.lineRule = o.sections == "line";
  ctx.dataDir = o.dataDir;
  ctx.settingsPath =
      o.configFile.empty() ? WSettings::defaultPath() : o.configFile;
  ctx.status = &status;
  // Text goes out with its control characters made visible; JSON escapes
  // them itself.
  stratus_cli::PrintableBuf printableOut(std::cout.rdbuf());
  std::ostream textOut(&printableOut);
  ctx.out = ctx.json ? &std::cout : &textOut;
  ctx.rawOut = &std::cout;
  try {
    if (ctx.action) return ctx.action();
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

// A usage error's message, pointing at the help of the command the line
// got to ("stratus config --help" for `stratus config`), with the
// subcommands' names when one of them was missing.
std::string usageError(CLI::App& app, const CLI::ParseError& e) {
  CLI::App* command = &app;
  std::string name = app.get_name();
  for (std::vector<CLI::App*> given = app.get_subcommands(); !given.empty();
       given = command->get_subcommands()) {
    command = given.front();
    name += " " + command->get_name();
  }
  std::string message = e.what();
  std::vector<CLI::App*> subs =
      command->get_subcommands([](CLI::App*) { return true; });
  if (command->get_subcommands().empty() && !subs.empty() &&
      command->get_require_subcommand_min() > 0) {
    message = "`" + name + "` needs one of: ";
    for (size_t i = 0; i < subs.size(); ++i)
      message += (i == 0 ? "" : ", ") + subs[i]->get_name();
  }
  return message + " (see `" + name + " --help`)";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Current conditions, forecasts and bulletins for US places, "
      "from libstratus.",
      "stratus"};
  app.footer(std::string(kPlaceHelp) + "\n\n" + stratus_cli::exitStatusHelp() +
             " See stratus(1) and stratus-settings(5).");
  app.set_version_flag("--version",
                       std::string("stratus ") + STRATUS_VERSION_STRING);
  app.fallthrough();
  app.require_subcommand(1);

  Context ctx;
  GlobalOptions options;
  addGlobalOptions(app, ctx, options);
  stratus_cli::addPlacesCommand(app, ctx);
  stratus_cli::addNowCommand(app, ctx);
  stratus_cli::addProductCommands(app, ctx);
  stratus_cli::addDecodeCommand(app, ctx);
  stratus_cli::addConfigCommand(app, ctx);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    stratus_cli::ConsoleInfoLine status(stderr, false);
    status.error(usageError(app, e));
    return stratus_cli::kExitUsage;
  }
  return runAction(ctx, options);
}
