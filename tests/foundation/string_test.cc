#include "stratus/foundation/string.h"

#include <climits>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

namespace {

// Purpose: the extraction operations return 0 on success and nonzero, with
// the out-string untouched, whenever the range leaves the string.
TEST(LString, LeftRightMidRanges) {
  struct Case {
    const char* op;
    int start, n;
    int rc;
    const char* out;
  } cases[] = {
      {"left", 0, 0, 0, ""},        {"left", 0, 3, 0, "abc"},
      {"left", 0, 6, 0, "abcdef"},  {"left", 0, 7, 1, "keep"},
      {"left", 0, -1, 1, "keep"},   {"right", 0, 2, 0, "ef"},
      {"right", 0, 6, 0, "abcdef"}, {"right", 0, 7, 1, "keep"},
      {"mid", 2, 3, 0, "cde"},      {"mid", 6, 0, 0, ""},
      {"mid", 5, 2, 1, "keep"},     {"mid", -1, 2, 1, "keep"},
      {"mid", 7, 0, 1, "keep"},     {"mid", 1, INT_MAX, 1, "keep"},
  };
  const LString s("abcdef");
  for (const Case& c : cases) {
    LString out("keep");
    int rc = std::string(c.op) == "left"    ? s.left(c.n, out)
             : std::string(c.op) == "right" ? s.right(c.n, out)
                                            : s.mid(c.start, c.n, out);
    EXPECT_EQ(rc != 0, c.rc != 0)
        << c.op << "(" << c.start << "," << c.n << ")";
    EXPECT_STREQ(out, c.out) << c.op << "(" << c.start << "," << c.n << ")";
  }
}

// Purpose: mid may write into the string it reads from.
TEST(LString, MidIntoItself) {
  LString s("METAR KXYZ");
  ASSERT_EQ(s.mid(6, 4, s), 0);
  EXPECT_STREQ(s, "KXYZ");
}

// Purpose: find returns 0 when found and writes the first index only then.
TEST(LString, FindConventions) {
  LString s("ob ob");
  int pos = -7;
  EXPECT_EQ(s.find("ob", pos), 0);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(s.find(" ob", pos), 0);
  EXPECT_EQ(pos, 2);
  pos = -7;
  EXPECT_NE(s.find("xo", pos), 0);
  EXPECT_EQ(pos, -7);
  EXPECT_EQ(LString().find(""), 0);
  EXPECT_NE(LString().find("a"), 0);
}

// Purpose: splitting is at the first occurrence; failure leaves both parts.
TEST(LString, SplitAtFirstOccurrence) {
  LString a("x"), b("y");
  EXPECT_EQ(LString("M05/M12/3").split("/", a, b), 0);
  EXPECT_STREQ(a, "M05");
  EXPECT_STREQ(b, "M12/3");
  EXPECT_EQ(LString("Z1)rest)").split(")", a, b), 0);
  EXPECT_STREQ(a, "Z1");
  EXPECT_STREQ(b, "rest)");
  a = "x";
  b = "y";
  EXPECT_NE(LString("2992").split("/", a, b), 0);
  EXPECT_NE(LString("2992").split("", a, b), 0);
  EXPECT_STREQ(a, "x");
  EXPECT_STREQ(b, "y");
  LString self("left=right");
  EXPECT_EQ(self.split("=", self, b), 0);
  EXPECT_STREQ(self, "left");
  EXPECT_STREQ(b, "right");
}

// Purpose: trimming removes blanks and tabs but never line feeds.
TEST(LString, TrimKeepsLineFeeds) {
  struct Case {
    const char* in;
    const char* trimmed;
    const char* leftTrimmed;
  } cases[] = {
      {"  a b  ", "a b", "a b  "},
      {" text\n", "text\n", "text\n"},
      {"\n  ", "\n", "\n  "},
      {"\t x\t", "x", "x\t"},
      {"   ", "", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    LString t(c.in), l(c.in);
    t.trim();
    l.leftTrim();
    EXPECT_STREQ(t, c.trimmed) << '"' << c.in << '"';
    EXPECT_STREQ(l, c.leftTrimmed) << '"' << c.in << '"';
  }
}

// Purpose: cutting clamps at the length and refuses a negative count.
TEST(LString, CutLeftAndRight) {
  LString s("27010KT 10SM");
  EXPECT_EQ(s.cutLeft(8), 0);
  EXPECT_STREQ(s, "10SM");
  EXPECT_EQ(s.cutRight(2), 0);
  EXPECT_STREQ(s, "10");
  EXPECT_NE(s.cutLeft(-1), 0);
  EXPECT_STREQ(s, "10");
  EXPECT_EQ(s.cutRight(50), 0);
  EXPECT_STREQ(s, "");
  EXPECT_EQ(s.cutLeft(1), 0);
}

// Purpose: convert reads an optional sign and the leading digits, and never
// overflows.
TEST(LString, ConvertLeadingDigits) {
  struct Case {
    const char* in;
    long value;
    int rc;
  } cases[] = {
      {"2992", 2992, L_OK},
      {"005", 5, L_OK},
      {"-12", -12, L_OK},
      {"+7", 7, L_OK},
      {"0CB", 0, L_OK},
      {"12KT", 12, L_OK},
      {"", 0, L_CONVERTION},
      {"///", 0, L_CONVERTION},
      {"-", 0, L_CONVERTION},
      {" 5", 0, L_CONVERTION},
      {"99999999999999999999999", LONG_MAX, L_OK},
      {"-99999999999999999999999", LONG_MIN, L_OK},
  };
  for (const Case& c : cases) {
    long v = 123;
    EXPECT_EQ(LString(c.in).convert(v), c.rc) << '"' << c.in << '"';
    EXPECT_EQ(v, c.value) << '"' << c.in << '"';
  }
}

// Purpose: substitute replaces every occurrence once, left to right.
TEST(LString, Substitute) {
  struct Case {
    const char* in;
    const char* from;
    const char* to;
    const char* out;
  } cases[] = {
      {"a\nb\n", "\n", "\r\n", "a\r\nb\r\n"},
      {"aaa", "aa", "b", "ba"},
      {"abc", "x", "y", "abc"},
      {"abc", "", "y", "abc"},
      {"a.b.c", ".", "", "abc"},
  };
  for (const Case& c : cases) {
    LString s(c.in);
    s.substitute(c.from, c.to);
    EXPECT_STREQ(s, c.out) << c.in << " / " << c.from;
  }
}

// Purpose: the small predicates and joins behave at the ends of the string.
TEST(LString, PredicatesAndJoins) {
  LString s("A3012");
  EXPECT_TRUE(s.compareLeft("A"));
  EXPECT_TRUE(s.compareLeft(""));
  EXPECT_FALSE(s.compareLeft("A30120"));
  EXPECT_TRUE(s.compareRight("12"));
  EXPECT_FALSE(LString("SM").compareRight("1SM"));
  EXPECT_TRUE(s.isNumber(1));
  EXPECT_FALSE(s.isNumber(0));
  EXPECT_FALSE(s.isNumber(5));
  EXPECT_FALSE(s.isNumber(-1));
  EXPECT_TRUE(LString("ob") == "ob");
  EXPECT_TRUE("ob" == LString("ob"));
  EXPECT_FALSE(LString("ob") == "obs");
  EXPECT_STREQ(LString("a") + "b" + LString("c") + 'd', "abcd");
  LString f;
  EXPECT_EQ(f.printf("Getting %s...", "forecast"), 0);
  EXPECT_STREQ(f, "Getting forecast...");
  std::string big(1000, 'x');
  f.printf("%s!", big.c_str());
  EXPECT_EQ(f.length(), 1001);
  EXPECT_EQ(LString("a\0b", 3).length(), 3);
}

// Purpose: the tokenizer skips runs of delimiters and reports the end.
TEST(LTokenizer, TokensAndEof) {
  LTokenizer t(LString("  AO2  SLP132 T02220178"), " ");
  LString tok;
  std::vector<std::string> got;
  while (!t.eof()) {
    t >> tok;
    got.push_back(tok.c_str());
  }
  EXPECT_EQ(got, (std::vector<std::string>{"AO2", "SLP132", "T02220178"}));
  t >> tok;
  EXPECT_STREQ(tok, "");
  LTokenizer empty(LString("   "), " ");
  EXPECT_TRUE(empty.eof());
}

}  // namespace
