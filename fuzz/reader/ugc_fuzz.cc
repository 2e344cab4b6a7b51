// Fuzzes the UGC group reader and the page scanner of the UGC rule.
//
// Input: the first line is the place, "ZONE COUNTY OFFICE" (blank-separated,
// any part may be missing or malformed); the rest is a product page, cut
// into lines in blocks whose size the first byte picks. Checked on the way:
//   - a group covers the place its first item names (the code it opens
//     with, or any zone of the state it opens with whole);
//   - the first section collected is the start of all sections, and the
//     text stays within its cap.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_lines.h"
#include "reader/section_scan.h"
#include "reader/ugc.h"
#include "reader/ugc_scan.h"

namespace {

stratus::UgcCode code(const std::string& s) {
  return stratus::UgcCode::parse(s.data(), s.size());
}

// Reads every group of `lines` for the place its first item names, when
// that item is a single code ("IAZ060-", "IAZ000-", "IAZALL-"), and traps
// when the group does not cover it.
void checkFirstItems(const std::vector<std::string>& lines) {
  for (const std::string& raw : lines) {
    std::size_t n = raw.size();
    const char* p = stratus::trimUgcLine(raw.data(), n);
    if (!stratus::UgcGroup::opens(p, n) || p[6] != '-') continue;
    std::string first(p, 6);
    if (first.compare(3, 3, "ALL") == 0) first.replace(3, 3, "001");
    stratus::UgcPlace place;
    (first[2] == 'Z' ? place.zone : place.county) = code(first);
    stratus::UgcGroup group(place);
    group.read(p, n);
    if (!group.covers()) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string first, page;
  stratus_fuzz::splitFirstLine(data, size, first, page);
  std::vector<std::string> lines =
      stratus_fuzz::cutLines(page, data[0] % 64 + 1);
  checkFirstItems(lines);

  std::istringstream words(first);
  std::string zone, county, office;
  words >> zone >> county >> office;
  stratus::UgcPlace place{code(zone), code(county)};
  LString firstText, all, byOffice;
  LString officeText(office.data(), static_cast<int>(office.size()));
  stratus::UgcScan firstOnly(place, officeText, false, true, firstText);
  stratus::UgcScan every(place, officeText, false, false, all);
  stratus::UgcScan city(place, officeText, true, false, byOffice);
  bool reading = true;
  for (const std::string& raw : lines) {
    if (reading) reading = firstOnly.feed(raw.data(), raw.size());
    every.feed(raw.data(), raw.size());
    city.feed(raw.data(), raw.size());
  }
  if (all.str().compare(0, firstText.length(), firstText.str()) != 0)
    __builtin_trap();
  if (all.length() > stratus::kMaxProductText ||
      byOffice.length() > stratus::kMaxProductText)
    __builtin_trap();
  return 0;
}
