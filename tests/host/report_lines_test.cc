// WReportLines: a stream cut into report lines, whatever its line ends and
// however it is split into feeds.
#include "stratus/host/report_lines.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Collect : WReportLines::Sink {
  void line(const char* text, size_t n, unsigned long number) override {
    got.push_back(std::to_string(number) + ":" + std::string(text, n));
  }
  void overlong(unsigned long number) override {
    got.push_back(std::to_string(number) + ":overlong");
  }
  std::vector<std::string> got;
};

// Every split of `text` into two feeds gives the same lines.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> first;
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    Collect c;
    WReportLines lines(c);
    lines.feed(text.data(), cut);
    lines.feed(text.data() + cut, text.size() - cut);
    lines.finish();
    if (cut == 0) first = c.got;
    EXPECT_EQ(c.got, first) << "split at " << cut;
  }
  return first;
}

// Purpose: LF, CR and CR LF each end one line (a CR LF is one end even when
// a feed ends between them); blanks around a line go; blank lines count but
// are not handed on; the last line needs no end.
TEST(ReportLines, EveryLineEndEndsOneLine) {
  using V = std::vector<std::string>;
  struct Case {
    std::string text;
    V lines;
  } cases[] = {
      {"A\nB\n", {"1:A", "2:B"}},
      {"A\rB\r", {"1:A", "2:B"}},
      {"A\r\nB\r\n", {"1:A", "2:B"}},
      {"A\r\rB", {"1:A", "3:B"}},
      {"A\n\r\nB", {"1:A", "3:B"}},
      {" \tA B \t\n\n   \nC", {"1:A B", "4:C"}},
      {"", {}},
      {std::string("A\0B\n", 4), {std::string("1:A\0B", 5)}},
  };
  for (const Case& c : cases) EXPECT_EQ(linesOf(c.text), c.lines) << c.text;
}

// Purpose: a line of MAX_LINE bytes passes; one byte more is skipped whole,
// however it arrives, and the next line is read as usual.
TEST(ReportLines, OverlongLinesAreSkippedWhole) {
  const size_t max = WReportLines::MAX_LINE;
  for (size_t length : {max, max + 1}) {
    const std::string text = std::string(length, 'x') + "\nK\n";
    for (size_t cut : {size_t{0}, size_t{1}, max, max + 1, text.size()}) {
      Collect c;
      WReportLines lines(c);
      lines.feed(text.data(), cut);
      lines.feed(text.data() + cut, text.size() - cut);
      lines.finish();
      ASSERT_EQ(c.got.size(), 2u) << length << " cut " << cut;
      EXPECT_EQ(c.got[0], length == max ? "1:" + std::string(max, 'x')
                                        : std::string("1:overlong"))
          << length << " cut " << cut;
      EXPECT_EQ(c.got[1], "2:K");
    }
  }
  // Four MiB of one line in blocks, then more lines: memory stays bounded
  // and the line after it is whole.
  Collect c;
  WReportLines lines(c);
  std::string block(4096, 'y');
  for (int i = 0; i < 1000; ++i) lines.feed(block.data(), block.size());
  lines.feed("\r\nK 1\n", 6);
  lines.feed(block.data(), block.size());
  lines.finish();
  EXPECT_EQ(c.got,
            (std::vector<std::string>{"1:overlong", "2:K 1", "3:" + block}));
}

}  // namespace
