// Cutting a product's own text by the UGC rule, and a zone forecast into
// periods.
#include <cstring>

#include "stratus/foundation/result.h"
#include "stratus/host/product_text.h"

#include "reader/ugc_scan.h"

namespace {

// The scanner reads page lines, whose markup it strips: the text's markup
// characters are handed to it escaped, so that it reads them as text.
void scanLine(const char* p, std::size_t n, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] == '<') {
      out += "&lt;";
    } else if (p[i] == '&') {
      out += "&amp;";
    } else {
      out += p[i];
    }
  }
  out += '\n';
}

stratus::UgcCode codeOf(const std::string& text) {
  return stratus::UgcCode::parse(text.data(), text.size());
}

// The collected text joins lines with one blank after each line feed; the
// lines come back without it, and without blank lines at either end.
std::string withoutJoints(const LString& collected) {
  const std::string& in = collected.str();
  std::string out;
  out.reserve(in.size() + 1);
  for (std::size_t i = 0; i < in.size(); ++i) {
    bool joint = in[i] == '\n' && i + 1 < in.size() && in[i + 1] == ' ';
    if (!(in[i] == '\n' && out.empty())) out += in[i];
    if (joint) ++i;
  }
  while (out.size() >= 2 && out.back() == '\n' && out[out.size() - 2] == '\n')
    out.pop_back();
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}

bool isNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '/' || c == '-';
}

// "." NAME "..." TEXT: true with the name and the text when `line` is one.
bool opensPeriod(const std::string& line, WForecastPeriod& period) {
  if (line.size() < 5 || line[0] != '.' || line[1] == '.') return false;
  std::size_t dots = line.find("...", 1);
  if (dots == std::string::npos || dots == 1) return false;
  for (std::size_t i = 1; i < dots; ++i)
    if (!isNameChar(line[i])) return false;
  period.name = line.substr(1, dots - 1);
  std::size_t text = line.find_first_not_of('.', dots);
  period.text = text == std::string::npos ? "" : line.substr(text);
  return true;
}

}  // namespace

int placeSections(const std::string& text, const WPlace& place,
                  const WProductInfo& product, std::string& out) {
  stratus::UgcPlace ugc;
  ugc.zone = codeOf(place.zone);
  ugc.county = codeOf(place.county);
  const bool byOffice = !product.byZone;
  if (!ugc.zone.valid() && !ugc.county.valid() &&
      !(byOffice && !place.office.empty()))
    return L_NOTFOUND;
  LString office(byOffice ? place.office.c_str() : "");
  LString collected;
  stratus::UgcScan scan(ugc, office, byOffice, product.firstSectionOnly,
                        collected);
  std::string line;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::size_t n = end - at;
    if (n > 0 && text[end - 1] == '\r') --n;
    // Each line goes in as a page's line is read: with a bare line feed.
    scanLine(text.data() + at, n, line);
    at = end + 1;
    if (!scan.feed(line.data(), line.size())) break;
  }
  out = withoutJoints(collected);
  if (scan.full()) return L_RANGE;
  return out.empty() ? L_INPUT : L_OK;
}

std::vector<WForecastPeriod> forecastPeriods(const std::string& section) {
  std::vector<WForecastPeriod> periods;
  bool open = false;
  for (std::size_t at = 0; at < section.size();) {
    std::size_t end = section.find('\n', at);
    if (end == std::string::npos) end = section.size();
    std::string line = section.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
      line.pop_back();
    WForecastPeriod period;
    if (opensPeriod(line, period)) {
      periods.push_back(std::move(period));
      open = true;
    } else if (line.find_first_not_of(' ') == std::string::npos) {
      open = false;
    } else if (open) {
      std::string& text = periods.back().text;
      text += text.empty() ? "" : " ";
      text += line.substr(line.find_first_not_of(' '));
    }
  }
  return periods;
}
