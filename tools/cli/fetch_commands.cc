// `stratus now` and the seven product commands: everything that fetches a
// page through WReader.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "command_steps.h"
#include "commands.h"
#include "ini_keeper.h"
#include "settings.h"

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
std::string cutBy(const WProductInfo& product, const CityRow& city,
                  bool ugcRule) {
  if (!ugcRule)
    return product.byZone ? "zone " + city.zone : "code " + city.code;
  std::string keys = "zone " + city.zone + " or county " + city.county;
  return product.byZone ? keys : keys + " or office " + city.office;
}

// A reader with the host's status line and the settings file's keeper.
struct Fetch {
  IniFile file;
  IniKeeper keeper{file};
  WReader reader;

  explicit Fetch(Context& ctx) : reader(ctx.status) {
    reader.setSectionRule(ctx.lineRule ? WReader::LineRule : WReader::UgcRule);
  }
  void start() { reader.SetKeeper(&keeper); }
  std::string setting(const char* key) {
    LString value;
    keeper.readString(kInternetSection, key, value, 0);
    return value.str();
  }
};

// The library's text has "\r\n" line ends and a blank in front of every
// line but the first (the joint between collected lines); give the lines
// back as the page had them, with "\n" ends.
std::string plainLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\n') {
      out += '\n';
      ++i;
      if (i + 1 < text.size() && text[i + 1] == ' ') ++i;
    }
  }
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}

int pageNotAvailable(Context& ctx, const std::string& url, const char* key) {
  ctx.status->error("page not available: " + url + " (the server is down or " +
                    "has no such page; check the " + key + " setting with " +
                    "`stratus config get " + key + "`)");
  return kExitUnavailable;
}

nlohmann::json placeJson(const CityRow& city, const WLocation& location) {
  nlohmann::json j = city.json();
  j["display_name"] = location.getName().str();
  return j;
}

int prepare(Context& ctx, Fetch& fetch, const std::string& place,
            WLocation& location, CityRow& city) {
  if (int rc = loadSettingsFile(ctx, fetch.file)) return rc;
  fetch.start();
  LocationData data(ctx);
  if (int rc = data.check(ctx)) return rc;
  return resolvePlace(ctx, place, location, city);
}

}  // namespace

int runProduct(Context& ctx, const std::string& command,
               const std::string& place) {
  const WProductInfo* product = productNamed(command);
  if (product == nullptr) return kExitUsage;

  Fetch fetch(ctx);
  WLocation location;
  CityRow city;
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
      return kExitNotFound;
  }
  std::string plain = plainLines(text.str());
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
  CityRow city;
  if (int rc = prepare(ctx, fetch, place, location, city)) return rc;

  std::string url = fetch.setting("ConditionsBase") + city.code + ".html";
  WCondition condition;
  markUnset(condition);
  LString report;
  int rc = strict ? fetch.reader.getCondition(location, condition)
                  : fetch.reader.getReport(location, report);
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
      return kExitNotFound;
  }
  WReport full{};
  Reading reading;
  if (strict) {
    reading = readingOf(condition);
  } else {
    decodeReport(report, full);
    reading = readingOf(full);
  }
  if (reading.empty()) {
    ctx.status->error("no observation report could be decoded from " + url);
    return kExitDataError;
  }
  if (ctx.json) {
    nlohmann::json j{{"place", placeJson(city, location)},
                     {"station", city.code},
                     {"url", url},
                     {"report", strict ? nlohmann::json(nullptr)
                                       : nlohmann::json(report.str())},
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
