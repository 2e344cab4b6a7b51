#include "reader/ugc.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reader/line_buffer.h"
#include "reader/product_oracle.h"
#include "reader/section_scan.h"
#include "reader/ugc_scan.h"
#include "testing/corpus_files.h"

namespace {

using stratus::UgcCode;
using stratus::UgcGroup;
using stratus::UgcPlace;

UgcCode code(const char* text) {
  return UgcCode::parse(text, std::strlen(text));
}

UgcPlace place(const char* zone, const char* county = "") {
  return UgcPlace{code(zone), code(county)};
}

// Reads `lines` as one group for `p`: whether the lines open and continue a
// group, on which line it is complete (0: never), and whether it covers.
struct Reading {
  bool group = true;
  size_t completeAt = 0;
  bool covers = false;
};
Reading readGroup(const std::vector<std::string>& lines, const UgcPlace& p) {
  UgcGroup group(p);
  Reading r;
  for (size_t i = 0; i < lines.size(); ++i) {
    size_t n = lines[i].size();
    const char* t = stratus::trimUgcLine(lines[i].data(), n);
    r.group &= i == 0 ? UgcGroup::opens(t, n) : UgcGroup::continues(t, n);
    if (group.read(t, n) && r.completeAt == 0) r.completeAt = i + 1;
  }
  r.covers = group.covers();
  return r;
}

TEST(UgcCode, ReadsStateTypeAndNumber) {
  UgcCode c = code("IAC127");
  EXPECT_EQ(std::string(c.state, 2) + c.type, "IAC");
  EXPECT_EQ(c.number, 127);
  for (const char* bad : {"", "IAZ12", "IAZ1234", "iaz127", "IAX127", "I1Z127"})
    EXPECT_FALSE(code(bad).valid()) << bad;
}

// Groups from real bulletins and their variants, with hand-expanded lists.
TEST(UgcGroup, CoversWhatTheGroupLists) {
  const std::vector<std::string> iowa = {
      "IAZ004>007-015>017-023>028-033>039-044>050-057>062-070>075-",
      "081>086-092>097-230515-"};
  const std::vector<std::string> fourStates = {
      "ARZ050-051-059>061-070>073-LAZ001>006-010>014-017>022-OKZ077-",
      "TXZ096-097-108>112-124>126-136>138-149>153-165>167-151500-"};
  struct Case {
    std::vector<std::string> lines;
    UgcPlace place;
    size_t completeAt;
    bool covers;
  } cases[] = {
      {iowa, place("IAZ004"), 2, true},  // first item, range start
      {iowa, place("IAZ075"), 2, true},  // range end
      {iowa, place("IAZ082"), 2, true},  // second line
      {iowa, place("IAZ097"), 2, true},  // last item
      {iowa, place("IAZ008"), 2, false},
      {iowa, place("IAZ098"), 2, false},
      {iowa, place("MNZ004"), 2, false},  // other state
      {fourStates, place("OKZ077"), 2, true},
      {fourStates, place("TXZ097"), 2, true},   // prefix on the second line
      {fourStates, place("OKZ096"), 2, false},  // TX's number, OK's state
      {fourStates, place("LAZ015"), 2, false},
      {{"IAC127-169-192145-"}, place("IAZ060", "IAC169"), 1, true},
      {{"IAC127-169-192145-"}, place("IAZ127"), 1, false},  // a zone
      {{"IAZ048-IAC127-192145-"}, place("", "IAC127"), 1, true},
      {{"COZ000-NMZ000-OKZ000-TXZ000-020400-"}, place("OKZ010"), 1, true},
      {{"COZ000-NMZ000-OKZ000-TXZ000-020400-"}, place("", "NMC001"), 1, true},
      {{"COZ000-NMZ000-OKZ000-TXZ000-020400-"}, place("KSZ010"), 1, false},
      {{"OKZALL-020400-"}, place("OKZ123"), 1, true},
      {{"KSC001-003-OKCALL-020400-"}, place("", "OKC145"), 1, true},
      {{"IAZ007>004-101200-"}, place("IAZ005"), 1, false},        // reversed
      {{"IAZ001-0X1-2>-002-101200-"}, place("IAZ002"), 1, true},  // junk
      // The purge time ends the group: what follows is not read.
      {{"IAZ001-101200-002-"}, place("IAZ002"), 1, false},
      {{"IAZ001-", "002-", "003-"}, place("IAZ003"), 0, true},
      // Blanks, CR CR LF and transmission characters around the line.
      {{"\x01 IAZ060-  \r\r\n", "061-101200- \x03\r\r\n"},
       place("IAZ061"),
       2,
       true},
  };
  for (const Case& c : cases) {
    Reading r = readGroup(c.lines, c.place);
    std::string name = c.lines[0] + " for " +
                       std::string(c.place.zone.state, 2) +
                       std::to_string(c.place.zone.number);
    EXPECT_TRUE(r.group) << name;
    EXPECT_EQ(r.completeAt, c.completeAt) << name;
    EXPECT_EQ(r.covers, c.covers) << name;
  }
}

TEST(UgcGroup, OpensOnlyOnAGroupLine) {
  for (const char* line : {"IAZ004-", "IAC127>129-", "OKZALL-", "AMZ450-452-"})
    EXPECT_TRUE(UgcGroup::opens(line, std::strlen(line))) << line;
  for (const char* line :
       {"IAZ04-", "IAZ004", "IAZ 004-", "IAZ004-  TEXT-", "FXUS63 KDMX 051744",
        "000", "&&", "$$", "081>086-092>097-230515-", "IAX004-", "iaz004-",
        "ALL-", "IAZALX-"})
    EXPECT_FALSE(UgcGroup::opens(line, std::strlen(line))) << line;
  EXPECT_TRUE(UgcGroup::continues("081>086-", 8));
  EXPECT_FALSE(UgcGroup::continues("", 0));
  EXPECT_FALSE(UgcGroup::continues("NO RAIN", 7));
}

// Pages of a few lines through the scanner: which lines each place gets.
TEST(UgcScan, CutsSectionsByGroupsAndHeadings) {
  const std::string warnings =
      "<PRE>000\n"
      "WWUS53 KDMX 040331\n"
      "SVSDMX\n"
      "\n"
      "IAZ004>007-\n"
      "015-041200-\n"
      "ZONES FOUR TO SEVEN\n"
      "$$\n"
      "IAC127-041200-\n"
      "MARSHALL COUNTY\n"
      "<BR>\n"
      "AFTER THE BREAK\n"
      "IAZ015-041200-\n"
      "ZONE FIFTEEN AGAIN\n"
      "FXUS63 KDMX 051744\n"
      "NOT COLLECTED\n";
  const std::string discussions =
      "FXUS63 KDMX 051744\n"
      "AFDDMX\n"
      "DISCUSSION OF DMX\n"
      "$$\n"
      "STAFF\n"
      "NOUS43 KDVN 221707\n"
      "PNSDVN\n"
      "\n"
      "IAZ060-230515-\n"
      "STATEMENT FOR ZONE 60\n"
      "$$\n"
      "NOUS43 KDMX 221707\n"
      "PNSDMX\n"
      "\n"
      "PREAMBLE TAKEN BACK\n"
      "IAZ001-230515-\n"
      "STATEMENT FOR ZONE 1\n";
  struct Case {
    const std::string* page;
    UgcPlace place;
    const char* office;
    bool byOffice, firstOnly;
    std::string text;
  } cases[] = {
      {&warnings, place("IAZ015"), "", false, false,
       "ZONES FOUR TO SEVEN\n ZONE FIFTEEN AGAIN\n"},
      {&warnings, place("IAZ005"), "", false, false, "ZONES FOUR TO SEVEN\n"},
      {&warnings, place("IAZ016"), "", false, false, ""},
      {&warnings, place("IAZ015", "IAC127"), "", false, false,
       "ZONES FOUR TO SEVEN\n MARSHALL COUNTY\n ZONE FIFTEEN AGAIN\n"},
      {&warnings, place("", "IAC127"), "", false, false, "MARSHALL COUNTY\n"},
      {&warnings, place("IAZ006", "IAC127"), "", false, true,
       "ZONES FOUR TO SEVEN\n"},
      {&warnings, place("IAZ099"), "DMX", false, false, ""},  // zone product
      {&discussions, place("IAZ099"), "DMX", true, false,
       "DISCUSSION OF DMX\n"},
      {&discussions, place("IAZ060"), "DVN", true, false,
       "STATEMENT FOR ZONE 60\n"},
      {&discussions, place("IAZ001"), "DMX", true, false,
       "DISCUSSION OF DMX\n STATEMENT FOR ZONE 1\n"},
      {&discussions, place("IAZ001"), "KDMX", true, false,
       "DISCUSSION OF DMX\n STATEMENT FOR ZONE 1\n"},
      {&discussions, place("IAZ002"), "", true, false, ""},
  };
  for (const Case& c : cases) {
    LString text("old");
    stratus::UgcScan scan(c.place, c.office, c.byOffice, c.firstOnly, text);
    std::string page = *c.page;
    for (size_t at = 0, lf; at < page.size(); at = lf + 1) {
      lf = page.find('\n', at);
      if (!scan.feed(page.data() + at, lf + 1 - at)) break;
    }
    EXPECT_EQ(text.str(), c.text) << c.page->substr(0, 20) << " "
                                  << c.place.zone.number << " " << c.office;
    EXPECT_FALSE(scan.full());
  }
}

// Feeds a file to a scanner in the lines the page fetcher would hand out.
template <typename Scan>
void feedFile(const std::string& content, Scan& scan) {
  stratus::LineBuffer buffer;
  buffer.append(content.data(), content.size());
  const char* line;
  size_t n;
  while (buffer.take(line, n, true) && scan.feed(line, n)) {
  }
}

// How many listed codes of an oracle's segments each rule finds: the UGC
// rule must give exactly the covering segments' bodies for the code; the
// line rule finds a segment when its body is among what it collected.
struct Coverage {
  int codes = 0, byUgc = 0, byLine = 0, byLineOracle = 0;
};

Coverage measure(const std::string& dir) {
  Coverage c;
  for (const auto& [file, segments] :
       stratus_test::readOracle(dir + "/oracle.tsv", dir)) {
    std::string content = stratus_test::readFile(dir + "/" + file);
    std::set<std::string> codes;
    for (const stratus_test::Segment& s : segments)
      codes.insert(s.codes.begin(), s.codes.end());
    for (const std::string& code : codes) {
      const char* z = code.c_str();
      UgcPlace p = code[2] == 'C' ? place("", z) : place(z);
      LString ugcText, lineText;
      stratus::UgcScan ugc(p, "", false, false, ugcText);
      stratus::ZoneScan line(LString(z), false, lineText);
      feedFile(content, ugc);
      feedFile(content, line);
      std::vector<std::string> got = stratus_test::textLines(ugcText.str());
      bool exact = got == stratus_test::expectedLines(segments, code);
      EXPECT_TRUE(exact) << file << " " << code;
      std::vector<std::string> byLine = stratus_test::textLines(lineText.str());
      for (const stratus_test::Segment& s : segments) {
        if (std::find(s.codes.begin(), s.codes.end(), code) == s.codes.end())
          continue;
        ++c.codes;
        c.byUgc += exact;
        c.byLine += !s.body.empty() &&
                    std::search(byLine.begin(), byLine.end(), s.body.begin(),
                                s.body.end()) != byLine.end();
        c.byLineOracle +=
            s.lineRuleMisses.find(" " + code + " ") == std::string::npos;
      }
    }
  }
  return c;
}

// The in-repo sample: a county-coded warning, a two-line zone group, whole
// states without "$$": 57 listed codes, all found by the UGC rule; the line
// rule finds those its headers cover by the oracle.
TEST(UgcScan, FindsEveryCodeOfTheRealSample) {
  Coverage c = measure(STRATUS_SOURCE_DIR "/tests/data/products");
  EXPECT_EQ(c.codes, 51 + 2 + 4);
  EXPECT_EQ(c.byUgc, c.codes);
  EXPECT_EQ(c.byLine, c.byLineOracle);
}

// Every code of the shared corpus's 141 groups is found in exactly its
// sections. The line rule finds fewer than its headers cover, since a
// continuation line that looks like a header ends the section.
TEST(UgcScan, FindsEveryCodeOfTheSharedCorpus) {
  if (stratus_test::sharedDir().empty())
    GTEST_SKIP() << "shared corpus not found";
  Coverage c = measure(stratus_test::sharedDir() + "/corpus/products");
  EXPECT_EQ(c.codes, 987);
  EXPECT_EQ(c.byUgc, 987);
  EXPECT_LE(c.byLine, c.byLineOracle);
  std::cout << "codes found: UGC rule " << c.byUgc << ", line rule " << c.byLine
            << " (its headers cover " << c.byLineOracle << ") of " << c.codes
            << "\n";
}

}  // namespace
