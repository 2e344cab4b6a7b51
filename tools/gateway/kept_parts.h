// Records read from upstream answers, kept while the cache hands out that
// same answer, so that a page asked again is made without a parse.
#ifndef STRATUS_TOOLS_GATEWAY_KEPT_PARTS_H_
#define STRATUS_TOOLS_GATEWAY_KEPT_PARTS_H_

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "upstream.h"

namespace stratus_gateway {

// Thread-safe. Holds at most `capacity` records; when one more is kept,
// all are dropped and read anew as asked for (a page's records are few and
// each is read again in one parse).
template <typename T>
class KeptParts {
 public:
  explicit KeptParts(std::size_t capacity) : capacity_(capacity) {}

  // The record for `key` read from the answer `f` (kind kOk): the kept one
  // while it was read from that same answer; else the one `read` makes
  // (null when the answer cannot be read), kept when it is not null.
  // Two requests that read one answer at once may both read it.
  std::shared_ptr<const T> get(
      const std::string& key, const Fetched& f,
      const std::function<std::shared_ptr<const T>()>& read) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = kept_.find(key);
      if (it != kept_.end() && it->second.source.lock() == f.body)
        return it->second.record;
    }
    std::shared_ptr<const T> record = read();
    if (record == nullptr) return record;
    ++reads_;
    std::lock_guard<std::mutex> lock(mutex_);
    if (kept_.size() >= capacity_ && kept_.find(key) == kept_.end())
      kept_.clear();
    kept_[key] = Kept{f.body, record};
    return record;
  }

  // How many records were read so far.
  std::size_t reads() const { return reads_; }

 private:
  struct Kept {
    // Weak, so that a kept record never holds an answer the cache let go.
    std::weak_ptr<const std::string> source;
    std::shared_ptr<const T> record;
  };
  std::size_t capacity_;
  std::mutex mutex_;
  std::map<std::string, Kept> kept_;
  std::atomic<std::size_t> reads_{0};
};

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_KEPT_PARTS_H_
