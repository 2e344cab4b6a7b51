#include "reader/section_scan.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// What a zone scan collects; `read`: the lines it took before it stopped.
std::string scanZone(const std::string& page, const char* zone, bool firstOnly,
                     int& read) {
  LString out("left over");
  stratus::ZoneScan scan(zone, firstOnly, out);
  std::istringstream in(page);
  read = 0;
  for (std::string line; std::getline(in, line) && ++read;) {
    if (!in.eof()) line += '\n';
    if (!scan.feed(line.data(), line.size())) break;
  }
  return out.str();
}

std::string scanCity(const std::string& page) {
  LString out("left over");
  stratus::CityScan scan("FXUS", "CCC", out);
  std::istringstream in(page);
  for (std::string line; std::getline(in, line);) {
    if (!in.eof()) line += '\n';
    scan.feed(line.data(), line.size());
  }
  return out.str();
}

// Tag stripping, and the header test on what it leaves.
TEST(LineTests, StripTagsAndRecogniseHeaders) {
  struct Strip {
    std::string in;
    bool dropLineFeeds;
    std::string out;
  } strips[] = {
      {"<b>word</b> second", false, "word  second"},
      {"a > b", false, "a > b"},
      {"keep <never closed", false, "keep"},
      {"a<x<y>b", false, "a b"},
      {"  line  \n", false, "line  \n"},
      {"  line  \n", true, "line"},
      {"\t<p>\t\n", false, "\n"},
      {std::string("a\0<b>c", 6), false, std::string("a\0 c", 4)},
  };
  for (const Strip& c : strips) {
    LString s(c.in.data(), static_cast<int>(c.in.size()));
    stratus::stripHTMLTags(s, c.dropLineFeeds);
    EXPECT_EQ(s.str(), c.out) << "strip '" << c.in << "' " << c.dropLineFeeds;
  }
  const std::string dashes = "XXZ" + std::string(9996, '-');  // 10,000
  for (const char* line : {"XXZ001>003-005-120000-\n", "  IAZ004-270515-  \n",
                           "<PRE>IAZ004-270515-<BR>\n", dashes.c_str()})
    EXPECT_TRUE(stratus::isZoneHeader(line)) << std::string(line).substr(0, 30);
  for (const char* line : {"ABZ", "AZ-", "IAC127-169-192145-\n",
                           "IAZ004-270515-\r", "----------\n"})
    EXPECT_FALSE(stratus::isZoneHeader(line)) << line;
}

// Zone lists: numbers and inclusive ranges before the 8-character cut.
TEST(LineTests, InZoneReadsNumbersAndRanges) {
  // A first line of two: the cut takes its last items and leaves a lone 0.
  const char* wrapped =
      "IAZ004>006-015-016-023>025-033>039-044>050-057>062-070>075-\n";
  struct Case {
    const char* header;
    std::vector<const char*> in, out;
  } cases[] = {
      {"XXZ001>003-005-120000-\n",
       {"XXZ001", "XXZ002", "XXZ003", "XXZ005"},
       {"XXZ004", "XXZ1", ""}},
      {"XXZ001-YYZ002-120000-\n", {"YYZ002"}, {"XXZ002", "ZZZ001"}},
      {wrapped, {"IAZ062", "IAZ000"}, {"IAZ070"}},
      {"XXZ001--003-120000-\n", {"XXZ000"}, {}},
      {"XXZ005>001-120000-\n", {}, {"XXZ003"}},
      {"IAZ001&gt;005-120000-\n", {}, {"IAZ003"}},
      {"XXZ99999999999999999999999-120000-\n", {}, {"XXZ999"}},
      {"XXZ-", {}, {"XXZ001"}},
  };
  for (const Case& c : cases) {
    for (bool in : {true, false}) {
      for (const char* zone : in ? c.in : c.out)
        EXPECT_EQ(stratus::inZone(zone, c.header), in)
            << zone << " in " << c.header;
    }
  }
}

// The sections that cover XXZ002, where they end, and how they are joined.
TEST(ZoneScan, CollectsTheSectionsThatCoverTheZone) {
  const std::string h = "XXZ002-120000-\n";  // a header that covers it
  const std::string two =
      "<PRE>\nXXZ001>003-120000-\nA\nB\n$$\n" + h + std::string("C\0D\n", 4);
  const std::string goesOn = h + "a\nXXZ001>005-120000-\nb\n";
  struct Case {
    const char* name;
    std::string page;
    bool firstOnly;
    std::string text;
    int read;
  } cases[] = {
      {"first section only", two, true, "A\n B\n", 5},
      {"all, NUL kept", two, false, std::string("A\n B\n C\0D\n", 10), 7},
      {"end strings anywhere",
       h + "a\nx NNNN y\nb\n" + h + "c\nand GSK\n" + h + "d\n$$ x\ne\n", false,
       "a\n c\n d\n", 11},
      {"<BR> ends, <br> not", h + "a<br>\nb<BR>\nc\n", false, "a \n", 4},
      {"other header ends", h + "a\nXXZ009-120000-\nb\n", false, "a\n", 4},
      {"covering header goes on", goesOn, false, "a\n b\n", 4},
      {"covering header ends the first", goesOn, true, "a\n", 3},
      {"continuation line is text", "XXZ001-002-003-004-\n005-120000-\na\n",
       false, "005-120000-\n a\n", 3},
      {"tag left open", "<i>XXZ002-120000- <i\na\n", false, "a\n", 2},
  };
  for (const Case& c : cases) {
    int read;
    EXPECT_EQ(scanZone(c.page, "XXZ002", c.firstOnly, read), c.text) << c.name;
    EXPECT_EQ(read, c.read) << c.name;
  }
}

// City sections: from marker and code to another marker line or a raw <BR>.
TEST(CityScan, CollectsTheSectionsOfTheCity) {
  EXPECT_EQ(scanCity("<PRE>FXUS63 CCC 1\na\nFXUS63 CCC 2\nb\n<BR><BR>\nc\n"
                     "FXUS64 DDD\n$$\nFXUS64 CCC 3\nd\n$$\n"),
            "a\n b\n d\n $$\n");
  EXPECT_EQ(scanCity("CCC\na\nFX<b>US CCC\nb\n"), "");
}

}  // namespace
