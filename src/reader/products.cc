// The seven text-product getters of WReader. They differ only in the page
// they fetch, how it is cut, and the label shown while it is read.
#include <algorithm>
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
  text.assign(crlf.data(), static_cast<int>(crlf.size()));
  return result;
}

// "WarningsBase" + the state's short name + the page name.
LString productUrl(LKeeper& keeper, const WLocation& location,
                   const char* page) {
  LString url = stratus::readSetting(keeper, stratus::settings::kWarningsBase);
  url += location.getShortState();
  url += page;
  return url;
}

}  // namespace

int WReader::getWarnings(const WLocation& location, LString& text) {
  LString url = productUrl(*keeper_, location, "/allwarnings.html");
  return withDisplayLineEnds(
      getZoneText(location, url, "warnings", false, text), text);
}

int WReader::getForecast(const WLocation& location, LString& text) {
  LString url = productUrl(*keeper_, location, "/zone.html");
  return withDisplayLineEnds(getZoneText(location, url, "forecast", true, text),
                             text);
}

int WReader::getDiscussion(const WLocation& location, LString& text) {
  LString url = productUrl(*keeper_, location, "/discussion.html");
  return withDisplayLineEnds(
      getCityText(location, url, "FXUS", "weather discussion", text), text);
}

int WReader::getSummary(const WLocation& location, LString& text) {
  LString url = productUrl(*keeper_, location, "/summary.html");
  return withDisplayLineEnds(
      getCityText(location, url, "ABUS", "weather summary", text), text);
}

int WReader::getWatches(const WLocation& location, LString& text) {
  LString url = productUrl(*keeper_, location, "/watches.html");
  return withDisplayLineEnds(getZoneText(location, url, "watches", false, text),
                             text);
}

int WReader::getStatements(const WLocation& location, LString& text) {
  LString url = productUrl(*keeper_, location, "/special.html");
  return withDisplayLineEnds(
      getZoneText(location, url, "special statements", false, text), text);
}

int WReader::getPublic(const WLocation& location, LString& text) {
  LString url = productUrl(*keeper_, location, "/public.html");
  return withDisplayLineEnds(
      getCityText(location, url, "ABUS", "public messages", text), text);
}
