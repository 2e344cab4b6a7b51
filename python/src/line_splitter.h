// LineSplitter: the lines of a stream fed in chunks, each line handed out
// whole (up to a cap), in memory bounded by the cap whatever the stream.
#ifndef STRATUS_PYTHON_LINE_SPLITTER_H_
#define STRATUS_PYTHON_LINE_SPLITTER_H_

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

namespace stratus_py {

// A line ends at CR, LF or CR LF (a CR LF split between two chunks is one
// line end). The text after the last line end is a line when it is not
// empty. A line longer than kMaxLine bytes is handed out cut to its first
// kMaxLine bytes; the rest of it is skipped and the line counted. Not
// thread-safe.
class LineSplitter {
 public:
  // A report is a few hundred bytes; a longer line holds no more of one.
  static constexpr size_t kMaxLine = 64 * 1024;
  // The size of the chunks the callers read.
  static constexpr size_t kChunkBytes = 1024 * 1024;

  // Hands each line that ends in `chunk` to `line(const char*, size_t)`.
  template <typename F>
  void feed(const char* chunk, size_t n, F&& line);
  // Hands out the text after the last line end, if any.
  template <typename F>
  void finish(F&& line);

  // How many lines were cut, and the number (1-based) of the first.
  size_t longLines() const { return longLines_; }
  size_t firstLongLine() const { return firstLong_; }

 private:
  // Ends the line whose tail is [s, s + n).
  template <typename F>
  void end(const char* s, size_t n, F& line);
  // Keeps [s, s + n) as part of the line still open.
  void keep(const char* s, size_t n);

  std::string pending_;   // the open line's start, at most kMaxLine bytes
  bool open_ = false;     // a line has started and not ended
  bool cut_ = false;      // the open line ran past kMaxLine
  bool afterCr_ = false;  // the last byte seen was a CR
  size_t lineNumber_ = 0;
  size_t longLines_ = 0;
  size_t firstLong_ = 0;
};

template <typename F>
void LineSplitter::feed(const char* chunk, size_t n, F&& line) {
  size_t at = 0;
  if (afterCr_ && n > 0 && chunk[0] == '\n') at = 1;  // CR LF across chunks
  afterCr_ = false;
  // The next LF and CR at or after `at`, each searched for again only when
  // passed, so a chunk is scanned once for each.
  const char* lf = nullptr;
  const char* cr = nullptr;
  bool lfKnown = false, crKnown = false;
  while (at < n) {
    if (!lfKnown || (lf != nullptr && lf < chunk + at)) {
      lf = static_cast<const char*>(std::memchr(chunk + at, '\n', n - at));
      lfKnown = true;
    }
    if (!crKnown || (cr != nullptr && cr < chunk + at)) {
      cr = static_cast<const char*>(std::memchr(chunk + at, '\r', n - at));
      crKnown = true;
    }
    const char* stop = lf == nullptr   ? cr
                       : cr == nullptr ? lf
                                       : std::min(lf, cr);
    if (stop == nullptr) {
      keep(chunk + at, n - at);
      return;
    }
    const size_t len = static_cast<size_t>(stop - (chunk + at));
    end(chunk + at, len, line);
    at += len + 1;
    if (*stop == '\r') {
      if (at < n && chunk[at] == '\n')
        ++at;
      else if (at == n)
        afterCr_ = true;
    }
  }
}

template <typename F>
void LineSplitter::finish(F&& line) {
  if (open_) end(nullptr, 0, line);
}

template <typename F>
void LineSplitter::end(const char* s, size_t n, F& line) {
  ++lineNumber_;
  if (!open_ && n <= kMaxLine) {
    line(s, n);  // the whole line lies in one chunk: no copy
    return;
  }
  keep(s, n);
  if (cut_ && longLines_++ == 0) firstLong_ = lineNumber_;
  line(pending_.data(), pending_.size());
  pending_.clear();
  open_ = cut_ = false;
}

}  // namespace stratus_py

#endif  // STRATUS_PYTHON_LINE_SPLITTER_H_
