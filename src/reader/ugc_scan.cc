#include "reader/ugc_scan.h"

#include <string_view>

#include "foundation/ascii.h"
#include "reader/section_scan.h"

namespace stratus {
namespace {

bool allOf(const char* p, std::size_t n, bool (*test)(char)) {
  for (std::size_t i = 0; i < n; ++i) {
    if (!test(p[i])) return false;
  }
  return true;
}

bool holdsEnd(const char* p, std::size_t n) {
  std::string_view line(p, n);
  for (const char* end : kZoneEndStrings) {
    if (line.find(end) != std::string_view::npos) return true;
  }
  return false;
}

// The entities a page writes for the characters of bulletin text that are
// also HTML's.
struct Entity {
  const char* name;
  char c;
};
constexpr Entity kEntities[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}};

}  // namespace

void stripMarkup(LString& line) {
  const std::string& in = line.str();
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    char next = i + 1 < in.size() ? in[i + 1] : 0;
    if (c == '<' && (isUpper(next & ~0x20) || next == '/' || next == '!')) {
      std::size_t close = in.find('>', i);
      if (close == std::string::npos) break;
      out += ' ';
      i = close;
      continue;
    }
    if (c == '&') {
      for (const Entity& e : kEntities) {
        if (in.compare(i, std::strlen(e.name), e.name) == 0) {
          c = e.c;
          i += std::strlen(e.name) - 1;
          break;
        }
      }
    }
    out += c;
  }
  line.assign(out.data(), static_cast<int>(out.size()));
  line.trim();
}

UgcScan::UgcScan(const UgcPlace& place, const LString& office, bool byOffice,
                 bool firstSectionOnly, LString& text)
    : group_(place),
      office_(office),
      byOffice_(byOffice),
      firstSectionOnly_(firstSectionOnly),
      text_(text) {
  text_.clear();
}

// "TTAAii CCCC DDHHMM", optionally " BBB": the heading of a bulletin. When it
// is one, notes whether CCCC names the office.
bool UgcScan::heading(const char* p, std::size_t n) {
  if (n != 18 && n != 22) return false;
  if (!allOf(p, 4, isUpper) || !allOf(p + 4, 2, isDigit) || p[6] != ' ' ||
      !allOf(p + 7, 4, isUpper) || p[11] != ' ' || !allOf(p + 12, 6, isDigit))
    return false;
  if (n == 22 && (p[18] != ' ' || !allOf(p + 19, 3, isUpper))) return false;
  const char* office = office_.c_str();
  std::size_t length = office_.length();
  officeNamed_ = length > 0 && length <= 4 &&
                 std::memcmp(p + 11 - length, office, length) == 0;
  return true;
}

// "NNNxxx": the AWIPS id under a heading, the office being "xxx".
bool UgcScan::awipsId(const char* p, std::size_t n) {
  auto word = [](char c) { return isUpper(c) || isDigit(c); };
  if (n < 4 || n > 6 || !allOf(p, 3, isUpper) || !allOf(p, n, word))
    return false;
  std::size_t length = office_.length();
  if (length > 0 && n - 3 == length &&
      std::memcmp(p + 3, office_.c_str(), length) == 0)
    officeNamed_ = true;
  return true;
}

bool UgcScan::endSection(bool takeBack) {
  if (!inside_) return true;
  inside_ = false;
  if (takeBack && headingSection_) {
    text_.cutRight(text_.length() - mark_);
    return true;
  }
  return !firstSectionOnly_;
}

bool UgcScan::endGroup() {
  inGroup_ = false;
  inside_ = group_.covers();
  headingSection_ = false;
  return true;
}

// Collects the line: `line_` already holds it without markup when `marked`,
// else it is the raw line, trimmed.
bool UgcScan::collect(const char* data, std::size_t n, bool marked) {
  if (!marked) {
    line_.assign(data, static_cast<int>(n));
    line_.trim();
  }
  if (collectLine(text_, line_)) return true;
  full_ = true;
  return false;
}

bool UgcScan::judge(const char* data, std::size_t n) {
  const char* p = data;
  std::size_t length = n;
  bool breakTag = false;
  bool marked = std::memchr(data, '<', n) != nullptr ||
                std::memchr(data, '&', n) != nullptr;
  if (marked) {
    line_.assign(data, static_cast<int>(n));
    breakTag = line_.find(kBreakTag) == 0;
    stripMarkup(line_);
    p = line_.c_str();
    length = line_.length();
  }
  p = trimUgcLine(p, length);

  if (inGroup_) {
    if (UgcGroup::continues(p, length)) {
      if (group_.read(p, length)) endGroup();
      return true;
    }
    endGroup();  // a group without purge time ends where its lines end
  }
  if (pendingHeading_) {
    if (length == 0 && !breakTag) return true;
    pendingHeading_ = false;
    bool id = awipsId(p, length);
    inside_ = officeNamed_;
    headingSection_ = true;
    mark_ = text_.length();
    if (id) return true;
  }
  if (UgcGroup::opens(p, length)) {
    bool go = endSection(true);
    group_.reset();
    inGroup_ = true;
    if (group_.read(p, length)) endGroup();
    return go;
  }
  if (heading(p, length)) {
    bool go = endSection(false);
    pendingHeading_ = byOffice_;
    return go;
  }
  if (!inside_) return true;
  if (breakTag || holdsEnd(p, length)) return endSection(false);
  return collect(data, n, marked);
}

}  // namespace stratus
