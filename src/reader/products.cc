// The seven text-product getters of WReader. They differ only in the page
// they fetch, how it is cut, and the label shown while it is read.
#include <cstring>
#include <new>
#include <string>

#include "stratus/foundation/result.h"
#include "stratus/reader/reader.h"

#include "reader/settings.h"

namespace {

// Collected text has the page's line feeds; the host shows "\r\n". Built in
// one block of the final size (a product can run to megabytes).
int withDisplayLineEnds(int result, LString& text) {
  if (result != L_OK) return result;
  const std::string& lf = text.str();
  std::size_t lines = 0;
  for (const char* p = lf.data(); (p = static_cast<const char*>(std::memchr(
                                       p, '\n', lf.data() + lf.size() - p)));
       ++p) {
    ++lines;
  }
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
  text.assign(crlf.data(), static_cast<int>(crlf.size()));
  return result;
}

}  // namespace

int WReader::getProduct(const WLocation& location, const char* page,
                        const char* label, bool firstSectionOnly,
                        LString& text) {
  LString url =
      stratus::readSetting(*keeper_, stratus::settings::kWarningsBase);
  url += location.getShortState();
  url += page;
  return withDisplayLineEnds(
      getZoneText(location, url, label, firstSectionOnly, text), text);
}

int WReader::getCityProduct(const WLocation& location, const char* page,
                            const char* marker, const char* label,
                            LString& text) {
  LString url =
      stratus::readSetting(*keeper_, stratus::settings::kWarningsBase);
  url += location.getShortState();
  url += page;
  return withDisplayLineEnds(getCityText(location, url, marker, label, text),
                             text);
}

int WReader::getWarnings(const WLocation& location, LString& text) {
  return getProduct(location, "/allwarnings.html", "warnings", false, text);
}

int WReader::getForecast(const WLocation& location, LString& text) {
  return getProduct(location, "/zone.html", "forecast", true, text);
}

int WReader::getDiscussion(const WLocation& location, LString& text) {
  return getCityProduct(location, "/discussion.html", "FXUS",
                        "weather discussion", text);
}

int WReader::getSummary(const WLocation& location, LString& text) {
  return getCityProduct(location, "/summary.html", "ABUS", "weather summary",
                        text);
}

int WReader::getWatches(const WLocation& location, LString& text) {
  return getProduct(location, "/watches.html", "watches", false, text);
}

int WReader::getStatements(const WLocation& location, LString& text) {
  return getProduct(location, "/special.html", "special statements", false,
                    text);
}

int WReader::getPublic(const WLocation& location, LString& text) {
  return getCityProduct(location, "/public.html", "ABUS", "public messages",
                        text);
}
