// The runs of bytes that need no escaping, tested eight at a time.
#include "byte_runs.h"

#include <string>

#include <gtest/gtest.h>

namespace stratus_cli {
namespace {

// One byte at each position of a 19-byte text of letters: the run stops at
// it exactly when the byte is outside the run's set, whichever word and
// lane it falls in (the first two words, and the tail after them).
TEST(ByteRuns, StopAtTheFirstByteOutsideTheSet) {
  struct Case {
    unsigned char byte;
    bool printable;  // 0x20..0x7E
    bool jsonPlain;  // printable, not `"` or `\`
  } cases[] = {
      {0x00, false, false}, {0x1F, false, false}, {0x20, true, true},
      {'!', true, true},    {'"', true, false},   {'\\', true, false},
      {0x7E, true, true},   {0x7F, false, false}, {0x80, false, false},
      {0xC3, false, false}, {0xFF, false, false},
  };
  const size_t n = 19;
  for (const Case& c : cases) {
    for (size_t at = 0; at < n; ++at) {
      std::string text(n, 'K');
      text[at] = static_cast<char>(c.byte);
      EXPECT_EQ(printableRun(text.data(), n), c.printable ? n : at)
          << "byte " << int{c.byte} << " at " << at;
      EXPECT_EQ(jsonPlainRun(text.data(), n), c.jsonPlain ? n : at)
          << "byte " << int{c.byte} << " at " << at;
    }
  }
}

}  // namespace
}  // namespace stratus_cli
