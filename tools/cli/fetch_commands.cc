// `stratus now` and the seven product commands: everything that fetches a
// page through WReader.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "command_steps.h"
#include "commands.h"

namespace stratus_cli {

namespace {

// The product whose name (the library's, which is also the command's) is
// `name`; null when none.
const WProductInfo* productNamed(const std::string& name) {
  for (const WProductInfo& p : WReader::PRODUCTS) {
    if (name == p.name) return &p;
  }
  return nullptr;
}

// What cuts the product's page for the city under the rule in use, for
// messages: "zone IAZ060", "zone IAZ060 or county IAC153", ...
std::string cutBy(const WProductInfo& product, const WPlace& city,
                  bool ugcRule) {
  if (!ugcRule)
    return product.byZone ? "zone " + city.zone : "code " + city.code;
  std::string keys = "zone " + city.zone + " or county " + city.county;
  return product.byZone ? keys : keys + " or office " + city.office;
}

// A reader with the host's status line and the settings file's keeper.
struct Fetch {
  WSettingsFile file;
  WReader reader;

  explicit Fetch(Context& ctx) : file(ctx.settingsPath), reader(ctx.status) {
    reader.setSectionRule(ctx.lineRule ? WReader::LineRule : WReader::UgcRule);
  }
  void start() { reader.SetKeeper(&file); }
  std::string setting(const char* key) {
    const std::string* value = file.get(WSettings::SECTION, key);
    return value != nullptr ? *value : "";
  }
};

// Says why `url` was not had, from the reader's record of the failure, and
// what to do about it.
int pageNotAvailable(Context& ctx, const std::string& url, const char* key) {
  WFetchFailure failure = lastFetchFailure();
  std::string why = failure.kind == WFetchFailure::NONE
                        ? "the page could not be had"
                        : failure.describe();
  std::string hint;
  if (failure.kind == WFetchFailure::NO_ANSWER) {
    hint =
        "; start a server there (stratus-sample-server serves the "
        "offline samples, stratus-gateway live weather) or point " +
        std::string(key) + " at one with `stratus config set " + key + " URL`";
  } else if (failure.kind == WFetchFailure::HTTP_STATUS) {
    hint = "; check the " + std::string(key) + " setting with " +
           "`stratus config get " + key + "`";
  }
  ctx.status->error("page not available: " + url + ": " + why + hint);
  return kExitUnavailable;
}

nlohmann::json placeJson(const WPlace& city, const WLocation& location) {
  nlohmann::json j = stratus_cli::placeJson(city);
  j["display_name"] = location.getName().str();
  return j;
}

int prepare(Context& ctx, Fetch& fetch, const std::string& text,
            WLocation& location, WPlace& city) {
  if (int rc = loadSettingsFile(ctx, fetch.file)) return rc;
  fetch.start();
  LocationData data(ctx);
  if (int rc = data.check(ctx)) return rc;
  if (int rc = resolvePlace(ctx, text, city)) return rc;
  location = city.location();
  return kExitOk;
}

}  // namespace

int runProduct(Context& ctx, const std::string& command,
               const std::string& place) {
  const WProductInfo* product = productNamed(command);
  if (product == nullptr) return kExitUsage;

  Fetch fetch(ctx);
  WLocation location;
  WPlace city;
  if (int rc = prepare(ctx, fetch, place, location, city)) return rc;

  std::string url = fetch.setting("WarningsBase") +
                    location.getShortState().str() + product->page;
  LString text;
  int rc = (fetch.reader.*(product->get))(location, text);
  switch (rc) {
    case L_OK:
      break;
    case L_RANGE:  // the text so far, cut at the library's cap
      ctx.status->error(std::string("the ") + product->label + " for " +
                        city.label() + " in " + url +
                        " is larger than the reader takes; shown cut short");
      break;
    case L_NOTFOUND:
      ctx.status->error(city.label() + " has no " +
                        (ctx.lineRule
                             ? (product->byZone ? "forecast zone" : "city code")
                             : "zone, county or office") +
                        " in the location data");
      return kExitNotFound;
    case L_INPUT:
      ctx.status->error(std::string("no ") + product->label + " for " +
                        city.label() + " (" +
                        cutBy(*product, city, !ctx.lineRule) + ") in " + url);
      return kExitNotFound;
    case L_CONNECT:
      return pageNotAvailable(ctx, url, "WarningsBase");
    default:
      ctx.status->error(resultMessage(rc));
      return kExitSoftware;
  }
  std::string plain = productLines(text);
  if (ctx.json) {
    nlohmann::json j{{"place", placeJson(city, location)},
                     {"product", product->name},
                     {"url", url},
                     {"text", plain}};
    *ctx.out << jsonText(j);
  } else {
    *ctx.out << plain;
  }
  return kExitOk;
}

int runNow(Context& ctx, const std::string& place, bool strict) {
  Fetch fetch(ctx);
  WLocation location;
  WPlace city;
  if (int rc = prepare(ctx, fetch, place, location, city)) return rc;

  std::string url = fetch.setting("ConditionsBase") + city.code + ".html";
  LString raw;
  WObservation narrow;
  WReport full;
  int rc = strict ? getCurrentObservation(fetch.reader, location, raw, narrow)
                  : getCurrentReport(fetch.reader, location, raw, full);
  switch (rc) {
    case L_OK:
      break;
    case L_DB:
      ctx.status->error(city.label() + " has no station code in the " +
                        "location data");
      return kExitNotFound;
    case L_CONNECT:
      return pageNotAvailable(ctx, url, "ConditionsBase");
    case L_ERROR:
      ctx.status->error("the report on " + url + " could not be decoded");
      return kExitDataError;
    case L_NOTFOUND:
      ctx.status->error("no observation report on " + url);
      return kExitDataError;
    default:
      ctx.status->error(resultMessage(rc));
      return kExitSoftware;
  }
  Reading reading = strict ? readingOf(narrow) : readingOf(full);
  reading.place = &city;
  if (ctx.json) {
    nlohmann::json j{{"place", placeJson(city, location)},
                     {"station", city.code},
                     {"url", url},
                     {"report", raw.str()},
                     {"conditions", readingJson(reading, ctx.units)}};
    *ctx.out << jsonText(j);
  } else {
    *ctx.out << location.getName().str() << " (station " << city.code << ")\n";
    printReading(*ctx.out, reading, ctx.units);
  }
  return kExitOk;
}

namespace {

// Adds a command that takes one PLACE (several words are joined) and runs
// `run` with it.
CLI::App* addPlaceCommand(
    CLI::App& app, Context& ctx, const std::string& name,
    const std::string& help,
    std::function<int(Context&, const std::string& place)> run) {
  auto words = std::make_shared<std::vector<std::string>>();
  CLI::App* sub = app.add_subcommand(name, help);
  sub->add_option("place", *words, "The place")->required();
  sub->callback([&ctx, words, run] {
    ctx.action = [&ctx, words, run] { return run(ctx, joinWords(*words)); };
  });
  return sub;
}

}  // namespace

void addNowCommand(CLI::App& app, Context& ctx) {
  auto strict = std::make_shared<bool>(false);
  addPlaceCommand(app, ctx, "now", "Current conditions at a place",
                  [strict](Context& c, const std::string& place) {
                    return runNow(c, place, *strict);
                  })
      ->add_flag("--strict", *strict,
                 "Read the report narrowly: temperature, dew point, "
                 "pressure, wind and time only");
}

void addProductCommands(CLI::App& app, Context& ctx) {
  for (const WProductInfo& p : WReader::PRODUCTS) {
    std::string command = p.name;
    std::string help = std::string("Show the ") + p.label + " for the " +
                       (p.byZone ? "place's zone" : "place's city");
    addPlaceCommand(app, ctx, command, help,
                    [command](Context& c, const std::string& place) {
                      return runProduct(c, command, place);
                    });
  }
}

}  // namespace stratus_cli
