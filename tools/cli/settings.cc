#include "settings.h"

#include <strings.h>

#include <cstdlib>

#include "ini_keeper.h"

namespace stratus_cli {

const char kInternetSection[] = "Internet";

const SettingInfo kSettings[4] = {
    {"UseProxy", true, "0: no proxy, other numbers: use ProxyLocation"},
    {"ProxyLocation", false, "the proxy, host:port"},
    {"ConditionsBase", false,
     "base URL of the current-conditions pages, ending in \"/\""},
    {"WarningsBase", false,
     "base URL of the text-product pages, ending in \"/\""},
};

const SettingInfo* findSetting(const std::string& key) {
  for (const SettingInfo& s : kSettings) {
    if (strcasecmp(s.key, key.c_str()) == 0) return &s;
  }
  return nullptr;
}

std::string defaultSettingsPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return "";
    base = std::string(home) + "/.config";
  }
  return base + "/stratus/settings.ini";
}

bool loadSettings(const std::string& path, IniFile& file, std::string& error) {
  IniFile::Error e;
  if (!IniFile::load(path, file, e)) {
    error = e.message;
    return false;
  }
  for (const SettingInfo& s : kSettings) {
    const std::string* value = file.get(kInternetSection, s.key);
    int n;
    if (s.isInt && value != nullptr && !parseInt(*value, n)) {
      error = "settings file " + path + ", line " +
              std::to_string(file.lineOf(kInternetSection, s.key)) + ": " +
              s.key + " must be a whole number, not \"" + *value + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace stratus_cli
