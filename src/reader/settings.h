// The reader's settings: the keys it reads from the host's keeper, their
// defaults and the proxy settings of every page fetch; and the status-line
// helpers that tolerate a host without a status line.
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

// Shows a message, or signals the end of the progress display, on the
// status line; nothing when there is none.
inline void show(LInfoLine* infoLine, const LString& message) {
  if (infoLine != nullptr) infoLine->show(message);
}
inline void endProgress(LInfoLine* infoLine) {
  if (infoLine != nullptr) infoLine->endProgress();
}

}  // namespace stratus

#endif  // STRATUS_READER_SETTINGS_H_
