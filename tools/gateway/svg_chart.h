// The chart of a place's page: a station's observations over time, drawn
// on the server as inline SVG (no script, no external font), with the
// table of the plotted values as its text alternative.
//
// Three panels share the time axis: temperature and dew point, pressure,
// wind speed and gust. Each has a labelled value axis with round steps;
// the time axis is labelled in the place's local time.
#ifndef STRATUS_TOOLS_GATEWAY_SVG_CHART_H_
#define STRATUS_TOOLS_GATEWAY_SVG_CHART_H_

#include <functional>
#include <string>
#include <vector>

namespace stratus_gateway {

// One moment's values, in the units shown; NaN where a value is missing.
struct ChartRow {
  long long time = 0;  // seconds since the epoch
  double temp, dewPoint, pressure, wind, gust;
};

struct ChartUnits {
  std::string temp;      // "°F"
  std::string pressure;  // "inHg"
  std::string speed;     // "mph"
  int pressureDecimals = 2;
};

// The place's clock: its offset from UTC in seconds at a moment, and the
// name of its zone then ("CST").
struct ChartClock {
  std::function<long(long long)> offset;
  std::function<std::string(long long)> zone;
};

// The chart of `rows` (oldest first, at least one) as an <svg> element.
// Each series is one <polyline> (class "temp", "dew", "pressure", "wind")
// with a point for each row that has its value; gusts are <circle>s of
// class "gust".
std::string chartSvg(const std::vector<ChartRow>& rows, const ChartUnits& units,
                     const ChartClock& clock);

// The same values as an HTML <table>, newest first, times on the place's
// clock.
std::string chartTable(const std::vector<ChartRow>& rows,
                       const ChartUnits& units, const ChartClock& clock);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_SVG_CHART_H_
