#include "reader/report_scan.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string pick(const std::vector<std::string>& page) {
  stratus::ReportScan scan;
  for (const std::string& raw : page) {
    LString line(raw.c_str());
    scan.feed(line);
  }
  return scan.report().str();
}

// The report is the first non-empty line after the first line that reads
// exactly "ob" once tags are blanks and the line is trimmed.
TEST(ReportScan, PicksTheLineAfterTheMarker) {
  const std::string report = "KDSM 121754Z 29012G20KT 10SM FEW008 18/12 A2996";
  struct Case {
    const char* name;
    std::vector<std::string> page;
    std::string report;
  } cases[] = {
      {"blank and tags-only lines skipped",
       {"<html>\n", "ob\n", "\n", "<td> </td>\n", "<tt>" + report + "</tt>\n"},
       report},
      {"marker in tags", {"<b>ob</b>\n", report + "\n"}, report},
      {"first of two reports",
       {"ob\n", report + "\n", "ob\n", "METAR KXXX other\n"},
       report},
      {"a second marker keeps waiting",
       {"ob\n", "ob\n", report + "\n"},
       report},
      {"colon after the marker", {"ob:\n", report + "\n"}, ""},
      {"capital O", {"Ob\n", report + "\n"}, ""},
      {"marker inside a longer line",
       {"<td>ob</td><td>x</td>\n", report + "\n"},
       ""},
      {"no marker", {report + "\n"}, ""},
      {"marker on the last line", {report + "\n", "ob\n", "<br>\n"}, ""},
      {"empty page", {}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(pick(c.page), c.report) << c.name;
}

}  // namespace
