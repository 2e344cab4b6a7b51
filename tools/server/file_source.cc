#include "file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <linux/openat2.h>
#include <memory>

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
  root_ = open(real.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (root_ >= 0) prefix_ = real == "/" ? real : real + "/";
}

FileSource::~FileSource() {
  if (root_ >= 0) close(root_);
}

bool FileSource::inside(const std::string& real) const {
  return !prefix_.empty() && real.size() > prefix_.size() &&
         real.compare(0, prefix_.size(), prefix_) == 0;
}

int FileSource::openInside(const std::string& wanted) const {
  // Opened without waiting (a FIFO would block). The kernel resolves the
  // path and refuses (EXDEV) any step that leaves the root, so that what is
  // opened is inside, whatever is swapped in meanwhile.
  open_how how{};
  how.flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  long fd = syscall(SYS_openat2, root_, wanted.c_str(), &how, sizeof how);
  if (fd >= 0 || (errno != EXDEV && errno != ENOSYS))
    return static_cast<int>(fd);
  // An absolute link (one that leads back into the root, say), or a kernel
  // without openat2: the real path is checked before the open and again on
  // the open file.
  std::string real = realPath(prefix_ + wanted);
  if (!inside(real)) return -1;
  int file = open(real.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (file >= 0 && !inside(openPath(file))) {
    close(file);
    return -1;
  }
  return file;
}

Response FileSource::serve(const Request& request) {
  auto missing = [&request] {
    return Response::error(404, "No page " + request.path);
  };
  if (!ready()) return missing();
  std::string wanted = request.path.substr(1);
  if (wanted.empty() || wanted.back() == '/') wanted += "index.html";
  int fd = openInside(wanted);
  if (fd < 0) return missing();
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return missing();
  }
  Response res;
  res.contentType = contentType(wanted);
  res.file =
      std::make_shared<OpenFile>(fd, static_cast<std::size_t>(st.st_size));
  return res;
}

}  // namespace stratus_server
