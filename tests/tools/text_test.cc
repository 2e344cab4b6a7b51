// The host's text helpers: what reaches a terminal, and tables.
#include "text.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace stratus_cli {
namespace {

// Control characters are shown as `cat -v` shows them; text, UTF-8 and
// bytes of single-byte encodings pass.
TEST(Printable, ShowsControlCharactersOnly) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"plain text\tand a tab\n", "plain text\tand a tab\n"},
      {"\x1B[31mred", "^[[31mred"},
      {"\x1B]52;c;aGk=\x07", "^[]52;c;aGk=^G"},
      {std::string("a\0b", 3), "a^@b"},
      {"\r\x7F", "^M^?"},
      {"\xC2\x9B"
       "1m",
       "M-^[1m"},  // C1 CSI in UTF-8
      {"\x9B"
       "1m",
       "M-^[1m"},  // C1 CSI as one byte
      {"\xC2\xA0\xC3\xA9\xE2\x80\xA6", "\xC2\xA0\xC3\xA9\xE2\x80\xA6"},
      {"5 \xB0"
       "F",
       "5 \xB0"
       "F"},                     // Latin-1 degree sign
      {"\xE2\x80", "\xE2M-^@"},  // a cut sequence: each byte alone
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) EXPECT_EQ(printable(c.in), c.out) << c.in;
}

// A sequence cut between two writes is judged whole.
TEST(Printable, StreamJoinsSequencesCutBetweenWrites) {
  std::ostringstream target;
  {
    PrintableBuf buf(target.rdbuf());
    std::ostream out(&buf);
    for (const char* piece : {"a\xC2", "\x9B", "b\xC3", "\xA9", "\x1B", "c"})
      out << piece;
    out.flush();
  }
  EXPECT_EQ(target.str(), "aM-^[b\xC3\xA9^[c");
}

TEST(Text, WrapAndJoin) {
  EXPECT_EQ(joinWords({"Des", "Moines,", "IA"}), "Des Moines, IA");
  EXPECT_EQ(wrapText("aa bb cc dd", 5), "aa bb\ncc dd");
  EXPECT_EQ(wrapText("abcdefgh ij", 4), "abcdefgh\nij");
}

TEST(Text, TableColumnsAreCutAtTheCap) {
  std::ostringstream out;
  const std::string longName(100, 'n');
  printTable(out,
             {{"ID", "NAME", "ST"}, {"1", longName, "ma"}, {"22", "é", "x"}});
  const std::string cut(kMaxCellWidth - 1, 'n');
  EXPECT_EQ(out.str(), "ID  NAME" + std::string(kMaxCellWidth - 4 + 2, ' ') +
                           "ST\n" + "1   " + cut + "\xE2\x80\xA6  ma\n" +
                           "22  é" + std::string(kMaxCellWidth - 1 + 2, ' ') +
                           "x\n");
}

}  // namespace
}  // namespace stratus_cli
