// LString and LTokenizer over std::string. Every std::string operation that
// may allocate runs inside guard(), which turns std::bad_alloc (and the
// length_error of an absurd size) into LEx(L_MEM).
#include "stratus/foundation/string.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "stratus/foundation/result.h"

namespace {

template <typename F>
void guard(F&& f) {
  try {
    f();
  } catch (const std::bad_alloc&) {
    throw LEx(L_MEM);
  } catch (const std::length_error&) {
    throw LEx(L_MEM);
  }
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

LString::LString() = default;
LString::LString(const char* text) {
  guard([&] { s_.assign(text ? text : ""); });
}
LString::LString(const char* text, int n) {
  guard([&] { s_.assign(text, n > 0 ? n : 0); });
}
LString::LString(const LString& other) {
  guard([&] { s_ = other.s_; });
}
LString::LString(LString&& other) noexcept : s_(std::move(other.s_)) {}
LString::~LString() = default;

LString& LString::operator=(const LString& other) {
  if (this != &other) guard([&] { s_ = other.s_; });
  return *this;
}
LString& LString::operator=(LString&& other) noexcept {
  s_ = std::move(other.s_);
  return *this;
}
LString& LString::operator=(const char* text) {
  guard([&] { s_.assign(text ? text : ""); });
  return *this;
}
LString& LString::operator=(char c) {
  guard([&] { s_.assign(1, c); });
  return *this;
}
void LString::assign(const char* text, int n) {
  guard([&] { s_.assign(text, n > 0 ? n : 0); });
}

LString& LString::operator+=(const LString& other) {
  guard([&] { s_ += other.s_; });
  return *this;
}
LString& LString::operator+=(const char* text) {
  if (text) guard([&] { s_ += text; });
  return *this;
}
LString& LString::operator+=(char c) {
  guard([&] { s_ += c; });
  return *this;
}
void LString::append(const char* text, int n) {
  if (n > 0) guard([&] { s_.append(text, n); });
}

bool LString::operator==(const char* text) const {
  return s_.compare(text ? text : "") == 0;
}

int LString::find(const char* text) const {
  int pos;
  return find(text, pos);
}

int LString::find(const char* text, int& pos) const {
  std::string::size_type at = s_.find(text ? text : "");
  if (at == std::string::npos) return 1;
  pos = static_cast<int>(at);
  return 0;
}

bool LString::compareLeft(const char* text) const {
  size_t n = std::strlen(text);
  return n <= s_.size() && s_.compare(0, n, text) == 0;
}

bool LString::compareRight(const char* text) const {
  size_t n = std::strlen(text);
  return n <= s_.size() && s_.compare(s_.size() - n, n, text) == 0;
}

int LString::left(int n, LString& out) const { return mid(0, n, out); }

int LString::right(int n, LString& out) const {
  if (n < 0 || n > length()) return 1;
  return mid(length() - n, n, out);
}

int LString::mid(int start, int n, LString& out) const {
  if (start < 0 || n < 0 || start > length() || n > length() - start) return 1;
  if (&out == this) {
    guard([&] { out.s_ = s_.substr(start, n); });
  } else {
    guard([&] { out.s_.assign(s_, start, n); });
  }
  return 0;
}

int LString::cutLeft(int n) {
  if (n < 0) return 1;
  s_.erase(0, static_cast<size_t>(n) < s_.size() ? n : s_.size());
  return 0;
}

int LString::cutRight(int n) {
  if (n < 0) return 1;
  s_.resize(static_cast<size_t>(n) < s_.size() ? s_.size() - n : 0);
  return 0;
}

void LString::leftTrim() {
  size_t i = 0;
  while (i < s_.size() && isBlank(s_[i])) ++i;
  s_.erase(0, i);
}

void LString::trim() {
  size_t e = s_.size();
  while (e > 0 && isBlank(s_[e - 1])) --e;
  s_.resize(e);
  leftTrim();
}

int LString::split(const char* separator, LString& before,
                   LString& after) const {
  size_t n = separator ? std::strlen(separator) : 0;
  if (n == 0) return 1;
  std::string::size_type at = s_.find(separator);
  if (at == std::string::npos) return 1;
  std::string a, b;
  guard([&] {
    a.assign(s_, 0, at);
    b.assign(s_, at + n, std::string::npos);
  });
  before.s_.swap(a);
  after.s_.swap(b);
  return 0;
}

void LString::substitute(const char* from, const char* to) {
  size_t n = from ? std::strlen(from) : 0;
  if (n == 0 || s_.find(from) == std::string::npos) return;
  std::string result;
  guard([&] {
    size_t pos = 0;
    for (size_t at; (at = s_.find(from, pos)) != std::string::npos;
         pos = at + n) {
      result.append(s_, pos, at - pos);
      result += to ? to : "";
    }
    result.append(s_, pos, std::string::npos);
  });
  s_.swap(result);
}

bool LString::isNumber(int index) const {
  return index >= 0 && index < length() && s_[index] >= '0' && s_[index] <= '9';
}

int LString::convert(long& value) const {
  size_t i = 0;
  bool negative = false;
  if (i < s_.size() && (s_[i] == '-' || s_[i] == '+'))
    negative = s_[i++] == '-';
  long v = 0;
  bool any = false;
  for (; i < s_.size() && s_[i] >= '0' && s_[i] <= '9'; ++i) {
    int d = s_[i] - '0';
    any = true;
    if (negative) {
      v = v < (LONG_MIN + d) / 10 ? LONG_MIN : v * 10 - d;
    } else {
      v = v > (LONG_MAX - d) / 10 ? LONG_MAX : v * 10 + d;
    }
  }
  value = v;
  return any ? L_OK : L_CONVERTION;
}

int LString::printf(const char* format, ...) {
  char small[256];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    s_.clear();
    return L_FORMAT;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    assign(small, n);
    return L_OK;
  }
  std::string big;
  guard([&] { big.resize(static_cast<size_t>(n) + 1); });
  va_start(args, format);
  std::vsnprintf(&big[0], big.size(), format, args);
  va_end(args);
  big.resize(n);
  s_.swap(big);
  return L_OK;
}

LString operator+(const LString& a, const LString& b) {
  LString r(a);
  r += b;
  return r;
}
LString operator+(const LString& a, const char* b) {
  LString r(a);
  r += b;
  return r;
}
LString operator+(const char* a, const LString& b) {
  LString r(a);
  r += b;
  return r;
}
LString operator+(const LString& a, char b) {
  LString r(a);
  r += b;
  return r;
}

LTokenizer::LTokenizer(const LString& text, const char* delimiters)
    : text_(text), delimiters_(delimiters), pos_(0) {}

void LTokenizer::skipDelimiters() {
  const char* s = text_;
  while (pos_ < text_.length() &&
         std::strchr(delimiters_, s[pos_]) != nullptr && s[pos_] != '\0')
    ++pos_;
}

bool LTokenizer::eof() {
  skipDelimiters();
  return pos_ >= text_.length();
}

LTokenizer& LTokenizer::operator>>(LString& token) {
  skipDelimiters();
  const char* s = text_;
  int start = pos_;
  while (pos_ < text_.length() &&
         (s[pos_] == '\0' || std::strchr(delimiters_, s[pos_]) == nullptr))
    ++pos_;
  token.assign(s + start, pos_ - start);
  return *this;
}
