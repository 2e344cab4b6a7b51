// The commands of the `stratus` host. Each command registers itself on the
// program's CLI::App with its options; when the command line names it, its
// callback leaves the work to run in Context::action, which returns the
// process's exit status. Data goes to Context::out, messages to the status
// line.
#ifndef STRATUS_TOOLS_CLI_COMMANDS_H_
#define STRATUS_TOOLS_CLI_COMMANDS_H_

#include <functional>
#include <ostream>
#include <string>

#include "console_info_line.h"
#include "reading.h"
#include "text.h"

namespace CLI {
class App;
}

namespace stratus_cli {

// Exit statuses (the values of sysexits.h where one fits). What each means
// is in exitStatusHelp(), built from one table.
constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;      // nothing found, no matching place
constexpr int kExitUsage = 64;        // bad command line, ambiguous place
constexpr int kExitDataError = 65;    // a report that decodes to nothing
constexpr int kExitNoData = 66;       // location data missing
constexpr int kExitSoftware = 70;     // the library failed: out of memory or
                                      // a result the host does not know
constexpr int kExitCantWrite = 73;    // the settings file cannot be written
constexpr int kExitUnavailable = 75;  // page not available
constexpr int kExitConfig = 78;       // bad settings file

// "Exit status: 0 success; 1 nothing found; ..." for --help.
std::string exitStatusHelp();

struct Context {
  bool json = false;
  // Cut product pages by the library's single-line rule instead of the
  // bulletins' full UGC groups (--sections line).
  bool lineRule = false;
  Units units;
  std::string dataDir;       // the location data folder
  std::string settingsPath;  // the settings file
  ConsoleInfoLine* status = nullptr;
  // Standard output: in text mode its control characters are made visible
  // (see printable() in text.h); `rawOut` is the same stream without that
  // filter, for output that a command made printable itself.
  std::ostream* out = nullptr;
  std::ostream* rawOut = nullptr;
  int inFd = 0;  // standard input, read as it comes (`decode -`)
  // Set by the callback of the command that the command line named.
  std::function<int()> action;
};

// Each adds one command (or a group of commands) to `app`. `ctx` must
// outlive `app`; it is filled in by the program before the action runs.
void addPlacesCommand(CLI::App& app, Context& ctx);
void addNowCommand(CLI::App& app, Context& ctx);
void addProductCommands(CLI::App& app, Context& ctx);
void addDecodeCommand(CLI::App& app, Context& ctx);
void addConfigCommand(CLI::App& app, Context& ctx);

// `stratus places [TEXT] [--state ST]`
int runPlaces(Context& ctx, const std::string& text, const std::string& state);
// `stratus now PLACE`; `strict`: the narrow reading of the report.
int runNow(Context& ctx, const std::string& place, bool strict);
// `stratus <product> PLACE`; `product` is a product's command name.
int runProduct(Context& ctx, const std::string& product,
               const std::string& place);
// `stratus config list|get|set|unset|reset|path`
int runConfigList(Context& ctx);
int runConfigGet(Context& ctx, const std::string& key);
int runConfigSet(Context& ctx, const std::string& key,
                 const std::string& value);
int runConfigPath(Context& ctx);
int runConfigUnset(Context& ctx, const std::string& key);
int runConfigReset(Context& ctx);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_COMMANDS_H_
