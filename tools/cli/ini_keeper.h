// IniKeeper: the host's settings keeper (LKeeper) over an IniFile.
//
// Reads and stores go to the IniFile in memory; nothing is written to disk
// here. The defaults that WReader::SetKeeper stores therefore live only for
// one run, and the settings file changes only when the host saves it on
// purpose (`stratus config set`). Not thread-safe.
#ifndef STRATUS_TOOLS_CLI_INI_KEEPER_H_
#define STRATUS_TOOLS_CLI_INI_KEEPER_H_

#include <string>

#include "stratus/stratus.h"

#include "ini_file.h"

namespace stratus_cli {

class IniKeeper final : public LKeeper {
 public:
  // `file` must outlive the keeper.
  explicit IniKeeper(IniFile& file) : file_(file) {}

  bool isPresent(const LString& section, const LString& key,
                 int flags) override;
  // L_OK with `value` written when the key is present and holds a whole
  // decimal number; L_NOTFOUND when absent, L_FORMAT when not a number.
  int readInt(const LString& section, const LString& key, int& value,
              int flags) override;
  // L_OK with `value` written when present, else L_NOTFOUND.
  int readString(const LString& section, const LString& key, LString& value,
                 int flags) override;
  // Always L_OK.
  int storeInt(const LString& section, const LString& key, int value,
               int flags) override;
  int storeString(const LString& section, const LString& key,
                  const LString& value, int flags) override;

 private:
  IniFile& file_;
};

// True when `text` is a whole decimal int with an optional sign; `value`
// then holds it.
bool parseInt(const std::string& text, int& value);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_INI_KEEPER_H_
