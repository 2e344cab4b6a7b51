// `stratus config`: the settings file, shown with the library's defaults
// filled in, and changed one key at a time.
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

struct Entry {
  std::string key;
  std::string value;
  bool isDefault;
};

// The [Internet] entries of the file, then the library's defaults for the
// known keys the file lacks (what WReader::SetKeeper would store).
std::vector<Entry> effectiveSettings(IniFile& file) {
  std::vector<Entry> out;
  for (const auto& e : file.entries(kInternetSection))
    out.push_back({e.first, e.second, false});
  IniFile seeded = file;
  IniKeeper keeper(seeded);
  WReader reader;
  reader.SetKeeper(&keeper);
  for (const SettingInfo& s : kSettings) {
    if (file.get(kInternetSection, s.key) == nullptr)
      out.push_back({s.key, *seeded.get(kInternetSection, s.key), true});
  }
  return out;
}

nlohmann::json valueJson(const std::string& key, const std::string& value) {
  const SettingInfo* info = findSetting(key);
  int n;
  if (info != nullptr && info->isInt && parseInt(value, n)) return n;
  return value;
}

std::string knownKeys() {
  std::string keys;
  for (const SettingInfo& s : kSettings)
    keys += std::string(keys.empty() ? "" : ", ") + s.key;
  return keys;
}

}  // namespace

int runConfigPath(Context& ctx) {
  if (ctx.json) {
    *ctx.out << jsonText(nlohmann::json{{"path", ctx.settingsPath}});
  } else {
    *ctx.out << ctx.settingsPath << '\n';
  }
  return kExitOk;
}

int runConfigList(Context& ctx) {
  IniFile file;
  if (int rc = loadSettingsFile(ctx, file)) return rc;
  std::vector<Entry> entries = effectiveSettings(file);
  if (ctx.json) {
    nlohmann::json settings = nlohmann::json::object();
    nlohmann::json defaults = nlohmann::json::array();
    for (const Entry& e : entries) {
      settings[e.key] = valueJson(e.key, e.value);
      if (e.isDefault) defaults.push_back(e.key);
    }
    nlohmann::json j{{"path", ctx.settingsPath},
                     {"section", std::string(kInternetSection)},
                     {"settings", settings},
                     {"defaults", defaults}};
    *ctx.out << jsonText(j);
    return kExitOk;
  }
  *ctx.out << "[" << kInternetSection << "]\n";
  bool defaults = false;
  for (const Entry& e : entries) {
    if (e.isDefault && !defaults) {
      *ctx.out << "; defaults, not set in " << ctx.settingsPath << ":\n";
      defaults = true;
    }
    *ctx.out << e.key << " =" << (e.value.empty() ? "" : " ") << e.value
             << '\n';
  }
  return kExitOk;
}

int runConfigGet(Context& ctx, const std::string& key) {
  IniFile file;
  if (int rc = loadSettingsFile(ctx, file)) return rc;
  for (const Entry& e : effectiveSettings(file)) {
    if (!sameNameIgnoringCase(e.key, key)) continue;
    if (ctx.json) {
      nlohmann::json j{{"key", e.key},
                       {"value", valueJson(e.key, e.value)},
                       {"default", e.isDefault}};
      *ctx.out << jsonText(j);
    } else {
      *ctx.out << e.value << '\n';
    }
    return kExitOk;
  }
  ctx.status->error("no setting \"" + key + "\" (the settings are " +
                    knownKeys() + ")");
  return kExitNotFound;
}

int runConfigSet(Context& ctx, const std::string& key,
                 const std::string& value) {
  const SettingInfo* info = findSetting(key);
  if (info == nullptr) {
    ctx.status->error("unknown setting \"" + key + "\" (the settings are " +
                      knownKeys() + ")");
    return kExitUsage;
  }
  std::string error;
  if (!checkSettingValue(*info, value, error)) {
    ctx.status->error(error);
    return kExitUsage;
  }
  // Loaded, checked, changed and saved under the file's lock, so that
  // concurrent runs setting different keys all land.
  auto change = [&](IniFile& file, std::string& why) {
    if (!checkSettings(ctx.settingsPath, file, why)) return false;
    file.set(kInternetSection, info->key, value);
    return true;
  };
  switch (IniFile::update(ctx.settingsPath, change, error)) {
    case IniFile::Update::kSaved:
      break;
    case IniFile::Update::kBadFile:
      ctx.status->error(error);
      return kExitConfig;
    case IniFile::Update::kCantWrite:
      ctx.status->error(error);
      return kExitCantWrite;
  }
  if (ctx.json) {
    nlohmann::json j{{"key", info->key},
                     {"value", valueJson(info->key, value)}};
    *ctx.out << jsonText(j);
  }
  return kExitOk;
}

void addConfigCommand(CLI::App& app, Context& ctx) {
  struct Options {
    std::string key, value;
  };
  auto opts = std::make_shared<Options>();
  CLI::App* config = app.add_subcommand("config", "Show or change settings");
  config->require_subcommand(1);
  auto add = [&](const char* name, const char* help, std::function<int()> run) {
    CLI::App* sub = config->add_subcommand(name, help);
    sub->callback([&ctx, run] { ctx.action = run; });
    return sub;
  };
  add("list", "Every setting, defaults included",
      [&ctx] { return runConfigList(ctx); });
  add("get", "One setting's value",
      [&ctx, opts] { return runConfigGet(ctx, opts->key); })
      ->add_option("key", opts->key, "The setting")
      ->required();
  CLI::App* set =
      add("set", "Change a setting in the settings file",
          [&ctx, opts] { return runConfigSet(ctx, opts->key, opts->value); });
  set->add_option("key", opts->key, "The setting")->required();
  set->add_option("value", opts->value, "Its new value")->required();
  add("path", "Where the settings file is",
      [&ctx] { return runConfigPath(ctx); });
}

}  // namespace stratus_cli
