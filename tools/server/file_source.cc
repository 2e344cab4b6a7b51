#include "file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace stratus_server {
namespace {

std::string realPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return "";
  std::string result = real;
  std::free(real);
  return result;
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

FileSource::FileSource(const std::string& root) : root_(realPath(root)) {
  if (root_ == "/") root_.clear();
}

Response FileSource::serve(const Request& request) {
  Response missing = Response::error(404, "No page " + request.path);
  std::string wanted = request.path;
  if (wanted.back() == '/') wanted += "index.html";
  std::string real = realPath(root_ + wanted);
  if (real.compare(0, root_.size() + 1, root_ + "/") != 0) return missing;
  // Opened without waiting (a FIFO would block) and checked on the open
  // file, so that what is read is what was checked.
  int fd = open(real.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return missing;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
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
