#include "paths.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace stratus_tools {

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

std::string fileProblem(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return "is missing";
    return std::string("cannot be read (") + std::strerror(errno) + ")";
  }
  if (S_ISDIR(st.st_mode)) return "is a folder, not a file";
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return std::string("cannot be read (") + std::strerror(errno) + ")";
  close(fd);
  return "";
}

}  // namespace stratus_tools
