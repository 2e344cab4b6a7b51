// Cutting the section of one location out of a text product page.
//
// A product page is the plain text of many bulletins wrapped in a little
// HTML. Zone products (forecast, warnings, watches, special statements) are
// cut at zone header lines: a line whose third character is "Z" and whose
// last is "-", such as
//   IAZ004>006-015-016-270515-
// (state and "Z", then zone numbers and ranges, then the purge time). The
// section under a header whose list covers the location's zone is kept,
// up to a line holding "$$", "NNNN" or "GSK", a raw "<BR>", or a header that
// does not cover the zone. City products (discussion, summary, public
// messages) are cut at lines holding a product marker ("FXUS", "ABUS") and
// the city's code.
//
// Each line is judged on its own, so a header continued on a second line
// is read from its first line only. The scanners take lines from any
// source that hands them out one at a time, each with its line feed (the
// page fetcher, a file, a fuzzer).
//
// Not thread-safe; one scanner per page.
#ifndef STRATUS_READER_SECTION_SCAN_H_
#define STRATUS_READER_SECTION_SCAN_H_

#include <cstddef>
#include <cstring>

#include "stratus/foundation/string.h"

namespace stratus {

// Strings that end a zone section wherever they stand in a line.
constexpr const char* kZoneEndStrings[] = {"$$", "NNNN", "GSK"};
// A raw line holding this tag ends any section.
constexpr const char* kBreakTag = "<BR>";

// The most text a product read collects, all its sections together: 4 MiB,
// forty times the largest real bulletin. A page that would give more ends
// the read with what fits.
constexpr int kMaxProductText = 4 << 20;

// Appends a collected line to `text`, after one blank when `text` is not
// empty. Returns false, `text` unchanged, when the line would take it over
// kMaxProductText. Throws LEx(L_MEM).
bool collectLine(LString& text, const LString& line);

// Replaces every tag ("<" up to the next ">") by one blank and trims blanks
// and tabs at both ends. A ">" outside a tag stays; a "<" never closed drops
// the rest of the text. With `dropLineFeeds`, line feeds go as well (else
// they stay, and a trailing line feed keeps the blanks before it).
void stripHTMLTags(LString& text, bool dropLineFeeds);

// True when `line`, with tags and line feeds removed and trimmed, has "Z" as
// its third character and "-" as its last.
bool isZoneHeader(const LString& line);

// True when the header's zone list covers `zone` (e.g. "IAZ004": prefix
// "IAZ", number 4). The last 8 characters of the header (the purge time
// "DDHHMM-" and its line feed) are cut; the list starts after the first
// occurrence of the prefix and ends at the first character that is not a
// digit, "-" or ">". Items are numbers or inclusive ranges "low>high".
// A zone shorter than 6 characters is read the same way (the prefix or the
// number is then what the text yields; such a zone is practically never
// covered); an empty item reads as 0.
bool inZone(const LString& zone, const LString& header);

// True when `line` holds `marker` (and, in the second form, `code` too).
bool isCityHeader(const LString& line, const LString& marker);
bool isCityHeader(const LString& line, const LString& marker,
                  const LString& code);

// Collects the sections of a zone product that cover one zone.
//
// Collected lines keep their line feeds and are joined by one blank. With
// `firstSectionOnly` reading ends with the first section.
class ZoneScan {
 public:
  // `text` is where the sections are collected; it is emptied here and must
  // outlive the scanner.
  ZoneScan(const LString& zone, bool firstSectionOnly, LString& text);

  // Takes the next raw line of the page, `n` bytes at `data`. Returns false
  // when reading should stop: the first section is complete, or the text
  // reached its limit (then full() is true). Throws LEx(L_MEM).
  bool feed(const char* data, std::size_t n) {
    // Outside a section only a header matters: most lines of a page are
    // dismissed here, without being copied.
    if (!inside_ && cannotBeHeader(data, n)) return true;
    return judge(data, n);
  }
  bool feed(const LString& line) { return feed(line.c_str(), line.length()); }

  // True when the collected text reached kMaxProductText.
  bool full() const { return full_; }

 private:
  // True when the line, whatever its tags, cannot strip down to a header:
  // its last character that counts is not "-" and it holds no tag.
  static bool cannotBeHeader(const char* p, std::size_t n) {
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\t' || p[n - 1] == '\n'))
      --n;
    if (n > 0 && p[n - 1] == '-') return false;
    return std::memchr(p, '<', n) == nullptr;
  }
  bool judge(const char* data, std::size_t n);

  LString zone_;
  bool firstSectionOnly_;
  bool inside_;
  LString& text_;
  LString line_;  // the line being judged, stripped of its tags
  bool full_ = false;
};

// Collects the sections of a city product: each starts at a line holding
// the marker and the code and ends at a marker line without the code or at
// a raw "<BR>". The section-end strings of zone products are plain text
// here. The whole page is always read.
class CityScan {
 public:
  // `text` is emptied here and must outlive the scanner.
  CityScan(const LString& marker, const LString& code, LString& text);

  // Takes the next raw line, `n` bytes at `data`. Returns false when the
  // text reached its limit and reading should stop. Throws LEx(L_MEM).
  bool feed(const char* data, std::size_t n);
  bool feed(const LString& line) { return feed(line.c_str(), line.length()); }

  // True when the collected text reached kMaxProductText.
  bool full() const { return full_; }

 private:
  LString marker_;
  LString code_;
  bool inside_;
  LString& text_;
  LString line_;
  bool full_ = false;
};

}  // namespace stratus

#endif  // STRATUS_READER_SECTION_SCAN_H_
