#include "paths.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stratus_cli {

namespace {

std::string realPath(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) != nullptr ? std::string(buf) : path;
}

}  // namespace

std::string executableDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  std::string exe(buf, static_cast<size_t>(n));
  size_t slash = exe.find_last_of('/');
  return slash == std::string::npos ? "" : exe.substr(0, slash);
}

std::string dataFolder(const std::string& buildDir,
                       const std::string& sourceDir,
                       const std::string& fromBinDir,
                       const std::string& installedDir) {
  std::string exeDir = executableDir();
  if (!exeDir.empty() && realPath(exeDir) == realPath(buildDir))
    return sourceDir;
  if (!exeDir.empty()) {
    std::string relocated = exeDir + "/" + fromBinDir;
    if (isFolder(relocated)) return realPath(relocated);
  }
  return installedDir;
}

bool isFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isReadableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         access(path.c_str(), R_OK) == 0;
}

}  // namespace stratus_cli
