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

// Reads the station's page to its end (also after the report has turned
// up) and takes the report from it: L_OK, L_CONNECT or L_DB as
// getCondition gives them.
int WReader::readStationReport(const WLocation& location, LString& report) {
  LString code;
  if (location.getCityData("acode", code) != L_OK) return L_DB;
  LString url =
      stratus::readSetting(*keeper_, stratus::settings::kConditionsBase);
  url += code;
  url += ".html";
  return stratus::readPage(infoLine_, *keeper_, url,
                           "Getting current conditions...",
                           [&](WPageFetcher& fetcher) {
                             stratus::ReportScan scan;
                             LString line;
                             while (fetcher.readLine(line) == L_OK)
                               scan.feed(line);
                             report = scan.report();
                           });
}

int WReader::getCondition(const WLocation& location, WCondition& condition) {
  LString report;
  int rc = readStationReport(location, report);
  if (rc != L_OK) return rc;
  WObservation obs{};
  if (decodeObservation(report, obs) != L_OK) {
    stratus::show(infoLine_, "Error: cannot obtain conditions");
    return L_ERROR;
  }
  copyDecoded(obs, condition);
  stratus::endProgress(infoLine_);
  return L_OK;
}

int WReader::getReport(const WLocation& location, LString& report) {
  LString text;
  int rc = readStationReport(location, text);
  if (rc != L_OK) return rc;
  if (text.isEmpty()) {
    stratus::show(infoLine_, "Error: cannot obtain conditions");
    return L_NOTFOUND;
  }
  report = text;
  stratus::endProgress(infoLine_);
  return L_OK;
}
