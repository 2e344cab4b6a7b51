#include "reader/line_buffer.h"

#include <cstring>
#include <new>

#include "stratus/foundation/result.h"

namespace stratus {

void LineBuffer::append(const char* data, std::size_t n) {
  try {
    // Drop what was taken once it outweighs what is left, so the copy costs
    // no more than the appends that led to it.
    if (pos_ == buf_.size()) {
      buf_.clear();
      pos_ = 0;
    } else if (pos_ > 0 && pos_ >= buf_.size() - pos_) {
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

void LineBuffer::reserve(std::size_t n) {
  try {
    buf_.reserve(n);
  } catch (const std::bad_alloc&) {
    throw LEx(L_MEM);
  }
}

bool LineBuffer::take(LString& line, bool atEnd) {
  const char* data;
  std::size_t n;
  if (!take(data, n, atEnd)) return false;
  // clear and append keep the line's storage and skip assign's overlap
  // checks: this runs once per line of every page.
  line.clear();
  line.append(data, static_cast<int>(n));
  return true;
}

}  // namespace stratus
