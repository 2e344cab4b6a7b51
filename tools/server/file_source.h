// Pages from a folder: the page source of the sample server.
//
// A path names a file under the root ("/" and any path ending in '/' name
// the index.html there). Only a regular file whose real path (symbolic links
// resolved) lies inside the real root is served: a link that leads out of
// the root, a folder, a device or a FIFO is 404, as is anything missing.
// The kernel resolves each path beneath the open root and refuses any step
// out of it; a link that leaves the root and leads back in (an absolute
// link to the root, say) is followed by its real path instead, checked
// before the file is opened and again on the open file, so that a link
// swapped in between cannot lead out. A file is sent from its descriptor,
// never read into memory.
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
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  // True when the root's real path is known and is a folder.
  bool ready() const { return !prefix_.empty(); }
  Response serve(const Request& request) override;
  // Never blocks: files are opened without waiting and sent by the core.
  bool mayWait() const override { return false; }

 private:
  // True when `real`, an absolute real path, lies inside the root.
  bool inside(const std::string& real) const;
  // The file `wanted` (relative to the root) opened for reading, if it lies
  // inside the root; else -1.
  int openInside(const std::string& wanted) const;

  std::string prefix_;  // the root's real path and '/'; "" when not ready
  int root_ = -1;       // the root, open
};

}  // namespace stratus_server

#endif  // STRATUS_TOOLS_SERVER_FILE_SOURCE_H_
