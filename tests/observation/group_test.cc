// The in-place reads the parsers share must give what the LString and
// LTokenizer operations they stand for would give.
#include "observation/group.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace stratus {
namespace {

LString bytes(const std::string& s) {
  return LString(s.data(), static_cast<int>(s.size()));
}

// Purpose: the token walk yields exactly LTokenizer's tokens on " ": runs
// of blanks, blanks at both ends, tabs and NUL bytes inside tokens.
TEST(GroupRule, TokenWalkMatchesTokenizer) {
  const std::string texts[] = {
      "",
      " ",
      "AO2",
      "AO2 SLP132 T02220178",
      "  AO2   SLP132  ",
      "AO2\tSLP132 T0222\n0178",
      std::string("A\0B C", 5),
      std::string(" \0 ", 3),
  };
  for (const std::string& t : texts) {
    LString text = bytes(t);
    std::vector<std::string> expected, got;
    LTokenizer tokenizer(text, " ");
    while (!tokenizer.eof()) {
      LString token;
      tokenizer >> token;
      expected.push_back(token.str());
    }
    TokenWalk walk(text);
    int start, length;
    while (walk.next(start, length)) got.push_back(t.substr(start, length));
    EXPECT_EQ(got, expected) << "\"" << t << "\"";
  }
}

// Purpose: one cut removes the group and the blanks and tabs behind it,
// as cutLeft followed by leftTrim does.
TEST(GroupRule, ConsumeGroupMatchesCutAndTrim) {
  const struct {
    const char* text;
    int length;
  } cases[] = {{"KSFO 121753Z", 4}, {"KSFO \t 1", 4}, {"KSFO   ", 4},
               {"KSFO", 4},         {" X", 0},        {"", 0}};
  for (const auto& c : cases) {
    LString expected(c.text), got(c.text);
    expected.cutLeft(c.length);
    expected.leftTrim();
    consumeGroup(got, c.length);
    EXPECT_STREQ(got, expected) << c.text;
  }
}

// Purpose: the in-place searches stay inside their range, so a word or
// character just past the group is not taken for one inside it.
TEST(GroupRule, SearchesStayInTheirRange) {
  LString text("27010K T 10KT");
  EXPECT_EQ(findWord(text, 0, 6, "KT"), -1);
  EXPECT_EQ(findWord(text, 0, 7, "KT"), -1);
  EXPECT_EQ(findWord(text, 9, 4, "KT"), 11);
  EXPECT_EQ(findWord(text, 12, 1, "KT"), -1);
  EXPECT_EQ(findWord(LString("KKKT"), 0, 4, "KT"), 2);
  EXPECT_EQ(findChar(text, 0, 8, 'T'), 7);
  EXPECT_EQ(findChar(text, 0, 7, 'T'), -1);
  EXPECT_EQ(findChar(text, 3, 0, '2'), -1);
  EXPECT_EQ(blankFrom(text, 8), 8);
  EXPECT_EQ(blankFrom(text, 9), -1);
  EXPECT_EQ(blankFrom(text, 99), -1);
  EXPECT_TRUE(holdsAt(text, 11, "KT"));
  EXPECT_FALSE(holdsAt(text, 12, "KT"));
  EXPECT_FALSE(holdsAt(text, 14, "K"));
  EXPECT_TRUE(holdsAt(text, 13, ""));
}

// Purpose: numbers read from a range are LString::convert of that range,
// and a record field holds the saturated values at the limits of int.
TEST(GroupRule, NumbersFromARange) {
  LString text("A2992 -12 M05 99999999999999999999");
  EXPECT_EQ(numberAt(text, 1, 4), 2992);
  EXPECT_EQ(numberAt(text, 1, 2), 29);
  EXPECT_EQ(numberAt(text, 6, 3), -12);
  EXPECT_EQ(numberAt(text, 10, 3), 0);
  EXPECT_EQ(numberAt(text, 0, 0), 0);
  EXPECT_EQ(clampToInt(numberAt(text, 14, 20)), 2147483647);
  EXPECT_EQ(clampToInt(-numberAt(text, 14, 20)), -2147483647 - 1);
}

}  // namespace
}  // namespace stratus
