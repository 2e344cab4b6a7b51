#include "reader/section_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using stratus::CityScan;
using stratus::ZoneScan;

std::string show(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\0') {
      out += "\\0";
    } else {
      out += c;
    }
  }
  return out;
}

struct Scanned {
  std::string text;
  size_t read = 0;  // lines taken before the scan asked to stop
};

Scanned scanZone(const std::vector<std::string>& page, const char* zone,
                 bool firstOnly) {
  Scanned r;
  LString text("left over");
  ZoneScan scan(zone, firstOnly, text);
  for (const std::string& raw : page) {
    LString line(raw.data(), static_cast<int>(raw.size()));
    ++r.read;
    if (!scan.feed(line)) break;
  }
  r.text = text.str();
  return r;
}

std::string scanCity(const std::vector<std::string>& page, const char* marker,
                     const char* code) {
  LString text("left over");
  CityScan scan(marker, code, text);
  for (const std::string& raw : page) {
    LString line(raw.data(), static_cast<int>(raw.size()));
    scan.feed(line);
  }
  return text.str();
}

// Tags become one blank each, a never-closed "<" drops the rest, and the
// result is trimmed; line feeds stay unless asked to go.
TEST(StripHTMLTags, ReplacesTagsByBlanksAndTrims) {
  struct Case {
    std::string in;
    bool dropLineFeeds;
    std::string out;
  } cases[] = {
      {"<b>word</b> second", false, "word  second"},
      {"a > b", false, "a > b"},
      {"keep <never closed", false, "keep"},
      {"a<x<y>b", false, "a b"},
      {"", true, ""},
      {"<PRE>FPUS53 KBIS 031937\n", false, "FPUS53 KBIS 031937\n"},
      {"  line  \n", false, "line  \n"},
      {"  line  \n", true, "line"},
      {"\t<p>\t\n", false, "\n"},
      {"<td>ob</td>\n", true, "ob"},
      {std::string("a\0<b>c", 6), false, std::string("a\0 c", 4)},
  };
  for (const Case& c : cases) {
    LString text(c.in.data(), static_cast<int>(c.in.size()));
    stratus::stripHTMLTags(text, c.dropLineFeeds);
    EXPECT_EQ(text.str(), c.out)
        << show(c.in) << (c.dropLineFeeds ? " (dropping LF)" : "");
  }
}

// A header is any line whose third character is "Z" and whose last is "-"
// once tags, line feeds and outer blanks are gone.
TEST(IsZoneHeader, ThirdCharacterZAndLastDash) {
  struct Case {
    std::string line;
    bool header;
  } cases[] = {
      {"XXZ001>003-005-120000-\n", true},
      {"  IAZ004-270515-  \n", true},
      {"<PRE>IAZ004-270515-<BR>\n", true},
      {"XXZ-", true},
      {"ABZ", false},
      {"AZ-", false},
      {"AB", false},
      {"", false},
      {"\n", false},
      {"001>003-120000-\n", false},
      {"IAC127-169-192145-\n", false},
      {"IAZ004-270515-\r", false},
      {"----------\n", false},
      {"XXZ" + std::string(9996, '-') + "\n", true},
      {std::string(10000, '-'), false},
      {std::string("XXZ\0-", 5), true},
  };
  for (const Case& c : cases) {
    LString line(c.line.data(), static_cast<int>(c.line.size()));
    EXPECT_EQ(stratus::isZoneHeader(line), c.header)
        << show(c.line.substr(0, 40));
  }
}

// The zone list is read after the zone's prefix, without the last 8
// characters, up to the first character that cannot be in a list.
TEST(InZone, ReadsNumbersAndInclusiveRanges) {
  const char* ranges = "XXZ001>003-005-120000-\n";
  const char* twoStates = "XXZ001-YYZ002-120000-\n";
  // The first line of a header continued on a second: its last items fall
  // to the 8-character cut, a lone 0 remains.
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
      {"XXZ120", ranges, false},
      {"YYZ002", twoStates, true},
      {"XXZ002", twoStates, false},
      {"ZZZ001", twoStates, false},
      {"IAZ062", wrapped, true},
      {"IAZ070", wrapped, false},
      {"IAZ000", wrapped, true},
      {"XXZ002", "XXZ001-002-120000-", true},
      {"XXZ000", "XXZ001--003-120000-\n", true},
      {"XXZ003", "XXZ005>001-120000-\n", false},
      {"IAZ001", "IAZ001&gt;005-120000-\n", true},
      {"IAZ003", "IAZ001&gt;005-120000-\n", false},
      {"XXZ999", "XXZ99999999999999999999999-120000-\n", false},
      {"XXZ1", ranges, false},
      {"", ranges, false},
      {"XXZ001", "", false},
      {"XXZ001", "XXZ-", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stratus::inZone(c.zone, c.header), c.in)
        << c.zone << " in " << show(c.header);
  }
}

// A zone page read for XXZ002: the first covering section, or all of them,
// each ended by a section-end string, a raw <BR> or a header that does not
// cover the zone; headers are never collected, lines keep their line feeds
// and are joined by one blank.
TEST(ZoneScan, CollectsTheSectionsThatCoverTheZone) {
  struct Case {
    const char* name;
    std::vector<std::string> page;
    bool firstOnly;
    std::string text;
    size_t read;
  } cases[] = {
      {"first section only",
       {"<PRE>\n", "XXZ001>003-120000-\n", "LINE A\n", "LINE B\n", "$$\n",
        "XXZ002-120000-\n", "LINE C\n"},
       true,
       "LINE A\n LINE B\n",
       5},
      {"every section",
       {"<PRE>\n", "XXZ001>003-120000-\n", "LINE A\n", "LINE B\n", "$$\n",
        "XXZ002-120000-\n", "LINE C\n"},
       false,
       "LINE A\n LINE B\n LINE C\n",
       7},
      {"end strings anywhere in a line",
       {"XXZ002-120000-\n", "a\n", "x NNNN y\n", "b\n", "XXZ002-120000-\n",
        "c\n", "and GSK\n", "XXZ002-120000-\n", "d\n", "$$ trailer\n", "e\n"},
       false,
       "a\n c\n d\n",
       11},
      {"raw <BR> ends the section, the line is not collected",
       {"XXZ002-120000-\n", "a\n", "b<BR>\n", "c\n"},
       false,
       "a\n",
       4},
      {"a lower-case <br> is text",
       {"XXZ002-120000-\n", "a<br>\n"},
       false,
       "a \n",
       2},
      {"header not covering the zone ends the section",
       {"XXZ002-120000-\n", "a\n", "XXZ009-120000-\n", "b\n"},
       false,
       "a\n",
       4},
      {"covering header again: not collected, section goes on",
       {"XXZ002-120000-\n", "a\n", "XXZ001>005-120000-\n", "b\n"},
       false,
       "a\n b\n",
       4},
      {"covering header again ends the first section",
       {"XXZ002-120000-\n", "a\n", "XXZ001>005-120000-\n", "b\n"},
       true,
       "a\n",
       3},
      {"empty line in a section is collected",
       {"XXZ002-120000-\n", "a\n", "<P>\n", "b\n"},
       false,
       "a\n \n b\n",
       4},
      {"continuation line of a header is text",
       {"XXZ001-", "002-120000-\n", "a\n"},
       false,
       "",
       3},
      {"continuation inside a section is collected",
       {"XXZ001-002-003-004-\n", "005-120000-\n", "a\n"},
       false,
       "005-120000-\n a\n",
       3},
      {"no covering section",
       {"XXZ009-120000-\n", "a\n", "$$\n"},
       false,
       "",
       3},
  };
  for (const Case& c : cases) {
    Scanned r = scanZone(c.page, "XXZ002", c.firstOnly);
    EXPECT_EQ(show(r.text), show(c.text)) << c.name;
    EXPECT_EQ(r.read, c.read) << c.name;
  }
}

// City sections start at a line holding marker and code and end at a
// marker line without the code or at a raw <BR>; "$$" is plain text.
TEST(CityScan, CollectsTheSectionsOfTheCity) {
  struct Case {
    const char* name;
    std::vector<std::string> page;
    std::string text;
  } cases[] = {
      {"two sections, $$ kept",
       {"FXUS64 CCC 120000\n", "TEXT 1\n", "$$\n", "FXUS64 DDD 120000\n",
        "TEXT 2\n", "FXUS64 CCC 120000\n", "TEXT 3\n"},
       "TEXT 1\n $$\n TEXT 3\n"},
      {"header again with the code goes on",
       {"<PRE>FXUS63 CCC 051744\n", "a\n", "FXUS63 CCC 051745\n", "b\n"},
       "a\n b\n"},
      {"raw <BR> ends", {"FXUS63 CCC\n", "a\n", "<BR><BR>\n", "b\n"}, "a\n"},
      {"code alone starts nothing", {"CCC\n", "a\n"}, ""},
      {"marker and code split by a tag", {"FX<b>US CCC\n", "a\n"}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(show(scanCity(c.page, "FXUS", "CCC")), show(c.text)) << c.name;
  }
}

// Hostile pages get a defined answer: no crash, no endless loop, nothing
// read past a line's end (run under the sanitizers).
TEST(SectionScans, SurviveHostileLines) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919) % 256);
  std::vector<std::string> page;
  for (size_t at = 0; at < junk.size(); at += 300)
    page.push_back(junk.substr(at, 300));
  page.push_back("XXZ002-120000-\n");
  page.push_back(std::string("nul\0inside\n", 11));
  page.push_back("open <tag that never closes\n");
  page.push_back(std::string(10000, '-') + "\n");
  page.push_back("XXZ" + std::string(9996, '-') + "\n");
  page.push_back("after\n");

  Scanned r = scanZone(page, "XXZ002", false);
  EXPECT_EQ(show(r.text), show(std::string("nul\0inside\n open ", 17) +
                               std::string(10000, '-') + "\n"));
  for (const char* zone : {"", "X", "XXZ", "XXZ00"}) {
    EXPECT_EQ(scanZone(page, zone, false).read, page.size())
        << "zone '" << zone << "'";
  }
  EXPECT_EQ(scanCity(page, "FXUS", "CCC"), "");
}

}  // namespace
