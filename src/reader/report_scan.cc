#include "reader/report_scan.h"

#include "reader/section_scan.h"

namespace stratus {
namespace {

const char kMarker[] = "ob";

}  // namespace

ReportScan::ReportScan() { lines_.add(kMarker, LKeyedList::MATCH_EQUAL); }

void ReportScan::feed(LString& line) {
  stripHTMLTags(line, true);
  if (line.length() > 0) lines_.feed(line);
}

const LString& ReportScan::report() const { return lines_.get(kMarker); }

}  // namespace stratus
