#include "stratus/host/report_lines.h"

#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The first CR or LF in [p, end), or end.
const char* lineEnd(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (*p == '\n' || *p == '\r') return p;
  }
  return end;
}

}  // namespace

void WReportLines::feed(const char* data, size_t n) {
  const char* p = data;
  const char* end = data + n;
  if (afterCr_ && p < end && *p == '\n') ++p;  // the LF of a split CR LF
  afterCr_ = false;
  while (p < end) {
    const char* e = lineEnd(p, end);
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
