#include "settings.h"

#include <strings.h>

#include <cstdlib>
#include <string>

#include "ini_keeper.h"
#include "text.h"

namespace stratus_cli {

namespace {

// Empty when `url` is an http:// or https:// URL with a host and without
// blanks or control characters, else what is wrong with it.
std::string urlProblem(const std::string& url) {
  for (unsigned char c : url) {
    if (c <= ' ' || c == 0x7F)
      return "must not hold blanks or control characters";
  }
  size_t sep = url.find("://");
  std::string scheme = lowerAscii(url.substr(0, sep));
  if (sep == std::string::npos || (scheme != "http" && scheme != "https"))
    return "must be an http:// or https:// URL, not \"" + url + "\"";
  size_t start = sep + 3;
  std::string host = url.substr(start, url.find_first_of("/?#", start) - start);
  host.erase(0, host.rfind('@') + 1);  // user:password@
  if (!host.empty()) {
    // Up to the ":port"; an [IPv6] address holds colons of its own.
    size_t end = host[0] == '[' ? host.find(']') + 1 : host.find(':');
    if (end != std::string::npos) host.resize(end);
  }
  if (host.empty() || host == "[]") return "has no host: \"" + url + "\"";
  return "";
}

}  // namespace

const char kInternetSection[] = "Internet";

const SettingInfo kSettings[4] = {
    {"UseProxy", true, false, "0: no proxy, other numbers: use ProxyLocation"},
    {"ProxyLocation", false, false, "the proxy, host:port"},
    {"ConditionsBase", false, true,
     "base URL of the current-conditions pages, ending in \"/\""},
    {"WarningsBase", false, true,
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

bool checkSettingValue(const SettingInfo& setting, const std::string& value,
                       std::string& reason) {
  int n;
  if (value.find_first_of("\r\n") != std::string::npos) {
    reason = "a setting's value must be one line";
  } else if (setting.isInt && !parseInt(value, n)) {
    reason = std::string(setting.key) + " must be a whole number, not \"" +
             value + "\"";
  } else if (setting.isUrl && !urlProblem(value).empty()) {
    reason = std::string(setting.key) + " " + urlProblem(value);
  } else {
    return true;
  }
  return false;
}

bool loadSettings(const std::string& path, IniFile& file, std::string& error) {
  IniFile::Error e;
  if (!IniFile::load(path, file, e)) {
    error = e.message;
    return false;
  }
  return checkSettings(path, file, error);
}

bool checkSettings(const std::string& path, const IniFile& file,
                   std::string& error) {
  // The same rules as `config set`: a value edited by hand that the fetch
  // would refuse (file:///..., a UseProxy of "yes") stops here.
  for (const SettingInfo& s : kSettings) {
    const std::string* value = file.get(kInternetSection, s.key);
    std::string reason;
    if (value != nullptr && !checkSettingValue(s, *value, reason)) {
      error = "settings file " + path + ", line " +
              std::to_string(file.lineOf(kInternetSection, s.key)) + ": " +
              reason;
      return false;
    }
  }
  return true;
}

}  // namespace stratus_cli
