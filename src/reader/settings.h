// The reader's reading of its settings from the host's keeper (the keys and
// defaults are WSettings, stratus/reader/settings.h), and the status-line
// helpers that tolerate a host without a status line.
#ifndef STRATUS_READER_SETTINGS_H_INTERNAL_
#define STRATUS_READER_SETTINGS_H_INTERNAL_

#include "stratus/foundation/host.h"
#include "stratus/foundation/string.h"
#include "stratus/reader/settings.h"

namespace stratus {
namespace settings {

// Rows of WSettings::LIST by name, for the reader's own reads.
inline const WSettingInfo& kUseProxy = WSettings::LIST[0];
inline const WSettingInfo& kProxyLocation = WSettings::LIST[1];
inline const WSettingInfo& kConditionsBase = WSettings::LIST[2];
inline const WSettingInfo& kWarningsBase = WSettings::LIST[3];

}  // namespace settings

struct ProxySettings {
  bool useProxy = false;
  LString location;
};

// Reads "UseProxy" and then "ProxyLocation". The keeper's results are not
// looked at: a missing key leaves 0 or the empty string.
ProxySettings readProxySettings(LKeeper& keeper);

// Reads a string setting; empty when the keeper lacks it.
LString readSetting(LKeeper& keeper, const WSettingInfo& setting);

// Stores the default of every setting the keeper lacks, in table order.
void seedDefaults(LKeeper& keeper);

// Shows a message, or signals the end of the progress display, on the
// status line; nothing when there is none.
inline void show(LInfoLine* infoLine, const LString& message) {
  if (infoLine != nullptr) infoLine->show(message);
}
inline void endProgress(LInfoLine* infoLine) {
  if (infoLine != nullptr) infoLine->endProgress();
}

}  // namespace stratus

#endif  // STRATUS_READER_SETTINGS_H_INTERNAL_
