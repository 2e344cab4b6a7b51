#include "reader/report_scan.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

// The report picked from `page`, fed line by line with line feeds.
std::string pick(const std::string& page) {
  stratus::ReportScan scan;
  std::istringstream in(page);
  for (std::string raw; std::getline(in, raw);) {
    LString line((raw + "\n").c_str());
    scan.feed(line);
  }
  return scan.report().str();
}

// The report is the first non-empty line after the first exact "ob" line.
TEST(ReportScan, PicksTheLineAfterTheMarker) {
  const std::string report = "KDSM 121754Z 29012G20KT 10SM FEW008 18/12 A2996";
  const std::string r = report + "\n";
  struct Case {
    const char* name;
    std::string page, report;
  } cases[] = {
      {"blanks skipped", "ob\n\n<p> </p>\n<b>" + report + "</b>\n", report},
      {"marker in tags", "<b>ob</b>\n" + r, report},
      {"a second marker keeps waiting", "ob\nob\n" + r, report},
      {"capital O", "Ob\n" + r, ""},
      {"marker inside a longer line", "<td>ob</td><td>x</td>\n" + r, ""},
      {"marker on the last line", r + "ob\n<br>\n", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(pick(c.page), c.report) << c.name;
}

}  // namespace
