#include "stratus/foundation/result.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

// Purpose: the message catalogue is complete, in code order, and closed.
TEST(Result, MessageCatalogue) {
  const char* expected[] = {
      "L_OK: No error (success)",
      "L_ERROR: Error occured",
      "L_MEM: Memory allocation error",
      "L_NOTFOUND: Something is not found (but expected to be there!)",
      "L_INPUT: Input failed",
      "L_WRONGTYPE: Type is supposed to be different",
      "L_CONNECT: Connection failed or cannot be established",
      "L_DB: Error while accessing database",
      "L_RANGE: Something is out of permitted range",
      "L_CONVERTION: Something cannot be converted into something",
      "L_OUTPUT: Output failed",
      "L_FORMAT: Format is invalid",
      "L_OPEN: Cannot open something",
      "L_CREATE: Cannot create something",
  };
  for (int code = L_OK; code <= L_CREATE; ++code)
    EXPECT_STREQ(resultMessage(code), expected[code]) << code;
  for (int code : {-1, 14, 1000})
    EXPECT_STREQ(resultMessage(code), "Unknown exception id") << code;
}

// Purpose: a copy of an exception without text gets the stock text; a copy
// of one with text owns its own copy.
TEST(LEx, CopyRule) {
  LEx plain(L_RANGE);
  EXPECT_EQ(plain.info, nullptr);
  LEx copy(plain);
  EXPECT_EQ(copy.id, L_RANGE);
  EXPECT_STREQ(copy.info, "No addition information");

  LEx withText(L_MEM, "detail");
  LEx copy2(withText);
  EXPECT_STREQ(copy2.info, "detail");
  EXPECT_NE(copy2.info, withText.info);

  LEx assigned(L_OK);
  assigned = plain;
  EXPECT_EQ(assigned.id, L_RANGE);
  EXPECT_STREQ(assigned.info, "No addition information");
}

}  // namespace
