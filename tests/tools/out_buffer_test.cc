// The output block of the host's formatting: numbers written in place, and
// the block growing under a long write.
#include "out_buffer.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

namespace stratus_cli {
namespace {

// Fixed decimals round halves away from zero, on the exact binary value:
// each value below is exact in binary (or its product by the scale is
// known), so the expected text is worked by hand.
TEST(OutBuffer, FixedDecimalsRoundHalvesAwayFromZero) {
  struct Case {
    double v;
    int decimals;
    const char* text;
  } cases[] = {
      {2.5, 0, "3"},
      {-2.5, 0, "-3"},
      {0.5, 0, "1"},
      {0.125, 2, "0.13"},
      {-0.125, 2, "-0.13"},
      {1013.25, 1, "1013.3"},
      {-0.04, 1, "0.0"},  // rounds to zero: no sign
      {7, 3, "7.000"},
      {0.0625, 3, "0.063"},
      {1.5, 1, "1.5"},
      // The largest magnitude below 2^52 with a half: 2^52 - 0.5.
      {4503599627370495.5, 0, "4503599627370496"},
      {-4503599627370495.5, 0, "-4503599627370496"},
      // The double just below one half.
      {0.49999999999999994, 0, "0"},
      {1e17, 0, "100000000000000000"},
  };
  for (const Case& c : cases) {
    OutBuffer out;
    out.putFixed(c.v, c.decimals);
    EXPECT_EQ(out.str(), c.text) << c.v << " to " << c.decimals;
  }
}

TEST(OutBuffer, IntegersAndTwoDigits) {
  OutBuffer out;
  out.putInt(LLONG_MIN);
  out.put(' ');
  out.putInt(0);
  out.put(' ');
  out.putTwoDigits(7);
  out.putTwoDigits(59);
  EXPECT_EQ(out.str(), "-9223372036854775808 0 0759");
}

// A block smaller than what is written grows and keeps every byte.
TEST(OutBuffer, GrowsKeepingWhatItHolds) {
  OutBuffer out(16);
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    out.lit("group ");
    out.putInt(i);
    expected += "group " + std::to_string(i);
  }
  std::string big(100000, 'x');
  out.put(big);
  expected += big;
  EXPECT_EQ(out.str(), expected);
  out.clear();
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace stratus_cli
