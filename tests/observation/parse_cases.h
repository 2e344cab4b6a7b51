// Table-driven checks of the decoder's group parsers: a text in; the result
// code, the text left behind and the out-values (joined as text) out.
#ifndef STRATUS_TESTS_OBSERVATION_PARSE_CASES_H_
#define STRATUS_TESTS_OBSERVATION_PARSE_CASES_H_

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "stratus/foundation/string.h"

namespace stratus_test {

struct ParseCase {
  const char* input;
  int rc;
  const char* rest;
  const char* values;
};

// The values separated by blanks.
template <typename... T>
std::string join(const T&... values) {
  std::ostringstream out;
  const char* separator = "";
  ((out << separator << values, separator = " "), ...);
  return out.str();
}

// Runs parse(text, values) on every case; each failure names its input.
template <size_t N, typename Parse>
void expectCases(const ParseCase (&cases)[N], Parse parse) {
  for (const ParseCase& c : cases) {
    LString text(c.input);
    std::string values;
    EXPECT_EQ(parse(text, values), c.rc) << '"' << c.input << '"';
    EXPECT_STREQ(text, c.rest) << '"' << c.input << '"';
    EXPECT_EQ(values, c.values) << '"' << c.input << '"';
  }
}

}  // namespace stratus_test

#endif  // STRATUS_TESTS_OBSERVATION_PARSE_CASES_H_
