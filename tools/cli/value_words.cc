#include "value_words.h"

#include <cmath>

#include "stratus/stratus.h"

namespace stratus_cli {

bool isCalm(const Reading& r) {
  return r.windSpeed && *r.windSpeed == 0 &&
         (!r.windDirection || *r.windDirection == 0);
}

bool hasWind(const Reading& r) { return r.windSpeed || r.windDirection; }

void appendPressure(OutBuffer& out, float inhg, const Units& units) {
  switch (units.pressure) {
    case Units::Pressure::kHPa:
      out.putFixed(INHG2HPA(inhg), 1);
      out.lit(" hPa (");
      break;
    case Units::Pressure::kMmHg:
      out.putFixed(INHG2MMHG(inhg), 1);
      out.lit(" mmHg (");
      break;
    case Units::Pressure::kInHg:
      out.putFixed(inhg, 2);
      out.lit(" inHg (");
      out.putFixed(INHG2HPA(inhg), 1);
      out.lit(" hPa)");
      return;
  }
  out.putFixed(inhg, 2);
  out.lit(" inHg)");
}

void appendSpeed(OutBuffer& out, int knots, const Units& units) {
  switch (units.wind) {
    case Units::Wind::kKnots:
      out.putInt(knots);
      out.lit(" kt");
      return;
    case Units::Wind::kKmh:
      out.putFixed(MPH2KMPH(knots2MPH(static_cast<unsigned>(knots))), 0);
      out.lit(" km/h");
      return;
    case Units::Wind::kMph:
      break;
  }
  out.putFixed(knots2MPH(static_cast<unsigned>(knots)), 0);
  out.lit(" mph");
}

void appendVisibility(OutBuffer& out, const WReport& w, const Units& units) {
  if (w.cavok) {
    out.lit("10 km or more, no cloud below 5,000 ft (CAVOK)");
    return;
  }
  if (w.visibilityBound < 0) out.lit("less than ");
  if (w.visibilityBound > 0) out.lit("more than ");
  if (units.metricDistance) {
    float km = w.visibilityMeters / 1000.0f;
    out.putFixed(km, km < 5 ? 1 : 0);
    out.lit(" km");
    return;
  }
  float miles = w.visibilityMiles;
  out.putFixed(miles, miles < 3 && miles != std::floor(miles) ? 2 : 0);
  if (miles == 1) {
    out.lit(" mile");
  } else {
    out.lit(" miles");
  }
}

}  // namespace stratus_cli
