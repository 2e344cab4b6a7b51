#include "reader/section_scan.h"

#include <cstring>
#include <string>

#include "foundation/ascii.h"

namespace stratus {
namespace {

inline bool isBlankOrLineFeed(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// The header test on a text without tags: what remains of it once line feeds
// are removed and blanks trimmed must have "Z" third and "-" last. Worked
// out in place, last character first, since every line of a page passes
// through here and few end in "-".
inline bool hasHeaderShape(const char* p, std::size_t n) {
  while (n > 0 && isBlankOrLineFeed(p[n - 1])) --n;
  if (n < 3 || p[n - 1] != '-') return false;
  std::size_t i = 0;
  while (isBlankOrLineFeed(p[i])) ++i;
  // The third character from `i`, line feeds not counted.
  for (int seen = 1; seen < 3; ++seen) {
    do {
      ++i;
    } while (i < n && p[i] == '\n');
  }
  return i < n && p[i] == 'Z';
}

bool holdsZoneEnd(const LString& line) {
  for (const char* end : kZoneEndStrings) {
    if (line.find(end) == 0) return true;
  }
  return false;
}

bool isListChar(char c) { return isDigit(c) || c == '-' || c == '>'; }

// Whether one item of a zone list ("005" or "001>003") covers `number`.
bool itemCovers(const LString& item, long number) {
  LString low, high;
  if (item.split(">", low, high) == 0) {
    long from = 0, to = 0;
    low.convert(from);
    high.convert(to);
    return from <= number && number <= to;
  }
  long value = 0;
  item.convert(value);
  return value == number;
}

}  // namespace

void stripHTMLTags(LString& text, bool dropLineFeeds) {
  const std::string& in = text.str();
  if (!dropLineFeeds && std::memchr(in.data(), '<', in.size()) == nullptr) {
    // Nothing to remove: most lines of a page take this way.
    text.trim();
    return;
  }
  std::string out;
  out.reserve(in.size());
  bool inTag = false;
  for (char c : in) {
    if (c == '<') {
      inTag = true;
    } else if (inTag) {
      if (c == '>') {
        inTag = false;
        out += ' ';
      }
    } else if (c != '\n' || !dropLineFeeds) {
      out += c;
    }
  }
  text.assign(out.data(), static_cast<int>(out.size()));
  text.trim();
}

bool isZoneHeader(const LString& line) {
  if (std::memchr(line.c_str(), '<', line.length()) == nullptr) {
    return hasHeaderShape(line.c_str(), line.length());
  }
  LString copy(line);
  stripHTMLTags(copy, true);
  return hasHeaderShape(copy.c_str(), copy.length());
}

bool inZone(const LString& zone, const LString& header) {
  LString prefix, digits;
  long number = 0;
  zone.left(3, prefix);
  zone.right(3, digits);
  digits.convert(number);

  LString list(header);
  list.cutRight(8);
  int at = 0;
  if (list.find(prefix, at) != 0) return false;
  list.cutLeft(at + prefix.length());
  int keep = 0;
  while (keep < list.length() && isListChar(list.c_str()[keep])) ++keep;
  list.cutRight(list.length() - keep);

  while (!list.isEmpty()) {
    LString item;
    if (list.split("-", item, list) != 0) {
      item = list;
      list.clear();
    }
    if (itemCovers(item, number)) return true;
  }
  return false;
}

bool collectLine(LString& text, const LString& line) {
  int blank = text.isEmpty() ? 0 : 1;
  if (line.length() > kMaxProductText - blank - text.length()) return false;
  if (blank) text += ' ';
  text += line;
  return true;
}

bool isCityHeader(const LString& line, const LString& marker) {
  return line.find(marker) == 0;
}

bool isCityHeader(const LString& line, const LString& marker,
                  const LString& code) {
  return line.find(marker) == 0 && line.find(code) == 0;
}

ZoneScan::ZoneScan(const LString& zone, bool firstSectionOnly, LString& text)
    : zone_(zone),
      firstSectionOnly_(firstSectionOnly),
      inside_(false),
      text_(text) {
  text_.clear();
}

bool ZoneScan::judge(const char* data, std::size_t n) {
  bool tagged = std::memchr(data, '<', n) != nullptr;
  line_.assign(data, static_cast<int>(n));
  bool breakTag = tagged && line_.find(kBreakTag) == 0;
  stripHTMLTags(line_, false);
  bool header = hasHeaderShape(line_.c_str(), line_.length());
  if (!inside_) {
    inside_ = header && inZone(zone_, line_);
    return true;
  }
  if (header) {
    inside_ = inZone(zone_, line_);
    return !firstSectionOnly_;
  }
  if (breakTag || holdsZoneEnd(line_)) {
    inside_ = false;
    return !firstSectionOnly_;
  }
  if (collectLine(text_, line_)) return true;
  full_ = true;
  return false;
}

CityScan::CityScan(const LString& marker, const LString& code, LString& text)
    : marker_(marker), code_(code), inside_(false), text_(text) {
  text_.clear();
}

bool CityScan::feed(const char* data, std::size_t n) {
  line_.assign(data, static_cast<int>(n));
  bool breakTag = line_.find(kBreakTag) == 0;
  stripHTMLTags(line_, false);
  if (!inside_) {
    inside_ = isCityHeader(line_, marker_, code_);
    return true;
  }
  if (isCityHeader(line_, marker_)) {
    inside_ = isCityHeader(line_, marker_, code_);
    return true;
  }
  if (breakTag) {
    inside_ = false;
    return true;
  }
  if (collectLine(text_, line_)) return true;
  full_ = true;
  return false;
}

}  // namespace stratus
