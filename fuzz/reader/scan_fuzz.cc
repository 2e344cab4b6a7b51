// Fuzzes the section scans and the line tests behind them.
//
// Input: the first line is the zone id (also used as the city code); the
// rest is a product page. The first byte also picks the size of the blocks
// in which the page "arrives".
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_lines.h"
#include "reader/section_scan.h"

namespace {

LString text(const std::string& s) {
  return LString(s.data(), static_cast<int>(s.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string zoneId, page;
  stratus_fuzz::splitFirstLine(data, size, zoneId, page);
  std::vector<std::string> lines =
      stratus_fuzz::cutLines(page, data[0] % 64 + 1);
  LString zone = text(zoneId);

  LString first, all, city;
  stratus::ZoneScan firstOnly(zone, true, first);
  stratus::ZoneScan every(zone, false, all);
  stratus::CityScan byCity("FXUS", zone, city);
  bool reading = true;
  for (const std::string& raw : lines) {
    LString a = text(raw), b = a, c = a, d = a;
    if (reading) reading = firstOnly.feed(a);
    every.feed(b);
    byCity.feed(c);

    // The line tests on their own, on the raw line.
    bool header = stratus::isZoneHeader(d);
    if (header) stratus::inZone(zone, d);
    stratus::stripHTMLTags(d, true);
    if (d.str().find('\n') != std::string::npos ||
        d.str().find('<') != std::string::npos) {
      __builtin_trap();
    }
    if (stratus::isZoneHeader(d) != header) __builtin_trap();
  }
  // Every first section is also the start of all sections.
  if (all.str().compare(0, first.length(), first.str()) != 0) __builtin_trap();
  return 0;
}
