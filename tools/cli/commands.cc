#include "commands.h"

namespace stratus_cli {

namespace {

struct ExitStatus {
  int code;
  const char* meaning;
};

const ExitStatus kExitStatuses[] = {
    {kExitOk, "success"},
    {kExitNotFound, "nothing found"},
    {kExitUsage, "usage error or ambiguous place"},
    {kExitDataError, "a report that decodes to nothing"},
    {kExitNoData, "location data missing"},
    {kExitSoftware, "the library failed"},
    {kExitCantWrite, "settings file not writable"},
    {kExitUnavailable, "page not available"},
    {kExitConfig, "bad settings file"},
};

}  // namespace

std::string exitStatusHelp() {
  std::string text = "Exit status:";
  for (const ExitStatus& s : kExitStatuses) {
    text += (s.code == kExitOk ? " " : "; ") + std::to_string(s.code) + " " +
            s.meaning;
  }
  return wrapText(text + ".", 78);
}

}  // namespace stratus_cli
