// The commands of the `stratus` host. Each returns the process's exit
// status; data goes to Context::out, messages to the status line.
#ifndef STRATUS_TOOLS_CLI_COMMANDS_H_
#define STRATUS_TOOLS_CLI_COMMANDS_H_

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "console_info_line.h"
#include "reading.h"

namespace stratus_cli {

// Exit statuses (the values of sysexits.h where one fits).
constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;      // nothing found, no matching place
constexpr int kExitUsage = 64;        // bad command line, ambiguous place
constexpr int kExitDataError = 65;    // a report that decodes to nothing
constexpr int kExitNoData = 66;       // location data missing
constexpr int kExitSoftware = 70;     // the library ran out of memory
constexpr int kExitCantWrite = 73;    // the settings file cannot be written
constexpr int kExitUnavailable = 75;  // page not available
constexpr int kExitConfig = 78;       // bad settings file

struct Context {
  bool json = false;
  Units units;
  std::string dataDir;       // the location data folder
  std::string settingsPath;  // the settings file
  ConsoleInfoLine* status = nullptr;
  std::ostream* out = nullptr;
};

// `stratus places [TEXT] [--state ST]`
int runPlaces(Context& ctx, const std::string& text, const std::string& state);
// `stratus now PLACE`
int runNow(Context& ctx, const std::string& place);
// `stratus <product> PLACE`; `product` is one of productNames().
int runProduct(Context& ctx, const std::string& product,
               const std::string& place);
// The seven product commands with a line of help each, in display order.
struct ProductName {
  const char* command;
  const char* help;
};
const std::vector<ProductName>& productNames();
// `stratus decode [REPORT | -]`: `report` empty or "-" reads standard
// input, one report per line.
int runDecode(Context& ctx, const std::string& report, std::istream& in);
// `stratus config list|get|set|path`
int runConfigList(Context& ctx);
int runConfigGet(Context& ctx, const std::string& key);
int runConfigSet(Context& ctx, const std::string& key,
                 const std::string& value);
int runConfigPath(Context& ctx);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_COMMANDS_H_
