#include "text.h"

#include <algorithm>

namespace stratus_cli {

namespace {

// Display width of UTF-8 text: one column per character.
size_t columns(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

char lowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::string joinWords(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

std::string lowerAscii(std::string s) {
  for (char& c : s) c = lowerChar(c);
  return s;
}

std::string upperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lowerChar(x) == lowerChar(y);
         });
}

std::string wrapText(const std::string& text, size_t width) {
  std::string out;
  size_t lineStart = 0, lastBlank = std::string::npos;
  for (char c : text) {
    if (c == ' ') lastBlank = out.size();
    out += c;
    if (c == '\n') lineStart = out.size(), lastBlank = std::string::npos;
    if (out.size() - lineStart > width && lastBlank != std::string::npos) {
      out[lastBlank] = '\n';
      lineStart = lastBlank + 1;
      lastBlank = std::string::npos;
    }
  }
  return out;
}

void printTable(std::ostream& out,
                const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> width;
  for (const auto& row : rows) {
    width.resize(std::max(width.size(), row.size()));
    for (size_t i = 0; i < row.size(); ++i)
      width[i] = std::max(width[i], columns(row[i]));
  }
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size())
        line += std::string(width[i] - columns(row[i]) + 2, ' ');
    }
    out << line << '\n';
  }
}

std::string jsonText(const nlohmann::json& j) {
  return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace stratus_cli
