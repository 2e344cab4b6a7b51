// Fuzzes the picking of the observation report from a station page, and
// decodes whatever is picked.
//
// Input: a station page. The first byte also picks the size of the blocks
// in which the page "arrives".
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "stratus/observation/observation.h"

#include "fuzz_lines.h"
#include "reader/report_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string page(reinterpret_cast<const char*>(data), size);
  stratus::ReportScan scan;
  for (const std::string& raw :
       stratus_fuzz::cutLines(page, data[0] % 64 + 1)) {
    LString line(raw.data(), static_cast<int>(raw.size()));
    scan.feed(line);
  }
  const std::string& report = scan.report().str();
  // A picked report is one trimmed line without tags.
  if (!report.empty() &&
      (report.find_first_of("\n<") != std::string::npos ||
       report.front() == ' ' || report.back() == ' ' || report == "ob")) {
    __builtin_trap();
  }
  WObservation obs{};
  decodeObservation(scan.report(), obs);
  return 0;
}
