// TextCache: a direct-mapped table that lets a stream of reports format
// each recurring value once, holding short texts (a temperature as shown,
// a sky layer in words) by a 64-bit key. A table has 2^Bits slots; a key
// has one slot, which holds the last text stored for any key of that slot.
// The slots are allocated on the first look-up, so a table that is not
// used costs nothing.
//
// Not thread-safe.
#ifndef STRATUS_TOOLS_CLI_TEXT_CACHE_H_
#define STRATUS_TOOLS_CLI_TEXT_CACHE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "out_buffer.h"

namespace stratus_cli {

// The slot of `key` in a table of 2^bits (Fibonacci hashing: the top bits
// of the product).
inline size_t slotIndex(uint64_t key, unsigned bits) {
  return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

// Texts of at most Width bytes by a 64-bit key.
template <unsigned Bits, size_t Width>
class TextCache {
 public:
  static_assert(Width < 256, "a slot's length fits a byte");

  // Appends the text held for `key`; when none is held, the text that
  // `format()` appends to `out`, which is then held (when it fits).
  template <typename Format>
  void append(OutBuffer& out, uint64_t key, Format&& format) {
    if (!slots_) slots_.reset(new Slot[size_t{1} << Bits]);
    Slot& slot = slots_[slotIndex(key, Bits)];
    if (slot.used && slot.key == key) {
      // The whole slot, a copy of known length; the text's length counts.
      std::memcpy(out.reserve(Width), slot.text, Width);
      out.advance(slot.length);
      return;
    }
    size_t mark = out.size();
    format();
    size_t n = out.size() - mark;
    slot.used = n <= Width;
    slot.key = key;
    if (!slot.used) return;
    slot.length = static_cast<unsigned char>(n);
    std::memcpy(slot.text, out.data() + mark, n);
  }

 private:
  struct Slot {
    uint64_t key = 0;
    bool used = false;
    unsigned char length = 0;
    char text[Width] = {};
  };
  std::unique_ptr<Slot[]> slots_;
};

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_TEXT_CACHE_H_
