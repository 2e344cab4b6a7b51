// Where the tools find their files when no option names them.
#ifndef STRATUS_TOOLS_COMMON_PATHS_H_
#define STRATUS_TOOLS_COMMON_PATHS_H_

#include <string>

namespace stratus_tools {

// The folder of the running executable ("" when it cannot be read).
std::string executableDir();

// Picks the default folder of installed data files:
//   - `sourceDir` when the executable runs from its build folder
//     `buildDir` (a build tree uses the files of its source tree);
//   - else <executable folder>/`fromBinDir`, when it exists (an install
//     moved to another prefix);
//   - else `installedDir`, the folder of the configured install prefix.
std::string dataFolder(const std::string& buildDir,
                       const std::string& sourceDir,
                       const std::string& fromBinDir,
                       const std::string& installedDir);

// True when `path` names an existing folder.
bool isFolder(const std::string& path);
// What keeps `path` from being read as a data file: "" when it is a
// readable regular file, else "is missing", "is a folder, not a file",
// "is not a regular file" or "cannot be read (<system's reason>)".
std::string fileProblem(const std::string& path);

}  // namespace stratus_tools

#endif  // STRATUS_TOOLS_COMMON_PATHS_H_
