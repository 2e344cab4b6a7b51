#include "stratus/host/report_lines.h"

#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The next LF and the next CR of one feed, each searched for again only
// once passed, so that a feed is scanned once for each (memchr's speed;
// most files hold only one of the two).
class LineEnds {
 public:
  LineEnds(const char* begin, const char* end) : end_(end) {
    lf_ = find(begin, '\n');
    cr_ = find(begin, '\r');
  }
  // The first CR or LF at or after `p`, or the feed's end.
  const char* next(const char* p) {
    if (lf_ < p) lf_ = find(p, '\n');
    if (cr_ < p) cr_ = find(p, '\r');
    return lf_ < cr_ ? lf_ : cr_;
  }

 private:
  const char* find(const char* p, char c) const {
    const void* hit = std::memchr(p, c, static_cast<size_t>(end_ - p));
    return hit != nullptr ? static_cast<const char*>(hit) : end_;
  }
  const char* end_;
  const char* lf_;
  const char* cr_;
};

}  // namespace

void WReportLines::feed(const char* data, size_t n) {
  const char* p = data;
  const char* end = data + n;
  if (afterCr_ && p < end && *p == '\n') ++p;  // the LF of a split CR LF
  afterCr_ = false;
  LineEnds ends(p, end);
  while (p < end) {
    const char* e = ends.next(p);
    if (e == end) {
      // No end in this feed: keep the start, up to one byte over the cap.
      if (!skipping_) {
        size_t room = MAX_LINE + 1 - carry_.size();
        size_t take = static_cast<size_t>(e - p);
        carry_.append(p, take < room ? take : room);
        if (carry_.size() > MAX_LINE) {
          skipping_ = true;
          carry_.clear();
        }
      }
      return;
    }
    if (carry_.empty() && !skipping_) {
      lineDone(p, static_cast<size_t>(e - p));
    } else {
      if (!skipping_) carry_.append(p, e);
      lineDone(carry_.data(), carry_.size());
      carry_.clear();
    }
    if (*e == '\r') {
      if (e + 1 == end) afterCr_ = true;
      if (e + 1 < end && e[1] == '\n') ++e;
    }
    p = e + 1;
  }
}

void WReportLines::finish() {
  if (!carry_.empty() || skipping_) lineDone(carry_.data(), carry_.size());
  carry_.clear();
  afterCr_ = false;
}

void WReportLines::lineDone(const char* text, size_t n) {
  ++number_;
  if (skipping_ || n > MAX_LINE) {
    skipping_ = false;
    sink_.overlong(number_);
    return;
  }
  while (n > 0 && isBlank(*text)) {
    ++text;
    --n;
  }
  while (n > 0 && isBlank(text[n - 1])) --n;
  if (n > 0) sink_.line(text, n, number_);
}
