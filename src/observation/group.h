// The group rule that every blank-delimited parser of the decoder follows,
// and small conversions the parsers share.
//
// The next group of a working text is the text before its first blank (the
// single character ' '); a text without a blank has no next group, so the
// last group of a report is never taken by these parsers. Consuming a group
// removes it and the blanks (and tabs) behind it.
//
// The helpers look at the working text in place: a parser copies a group
// only when it keeps it or has to pick it apart. Parsers that take a run of
// groups or codes walk an index over the text and cut the run off once at
// the end, which leaves the same text as cutting piece by piece but costs
// one move of the rest instead of one per piece (a long run of codes would
// otherwise cost time in the square of the text's length).
#ifndef STRATUS_OBSERVATION_GROUP_H_
#define STRATUS_OBSERVATION_GROUP_H_

#include <climits>
#include <cstring>

#include "stratus/foundation/string.h"

namespace stratus {

// Index of the first blank at or after `from`, or -1 when there is none.
// Reads the characters in place; NUL bytes are ordinary characters here.
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

// True when the text holds `word` at `pos` (LString::compareLeft applied
// at an index, without cutting the text first).
inline bool holdsAt(const LString& text, int pos, const char* word) {
  size_t n = std::strlen(word);
  return pos >= 0 && n <= static_cast<size_t>(text.length() - pos) &&
         std::memcmp(static_cast<const char*>(text) + pos, word, n) == 0;
}

// Removes the group of `length` characters at the front and the blanks
// behind it.
inline void consumeGroup(LString& text, int length) {
  text.cutLeft(length);
  text.leftTrim();
}

// Index of the first `c` among the `length` characters of `text` from
// `start`, or -1. REQUIRES: that range lies within the text.
inline int findChar(const LString& text, int start, int length, char c) {
  const char* s = text;
  const void* at = std::memchr(s + start, c, length);
  return at ? static_cast<int>(static_cast<const char*>(at) - s) : -1;
}

// The value of `number` (LString::convert: optional sign, leading digits,
// 0 when none) held to the range of int.
inline int toInt(const LString& number) {
  long value;
  number.convert(value);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace stratus

#endif  // STRATUS_OBSERVATION_GROUP_H_
