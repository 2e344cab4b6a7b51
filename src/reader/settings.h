// The reader's settings: their names in the host's keeper, their defaults,
// and reading the proxy settings that every page fetch uses.
#ifndef STRATUS_READER_SETTINGS_H_
#define STRATUS_READER_SETTINGS_H_

#include "stratus/foundation/host.h"
#include "stratus/foundation/string.h"

namespace stratus {
namespace settings {

constexpr const char* kSection = "Internet";
constexpr const char* kUseProxy = "UseProxy";
constexpr const char* kProxyLocation = "ProxyLocation";
constexpr const char* kConditionsBase = "ConditionsBase";
constexpr const char* kWarningsBase = "WarningsBase";

// The local sample server that ships with the project, so that a fresh
// install works end to end offline.
constexpr const char* kDefaultConditionsBase =
    "http://127.0.0.1:8086/weather/current/";
constexpr const char* kDefaultWarningsBase = "http://127.0.0.1:8086/iwin/";

}  // namespace settings

struct ProxySettings {
  bool useProxy = false;
  LString location;
};

// Reads "UseProxy" and then "ProxyLocation". The keeper's results are not
// looked at: a missing key leaves 0 or the empty string.
ProxySettings readProxySettings(LKeeper& keeper);

// Reads a string setting; empty when the keeper lacks it.
LString readSetting(LKeeper& keeper, const char* key);

}  // namespace stratus

#endif  // STRATUS_READER_SETTINGS_H_
