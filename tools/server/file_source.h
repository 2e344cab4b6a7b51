// Pages from a folder: the page source of the sample server.
//
// A path names a file under the root ("/" and any path ending in '/' name
// the index.html there). Only a regular file whose real path (symbolic links
// resolved) lies inside the real root is served: a link that leads out of
// the root, a folder, a device or a FIFO is 404, as is anything missing.
// The real path is checked twice: before the file is opened, and again on
// the open file, so that a link swapped in between cannot lead out.
//
// It fails closed: when the real path of the root cannot be had (missing,
// not a folder, longer than PATH_MAX), ready() is false and every path is
// 404; the sample server refuses to start then.
#ifndef STRATUS_TOOLS_SERVER_FILE_SOURCE_H_
#define STRATUS_TOOLS_SERVER_FILE_SOURCE_H_

#include <string>

#include "server.h"

namespace stratus_server {

class FileSource : public PageSource {
 public:
  // The real path of `root` is taken once, here. Thread-safe after
  // construction.
  explicit FileSource(const std::string& root);
  // True when the root's real path is known and is a folder.
  bool ready() const { return !prefix_.empty(); }
  Response serve(const Request& request) override;

 private:
  // True when `real`, an absolute real path, lies inside the root.
  bool inside(const std::string& real) const;

  std::string prefix_;  // the root's real path and '/'; "" when not ready
};

// Pages larger than this are not served (500): no sample page comes near.
constexpr long long kMaxFileBytes = 64LL << 20;

}  // namespace stratus_server

#endif  // STRATUS_TOOLS_SERVER_FILE_SOURCE_H_
