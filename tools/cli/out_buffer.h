// OutBuffer: output gathered in one block that grows as needed, written
// through a raw pointer. The formatting of a stream of readings appends a
// few hundred short pieces per report; appending each to a std::string
// costs a call, a capacity check and a memcpy call per piece, here an
// inlined check and a copy of known length.
//
// Not thread-safe: one writer.
#ifndef STRATUS_TOOLS_CLI_OUT_BUFFER_H_
#define STRATUS_TOOLS_CLI_OUT_BUFFER_H_

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

namespace stratus_cli {

// `x` rounded to a whole number, halves away from zero (llround's rule).
// Below 2^52 the fraction `x - trunc(x)` is exact, so the comparison with
// one half decides as llround does, without its library call.
inline long long roundHalfAway(double x) {
  if (!(std::fabs(x) < 4503599627370496.0)) return std::llround(x);
  long long whole = static_cast<long long>(x);  // toward zero
  double rest = x - static_cast<double>(whole);
  if (rest >= 0.5) return whole + 1;
  if (rest <= -0.5) return whole - 1;
  return whole;
}

class OutBuffer {
 public:
  explicit OutBuffer(size_t capacity = 4096);
  OutBuffer(const OutBuffer&) = delete;
  OutBuffer& operator=(const OutBuffer&) = delete;

  const char* data() const { return begin_; }
  size_t size() const { return static_cast<size_t>(p_ - begin_); }
  bool empty() const { return p_ == begin_; }
  // REQUIRES: !empty().
  char back() const { return p_[-1]; }
  void clear() { p_ = begin_; }
  std::string str() const { return std::string(begin_, p_); }

  // Room for `n` more bytes: where they go. Write at most `n` bytes there,
  // then advance() by the number written.
  char* reserve(size_t n) {
    if (static_cast<size_t>(end_ - p_) < n) grow(n);
    return p_;
  }
  void advance(size_t n) { p_ += n; }

  void put(char c) {
    reserve(1);
    *p_++ = c;
  }
  void put(const char* text, size_t n) {
    reserve(n);
    std::memcpy(p_, text, n);
    p_ += n;
  }
  void put(const std::string& text) { put(text.data(), text.size()); }
  // A NUL-terminated text.
  void putText(const char* text) { put(text, std::strlen(text)); }
  // A string literal, its length known when compiled.
  template <size_t N>
  void lit(const char (&text)[N]) {
    put(text, N - 1);
  }

  void putInt(long long v) {
    char* at = reserve(20);
    p_ = std::to_chars(at, at + 20, v).ptr;
  }
  // The last two decimal digits of `v` (>= 0), "07" for 7.
  void putTwoDigits(int v) {
    char* at = reserve(2);
    at[0] = static_cast<char>('0' + v / 10 % 10);
    at[1] = static_cast<char>('0' + v % 10);
    p_ += 2;
  }
  // `v` rounded to `decimals` places (0 to 3; half away from zero), in
  // fixed form: "-0.5", "29.92", "12".
  void putFixed(double v, int decimals);

 private:
  void grow(size_t n);

  std::unique_ptr<char[]> store_;
  char* begin_;
  char* p_;
  char* end_;
};

inline void OutBuffer::putFixed(double v, int decimals) {
  static constexpr long long kScale[] = {1, 10, 100, 1000};
  long long scaled = roundHalfAway(v * kScale[decimals]);
  char* at = reserve(26);  // sign, 20 digits, point, 3 decimals
  unsigned long long magnitude = static_cast<unsigned long long>(scaled);
  if (scaled < 0) {
    *at++ = '-';
    magnitude = 0 - magnitude;
  }
  const unsigned long long scale =
      static_cast<unsigned long long>(kScale[decimals]);
  at = std::to_chars(at, at + 20, magnitude / scale).ptr;
  if (decimals > 0) {
    *at++ = '.';
    unsigned long long frac = magnitude % scale;
    for (int i = decimals - 1; i >= 0; --i, frac /= 10)
      at[i] = static_cast<char>('0' + frac % 10);
    at += decimals;
  }
  p_ = at;
}

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_OUT_BUFFER_H_
