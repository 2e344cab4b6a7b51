#include "reader/settings.h"

#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

const char WSettings::SECTION[] = "Internet";

// The defaults point at the local sample server that ships with the
// project, so that a fresh install works end to end offline.
const WSettingInfo WSettings::LIST[WSettings::COUNT] = {
    {"UseProxy", true, false, "0",
     "0: no proxy, other numbers: use ProxyLocation"},
    {"ProxyLocation", false, false, "", "the proxy, host:port"},
    {"ConditionsBase", false, true, "http://127.0.0.1:8086/weather/current/",
     "base URL of the current-conditions pages, ending in \"/\""},
    {"WarningsBase", false, true, "http://127.0.0.1:8086/iwin/",
     "base URL of the text-product pages, ending in \"/\""},
};

const WSettingInfo* WSettings::find(const std::string& key) {
  for (const WSettingInfo& s : LIST) {
    if (strcasecmp(s.key, key.c_str()) == 0) return &s;
  }
  return nullptr;
}

std::string WSettings::keyList() {
  std::string keys;
  for (const WSettingInfo& s : LIST)
    keys += std::string(keys.empty() ? "" : ", ") + s.key;
  return keys;
}

bool WSettings::parseInt(const std::string& text, int& value) {
  if (text.empty()) return false;
  size_t digits = text[0] == '+' || text[0] == '-' ? 1 : 0;
  if (digits == text.size()) return false;
  for (size_t i = digits; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  errno = 0;
  long v = std::strtol(text.c_str(), nullptr, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

std::string WSettings::urlProblem(const std::string& url) {
  for (unsigned char c : url) {
    if (c <= ' ' || c == 0x7F)
      return "must not hold blanks or control characters";
  }
  size_t sep = url.find("://");
  std::string scheme = url.substr(0, sep);
  if (sep == std::string::npos || (strcasecmp(scheme.c_str(), "http") != 0 &&
                                   strcasecmp(scheme.c_str(), "https") != 0))
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

bool WSettings::check(const WSettingInfo& setting, const std::string& value,
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

std::string WSettings::defaultPath() {
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

namespace stratus {

ProxySettings readProxySettings(LKeeper& keeper) {
  int useProxy = 0;
  ProxySettings proxy;
  keeper.readInt(WSettings::SECTION, settings::kUseProxy.key, useProxy, 0);
  keeper.readString(WSettings::SECTION, settings::kProxyLocation.key,
                    proxy.location, 0);
  proxy.useProxy = useProxy != 0;
  return proxy;
}

LString readSetting(LKeeper& keeper, const WSettingInfo& setting) {
  LString value;
  keeper.readString(WSettings::SECTION, setting.key, value, 0);
  return value;
}

void seedDefaults(LKeeper& keeper) {
  const LString section(WSettings::SECTION);
  for (const WSettingInfo& s : WSettings::LIST) {
    if (keeper.isPresent(section, s.key, 0)) continue;
    if (s.isInt) {
      keeper.storeInt(section, s.key, std::atoi(s.defaultValue), 0);
    } else {
      keeper.storeString(section, s.key, s.defaultValue, 0);
    }
  }
}

}  // namespace stratus
