// `stratus config`: the settings file, shown with the library's defaults
// filled in, and changed one key at a time.
#include <strings.h>

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "command_steps.h"
#include "commands.h"

namespace stratus_cli {

namespace {

struct Entry {
  std::string key;
  std::string value;
  bool isDefault;
};

// The settings section's entries of the file, then the library's defaults
// for the known keys the file lacks.
std::vector<Entry> effectiveSettings(const WSettingsFile& file) {
  std::vector<Entry> out;
  for (const auto& e : file.entries(WSettings::SECTION))
    out.push_back({e.first, e.second, false});
  for (const WSettingInfo& s : WSettings::LIST) {
    if (file.get(WSettings::SECTION, s.key) == nullptr)
      out.push_back({s.key, s.defaultValue, true});
  }
  return out;
}

nlohmann::json valueJson(const std::string& key, const std::string& value) {
  const WSettingInfo* info = WSettings::find(key);
  int n;
  if (info != nullptr && info->isInt && WSettings::parseInt(value, n)) return n;
  return value;
}

// The exit status of a change of the settings file, with its error shown.
int changed(Context& ctx, WSettingsFile::Result result,
            const std::string& error, int badFile) {
  switch (result) {
    case WSettingsFile::DONE:
      return kExitOk;
    case WSettingsFile::BAD_FILE:
      ctx.status->error(error);
      return badFile;
    case WSettingsFile::REFUSED:
      ctx.status->error(error);
      return kExitUsage;
    case WSettingsFile::CANT_WRITE:
      break;
  }
  ctx.status->error(error);
  return kExitCantWrite;
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
  WSettingsFile file(ctx.settingsPath);
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
                     {"section", std::string(WSettings::SECTION)},
                     {"settings", settings},
                     {"defaults", defaults}};
    *ctx.out << jsonText(j);
    return kExitOk;
  }
  *ctx.out << "[" << WSettings::SECTION << "]\n";
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
  WSettingsFile file(ctx.settingsPath);
  if (int rc = loadSettingsFile(ctx, file)) return rc;
  for (const Entry& e : effectiveSettings(file)) {
    if (strcasecmp(e.key.c_str(), key.c_str()) != 0) continue;
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
                    WSettings::keyList() + ")");
  return kExitNotFound;
}

int runConfigSet(Context& ctx, const std::string& key,
                 const std::string& value) {
  // Checked, then loaded, changed and saved under the file's lock, so that
  // concurrent runs setting different keys all land.
  WSettingsFile file(ctx.settingsPath);
  std::string error;
  if (int rc = changed(ctx, file.set(key, value, error), error, kExitConfig))
    return rc;
  if (ctx.json) {
    const WSettingInfo* info = WSettings::find(key);
    nlohmann::json j{{"key", info->key},
                     {"value", valueJson(info->key, value)}};
    *ctx.out << jsonText(j);
  }
  return kExitOk;
}

int runConfigUnset(Context& ctx, const std::string& key) {
  WSettingsFile file(ctx.settingsPath);
  std::string error;
  return changed(ctx, file.unset(key, error), error, kExitConfig);
}

int runConfigReset(Context& ctx) {
  WSettingsFile file(ctx.settingsPath);
  std::string error;
  return changed(ctx, file.reset(error), error, kExitConfig);
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
  add("unset", "Remove a setting from the file: its default applies again",
      [&ctx, opts] { return runConfigUnset(ctx, opts->key); })
      ->add_option("key", opts->key, "The setting")
      ->required();
  add("reset", "Remove every setting from the file: the defaults apply",
      [&ctx] { return runConfigReset(ctx); });
  add("path", "Where the settings file is",
      [&ctx] { return runConfigPath(ctx); });
}

}  // namespace stratus_cli
