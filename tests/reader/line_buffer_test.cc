#include "reader/line_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using stratus::LineBuffer;

// Feeds `body` in pieces of `chunk` bytes, taking lines whenever one is
// complete, the way the fetcher does while its transfer runs.
std::vector<std::string> split(const std::string& body, size_t chunk) {
  LineBuffer buffer;
  std::vector<std::string> lines;
  LString line;
  for (size_t at = 0; at < body.size(); at += chunk) {
    buffer.append(body.data() + at, std::min(chunk, body.size() - at));
    while (buffer.take(line, false)) lines.push_back(line.str());
  }
  while (buffer.take(line, true)) lines.push_back(line.str());
  return lines;
}

std::string xs(size_t n) { return std::string(n, 'x'); }

// Lines come out whole, without carriage returns, and cut at 1,022
// characters (line feed included), whatever the sizes of the arriving
// blocks.
TEST(LineBuffer, CutsLinesTheSameForEveryBlockSize) {
  struct Case {
    const char* name;
    std::string body;
    std::vector<std::string> lines;
  } cases[] = {
      {"empty body", "", {}},
      {"plain lines", "alpha\nbeta\n", {"alpha\n", "beta\n"}},
      {"CRLF and lone CR dropped", "a\r\nb\rc\r\n\r\n", {"a\n", "bc\n", "\n"}},
      {"last line without LF", "first\nlast", {"first\n", "last"}},
      {"NUL kept", std::string("a\0b\n", 4), {std::string("a\0b\n", 4)}},
      {"1,021 + LF", xs(1021) + "\n", {xs(1021) + "\n"}},
      {"1,022 + LF", xs(1022) + "\n", {xs(1022), "\n"}},
      {"1,023 + LF", xs(1023) + "\n", {xs(1022), "x\n"}},
      {"3,000 + LF", xs(3000) + "\n", {xs(1022), xs(1022), xs(956) + "\n"}},
      {"CR does not count", xs(1021) + "\r\n", {xs(1021) + "\n"}},
      {"long last line", xs(2100), {xs(1022), xs(1022), xs(56)}},
  };
  for (const Case& c : cases) {
    for (size_t chunk : {size_t{1}, size_t{7}, size_t{1023}, size_t{1} << 20}) {
      EXPECT_EQ(split(c.body, chunk), c.lines)
          << c.name << ", blocks of " << chunk;
    }
  }
}

// Taking leaves a line untouched until it is complete, and the buffer holds
// only what was not taken.
TEST(LineBuffer, WaitsForTheRestOfALine) {
  LineBuffer buffer;
  LString line("before");
  buffer.append("par", 3);
  EXPECT_FALSE(buffer.take(line, false));
  EXPECT_EQ(line, "before");
  buffer.append("tial\nnext", 9);
  ASSERT_TRUE(buffer.take(line, false));
  EXPECT_EQ(line, "partial\n");
  EXPECT_EQ(buffer.pending(), 4u);
  EXPECT_FALSE(buffer.take(line, false));
  ASSERT_TRUE(buffer.take(line, true));
  EXPECT_EQ(line, "next");
  EXPECT_EQ(buffer.pending(), 0u);
  EXPECT_FALSE(buffer.take(line, true));
}

}  // namespace
