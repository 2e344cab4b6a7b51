#include "stratus/foundation/vector.h"

#include <gtest/gtest.h>

#include "stratus/foundation/string.h"

namespace {

// Purpose: size 0 allocates nothing; resize(0) makes an empty array.
TEST(LVector, EmptyVector) {
  LVector<int> v(0);
  EXPECT_EQ(v.getSize(), 0u);
  v.resize(0);
  EXPECT_EQ(v.getSize(), 0u);
  EXPECT_THROW(v[0], LEx);
}

// Purpose: resize keeps the first min(old, new) elements in order and
// default-constructs the rest.
TEST(LVector, ResizeKeepsPrefix) {
  LVector<LString> v(3);
  v[0] = "a";
  v[1] = "b";
  v[2] = "c";
  v.resize(2);
  ASSERT_EQ(v.getSize(), 2u);
  EXPECT_STREQ(v[0], "a");
  EXPECT_STREQ(v[1], "b");
  v.resize(5);
  ASSERT_EQ(v.getSize(), 5u);
  EXPECT_STREQ(v[1], "b");
  EXPECT_STREQ(v[4], "");
  LVector<int> n(4);
  for (unsigned i = 0; i < n.getSize(); ++i) EXPECT_EQ(n[i], 0) << i;
}

// Purpose: every access past the count throws L_RANGE with no text.
TEST(LVector, RangeCheck) {
  LVector<int> v(2);
  for (unsigned i : {2u, 3u, 0xFFFFFFFFu}) {
    try {
      v[i] = 1;
      ADD_FAILURE() << "no throw at " << i;
    } catch (const LEx& e) {
      EXPECT_EQ(e.id, L_RANGE);
      EXPECT_EQ(e.info, nullptr);
    }
  }
  const LVector<int>& c = v;
  EXPECT_THROW(c[2], LEx);
}

}  // namespace
