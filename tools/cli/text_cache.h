// TextCache: a direct-mapped table that lets a stream of reports format
// each recurring value once, holding short texts (a temperature as shown,
// a sky layer in words) by a 64-bit key. A table has 2^Bits slots; a key
// has one slot, which holds the last text stored for any key of that slot.
// The slots are allocated on the first look-up, as zero pages (see
// ZeroedArray), so a table costs time and memory only for the slots used.
//
// Not thread-safe.
#ifndef STRATUS_TOOLS_CLI_TEXT_CACHE_H_
#define STRATUS_TOOLS_CLI_TEXT_CACHE_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "out_buffer.h"

namespace stratus_cli {

// An array of `n` T with all bytes zero, from calloc: its pages are the
// system's zero pages until written, so a large table of which a few slots
// are used costs neither the time to clear it nor its memory. T must be a
// trivial type whose all-zero bytes are its empty value.
template <typename T>
class ZeroedArray {
 public:
  static_assert(std::is_trivial<T>::value, "zero bytes make a T");
  explicit ZeroedArray(size_t n)
      : items_(static_cast<T*>(std::calloc(n, sizeof(T)))) {
    if (items_ == nullptr) throw std::bad_alloc();
  }
  T& operator[](size_t i) { return items_.get()[i]; }

 private:
  struct Free {
    void operator()(T* p) const { std::free(p); }
  };
  std::unique_ptr<T, Free> items_;
};

// The slot of `key` in a table of 2^bits (Fibonacci hashing: the top bits
// of the product).
inline size_t slotIndex(uint64_t key, unsigned bits) {
  return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

// Texts of at most Width bytes by a 64-bit key. The table starts with
// 2^kFirstBits slots, so that formatting one reading costs little, and
// takes its full 2^Bits slots (dropping what it held) once it has missed
// more than twice its size.
template <unsigned Bits, size_t Width>
class TextCache {
 public:
  static_assert(Width < 256, "a slot's length fits a byte");
  static constexpr unsigned kFirstBits = Bits < 6 ? Bits : 6;

  // Appends the text held for `key`; when none is held, the text that
  // `format()` appends to `out`, which is then held (when it fits).
  template <typename Format>
  void append(OutBuffer& out, uint64_t key, Format&& format) {
    if (!slots_) resize(kFirstBits);
    Slot& slot = (*slots_)[slotIndex(key, bits_)];
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
    if (slot.used) {
      slot.length = static_cast<unsigned char>(n);
      std::memcpy(slot.text, out.data() + mark, n);
    }
    if (bits_ < Bits && ++misses_ > (size_t{2} << bits_)) resize(Bits);
  }

 private:
  struct Slot {  // all zero: empty
    uint64_t key;
    bool used;
    unsigned char length;
    char text[Width];
  };

  void resize(unsigned bits) {
    slots_.reset(new ZeroedArray<Slot>(size_t{1} << bits));
    bits_ = bits;
  }

  std::unique_ptr<ZeroedArray<Slot>> slots_;
  unsigned bits_ = 0;
  size_t misses_ = 0;
};

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_TEXT_CACHE_H_
