// Cutting a product page by the UGC rule: the sections of real bulletins,
// found by their UGC groups (ugc.h) and their headings.
//
// A page is read line by line, each line through stripMarkup. These lines
// matter:
//   - a UGC group (one or more lines, to its purge time) starts a section,
//     which belongs to the place when the group covers it;
//   - a WMO heading ("FXUS63 KDMX 051744", an optional "RRA" after it) starts
//     a bulletin. For city products (discussion, summary, public messages)
//     the part after it, up to the first group, is a section of its own that
//     belongs to the place when the heading names the place's office: the
//     heading's "KDMX" or the AWIPS id on the next line ("AFDDMX") for the
//     office "DMX". When a group follows, what that part collected is taken
//     back: the group decides;
//   - a line holding "$$", "NNNN" or "GSK", a raw line holding "<BR>", a new
//     group or a heading end a section. Group and heading lines are never
//     collected.
//
// Zone products use the groups only. The scanner keeps one line and the
// state of one group: pages of any size read in constant memory besides
// the collected text, which is bounded like the line rule's.
//
// Not thread-safe; one scanner per page.
#ifndef STRATUS_READER_UGC_SCAN_H_
#define STRATUS_READER_UGC_SCAN_H_

#include <cstddef>
#include <cstring>

#include "stratus/foundation/string.h"

#include "foundation/ascii.h"
#include "reader/ugc.h"

namespace stratus {

// Replaces every tag of `line` ("<" and a letter, "/" or "!", up to the next
// ">") by one blank, turns "&lt;", "&gt;" and "&amp;" into their characters,
// and trims blanks and tabs at both ends (a trailing line feed keeps the
// blanks before it). A "<" that opens no tag is text ("HAIL...<.75IN"); a
// tag never closed drops the rest of the line.
void stripMarkup(LString& line);

class UgcScan {
 public:
  // `office` is the place's issuing office ("DMX"), used by city products
  // (`byOffice`) only; empty matches no heading. `text` is emptied here and
  // must outlive the scanner. With `firstSectionOnly` reading ends with the
  // first section that belongs to the place.
  UgcScan(const UgcPlace& place, const LString& office, bool byOffice,
          bool firstSectionOnly, LString& text);

  // Takes the next raw line of the page, `n` bytes at `data`. Returns false
  // when reading should stop: the first section is complete, or the text
  // reached its limit (then full() is true). Throws LEx(L_MEM).
  bool feed(const char* data, std::size_t n) {
    if (!inside_ && !inGroup_ && !pendingHeading_ && !mayMatter(data, n))
      return true;
    return judge(data, n);
  }
  bool feed(const LString& line) { return feed(line.c_str(), line.length()); }

  // True when the collected text reached the limit of section_scan.h.
  bool full() const { return full_; }

 private:
  // Outside a section most lines are prose: only a line that could open a
  // group or (for city products) be a heading, or one that starts with a
  // tag, is looked at further. Decided on the first characters alone.
  bool mayMatter(const char* p, std::size_t n) const {
    std::size_t i = 0;
    while (i < n && (p[i] == ' ' || p[i] == '\t' || p[i] == '\x01')) ++i;
    if (i < n && p[i] == '<') return true;
    if (n - i < 7) return false;
    p += i;
    auto upper = isUpper;
    auto digit = isDigit;
    if (!upper(p[0]) || !upper(p[1])) return false;
    if ((p[2] == 'Z' || p[2] == 'C') && (digit(p[3]) || p[3] == 'A'))
      return true;
    return byOffice_ && upper(p[2]) && upper(p[3]) && digit(p[4]) &&
           digit(p[5]);
  }
  bool judge(const char* data, std::size_t n);
  bool heading(const char* p, std::size_t n);
  bool awipsId(const char* p, std::size_t n);
  // Ends the section being read. Returns false when reading should stop.
  bool endSection(bool takeBack);
  bool endGroup();
  bool collect(const char* data, std::size_t n, bool marked);

  UgcGroup group_;
  LString office_;
  bool byOffice_;
  bool firstSectionOnly_;
  LString& text_;
  LString line_;
  bool inside_ = false;
  bool inGroup_ = false;
  bool pendingHeading_ = false;  // a heading was read, its AWIPS id may follow
  bool officeNamed_ = false;     // the pending heading names the office
  bool headingSection_ = false;  // the section is a heading's, not a group's
  int mark_ = 0;                 // text length where that section started
  bool full_ = false;
};

}  // namespace stratus

#endif  // STRATUS_READER_UGC_SCAN_H_
