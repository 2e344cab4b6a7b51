#include "stratus/foundation/result.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

// Purpose: the catalogue answers by code at both ends and in the middle,
// and closes on "Unknown exception id" outside it.
TEST(Result, MessageCatalogue) {
  EXPECT_STREQ(resultMessage(L_OK), "L_OK: No error (success)");
  EXPECT_STREQ(
      resultMessage(L_NOTFOUND),
      "L_NOTFOUND: Something is not found (but expected to be there!)");
  EXPECT_STREQ(resultMessage(L_CREATE), "L_CREATE: Cannot create something");
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
