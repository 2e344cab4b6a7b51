#include "reader/section_scan.h"

#include <string>

#include <gtest/gtest.h>

namespace {

LString text(const std::string& s) {
  return LString(s.data(), static_cast<int>(s.size()));
}

// Feeds `page` line by line (each with its line feed); returns the text and
// how many lines were taken before the scan asked to stop.
std::string scanZone(const std::string& page, const char* zone, bool firstOnly,
                     int* read) {
  LString out("left over");
  stratus::ZoneScan scan(zone, firstOnly, out);
  *read = 0;
  for (size_t at = 0; at < page.size();) {
    size_t end = std::min(page.find('\n', at), page.size() - 1) + 1;
    ++*read;
    if (!scan.feed(page.data() + at, end - at)) break;
    at = end;
  }
  return out.str();
}

std::string scanCity(const std::string& page) {
  LString out("left over");
  stratus::CityScan scan("FXUS", "CCC", out);
  for (size_t at = 0; at < page.size();) {
    size_t end = std::min(page.find('\n', at), page.size() - 1) + 1;
    scan.feed(page.data() + at, end - at);
    at = end;
  }
  return out.str();
}

// Tags become one blank each, a never-closed "<" drops the rest, the result
// is trimmed; line feeds stay unless asked to go. The header test looks at
// the third and the last character of what remains.
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
      {"", true, ""},
      {std::string("a\0<b>c", 6), false, std::string("a\0 c", 4)},
  };
  for (const Strip& c : strips) {
    LString s = text(c.in);
    stratus::stripHTMLTags(s, c.dropLineFeeds);
    EXPECT_EQ(s.str(), c.out) << "strip '" << c.in << "' " << c.dropLineFeeds;
  }
  struct Header {
    std::string line;
    bool header;
  } headers[] = {
      {"XXZ001>003-005-120000-\n", true},
      {"  IAZ004-270515-  \n", true},
      {"<PRE>IAZ004-270515-<BR>\n", true},
      {"XXZ-", true},
      {"x <b>XXZ001-120000- <i", false},
      {"<i>XXZ001-120000- <i", true},
      {"ABZ", false},
      {"AZ-", false},
      {"\n", false},
      {"001>003-120000-\n", false},
      {"IAC127-169-192145-\n", false},
      {"IAZ004-270515-\r", false},
      {"----------\n", false},
      {"XXZ" + std::string(9996, '-'), true},
  };
  for (const Header& c : headers) {
    EXPECT_EQ(stratus::isZoneHeader(text(c.line)), c.header)
        << c.line.substr(0, 30);
  }
}

// The list is read after the zone's prefix, without the last 8 characters,
// up to the first character that cannot be in a list; ranges are inclusive.
TEST(LineTests, InZoneReadsNumbersAndRanges) {
  const char* ranges = "XXZ001>003-005-120000-\n";
  const char* twoStates = "XXZ001-YYZ002-120000-\n";
  // A header's first line when it goes on on a second: the 8-character cut
  // takes its last items and leaves a lone 0.
  const char* wrapped =
      "IAZ004>006-015-016-023>025-033>039-044>050-057>062-070>075-\n";
  struct Case {
    const char* zone;
    const char* header;
    bool in;
  } cases[] = {
      {"XXZ001", ranges, true},
      {"XXZ002", ranges, true},
      {"XXZ003", ranges, true},
      {"XXZ004", ranges, false},
      {"XXZ005", ranges, true},
      {"XXZ006", ranges, false},
      {"YYZ002", twoStates, true},
      {"XXZ002", twoStates, false},
      {"ZZZ001", twoStates, false},
      {"IAZ062", wrapped, true},
      {"IAZ070", wrapped, false},
      {"IAZ000", wrapped, true},
      {"XXZ002", "XXZ001-002-120000-", true},
      {"XXZ000", "XXZ001--003-120000-\n", true},
      {"XXZ003", "XXZ005>001-120000-\n", false},
      {"IAZ003", "IAZ001&gt;005-120000-\n", false},
      {"XXZ999", "XXZ99999999999999999999999-120000-\n", false},
      {"XXZ1", ranges, false},
      {"", ranges, false},
      {"XXZ001", "XXZ-", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stratus::inZone(c.zone, c.header), c.in)
        << c.zone << " in " << c.header;
  }
}

// Pages read for XXZ002: the first covering section or all of them, each
// ended by a section-end string, a raw <BR> or a header that does not cover
// the zone; headers are never collected; lines keep their line feeds and
// are joined by one blank.
TEST(ZoneScan, CollectsTheSectionsThatCoverTheZone) {
  const std::string twoSections =
      "<PRE>\nXXZ001>003-120000-\nLINE A\nLINE B\n$$\nXXZ002-120000-\nLINE C\n";
  struct Case {
    const char* name;
    std::string page;
    bool firstOnly;
    std::string text;
    int read;
  } cases[] = {
      {"first section only", twoSections, true, "LINE A\n LINE B\n", 5},
      {"every section", twoSections, false, "LINE A\n LINE B\n LINE C\n", 7},
      {"end strings anywhere",
       "XXZ002-120000-\na\nx NNNN y\nb\nXXZ002-120000-\nc\nand "
       "GSK\nXXZ002-120000-\nd\n$$ x\ne\n",
       false, "a\n c\n d\n", 11},
      {"raw <BR> ends, <br> does not", "XXZ002-120000-\na<br>\nb<BR>\nc\n",
       false, "a \n", 4},
      {"other zone's header ends", "XXZ002-120000-\na\nXXZ009-120000-\nb\n",
       false, "a\n", 4},
      {"covering header goes on", "XXZ002-120000-\na\nXXZ001>005-120000-\nb\n",
       false, "a\n b\n", 4},
      {"covering header ends the first",
       "XXZ002-120000-\na\nXXZ001>005-120000-\nb\n", true, "a\n", 3},
      {"empty line collected", "XXZ002-120000-\na\n<P>\nb\n", false,
       "a\n \n b\n", 4},
      {"continuation line is text", "XXZ001-002-003-004-\n005-120000-\na\n",
       false, "005-120000-\n a\n", 3},
      {"header with a tag left open", "<i>XXZ002-120000- <i\na\n", false, "a\n",
       2},
      {"no covering section", "XXZ009-120000-\na\n$$\n", false, "", 3},
  };
  for (const Case& c : cases) {
    int read;
    EXPECT_EQ(scanZone(c.page, "XXZ002", c.firstOnly, &read), c.text) << c.name;
    EXPECT_EQ(read, c.read) << c.name;
  }
}

// City sections start at a line holding marker and code and end at a
// marker line without the code or at a raw <BR>; "$$" is plain text.
TEST(CityScan, CollectsTheSectionsOfTheCity) {
  EXPECT_EQ(
      scanCity("FXUS64 CCC 120000\nTEXT 1\n$$\nFXUS64 DDD 120000\nTEXT 2\n"
               "FXUS64 CCC 120000\nTEXT 3\n"),
      "TEXT 1\n $$\n TEXT 3\n");
  EXPECT_EQ(scanCity("<PRE>FXUS63 CCC 1\na\nFXUS63 CCC 2\nb\n<BR><BR>\nc\n"),
            "a\n b\n");
  EXPECT_EQ(scanCity("CCC\na\nFX<b>US CCC\nb\n"), "");
}

// Hostile pages get a defined answer: no crash, no endless loop, nothing
// read past a line's end (run under the sanitizers).
TEST(ZoneScan, SurvivesHostileLines) {
  std::string page;
  for (int i = 0; i < 4096; ++i) page += static_cast<char>((i * 7919) % 256);
  page += "\nXXZ002-120000-\n" + std::string("nul\0inside\n", 11) +
          "open <tag never closed\n" + std::string(10000, '-') + "\nXXZ" +
          std::string(9996, '-') + "\nafter\n";
  int read;
  EXPECT_EQ(
      scanZone(page, "XXZ002", false, &read),
      std::string("nul\0inside\n open ", 17) + std::string(10000, '-') + "\n");
  for (const char* zone : {"", "X", "XXZ", "XXZ00"})
    scanZone(page, zone, false, &read);
  EXPECT_EQ(scanCity(page), "");
}

}  // namespace
