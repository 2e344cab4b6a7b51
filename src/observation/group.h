// The group rule that every blank-delimited parser of the decoder follows,
// and the small reads the parsers share.
//
// The next group of a working text is the text before its first blank (the
// single character ' '); a text without a blank has no next group, so the
// last group of a report is never taken by these parsers. Consuming a group
// removes it and the blanks (and tabs) behind it, as cutLeft and leftTrim
// would one after the other.
//
// The helpers read the working text in place, by index: a parser copies a
// group only when it keeps it, and numbers are converted from the few
// characters that hold them. Parsers that take a run of groups or codes walk
// an index over the text and cut the run off once at the end, which leaves
// the same text as cutting piece by piece but costs one move of the rest
// instead of one per piece (a long run would otherwise cost time in the
// square of the text's length).
#ifndef STRATUS_OBSERVATION_GROUP_H_
#define STRATUS_OBSERVATION_GROUP_H_

#include <climits>
#include <cstring>

#include "stratus/foundation/result.h"
#include "stratus/foundation/string.h"

namespace stratus {

// Index of the first blank at or after `from`, or -1 when there is none.
// NUL bytes are ordinary characters here, as they are to LString::find.
inline int blankFrom(const LString& text, int from) {
  if (from < 0 || from >= text.length()) return -1;
  const char* s = text;
  const void* at = std::memchr(s + from, ' ', text.length() - from);
  return at ? static_cast<int>(static_cast<const char*>(at) - s) : -1;
}

// Length of the next group (the index of the first blank), or -1 when the
// text holds no blank and so has no next group.
inline int nextGroup(const LString& text) { return blankFrom(text, 0); }

// The first index at or after `pos` that is not a blank or tab (what
// LString::leftTrim would drop), or the length of the text.
inline int skipBlanks(const LString& text, int pos) {
  const char* s = text;
  while (pos < text.length() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
  return pos;
}

// Removes the group of `length` characters at the front and the blanks
// behind it, in one cut.
inline void consumeGroup(LString& text, int length) {
  text.cutLeft(skipBlanks(text, length));
}

// True when the text holds `word` at `pos` (LString::compareLeft applied
// at an index, without cutting the text first).
inline bool holdsAt(const LString& text, int pos, const char* word) {
  size_t n = std::strlen(word);
  return pos >= 0 && pos <= text.length() &&
         n <= static_cast<size_t>(text.length() - pos) &&
         std::memcmp(static_cast<const char*>(text) + pos, word, n) == 0;
}

// Index of the first `c` among the `length` characters of `text` from
// `start`, or -1. REQUIRES: that range lies within the text.
inline int findChar(const LString& text, int start, int length, char c) {
  if (length <= 0) return -1;
  const char* s = text;
  const void* at = std::memchr(s + start, c, length);
  return at ? static_cast<int>(static_cast<const char*>(at) - s) : -1;
}

// Index of the first `word` (two or more characters) that lies wholly
// within the `length` characters of `text` from `start`, or -1.
// REQUIRES: that range lies within the text.
inline int findWord(const LString& text, int start, int length,
                    const char* word) {
  const int n = static_cast<int>(std::strlen(word));
  const char* s = text;
  for (int end = start + length; length >= n;) {
    int at = findChar(text, start, length - n + 1, word[0]);
    if (at < 0) return -1;
    if (std::memcmp(s + at, word, n) == 0) return at;
    start = at + 1;
    length = end - start;
  }
  return -1;
}

// LString::convert of the `n` characters of `text` from `start` (an
// optional sign and the leading digits; 0 when there are none).
// REQUIRES: that range lies within the text.
inline long numberAt(const LString& text, int start, int n) {
  long value;
  LString(static_cast<const char*>(text) + start, n).convert(value);
  return value;
}

// A number as a 32-bit record field: held to the range of int.
inline int clampToInt(long value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Takes groups from the front of `text` while `take(start, end)` accepts
// the group [start, end): the loop of the parsers that pass over a run of
// groups of one kind. Returns L_OK at the first group refused, which stays
// in the text, and L_FORMAT when the text runs out of blanks. Either way, and
// also when `take` throws, the groups accepted so far are cut off together.
template <typename Take>
int takeGroups(LString& text, Take take) {
  int pos = 0;  // start of the next group; the groups before it are taken
  for (;;) {
    int end = blankFrom(text, pos);
    if (end < 0) {
      text.cutLeft(pos);
      return L_FORMAT;
    }
    bool taken;
    try {
      taken = take(pos, end);
    } catch (...) {
      text.cutLeft(pos);
      throw;
    }
    if (!taken) {
      text.cutLeft(pos);
      return L_OK;
    }
    pos = skipBlanks(text, end);
  }
}

// The blank-separated tokens of a text, read in place: the tokens an
// LTokenizer on " " gives (runs of blanks count as one, no empty token),
// without copying the text or the tokens.
class TokenWalk {
 public:
  explicit TokenWalk(const LString& text) : text_(text), pos_(0) {}

  // The next token as `start` and `length`; false when none is left.
  bool next(int& start, int& length) {
    const char* s = text_;
    while (pos_ < text_.length() && s[pos_] == ' ') ++pos_;
    if (pos_ >= text_.length()) return false;
    int end = blankFrom(text_, pos_);
    if (end < 0) end = text_.length();
    start = pos_;
    length = end - pos_;
    pos_ = end;
    return true;
  }

 private:
  const LString& text_;
  int pos_;
};

}  // namespace stratus

#endif  // STRATUS_OBSERVATION_GROUP_H_
