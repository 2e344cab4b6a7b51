// The settings of the command-line host: where the file lives, which keys
// it knows, and loading with a check of the values.
#ifndef STRATUS_TOOLS_CLI_SETTINGS_H_
#define STRATUS_TOOLS_CLI_SETTINGS_H_

#include <string>

#include "ini_file.h"

namespace stratus_cli {

// The section the library reads every setting from.
extern const char kInternetSection[];

struct SettingInfo {
  const char* key;
  bool isInt;
  const char* help;
};
// The four settings that the library reads, in the order it seeds them.
extern const SettingInfo kSettings[4];

// The known setting whose key equals `key` regardless of case, or null.
const SettingInfo* findSetting(const std::string& key);

// $XDG_CONFIG_HOME/stratus/settings.ini, or ~/.config/stratus/settings.ini
// when XDG_CONFIG_HOME is unset, empty or not absolute. "" when neither it
// nor HOME is known.
std::string defaultSettingsPath();

// Loads the settings file at `path` (a missing file is an empty one) and
// checks the values of known keys. False with `error` (naming the file and
// the line) when the file is unreadable, malformed or holds a bad value.
bool loadSettings(const std::string& path, IniFile& file, std::string& error);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_SETTINGS_H_
