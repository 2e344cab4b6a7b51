// Pages from a folder: the page source of the sample server.
//
// A path names a file under the root ("/" and any path ending in '/' name
// the index.html there). Only a regular file whose real path (symbolic links
// resolved) lies inside the real root is served: a link that leads out of
// the root, a folder, a device or a FIFO is 404, as is anything missing.
#ifndef STRATUS_TOOLS_SERVER_FILE_SOURCE_H_
#define STRATUS_TOOLS_SERVER_FILE_SOURCE_H_

#include <string>

#include "server.h"

namespace stratus_server {

class FileSource : public PageSource {
 public:
  // `root` must exist; its real path is taken once, here.
  explicit FileSource(const std::string& root);
  Response serve(const Request& request) override;

 private:
  std::string root_;  // real path, without a trailing '/'
};

// Pages larger than this are not served (500): no sample page comes near.
constexpr long long kMaxFileBytes = 64LL << 20;

}  // namespace stratus_server

#endif  // STRATUS_TOOLS_SERVER_FILE_SOURCE_H_
