#include "reader/ugc.h"

#include <initializer_list>

#include "foundation/ascii.h"

namespace stratus {
namespace {

inline bool isGroupChar(char c) {
  return isUpper(c) || isDigit(c) || c == '-' || c == '>';
}
inline bool isIgnored(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x01' ||
         c == '\x03';
}

// "SSZ" or "SSC" at `p`, `n` characters available.
inline bool isPrefix(const char* p, std::size_t n) {
  return n >= 3 && isUpper(p[0]) && isUpper(p[1]) &&
         (p[2] == 'Z' || p[2] == 'C');
}

// The digits at the start of [p, end): their count, their value in `value`.
std::size_t digits(const char* p, const char* end, int& value) {
  std::size_t count = 0;
  value = 0;
  while (p + count < end && isDigit(p[count])) {
    if (count < 6) value = value * 10 + (p[count] - '0');
    ++count;
  }
  return count;
}

bool inState(const UgcCode& code, const char* state) {
  return code.valid() && code.state[0] == state[0] && code.state[1] == state[1];
}

}  // namespace

UgcCode UgcCode::parse(const char* text, std::size_t n) {
  UgcCode code;
  int number = 0;
  if (n != 6 || !isPrefix(text, n) || digits(text + 3, text + n, number) != 3)
    return code;
  code.state[0] = text[0];
  code.state[1] = text[1];
  code.type = text[2];
  code.number = number;
  return code;
}

const char* trimUgcLine(const char* p, std::size_t& n) {
  while (n > 0 && isIgnored(p[n - 1])) --n;
  while (n > 0 && isIgnored(*p)) ++p, --n;
  return p;
}

bool UgcGroup::continues(const char* p, std::size_t n) {
  if (n == 0) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (!isGroupChar(p[i])) return false;
  }
  return true;
}

bool UgcGroup::opens(const char* p, std::size_t n) {
  if (n < 7 || !isPrefix(p, n)) return false;
  bool all = p[3] == 'A' && p[4] == 'L' && p[5] == 'L';
  bool number = isDigit(p[3]) && isDigit(p[4]) && isDigit(p[5]);
  return (all || number) && (p[6] == '-' || p[6] == '>') && continues(p, n);
}

void UgcGroup::reset() {
  state_[0] = state_[1] = 0;
  type_ = 0;
  covers_ = false;
}

// An item of the prefix in force: the numbers low..high, or the whole state
// when `low` is -1.
void UgcGroup::item(int low, int high) {
  if (type_ == 0 || covers_) return;
  for (const UgcCode* code : {&place_.zone, &place_.county}) {
    if (!inState(*code, state_)) continue;
    if (low < 0 ||
        (code->type == type_ && low <= code->number && code->number <= high))
      covers_ = true;
  }
}

bool UgcGroup::read(const char* p, std::size_t n) {
  const char* end = p + n;
  while (p < end) {
    const char* stop = p;
    while (stop < end && *stop != '-') ++stop;
    // One item: [p, stop).
    if (isPrefix(p, stop - p)) {
      state_[0] = p[0];
      state_[1] = p[1];
      type_ = p[2];
      p += 3;
      if (stop - p == 3 && p[0] == 'A' && p[1] == 'L' && p[2] == 'L') {
        item(-1, -1);
        p = stop;
      }
    }
    int low = 0, high = 0;
    std::size_t count = digits(p, stop, low);
    if (count == 6 && p + count == stop) return true;  // the purge time
    if (count >= 1 && count <= 3) {
      const char* q = p + count;
      if (q == stop) {
        item(low == 0 ? -1 : low, low);
      } else if (*q == '>') {
        std::size_t more = digits(q + 1, stop, high);
        if (more >= 1 && more <= 3 && q + 1 + more == stop) item(low, high);
      }
    }
    p = stop < end ? stop + 1 : end;
  }
  return false;
}

}  // namespace stratus
