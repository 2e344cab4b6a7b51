// TextCache: short texts remembered by a 64-bit key, so that a stream of
// reports formats each recurring value (a temperature, a sky layer, a
// weather group) once. A table of 2^Bits slots; a key has one slot, which
// holds the last text stored for any key of that slot. Texts longer than
// Width bytes are not held.
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

template <unsigned Bits, size_t Width>
class TextCache {
 public:
  struct Slot {
    uint64_t key = 0;
    bool used = false;
    unsigned char length = 0;
    char text[Width] = {};

    bool holds(uint64_t k) const { return used && key == k; }
    // Takes `text` for `k` when it fits; false (the slot emptied) when not.
    bool store(uint64_t k, const char* s, size_t n) {
      used = n <= Width;
      key = k;
      if (!used) return false;
      length = static_cast<unsigned char>(n);
      std::memcpy(text, s, n);
      return true;
    }
  };
  static_assert(Width < 256, "a slot's length fits a byte");

  // Appends the text `slot` holds. Copies the whole slot, a copy of known
  // length, and keeps the text's own length.
  static void appendTo(OutBuffer& out, const Slot& slot) {
    std::memcpy(out.reserve(Width), slot.text, Width);
    out.advance(slot.length);
  }

  TextCache() : slots_(new Slot[size_t{1} << Bits]) {}

  // The slot of `key` (Fibonacci hashing: the top bits of the product).
  Slot& slot(uint64_t key) {
    return slots_[(key * 0x9E3779B97F4A7C15ull) >> (64 - Bits)];
  }

 private:
  std::unique_ptr<Slot[]> slots_;
};

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_TEXT_CACHE_H_
