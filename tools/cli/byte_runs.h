// How many leading bytes of a text need no escaping: printable ASCII for
// the text output, and for JSON strings printable ASCII other than `"` and
// `\`. Reports are almost all such bytes, so the test goes eight bytes at a
// time (each byte's test in its own high bit; a borrow or carry can only
// come from a byte that already failed, so the test of the word is exact).
#ifndef STRATUS_TOOLS_CLI_BYTE_RUNS_H_
#define STRATUS_TOOLS_CLI_BYTE_RUNS_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace stratus_cli {

namespace byte_runs {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHigh = 0x8080808080808080ull;

// Nonzero when a byte of `w` is below 0x20 or above 0x7E.
inline uint64_t unprintable(uint64_t w) {
  uint64_t below = (w - kOnes * 0x20) & ~w & kHigh;
  uint64_t above = ((w + kOnes * (0x7F - 0x7E)) | w) & kHigh;
  return below | above;
}

// Nonzero when a byte of `w` is `c`.
inline uint64_t has(uint64_t w, unsigned char c) {
  uint64_t x = w ^ (kOnes * c);
  return (x - kOnes) & ~x & kHigh;
}

inline uint64_t word(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

}  // namespace byte_runs

// The length of the leading run of bytes 0x20..0x7E of `text`.
inline size_t printableRun(const char* text, size_t n) {
  size_t i = 0;
  while (i + 8 <= n && !byte_runs::unprintable(byte_runs::word(text + i)))
    i += 8;
  const auto* u = reinterpret_cast<const unsigned char*>(text);
  while (i < n && u[i] >= 0x20 && u[i] < 0x7F) ++i;
  return i;
}

// The length of the leading run of bytes 0x20..0x7E other than `"` and `\`.
inline size_t jsonPlainRun(const char* text, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w = byte_runs::word(text + i);
    if (byte_runs::unprintable(w) | byte_runs::has(w, '"') |
        byte_runs::has(w, '\\'))
      break;
  }
  const auto* u = reinterpret_cast<const unsigned char*>(text);
  while (i < n && u[i] >= 0x20 && u[i] < 0x7F && u[i] != '"' && u[i] != '\\')
    ++i;
  return i;
}

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_BYTE_RUNS_H_
