// The table of texts by key: a held text comes back only for its own key.
#include "text_cache.h"

#include <string>

#include <gtest/gtest.h>

namespace stratus_cli {
namespace {

// Two keys of one slot take it in turn; a text too long for a slot is
// written every time and never held.
TEST(TextCache, GivesBackATextOnlyForItsKey) {
  TextCache<4, 8> cache;
  uint64_t a = 1, b = 2;
  while (slotIndex(b, 4) != slotIndex(a, 4)) ++b;
  int made = 0;
  auto append = [&](uint64_t key, const std::string& text) {
    OutBuffer out;
    cache.append(out, key, [&] {
      ++made;
      out.put(text);
    });
    return out.str();
  };
  EXPECT_EQ(append(a, "alpha"), "alpha");
  EXPECT_EQ(append(a, "other"), "alpha");  // held
  EXPECT_EQ(made, 1);
  EXPECT_EQ(append(b, "beta"), "beta");  // the same slot, another key
  EXPECT_EQ(append(a, "alpha"), "alpha");
  EXPECT_EQ(made, 3);
  EXPECT_EQ(append(a, ""), "alpha");
  EXPECT_EQ(append(b, "too long!"), "too long!");
  EXPECT_EQ(append(b, "too long!"), "too long!");
  EXPECT_EQ(made, 5);
}

}  // namespace
}  // namespace stratus_cli
