// The seven text-product getters of WReader, driven by one table: they
// differ only in the page they fetch, how it is cut, and the label shown
// while it is read.
#include <algorithm>
#include <limits>
#include <new>
#include <string>

#include "stratus/foundation/result.h"
#include "stratus/reader/reader.h"

#include "reader/settings.h"

const WProductInfo WReader::PRODUCTS[PRODUCT_COUNT] = {
    {"warnings", "/allwarnings.html", "warnings", true, false, nullptr,
     &WReader::getWarnings},
    {"forecast", "/zone.html", "forecast", true, true, nullptr,
     &WReader::getForecast},
    {"discussion", "/discussion.html", "weather discussion", false, false,
     "FXUS", &WReader::getDiscussion},
    {"summary", "/summary.html", "weather summary", false, false, "ABUS",
     &WReader::getSummary},
    {"watches", "/watches.html", "watches", true, false, nullptr,
     &WReader::getWatches},
    {"statements", "/special.html", "special statements", true, false, nullptr,
     &WReader::getStatements},
    {"public", "/public.html", "public messages", false, false, "ABUS",
     &WReader::getPublic},
};

namespace {

// Collected text has the page's line feeds; the host shows "\r\n". Built in
// one block of the final size (a product can run to megabytes), and handed
// to the text in pieces that LString's int counts can hold.
int withDisplayLineEnds(int result, LString& text) {
  if (result != L_OK && result != L_RANGE) return result;
  const std::string& lf = text.str();
  std::size_t lines = std::count(lf.begin(), lf.end(), '\n');
  std::string crlf;
  try {
    crlf.reserve(lf.size() + lines);
  } catch (const std::bad_alloc&) {
    throw LEx(L_MEM);
  }
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  text.clear();
  constexpr std::size_t kPiece = std::numeric_limits<int>::max();
  for (std::size_t at = 0; at < crlf.size(); at += kPiece) {
    std::size_t n = std::min(kPiece, crlf.size() - at);
    text.append(crlf.data() + at, static_cast<int>(n));
  }
  return result;
}

}  // namespace

int WReader::getProduct(const WProductInfo& product, const WLocation& location,
                        LString& text) {
  LString url =
      stratus::readSetting(*keeper_, stratus::settings::kWarningsBase);
  url += location.getShortState();
  url += product.page;
  int result;
  if (sectionRule_ == UgcRule) {
    result = getUgcText(product, location, url, text);
  } else if (product.byZone) {
    result = getZoneText(location, url, product.label, product.firstSectionOnly,
                         text);
  } else {
    result = getCityText(location, url, product.marker, product.label, text);
  }
  return withDisplayLineEnds(result, text);
}

int WReader::getWarnings(const WLocation& location, LString& text) {
  return getProduct(PRODUCTS[0], location, text);
}
int WReader::getForecast(const WLocation& location, LString& text) {
  return getProduct(PRODUCTS[1], location, text);
}
int WReader::getDiscussion(const WLocation& location, LString& text) {
  return getProduct(PRODUCTS[2], location, text);
}
int WReader::getSummary(const WLocation& location, LString& text) {
  return getProduct(PRODUCTS[3], location, text);
}
int WReader::getWatches(const WLocation& location, LString& text) {
  return getProduct(PRODUCTS[4], location, text);
}
int WReader::getStatements(const WLocation& location, LString& text) {
  return getProduct(PRODUCTS[5], location, text);
}
int WReader::getPublic(const WLocation& location, LString& text) {
  return getProduct(PRODUCTS[6], location, text);
}
