// ASCII text rules of the host layer: trimming and case, byte by byte, so
// that names in any encoding pass unchanged.
#ifndef STRATUS_HOST_ASCII_H_
#define STRATUS_HOST_ASCII_H_

#include <string>

namespace stratus {

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

#endif  // STRATUS_HOST_ASCII_H_
