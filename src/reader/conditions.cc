// WReader::getCondition: the current conditions at a location, from the
// observation report on its station's page.
#include "stratus/foundation/result.h"
#include "stratus/observation/observation.h"
#include "stratus/reader/reader.h"

#include "reader/page_read.h"
#include "reader/report_scan.h"
#include "reader/settings.h"

namespace {

// Copies what the report supplied. A report without a gust clears an earlier
// gust (-1); every other value stays as it was when the report lacks it.
void copyDecoded(const WObservation& obs, WCondition& condition) {
  if (obs.hasTemp) condition.setTemp(obs.temp);
  if (obs.hasDewPoint) condition.setDewPoint(obs.dewPoint);
  if (obs.hasPressure) condition.setPressure(obs.pressure);
  if (obs.hasWindDirection) condition.setWindDirection(obs.windDirection);
  if (obs.hasWindSpeed) condition.setWindSpeed(obs.windSpeed);
  condition.setWindGustSpeed(obs.hasWindGustSpeed ? obs.windGustSpeed : -1);
  if (obs.hasTime) condition.setTime(LCTime(obs.time, LTime::Local));
}

}  // namespace

int WReader::getCondition(const WLocation& location, WCondition& condition) {
  LString code;
  if (location.getCityData("acode", code) != L_OK) return L_DB;
  LString url =
      stratus::readSetting(*keeper_, stratus::settings::kConditionsBase);
  url += code;
  url += ".html";
  WObservation obs{};
  int decoded = L_OK;
  int rc = stratus::readPage(infoLine_, *keeper_, url,
                             "Getting current conditions...",
                             [&](WPageFetcher& fetcher) {
                               // The whole page is read, also after the
                               // report has turned up.
                               stratus::ReportScan scan;
                               LString line;
                               while (fetcher.readLine(line) == L_OK)
                                 scan.feed(line);
                               decoded = decodeObservation(scan.report(), obs);
                             });
  if (rc != L_OK) return rc;
  if (decoded != L_OK) {
    stratus::show(infoLine_, "Error: cannot obtain conditions");
    return L_ERROR;
  }
  copyDecoded(obs, condition);
  stratus::endProgress(infoLine_);
  return L_OK;
}
