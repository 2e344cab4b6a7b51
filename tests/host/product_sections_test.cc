// A product's own text cut to a place by the bulletins' UGC groups, and a
// zone forecast read period by period, on bulletins written as offices
// issue them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"
#include "stratus/host/product_text.h"

namespace {

// A zone forecast of two sections, LF line ends, as the API hands a
// product's text (from the Des Moines office's product shape).
const char kZfp[] =
    "\n000\nFPUS53 KDMX 051630\nZFPDMX\n\nZone Forecast Product\n"
    "National Weather Service Des Moines IA\n1130 AM CST Sat Dec 5 2026\n\n"
    "IAZ048-049-052200-\nBoone-Story-\n1130 AM CST Sat Dec 5 2026\n\n"
    ".TODAY...Snow. Highs in the mid\n20s.\n.TONIGHT...Lows around 10.\n\n"
    "$$\n\n"
    "IAZ059>061-052200-\nDallas-Polk-Jasper-\n"
    "Including the cities of Adel, Des Moines, and Newton\n"
    "1130 AM CST Sat Dec 5 2026\n\n"
    ".TODAY...Light snow. Highs in the\nmid 20s. Gusts <35 mph & more.\n"
    ".SUNDAY NIGHT...Mostly clear.\n\n$$\n";

WPlace placeOf(const char* zone, const char* county, const char* office) {
  WPlace place;
  place.zone = zone;
  place.county = county;
  place.office = office;
  return place;
}

const WProductInfo& product(const char* name) {
  for (const WProductInfo& p : WReader::PRODUCTS)
    if (std::string(p.name) == name) return p;
  return WReader::PRODUCTS[0];
}

// Purpose: the zone's own section is found by range, county or whole
// state, with its markup characters as text; a place outside every group
// has none, and a place without codes cannot be cut for.
TEST(PlaceSections, CutsAZoneForecastByItsGroups) {
  struct Case {
    const char* name;
    WPlace place;
    int result;
    std::string first;  // the section's first line
  } cases[] = {
      {"zone in a range", placeOf("IAZ060", "", ""), L_OK,
       "Dallas-Polk-Jasper-\n"},
      {"first group", placeOf("IAZ049", "IAC169", ""), L_OK, "Boone-Story-\n"},
      {"outside", placeOf("IAZ001", "IAC119", ""), L_INPUT, ""},
      {"no codes", placeOf("", "", "DMX"), L_NOTFOUND, ""},
  };
  for (const Case& c : cases) {
    std::string out = "untouched";
    EXPECT_EQ(placeSections(kZfp, c.place, product("forecast"), out), c.result)
        << c.name;
    if (c.result == L_NOTFOUND) {
      EXPECT_EQ(out, "untouched") << c.name;
      continue;
    }
    EXPECT_EQ(out.substr(0, c.first.size()), c.first) << c.name << ":\n" << out;
  }
  std::string polk;
  ASSERT_EQ(
      placeSections(kZfp, placeOf("IAZ060", "", ""), product("forecast"), polk),
      L_OK);
  EXPECT_NE(polk.find("\nmid 20s. Gusts <35 mph & more.\n"), std::string::npos)
      << polk;
  EXPECT_EQ(polk.find("$$"), std::string::npos);
  EXPECT_EQ(polk.find("Boone"), std::string::npos);
  EXPECT_EQ(polk.find('\r'), std::string::npos);
  // CR LF line ends give the same lines.
  std::string crlf;
  for (const char* p = kZfp; *p != '\0'; ++p) {
    if (*p == '\n') crlf += '\r';
    crlf += *p;
  }
  std::string fromCrlf;
  EXPECT_EQ(placeSections(crlf, placeOf("IAZ060", "", ""), product("forecast"),
                          fromCrlf),
            L_OK);
  EXPECT_EQ(fromCrlf, polk);
}

// Purpose: a discussion without groups belongs to the office its heading
// names (the heading and AWIPS id are not part of the text).
TEST(PlaceSections, CutsADiscussionByItsOffice) {
  const char afd[] =
      "\n000\nFXUS63 KDMX 051744\nAFDDMX\n\nArea Forecast Discussion\n"
      "National Weather Service Des Moines IA\n\n.SHORT TERM...\nSnow.\n\n$$\n";
  std::string out;
  ASSERT_EQ(placeSections(afd, placeOf("IAZ060", "IAC153", "DMX"),
                          product("discussion"), out),
            L_OK);
  EXPECT_EQ(out.rfind("Area Forecast Discussion\n", 0), 0u) << out;
  EXPECT_EQ(out.substr(out.size() - 7), "\nSnow.\n")
      << "no blank line at the end";
  EXPECT_NE(out.find("Snow.\n"), std::string::npos);
  EXPECT_EQ(placeSections(afd, placeOf("IAZ060", "IAC153", "DVN"),
                          product("discussion"), out),
            L_INPUT);
}

// Purpose: periods open at ".NAME..." lines and take the lines after them;
// the header lines and what follows a blank line are no period's.
TEST(ForecastPeriods, ReadsEachPeriodWhole) {
  std::string section =
      "Dallas-Polk-Jasper-\n1130 AM CST Sat Dec 5 2026\n\n"
      ".TODAY...Light snow. Highs in the\nmid 20s.\n"
      ".SUNDAY NIGHT...Mostly clear.\n"
      ".MON-TUE/WED...\nSunny.\n\nNot a period.\n"
      "...A HEADLINE...\n.5...x\n";
  std::vector<WForecastPeriod> periods = forecastPeriods(section);
  struct Expected {
    const char* name;
    const char* text;
  } expected[] = {{"TODAY", "Light snow. Highs in the mid 20s."},
                  {"SUNDAY NIGHT", "Mostly clear."},
                  {"MON-TUE/WED", "Sunny."},
                  {"5", "x"}};
  ASSERT_EQ(periods.size(), 4u);
  for (size_t i = 0; i < periods.size(); ++i) {
    EXPECT_EQ(periods[i].name, expected[i].name) << i;
    EXPECT_EQ(periods[i].text, expected[i].text) << i;
  }
  EXPECT_TRUE(forecastPeriods("Boone-Story-\n\n$$\n").empty());
}

}  // namespace
