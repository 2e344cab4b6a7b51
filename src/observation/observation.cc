// decodeObservation: the driver that runs every group parser once, in the
// order the groups stand in a report, and turns their results into flags.
#include "stratus/observation/observation.h"

#include "stratus/foundation/result.h"
#include "stratus/foundation/time.h"
#include "stratus/foundation/vector.h"

#include "observation/parsers.h"

using namespace stratus;

int decodeObservation(const LString& text, WObservation& out) {
  out.hasTemp = out.hasDewPoint = out.hasPressure = false;
  out.hasWindDirection = out.hasWindSpeed = out.hasWindGustSpeed = false;
  out.hasTime = false;

  // The parsers consume the working copy from the front. What they decode
  // beyond the record's fields is kept here only for the length of the
  // decode. The report time is held in UTC: only its calendar time is kept,
  // and storing a UTC moment needs no zone lookup.
  LString work(text);
  ReportType type;
  LString station;
  LCTime reportTime(LTime::UTC);
  ReportModifier modifier = kNoModifier;
  LString visibility;
  WeatherIntensity intensity;
  WeatherDescriptor descriptor;
  Precipitation precipitation;
  Obscuration obscuration;
  OtherPhenomenon other;
  LVector<SkyLayer> layers;
  StationType stationType;

  parseReportType(work, type);
  parseStationId(work, station);
  if (parseReportTime(work, reportTime) == L_OK) {
    out.time = reportTime.GetCalendarTime();
    out.hasTime = true;
  }
  parseReportModifier(work, modifier);
  if (parseWind(work, out.windDirection, out.windSpeed, out.windGustSpeed,
                out.windVariableFrom, out.windVariableTo) == L_OK) {
    out.hasWindDirection = out.hasWindSpeed = true;
    if (out.windGustSpeed != 0) out.hasWindGustSpeed = true;
  }
  parseVisibility(work, visibility);
  skipRunwayRanges(work);
  parsePresentWeather(work, intensity, descriptor, precipitation, obscuration,
                      other);
  parseSkyCondition(work, layers);
  if (parseTemperature(work, out.temp, out.dewPoint) == L_OK)
    out.hasTemp = out.hasDewPoint = true;
  if (parsePressure(work, out.pressure) == L_OK) out.hasPressure = true;
  if (findRemarks(work)) {
    parseStationType(work, stationType);
    if (parsePreciseTemperature(work, out.temp, out.dewPoint) == L_OK)
      out.hasTemp = out.hasDewPoint = true;
  }
  return L_OK;
}
