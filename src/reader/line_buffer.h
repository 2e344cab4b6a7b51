// LineBuffer: turns the bytes of a page, as they arrive, into the lines that
// the page fetcher hands out.
//
// Carriage returns are dropped wherever they stand. A line is handed out
// with its line feed; a line longer than kMaxPiece characters (line feed
// included) is cut into pieces of kMaxPiece characters, each handed out as a
// line of its own. The buffer holds only what has arrived and not been taken,
// so its size is bounded by how much its owner lets in before taking.
//
// Not thread-safe; one buffer per page.
#ifndef STRATUS_READER_LINE_BUFFER_H_
#define STRATUS_READER_LINE_BUFFER_H_

#include <cstddef>
#include <cstring>
#include <string>

#include "stratus/foundation/string.h"

namespace stratus {

class LineBuffer {
 public:
  // The longest line handed out, line feed included.
  static constexpr std::size_t kMaxPiece = 1022;

  // Appends `n` received bytes, without their carriage returns.
  void append(const char* data, std::size_t n);

  // Makes room for `n` characters up front. Throws LEx(L_MEM).
  void reserve(std::size_t n);

  // Characters received and not yet taken.
  std::size_t pending() const { return buf_.size() - pos_; }

  // Assigns the next line to `line` and returns true when one is complete:
  // up to and including the next line feed, or kMaxPiece characters. With
  // `atEnd` (nothing more will arrive) a last line without line feed is
  // complete as well. Returns false, `line` untouched, when no line is
  // complete. Throws LEx(L_MEM).
  bool take(LString& line, bool atEnd);

  // The same, without a copy: `data` and `n` get the next line inside the
  // buffer, valid until the next call of append or take. Inline: it runs
  // once per line of every page.
  bool take(const char*& data, std::size_t& n, bool atEnd) {
    std::size_t avail = pending();
    if (avail == 0) return false;
    std::size_t window = avail < kMaxPiece ? avail : kMaxPiece;
    const char* start = buf_.data() + pos_;
    const void* lf = std::memchr(start, '\n', window);
    if (lf != nullptr) {
      n = static_cast<const char*>(lf) - start + 1;
    } else if (avail >= kMaxPiece || atEnd) {
      n = window;
    } else {
      return false;
    }
    data = start;
    pos_ += n;
    return true;
  }

 private:
  std::string buf_;
  std::size_t pos_ = 0;  // start of the characters not yet taken
};

}  // namespace stratus

#endif  // STRATUS_READER_LINE_BUFFER_H_
