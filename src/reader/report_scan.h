// Picking the observation report out of a station's conditions page.
//
// Somewhere on the page stands a line that reads exactly "ob" once its tags
// are replaced by blanks and it is trimmed; the first non-empty line after
// it is the station's coded report. Empty lines (blank, or tags only) are
// skipped; a second "ob" before the report keeps waiting; only the first
// report counts.
//
// Not thread-safe; one scanner per page.
#ifndef STRATUS_READER_REPORT_SCAN_H_
#define STRATUS_READER_REPORT_SCAN_H_

#include "stratus/foundation/keyed_list.h"
#include "stratus/foundation/string.h"

namespace stratus {

class ReportScan {
 public:
  // Throws LEx(L_MEM).
  ReportScan();

  // Takes the next raw line of the page (stripped of tags and line feeds in
  // place). Throws LEx(L_MEM).
  void feed(LString& line);

  // The report, or an empty string when the page has none (yet).
  const LString& report() const;

 private:
  LKeyedList lines_;
};

}  // namespace stratus

#endif  // STRATUS_READER_REPORT_SCAN_H_
