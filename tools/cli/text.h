// Small text helpers of the `stratus` host: trimming, ASCII case, the
// column tables of `places`, and JSON output.
#ifndef STRATUS_TOOLS_CLI_TEXT_H_
#define STRATUS_TOOLS_CLI_TEXT_H_

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace stratus_cli {

// `s` without leading and trailing blanks, tabs and carriage returns.
std::string trim(const std::string& s);

// The words joined by single blanks ("Des", "Moines," "IA" -> one place).
std::string joinWords(const std::vector<std::string>& words);

// Lower-cases (upper-cases) ASCII letters; other bytes are kept.
std::string lowerAscii(std::string s);
std::string upperAscii(std::string s);

// True when `a` and `b` are equal regardless of ASCII case.
bool sameNameIgnoringCase(const std::string& a, const std::string& b);

// `text` with blanks turned into line ends so that no line is wider than
// `width` characters (a longer word keeps its own line).
std::string wrapText(const std::string& text, size_t width);

// Writes rows as columns separated by two blanks, each as wide as its
// widest cell, counted in UTF-8 characters; the last column is not padded.
void printTable(std::ostream& out,
                const std::vector<std::vector<std::string>>& rows);

// `j` as indented JSON text with a final line end. Bytes that are not
// UTF-8 (a page in another encoding) become U+FFFD instead of failing.
std::string jsonText(const nlohmann::json& j);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_TEXT_H_
