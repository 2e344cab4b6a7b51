// The independent reading of the shared report corpus: per report, what two
// independent decoders read, and the fields on which they agree
// (corpus/metar/oracle-*.tsv, described in corpus/metar/ORACLE.md).
#ifndef STRATUS_TESTS_OBSERVATION_ORACLE_H_
#define STRATUS_TESTS_OBSERVATION_ORACLE_H_

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace stratus_test {

// The fields of the oracle, in its column order.
enum OracleField {
  kDir,
  kSpd,
  kGust,
  kTemp,
  kDew,
  kAlt,
  kVis,
  kDay,
  kHour,
  kMin,
  kOracleFields
};

inline const char* oracleFieldName(int f) {
  static const char* const kNames[] = {"dir", "spd", "gust", "temp", "dew",
                                       "alt", "vis", "day",  "hour", "min"};
  return kNames[f];
}

// Two values are the same within the oracle's own tolerance for the field.
inline bool oracleSame(int f, double a, double b) {
  static const double kTolerance[] = {0,      0.51,  0.51, 0.051, 0.051,
                                      0.0051, 0.011, 0,    0,     0};
  return std::fabs(a - b) <= kTolerance[f] + 1e-9;
}

struct OracleRow {
  // Per field: found by the first and second reader, and their values.
  bool has[2][kOracleFields] = {};
  double value[2][kOracleFields] = {};
  bool agree[kOracleFields] = {};
};

// The rows of an oracle file, one per report line; empty when unreadable.
inline std::vector<OracleRow> loadOracle(const std::string& path) {
  std::vector<OracleRow> rows;
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) return rows;  // header
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream split(line);
    for (std::string cell; std::getline(split, cell, '\t');)
      cells.push_back(cell);
    cells.resize(2 + 2 * kOracleFields);
    OracleRow row;
    for (int f = 0; f < kOracleFields; ++f) {
      for (int reader = 0; reader < 2; ++reader) {
        const std::string& c = cells[1 + 2 * f + reader];
        row.has[reader][f] = !c.empty();
        row.value[reader][f] = c.empty() ? 0 : std::atof(c.c_str());
      }
    }
    std::stringstream agreed(cells[1 + 2 * kOracleFields]);
    for (std::string name; std::getline(agreed, name, ',');) {
      for (int f = 0; f < kOracleFields; ++f)
        if (name == oracleFieldName(f)) row.agree[f] = true;
    }
    rows.push_back(row);
  }
  return rows;
}

// Tallies of one decoder against the oracle, field by field.
struct OracleTally {
  long agreed[kOracleFields] = {};  // rows where the two readers agree
  long same[kOracleFields] = {};    // ... and the decoder gives that value
  long found[kOracleFields] = {};   // rows where the decoder gives a value
  long byReader[2][kOracleFields] = {};

  // `has` and `value`: what the decoder read from the row's report.
  void add(const OracleRow& row, const bool* has, const double* value) {
    for (int f = 0; f < kOracleFields; ++f) {
      found[f] += has[f];
      byReader[0][f] += row.has[0][f];
      byReader[1][f] += row.has[1][f];
      if (!row.agree[f]) continue;
      ++agreed[f];
      if (has[f] && oracleSame(f, value[f], row.value[0][f])) ++same[f];
    }
  }

  double sameShare(int f) const {
    return agreed[f] ? static_cast<double>(same[f]) / agreed[f] : 1.0;
  }
  long better(int f) const {
    return byReader[0][f] > byReader[1][f] ? byReader[0][f] : byReader[1][f];
  }
};

// Reads every report of the file `reports` with `read(line, has, value)`
// and tallies it against `rows`, the oracle of that file. `lines` gets the
// number of reports read. With STRATUS_ORACLE_DIFF set to a field name, the
// reports where the two readers agree on that field and `read` does not are
// printed, to look into a change.
template <typename Read>
OracleTally tallyFile(const std::string& reports,
                      const std::vector<OracleRow>& rows, Read read,
                      size_t& lines) {
  OracleTally tally;
  std::ifstream in(reports);
  const char* diff = std::getenv("STRATUS_ORACLE_DIFF");
  lines = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    if (lines >= rows.size()) break;
    bool has[kOracleFields] = {};
    double value[kOracleFields] = {};
    read(line, has, value);
    const OracleRow& row = rows[lines];
    tally.add(row, has, value);
    for (int f = 0; diff && f < kOracleFields; ++f) {
      if (std::strcmp(diff, oracleFieldName(f)) != 0 || !row.agree[f]) continue;
      if (!(has[f] && oracleSame(f, value[f], row.value[0][f])))
        std::printf("%zu: %g vs %g: %s\n", lines + 1, value[f], row.value[0][f],
                    line.c_str());
    }
  }
  return tally;
}

// The tally as a table on standard output.
inline void printTally(const char* name, const OracleTally& tally) {
  std::printf("%-5s field  agreed    same    share    found   better\n", name);
  for (int f = 0; f < kOracleFields; ++f) {
    std::printf("      %-5s %7ld %7ld %7.3f%% %7ld %7ld\n", oracleFieldName(f),
                tally.agreed[f], tally.same[f], 100.0 * tally.sameShare(f),
                tally.found[f], tally.better(f));
  }
}

}  // namespace stratus_test

#endif  // STRATUS_TESTS_OBSERVATION_ORACLE_H_
