// ASCII character classes, case and trimming for the library's parsers and
// its host layer, byte by byte, so that text in any encoding passes
// unchanged (the C library's versions depend on the locale and take int).
#ifndef STRATUS_FOUNDATION_ASCII_H_
#define STRATUS_FOUNDATION_ASCII_H_

#include <string>

namespace stratus {

inline bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline char lowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `s` without leading and trailing blanks, tabs and carriage returns.
inline std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

inline std::string lowerAscii(std::string s) {
  for (char& c : s) c = lowerChar(c);
  return s;
}

inline std::string upperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

inline bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lowerChar(a[i]) != lowerChar(b[i])) return false;
  }
  return true;
}

}  // namespace stratus

#endif  // STRATUS_FOUNDATION_ASCII_H_
