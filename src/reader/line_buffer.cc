#include "reader/line_buffer.h"

#include <cstring>
#include <new>

#include "stratus/foundation/result.h"

namespace stratus {

void LineBuffer::append(const char* data, std::size_t n) {
  try {
    // Drop what was taken once it outweighs what is left, so the copy costs
    // no more than the appends that led to it.
    if (pos_ > 0 && pos_ >= buf_.size() - pos_) {
      buf_.erase(0, pos_);
      pos_ = 0;
    }
    const char* end = data + n;
    while (data < end) {
      const void* cr = std::memchr(data, '\r', end - data);
      const char* stop = cr ? static_cast<const char*>(cr) : end;
      buf_.append(data, stop - data);
      data = cr ? stop + 1 : end;
    }
  } catch (const std::bad_alloc&) {
    throw LEx(L_MEM);
  }
}

bool LineBuffer::take(LString& line, bool atEnd) {
  std::size_t avail = pending();
  if (avail == 0) return false;
  std::size_t window = avail < kMaxPiece ? avail : kMaxPiece;
  const char* start = buf_.data() + pos_;
  const void* lf = std::memchr(start, '\n', window);
  std::size_t n;
  if (lf != nullptr) {
    n = static_cast<const char*>(lf) - start + 1;
  } else if (avail >= kMaxPiece || atEnd) {
    n = window;
  } else {
    return false;
  }
  line.assign(start, static_cast<int>(n));
  pos_ += n;
  if (pos_ == buf_.size()) {
    buf_.clear();
    pos_ = 0;
  }
  return true;
}

}  // namespace stratus
