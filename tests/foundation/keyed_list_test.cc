#include "stratus/foundation/keyed_list.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

LString feedAll(LKeyedList& list, const std::vector<const char*>& lines,
                const char* key) {
  for (const char* line : lines) list.feed(line);
  return list.get(key);
}

// Purpose: add refuses unknown kinds and duplicate keys without changing
// the list.
TEST(LKeyedList, AddResults) {
  LKeyedList list;
  EXPECT_EQ(list.add("ob", 13), L_INPUT);
  EXPECT_EQ(list.add("ob", 9), L_INPUT);
  EXPECT_EQ(list.add("ob", LKeyedList::MATCH_EQUAL), 0);
  for (int kind : {LKeyedList::MATCH_EQUAL, LKeyedList::MATCH_BEGIN,
                   LKeyedList::MATCH_CONTAIN})
    EXPECT_EQ(list.add("ob", kind), -1) << kind;
  // The refused adds left one entry: "ob" still captures.
  EXPECT_STREQ(feedAll(list, {"ob", "KXYZ 121753Z"}, "ob"), "KXYZ 121753Z");
}

// Purpose: the capture sequence - a repeated key keeps the entry armed, the
// next other line is the value, and nothing changes it afterwards.
TEST(LKeyedList, CaptureSequence) {
  LKeyedList list;
  list.add("ob", LKeyedList::MATCH_EQUAL);
  EXPECT_STREQ(
      feedAll(list, {"other", "ob", "ob", "REPORT 1", "ob", "REPORT 2"}, "ob"),
      "REPORT 1");
}

// Purpose: lines before any add, and keys never added, give the empty text.
TEST(LKeyedList, EmptyAndUnknown) {
  LKeyedList list;
  EXPECT_STREQ(feedAll(list, {"ob", "x"}, "ob"), "");
  list.add("ob", LKeyedList::MATCH_EQUAL);
  EXPECT_STREQ(list.get("zz"), "");
  EXPECT_STREQ(list.get("ob"), "");
}

// Purpose: the three match kinds.
TEST(LKeyedList, MatchKinds) {
  struct Case {
    const char* line;
    int kind;
    bool match;
  } cases[] = {
      {"ob", LKeyedList::MATCH_EQUAL, true},
      {"ob ", LKeyedList::MATCH_EQUAL, false},
      {"o", LKeyedList::MATCH_BEGIN, false},
      {"obs", LKeyedList::MATCH_BEGIN, true},
      {"ob", LKeyedList::MATCH_BEGIN, true},
      {"job", LKeyedList::MATCH_BEGIN, false},
      {"a job", LKeyedList::MATCH_CONTAIN, true},
      {"o b", LKeyedList::MATCH_CONTAIN, false},
      {"ob", 13, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LKeyedList::match(c.line, "ob", c.kind), c.match)
        << '"' << c.line << "\" kind " << c.kind;
}

// Purpose: with several entries, the first armed entry in list order (not
// in arming order) takes the next line, later armed entries wait, and a done
// entry neither matches nor captures again.
TEST(LKeyedList, SeveralEntries) {
  LKeyedList list;
  list.add("A", LKeyedList::MATCH_EQUAL);
  list.add("B", LKeyedList::MATCH_EQUAL);
  for (const char* line : {"B", "A", "value 1", "value 2", "A", "value 3"})
    list.feed(line);
  EXPECT_STREQ(list.get("A"), "value 1");
  EXPECT_STREQ(list.get("B"), "value 2");
}

}  // namespace
