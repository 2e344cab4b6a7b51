#include "out_buffer.h"

#include <algorithm>

namespace stratus_cli {

OutBuffer::OutBuffer(size_t capacity)
    : store_(new char[std::max<size_t>(capacity, 64)]),
      begin_(store_.get()),
      p_(begin_),
      end_(begin_ + std::max<size_t>(capacity, 64)) {}

void OutBuffer::grow(size_t n) {
  size_t used = size();
  size_t capacity = std::max(2 * static_cast<size_t>(end_ - begin_), used + n);
  std::unique_ptr<char[]> bigger(new char[capacity]);
  std::memcpy(bigger.get(), begin_, used);
  store_ = std::move(bigger);
  begin_ = store_.get();
  p_ = begin_ + used;
  end_ = begin_ + capacity;
}

}  // namespace stratus_cli
