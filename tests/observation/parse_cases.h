// Table-driven checks of the group parsers: text in; code, rest, values out.
#ifndef STRATUS_TESTS_OBSERVATION_PARSE_CASES_H_
#define STRATUS_TESTS_OBSERVATION_PARSE_CASES_H_

#include <iomanip>
#include <sstream>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "stratus/foundation/string.h"

namespace stratus_test {

struct ParseCase {
  const char* input;
  int rc;
  const char* rest;
  const char* values;
};

inline std::string shown(const LString& text) { return text.str(); }
template <typename T>
const T& shown(const T& value) {
  return value;
}

// The values separated by blanks; floats with 8 digits, showing precision.
template <typename... T>
std::string join(const T&... values) {
  std::ostringstream out;
  out << std::setprecision(8);
  [[maybe_unused]] const char* separator = "";
  ((out << separator << shown(values), separator = " "), ...);
  return out.str();
}

// Runs parse(text, outs...) on every case, the outs starting as `init`.
template <size_t N, typename Parse, typename... Out>
void expectCases(const ParseCase (&cases)[N], Parse parse, Out... init) {
  for (const ParseCase& c : cases) {
    LString text(c.input);
    std::tuple<Out...> outs(init...);
    int rc = std::apply([&](Out&... out) { return parse(text, out...); }, outs);
    EXPECT_EQ(rc, c.rc) << '"' << c.input << '"';
    EXPECT_STREQ(text, c.rest) << '"' << c.input << '"';
    EXPECT_EQ(std::apply(join<Out...>, outs), c.values)
        << '"' << c.input << '"';
  }
}

}  // namespace stratus_test

#endif  // STRATUS_TESTS_OBSERVATION_PARSE_CASES_H_
