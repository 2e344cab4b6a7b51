// WReader: construction, settings, and the extraction of a location's
// section from a product page.
#include "stratus/reader/reader.h"

#include "stratus/foundation/result.h"

#include "reader/page_read.h"
#include "reader/section_scan.h"
#include "reader/settings.h"
#include "reader/ugc_scan.h"

const LString WReader::ZONE_END_STRING = stratus::kZoneEndStrings[0];
const LString WReader::ZONE_END_STRING2 = stratus::kZoneEndStrings[1];
const LString WReader::ZONE_END_STRING3 = stratus::kZoneEndStrings[2];

WReader::WReader(LInfoLine* infoLine)
    : infoLine_(infoLine), keeper_(nullptr), sectionRule_(LineRule) {}

WReader& WReader::operator=(const WReader& other) {
  infoLine_ = other.infoLine_;
  keeper_ = other.keeper_;
  sectionRule_ = other.sectionRule_;
  return *this;
}

void WReader::setSectionRule(SectionRule rule) { sectionRule_ = rule; }
WReader::SectionRule WReader::sectionRule() const { return sectionRule_; }

void WReader::SetInfoLine(LInfoLine* infoLine) { infoLine_ = infoLine; }

void WReader::SetKeeper(LKeeper* keeper) {
  keeper_ = keeper;
  stratus::seedDefaults(*keeper);
}

void WReader::stripHTMLTags(LString& text, bool dropLineFeeds) {
  stratus::stripHTMLTags(text, dropLineFeeds);
}
bool WReader::isZoneHeader(const LString& line) {
  return stratus::isZoneHeader(line);
}
bool WReader::inZone(const LString& zone, const LString& header) {
  return stratus::inZone(zone, header);
}
bool WReader::isCityHeader(const LString& line, const LString& marker) {
  return stratus::isCityHeader(line, marker);
}
bool WReader::isCityHeader(const LString& line, const LString& marker,
                           const LString& code) {
  return stratus::isCityHeader(line, marker, code);
}

namespace {

// Reads the page at `url` through the scanner that `makeScan` builds once
// the page is open (so `text` stays untouched when it does not open), and
// tells the result: L_OK or L_INPUT by what was collected, L_RANGE when the
// text reached its limit, or the page's L_CONNECT.
template <typename MakeScan>
int collectSections(LInfoLine* infoLine, LKeeper& keeper, const LString& url,
                    const LString& label, MakeScan makeScan, LString& text) {
  LString progress;
  progress.printf("Getting %s...", label.c_str());
  bool full = false;
  int rc = stratus::readPage(
      infoLine, keeper, url, progress, [&](WPageFetcher& fetcher) {
        auto scan = makeScan();
        const char* line;
        std::size_t n;
        while (fetcher.readLine(line, n) == L_OK && scan.feed(line, n)) {
        }
        full = scan.full();
      });
  if (rc != L_OK) return rc;
  stratus::endProgress(infoLine);
  if (full) return L_RANGE;
  return text.isEmpty() ? L_INPUT : L_OK;
}

// The city data's value of `key` as a UGC code; invalid when absent.
stratus::UgcCode ugcCode(const WLocation& location, const char* key,
                         bool& present) {
  LString value;
  if (location.getCityData(key, value) != L_OK) return stratus::UgcCode();
  present = true;
  return stratus::UgcCode::parse(value.c_str(), value.length());
}

}  // namespace

int WReader::getZoneText(const WLocation& location, const LString& url,
                         const LString& label, bool firstSectionOnly,
                         LString& text) {
  LString zone;
  if (location.getCityData("azone", zone) != L_OK) return L_NOTFOUND;
  return collectSections(
      infoLine_, *keeper_, url, label,
      [&] { return stratus::ZoneScan(zone, firstSectionOnly, text); }, text);
}

int WReader::getCityText(const WLocation& location, const LString& url,
                         const LString& marker, const LString& label,
                         LString& text) {
  LString code;
  if (location.getCityData("acode", code) != L_OK) return L_NOTFOUND;
  return collectSections(
      infoLine_, *keeper_, url, label,
      [&] { return stratus::CityScan(marker, code, text); }, text);
}

int WReader::getUgcText(const WProductInfo& product, const WLocation& location,
                        const LString& url, LString& text) {
  bool present = false;
  stratus::UgcPlace place;
  place.zone = ugcCode(location, "azone", present);
  place.county = ugcCode(location, "acounty", present);
  LString office;
  if (!product.byZone && location.getCityData("aoffice", office) == L_OK)
    present = true;
  if (!present) return L_NOTFOUND;
  return collectSections(
      infoLine_, *keeper_, url, product.label,
      [&] {
        return stratus::UgcScan(place, office, !product.byZone,
                                product.firstSectionOnly, text);
      },
      text);
}
