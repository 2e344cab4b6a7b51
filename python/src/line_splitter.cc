#include "line_splitter.h"

namespace stratus_py {

void LineSplitter::keep(const char* s, size_t n) {
  open_ = true;
  size_t room = kMaxLine - pending_.size();
  if (n > room) {
    cut_ = true;
    n = room;
  }
  pending_.append(s, n);
}

}  // namespace stratus_py
