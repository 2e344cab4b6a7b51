#include "file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace stratus_server {
namespace {

// The real path of `path`; "" when it cannot be had (missing, a loop, or
// longer than PATH_MAX).
std::string realPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return "";
  std::string result = real;
  std::free(real);
  return result;
}

// The real path of the file open as `fd`, as the kernel tells it; "" when
// it cannot be read (no /proc, or a path too long to tell).
std::string openPath(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[PATH_MAX];
  ssize_t n = readlink(link, path, sizeof path);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return "";
  return std::string(path, static_cast<size_t>(n));
}

std::string contentType(const std::string& path) {
  auto endsWith = [&path](const char* ext) {
    std::string e = ext;
    return path.size() >= e.size() &&
           path.compare(path.size() - e.size(), e.size(), e) == 0;
  };
  if (endsWith(".html") || endsWith(".htm")) return "text/html; charset=utf-8";
  if (endsWith(".txt")) return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

}  // namespace

FileSource::FileSource(const std::string& root) {
  std::string real = realPath(root);
  struct stat st;
  if (real.empty() || real[0] != '/' || stat(real.c_str(), &st) != 0 ||
      !S_ISDIR(st.st_mode))
    return;
  prefix_ = real == "/" ? real : real + "/";
}

bool FileSource::inside(const std::string& real) const {
  return !prefix_.empty() && real.size() > prefix_.size() &&
         real.compare(0, prefix_.size(), prefix_) == 0;
}

Response FileSource::serve(const Request& request) {
  Response missing = Response::error(404, "No page " + request.path);
  if (!ready()) return missing;
  std::string wanted = request.path;
  if (wanted.back() == '/') wanted += "index.html";
  std::string real = realPath(prefix_ + wanted.substr(1));
  if (!inside(real)) return missing;
  // Opened without waiting (a FIFO would block) and checked on the open
  // file, so that what is read is what was checked.
  int fd = open(real.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return missing;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !inside(openPath(fd))) {
    close(fd);
    return missing;
  }
  if (st.st_size > kMaxFileBytes) {
    close(fd);
    return Response::error(500, "The page is too large to serve.");
  }
  Response res;
  res.contentType = contentType(real);
  res.body.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < res.body.size()) {
    ssize_t n = read(fd, &res.body[got], res.body.size() - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  res.body.resize(got);
  return res;
}

}  // namespace stratus_server
