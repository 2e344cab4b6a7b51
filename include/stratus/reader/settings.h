// The settings WReader reads from its keeper: the four keys, their defaults
// and the rule for their values, as one table that the reader and every
// host use.
#ifndef STRATUS_READER_SETTINGS_H_
#define STRATUS_READER_SETTINGS_H_

#include <string>

#include "stratus/export.h"

// One setting that WReader reads, with what a host needs to show and check
// it.
struct WSettingInfo {
  const char* key;           // "ConditionsBase"
  bool isInt;                // a whole number
  bool isUrl;                // a base URL of pages
  const char* defaultValue;  // what WReader::SetKeeper stores when missing
  const char* help;          // one line for a person
};

class STRATUS_EXPORT WSettings {
 public:
  // The keeper section that every setting lives in: "Internet".
  static const char SECTION[];
  // "UseProxy", "ProxyLocation", "ConditionsBase", "WarningsBase", in the
  // order WReader::SetKeeper seeds them. The reader takes its keys and
  // defaults from this table.
  static constexpr int COUNT = 4;
  static const WSettingInfo LIST[COUNT];

  // The setting whose key equals `key` regardless of ASCII case, or null.
  static const WSettingInfo* find(const std::string& key);
  // "UseProxy, ProxyLocation, ConditionsBase, WarningsBase", for messages.
  static std::string keyList();

  // True when `value` may be stored as `setting`: one line; for a
  // whole-number setting, a whole decimal int; for a base URL, what
  // urlProblem accepts. Otherwise false with `reason`, a sentence naming the
  // setting ("ConditionsBase must be an http:// or https:// URL, not ...").
  static bool check(const WSettingInfo& setting, const std::string& value,
                    std::string& reason);

  // "" when `url` is an http:// or https:// URL (scheme in any case) with a
  // host and without blanks or control characters, else what is wrong with
  // it ("has no host: ..."). The page fetcher applies the same rule to every
  // URL it is asked for.
  static std::string urlProblem(const std::string& url);

  // True when `text` is a whole decimal int with an optional sign (no
  // blanks, no overflow); `value` is written then only.
  static bool parseInt(const std::string& text, int& value);

  // $XDG_CONFIG_HOME/stratus/settings.ini, or ~/.config/stratus/settings.ini
  // when XDG_CONFIG_HOME is unset, empty or not absolute; "" when neither it
  // nor HOME is known.
  static std::string defaultPath();
};

#endif  // STRATUS_READER_SETTINGS_H_
