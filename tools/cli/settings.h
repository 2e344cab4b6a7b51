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
  bool isInt;  // a whole number
  bool isUrl;  // a base URL of pages
  const char* help;
};
// The four settings that the library reads, in the order it seeds them.
extern const SettingInfo kSettings[4];

// The known setting whose key equals `key` regardless of case, or null.
const SettingInfo* findSetting(const std::string& key);

// True when `value` may be stored as `setting`: one line; for a whole-number
// setting, a whole number; for a base URL, an http:// or https:// URL with a
// host and no blank or control character (what the library fetches; it
// refuses other URLs itself too, but only when it fetches them). Otherwise
// false with `reason`, a sentence that names the setting.
bool checkSettingValue(const SettingInfo& setting, const std::string& value,
                       std::string& reason);

// $XDG_CONFIG_HOME/stratus/settings.ini, or ~/.config/stratus/settings.ini
// when XDG_CONFIG_HOME is unset, empty or not absolute. "" when neither it
// nor HOME is known.
std::string defaultSettingsPath();

// Loads the settings file at `path` (a missing file is an empty one) and
// checks the values of known keys as checkSettingValue does (a base URL
// edited by hand to file:///... is refused here, not only at the fetch). False
// with `error` (naming the file and the line) when the file is unreadable,
// malformed or holds a bad value.
bool loadSettings(const std::string& path, IniFile& file, std::string& error);
// The check of the values that loadSettings makes, on a file already loaded
// from `path`.
bool checkSettings(const std::string& path, const IniFile& file,
                   std::string& error);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_SETTINGS_H_
