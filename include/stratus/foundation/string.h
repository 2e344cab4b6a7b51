// LString: the library's text type.
//
// A growable byte string (UTF-8 is passed through as bytes). Positions and
// counts are ints, 0-based. Operations that can fail return an int, 0 for
// success, and leave their out-arguments untouched on failure. Any allocation
// failure is thrown as LEx(L_MEM), never as std::bad_alloc.
//
// Not thread-safe: an instance is used by one thread at a time.
#ifndef STRATUS_FOUNDATION_STRING_H_
#define STRATUS_FOUNDATION_STRING_H_

#include <string>

#include "stratus/export.h"

class STRATUS_EXPORT LString {
 public:
  LString();
  LString(const char* text);  // NOLINT: implicit, as text literals are passed
  // The first `n` bytes of `text` (which may hold NUL bytes).
  LString(const char* text, int n);
  LString(const LString& other);
  LString(LString&& other) noexcept;
  ~LString();

  LString& operator=(const LString& other);
  LString& operator=(LString&& other) noexcept;
  LString& operator=(const char* text);
  LString& operator=(char c);
  // Replaces the contents by the first `n` bytes of `text`.
  void assign(const char* text, int n);

  LString& operator+=(const LString& other);
  LString& operator+=(const char* text);
  LString& operator+=(char c);
  // Appends the first `n` bytes of `text`.
  void append(const char* text, int n);

  // The characters, NUL-terminated; an empty string gives "".
  operator const char*() const { return s_.c_str(); }  // NOLINT
  const char* c_str() const { return s_.c_str(); }
  const std::string& str() const { return s_; }

  int length() const { return static_cast<int>(s_.size()); }
  bool isEmpty() const { return s_.empty(); }
  void clear() { s_.clear(); }

  bool operator==(const LString& other) const { return s_ == other.s_; }
  bool operator==(const char* text) const;
  bool operator!=(const LString& other) const { return !(*this == other); }
  bool operator!=(const char* text) const { return !(*this == text); }

  // 0 when `text` occurs in the string, nonzero when not. The form with
  // `pos` writes the index of the first occurrence, only when found.
  // An empty `text` occurs at index 0.
  int find(const char* text) const;
  int find(const char* text, int& pos) const;

  // True when the string begins / ends with `text`.
  bool compareLeft(const char* text) const;
  bool compareRight(const char* text) const;

  // Copy the first `n`, the last `n`, or `n` characters from `start` into
  // `out`. 0 on success; nonzero, `out` untouched, when n or start is
  // negative or the range runs past the end.
  int left(int n, LString& out) const;
  int right(int n, LString& out) const;
  int mid(int start, int n, LString& out) const;

  // Remove `n` characters at the front / back; all of them when `n` is at
  // least the length. 0 on success; nonzero, nothing removed, when n < 0.
  int cutLeft(int n);
  int cutRight(int n);

  // Remove leading (leftTrim) or leading and trailing (trim) blanks and
  // tabs. Line feeds and carriage returns stay.
  void leftTrim();
  void trim();

  // 0 when `separator` occurs: `before` gets the text before its first
  // occurrence and `after` the rest behind it. Nonzero, both untouched,
  // when it does not occur or is empty. `before`/`after` may be this string.
  int split(const char* separator, LString& before, LString& after) const;

  // Replaces every occurrence of `from` by `to`, scanning left to right;
  // replaced text is not scanned again. An empty `from` changes nothing.
  void substitute(const char* from, const char* to);

  // True when the character at `index` is a decimal digit; false when the
  // index is out of range.
  bool isNumber(int index) const;

  // The decimal value at the front of the string: an optional "+" or "-"
  // followed by digits; reading stops at the first non-digit. `value` gets
  // 0 when there is no digit, and saturates at the limits of long instead of
  // overflowing. Returns 0 when at least one digit was read, else
  // L_CONVERTION (`value` is 0 then).
  int convert(long& value) const;

  // Replaces the string by the printf-style formatted text. Returns 0, or
  // L_FORMAT when the format is rejected (the string is then empty).
  int printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::string s_;
};

inline bool operator==(const char* a, const LString& b) { return b == a; }
inline bool operator!=(const char* a, const LString& b) { return b != a; }

STRATUS_EXPORT LString operator+(const LString& a, const LString& b);
STRATUS_EXPORT LString operator+(const LString& a, const char* b);
STRATUS_EXPORT LString operator+(const char* a, const LString& b);
STRATUS_EXPORT LString operator+(const LString& a, char b);

// Splits a text into tokens at any of a set of delimiter characters.
//
// Runs of delimiters count as one; empty tokens are never produced. The
// tokenizer keeps its own copy of the text.
class STRATUS_EXPORT LTokenizer {
 public:
  LTokenizer(const LString& text, const char* delimiters);

  // The next token; an empty string when none is left.
  LTokenizer& operator>>(LString& token);
  // True when no token is left.
  bool eof();

 private:
  void skipDelimiters();

  LString text_;
  LString delimiters_;
  int pos_;
};

#endif  // STRATUS_FOUNDATION_STRING_H_
