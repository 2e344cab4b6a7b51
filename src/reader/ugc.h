// Reading the UGC groups of weather bulletins: which places a group covers.
//
// A group names the zones or counties a bulletin section is for, in one or
// more lines:
//   IAZ004>007-015>017-023>028-033>039-044>050-057>062-070>075-
//   081>086-092>097-230515-
//   IAC127-169-MNC001-192145-
// Items are separated by "-". An item with a prefix ("IAZ", "MNC": two
// letters of the state, "Z" for zones or "C" for counties) sets the prefix
// for the items after it; "NNN>NNN" is an inclusive range; "000" or "ALL"
// names the whole state. The group ends at the six-digit purge time
// ("DDHHMM") and its "-". Blanks, tabs, carriage returns and the
// transmission characters SOH and ETX at either end of a line are ignored.
//
// UgcGroup takes the lines one at a time and keeps only whether the place
// was covered so far, so a group of any length costs no memory.
//
// Not thread-safe; one group reader per scan.
#ifndef STRATUS_READER_UGC_H_
#define STRATUS_READER_UGC_H_

#include <cstddef>

namespace stratus {

// One UGC code such as "IAZ060" (zone 60 of Iowa) or "IAC127" (county 127).
struct UgcCode {
  char state[2] = {0, 0};
  char type = 0;  // 'Z' or 'C'; 0 for an empty or malformed code
  int number = 0;

  // Reads "SSTNNN": two upper-case letters, "Z" or "C", three digits.
  // Anything else (an empty text included) leaves type 0.
  static UgcCode parse(const char* text, std::size_t n);
  bool valid() const { return type != 0; }
};

// What the UGC rule knows of a place: its zone and its county, either of
// which may be missing. It is covered by an item that lists either, or by
// a whole-state item of the state of either.
struct UgcPlace {
  UgcCode zone;
  UgcCode county;
};

// The start and end of a line without the characters a group ignores
// around it (blanks, tabs, CR, LF, SOH, ETX). `n` becomes the length left.
const char* trimUgcLine(const char* p, std::size_t& n);

class UgcGroup {
 public:
  explicit UgcGroup(const UgcPlace& place) : place_(place) {}

  // True when the trimmed line can open a group: a prefix and three digits
  // or "ALL", then "-" or ">", and nothing but letters, digits, "-" and ">".
  static bool opens(const char* p, std::size_t n);
  // True when the trimmed line is not empty and holds nothing but letters,
  // digits, "-" and ">": it can continue an open group.
  static bool continues(const char* p, std::size_t n);

  // Forgets the group read so far: the next line read is a group's first.
  void reset();
  // Reads the items of one line of the group (trimmed, as `opens` and
  // `continues` accept it). Returns true when the line holds the purge time:
  // the group is complete. A malformed item is skipped.
  bool read(const char* p, std::size_t n);
  // Whether an item read since reset() covers the place.
  bool covers() const { return covers_; }

 private:
  void item(int low, int high);

  UgcPlace place_;
  char state_[2] = {0, 0};  // the prefix in force
  char type_ = 0;
  bool covers_ = false;
};

}  // namespace stratus

#endif  // STRATUS_READER_UGC_H_
