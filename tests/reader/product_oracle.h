// The independent oracle of real bulletins (oracle.tsv of the shared corpus
// and of tests/data/products), and what it says a place's sections are.
//
// A row is one UGC segment of a product file: its group as written, the
// codes it lists (expanded) and the states it names whole. The body of a
// segment is found here in the product file itself, by plain text search:
// the lines after its group up to the line holding "$$", the next
// segment's group or the end of the file.
#ifndef STRATUS_TESTS_READER_PRODUCT_ORACLE_H_
#define STRATUS_TESTS_READER_PRODUCT_ORACLE_H_

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "testing/corpus_files.h"

namespace stratus_test {

struct Segment {
  std::vector<std::string> group;  // its lines
  std::vector<std::string> codes;  // "IAZ004", "IAC127", "OKZ000", ...
  std::string wholeStates;         // " COZ NMZ " (blank around each)
  std::string lineRuleMisses;      // listed codes the line rule misses, ditto
  std::vector<std::string> body;   // cleaned, blank lines left out
};

// A line without the blanks, CR, LF, SOH and ETX around it.
inline std::string clean(const std::string& s) {
  const char* ignored = " \t\r\n\x01\x03";
  size_t from = s.find_first_not_of(ignored);
  if (from == std::string::npos) return "";
  return s.substr(from, s.find_last_not_of(ignored) + 1 - from);
}

// The non-blank lines of a collected text, cleaned.
inline std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!clean(line).empty()) lines.push_back(clean(line));
  }
  return lines;
}

inline std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> f;
  std::istringstream cols(line);
  for (std::string col; std::getline(cols, col, '\t');) f.push_back(col);
  f.resize(13);
  return f;
}

// The UGC segments of every file of the oracle at `tsv`, their bodies read
// from the files under `dir`, by file name in the oracle's order.
inline std::map<std::string, std::vector<Segment>> readOracle(
    const std::string& tsv, const std::string& dir) {
  std::map<std::string, std::vector<Segment>> files;
  std::ifstream in(tsv);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f = fields(line);
    if (f[2] != "UGC") continue;
    Segment s;
    std::string group = f[4];
    for (size_t at; (at = group.find("\\n")) != std::string::npos;)
      group.replace(at, 2, "\n");
    s.group = textLines(group);
    if (s.group.empty()) continue;
    std::istringstream codes(f[8]);
    for (std::string c; codes >> c;) s.codes.push_back(c);
    s.wholeStates = " " + f[7] + " ";
    s.lineRuleMisses = " " + f[11] + " ";
    files[f[0]].push_back(s);
  }
  for (auto& [name, segments] : files) {
    std::vector<std::string> lines;
    std::istringstream page(readFile(dir + "/" + name));
    for (std::string l; std::getline(page, l);) lines.push_back(clean(l));
    std::vector<size_t> starts;
    size_t at = 0;
    for (const Segment& s : segments) {
      while (at < lines.size() && lines[at] != s.group[0]) ++at;
      starts.push_back(at);
      at += s.group.size();
    }
    starts.push_back(lines.size());
    for (size_t i = 0; i < segments.size(); ++i) {
      for (size_t l = starts[i] + segments[i].group.size(); l < starts[i + 1];
           ++l) {
        if (lines[l].find("$$") != std::string::npos) break;
        if (!lines[l].empty()) segments[i].body.push_back(lines[l]);
      }
    }
  }
  return files;
}

// Whether the segment lists `code` or names its state whole.
inline bool covers(const Segment& s, const std::string& code) {
  for (const std::string& c : s.codes) {
    if (c == code) return true;
  }
  return s.wholeStates.find(" " + code.substr(0, 2)) != std::string::npos;
}

// The body lines of every segment of `segments` that covers `code`, in
// order; with `firstOnly`, of the first such segment only.
inline std::vector<std::string> expectedLines(
    const std::vector<Segment>& segments, const std::string& code,
    bool firstOnly = false) {
  std::vector<std::string> lines;
  for (const Segment& s : segments) {
    if (!covers(s, code)) continue;
    lines.insert(lines.end(), s.body.begin(), s.body.end());
    if (firstOnly) break;
  }
  return lines;
}

}  // namespace stratus_test

#endif  // STRATUS_TESTS_READER_PRODUCT_ORACLE_H_
