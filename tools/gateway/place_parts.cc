#include "place_parts.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "stratus/host/readings.h"
#include "stratus/host/report_words.h"
#include "stratus/weather/condition.h"

#include "html.h"
#include "svg_chart.h"

namespace stratus_gateway {
namespace {

constexpr long long kChartHours = 72;

// ---- Values in the units shown, by the library's conversions ----

// Whole degrees as the library formats them, with the degree sign.
std::string tempText(float celsius, bool metric) {
  WCondition c;
  c.setTemp(celsius);
  LString text;
  c.formatTemp(text, metric ? WCondition::Celsius : WCondition::Fahrenheit);
  std::string s = text.str();
  if (s.size() >= 2 && s[s.size() - 2] == ' ') s.insert(s.size() - 1, "°");
  return s;
}

double tempValue(float celsius, bool metric) {
  return metric ? celsius : C2F(celsius);
}

int wholeKnots(float knots) { return static_cast<int>(std::lround(knots)); }

double speedValue(int knots, bool metric) {
  float mph = knots2MPH(static_cast<unsigned>(knots < 0 ? 0 : knots));
  return metric ? MPH2KMPH(mph) : mph;
}

std::string speedText(int knots, bool metric) {
  return fixed(speedValue(knots, metric), 0) + (metric ? " km/h" : " mph");
}

double pressureValue(float inhg, bool metric) {
  return metric ? INHG2HPA(inhg) : inhg;
}

std::string pressureText(float inhg, bool metric) {
  return metric ? fixed(INHG2HPA(inhg), 1) + " hPa" : fixed(inhg, 2) + " inHg";
}

std::string visibilityText(const WReport& w, bool metric) {
  if (w.cavok) return "10 km or more (CAVOK)";
  std::string bound = w.visibilityBound < 0   ? "less than "
                      : w.visibilityBound > 0 ? "more than "
                                              : "";
  if (metric) {
    float km = w.visibilityMeters / 1000.0f;
    return bound + fixed(km, km < 5 ? 1 : 0) + " km";
  }
  float miles = w.visibilityMiles;
  int decimals = miles < 3 && miles != std::floor(miles) ? 2 : 0;
  return bound + fixed(miles, decimals) + (miles == 1 ? " mile" : " miles");
}

std::string windText(const WReport& w, bool metric) {
  int speed = wholeKnots(w.windSpeed);
  if (speed == 0 && w.windDirection == 0) return "calm";
  std::string from;
  if (w.windDirectionMissing) {
    from = "direction missing";
  } else if (w.windDirection == W_VARIABLE_WIND) {
    from = "variable";
  } else if (const char* point = compassPoint(w.windDirection)) {
    from = std::string(point) + " (" + std::to_string(w.windDirection) + "°)";
  }
  return from + " at " + speedText(speed, metric);
}

// ---- Pieces of a section ----

std::string item(const char* label, const std::string& valueHtml) {
  return std::string("<div><dt>") + label + "</dt><dd>" + valueHtml +
         "</dd></div>\n";
}

std::string section(const char* id, const char* heading,
                    const std::string& content) {
  return std::string("<section id=\"") + id + "\" aria-labelledby=\"" + id +
         "-h\">\n<h2 id=\"" + id + "-h\">" + heading + "</h2>\n" + content +
         "</section>\n";
}

std::string ageText(long long seconds) {
  if (seconds < 0) return "in the future by the gateway's clock";
  long long minutes = seconds / 60;
  if (minutes < 60) return std::to_string(minutes) + " min ago";
  if (minutes < 48 * 60)
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) +
           " min ago";
  return std::to_string(minutes / 1440) + " days ago";
}

// Wind chill or heat index, by the library's formulas, as `stratus now`
// shows them; "" when neither is defined.
std::string feelsText(const WReport& w, bool metric) {
  double feels = 0;
  if (w.hasTemp && w.hasWind &&
      windChill(C2F(w.temp),
                knots2MPH(static_cast<unsigned>(
                    std::max(0, wholeKnots(w.windSpeed)))),
                feels))
    return tempText(F2C(static_cast<float>(feels)), metric) + " (wind chill)";
  if (w.hasTemp && w.hasDewPoint &&
      heatIndex(C2F(w.temp), relativeHumidity(w.temp, w.dewPoint), feels))
    return tempText(F2C(static_cast<float>(feels)), metric) + " (heat index)";
  return "";
}

std::string weatherText(const WReport& w) {
  std::string out;
  for (int i = 0; i < w.weatherCount; ++i)
    out += (i > 0 ? "; " : "") + weatherWords(w.weather[i]);
  return out;
}

std::string skyText(const WReport& w) {
  std::string out;
  for (int i = 0; i < w.layerCount; ++i)
    out += (i > 0 ? "; " : "") + layerWords(w.layers[i]);
  return out;
}

std::string temperatureItems(const WReport& w, bool metric) {
  std::string out;
  if (w.hasTemp) {
    std::string feels = feelsText(w, metric);
    out += item("Feels like", feels.empty() ? tempText(w.temp, metric) : feels);
  }
  if (w.hasDewPoint) out += item("Dew point", tempText(w.dewPoint, metric));
  if (w.hasTemp && w.hasDewPoint)
    out +=
        item("Relative humidity",
             fixed(std::lround(relativeHumidity(w.temp, w.dewPoint)), 0) + "%");
  return out;
}

std::string otherItems(const WReport& w, bool metric) {
  std::string out;
  if (w.hasWind) out += item("Wind", windText(w, metric));
  if (w.hasWindGust)
    out += item("Gusts", speedText(wholeKnots(w.windGustSpeed), metric));
  if (w.hasPressure) out += item("Pressure", pressureText(w.pressure, metric));
  if (w.hasVisibility) out += item("Visibility", visibilityText(w, metric));
  if (w.weatherCount > 0) out += item("Weather", weatherText(w));
  if (w.layerCount > 0) out += item("Sky", skyText(w));
  if (w.flightCategory != WReport::UNKNOWN_CATEGORY)
    out += item("Flight category", reportCode(w.flightCategory));
  return out;
}

// The chart's rows, oldest first: the observations of the 72 hours before
// the newest, in the units shown.
std::vector<ChartRow> chartRows(const ObservationSeries& series, bool metric) {
  std::vector<ChartRow> rows;
  if (series.items.empty()) return rows;
  const long long from = series.items.front().time - kChartHours * 3600;
  for (auto o = series.items.rbegin(); o != series.items.rend(); ++o) {
    if (o->time < from) continue;
    const WReport& w = o->report;
    ChartRow r;
    r.time = o->time;
    r.temp = w.hasTemp ? tempValue(w.temp, metric) : NAN;
    r.dewPoint = w.hasDewPoint ? tempValue(w.dewPoint, metric) : NAN;
    r.pressure = w.hasPressure ? pressureValue(w.pressure, metric) : NAN;
    r.wind = w.hasWind ? speedValue(wholeKnots(w.windSpeed), metric) : NAN;
    r.gust =
        w.hasWindGust ? speedValue(wholeKnots(w.windGustSpeed), metric) : NAN;
    rows.push_back(r);
  }
  return rows;
}

ChartClock clockOf(const WPlace& place) {
  ChartClock clock;
  clock.offset = [place](long long t) {
    WLocalTime local;
    return placeLocalTime(place, static_cast<long>(t), local)
               ? local.offsetMinutes * 60L
               : 0L;
  };
  clock.zone = [place](long long t) {
    WLocalTime local;
    return placeLocalTime(place, static_cast<long>(t), local) ? local.zone
                                                              : "UTC";
  };
  return clock;
}

const char* severityName(Severity s) {
  static const char* const kNames[] = {"Extreme", "Severe", "Moderate", "Minor",
                                       "Unknown"};
  return kNames[static_cast<int>(s)];
}

const char* severityClass(Severity s) {
  static const char* const kClasses[] = {"s-extreme", "s-severe", "s-moderate",
                                         "s-minor", "s-unknown"};
  return kClasses[static_cast<int>(s)];
}

std::string alertTimes(const WPlace& place, const Alert& a) {
  std::string out;
  if (a.from >= 0) out += "From " + placeTimeText(place, a.from);
  if (a.until >= 0)
    out += (out.empty() ? "Until " : " until ") + placeTimeText(place, a.until);
  return out.empty() ? "" : "<p class=\"note\">" + out + "</p>";
}

std::string alertArticle(const WPlace& place, const Alert& a) {
  std::string text = a.description;
  if (!a.instruction.empty()) text += "\n\n" + a.instruction;
  std::string event = a.event.empty() ? "Alert" : a.event;
  return std::string("<article class=\"alert ") + severityClass(a.severity) +
         "\">\n<h3><span class=\"sev\">" + severityName(a.severity) +
         "</span>" + htmlEscape(event) + "</h3>\n" +
         (a.headline.empty() ? "" : "<p>" + htmlEscape(a.headline) + "</p>\n") +
         alertTimes(place, a) + "\n" +
         details("Full text", "<p class=\"note\">" + htmlEscape(a.areas) +
                                  "</p><pre>" + htmlEscape(text) + "</pre>") +
         "</article>\n";
}

}  // namespace

std::string placeTimeText(const WPlace& place, long long utc) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed",
                                      "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr",
                                        "May", "Jun", "Jul", "Aug",
                                        "Sep", "Oct", "Nov", "Dec"};
  WLocalTime local;
  bool known = placeLocalTime(place, static_cast<long>(utc), local);
  std::time_t wall =
      static_cast<std::time_t>(utc + (known ? local.offsetMinutes * 60LL : 0));
  std::tm tm{};
  gmtime_r(&wall, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%s %d %s %02d:%02d %s", kDays[tm.tm_wday],
                tm.tm_mday, kMonths[tm.tm_mon], tm.tm_hour, tm.tm_min,
                known ? local.zone.c_str() : "UTC");
  return text;
}

std::string placeHeading(const WPlace& place, const std::string& stationName) {
  std::string where = htmlEscape(place.stateName);
  if (!place.county.empty()) where += " · county " + htmlEscape(place.county);
  if (!place.zone.empty()) where += " · zone " + htmlEscape(place.zone);
  if (!place.office.empty())
    where += " · forecast office " + htmlEscape(place.office);
  if (!place.code.empty()) {
    where += " · station " + htmlEscape(place.code);
    if (!stationName.empty()) where += " (" + htmlEscape(stationName) + ")";
  }
  return "<h1>" + htmlEscape(place.label()) + "</h1>\n<p class=\"where\">" +
         where + "</p>\n";
}

std::string conditionsPart(const WPlace& place, const Observation& newest,
                           long long now, bool metric) {
  const WReport& w = newest.report;
  std::string content;
  if (w.hasTemp)
    content += "<p class=\"big\">" + tempText(w.temp, metric) + "</p>\n";
  content += "<dl class=\"grid\">\n" + temperatureItems(w, metric) +
             otherItems(w, metric) +
             item("Observed", placeTimeText(place, newest.time)) +
             item("Age", ageText(now - newest.time)) + "</dl>\n";
  content += details("Raw report", "<pre>" + htmlEscape(newest.raw) + "</pre>");
  return section("now", "Current conditions", content);
}

std::string alertsPart(const WPlace& place, const std::vector<Alert>& alerts) {
  if (alerts.empty())
    return section("alerts", "Alerts",
                   "<p>No active alerts for this zone or county.</p>\n");
  std::string content;
  for (const Alert& a : alerts) content += alertArticle(place, a);
  return section("alerts", "Alerts", content);
}

std::string forecastPart(const std::string& lines) {
  std::vector<WForecastPeriod> periods = forecastPeriods(lines);
  if (periods.empty())
    return section("forecast", "Forecast",
                   "<pre>" + htmlEscape(lines) + "</pre>\n");
  std::string content = "<dl class=\"periods\">\n";
  for (const WForecastPeriod& p : periods)
    content += "<dt>" + htmlEscape(p.name) + "</dt><dd>" + htmlEscape(p.text) +
               "</dd>\n";
  return section("forecast", "Forecast", content + "</dl>\n");
}

std::string chartPart(const WPlace& place, const ObservationSeries& series,
                      bool metric) {
  std::vector<ChartRow> rows = chartRows(series, metric);
  if (rows.empty())
    return missingPart("chart", "Last 72 hours",
                       "The station has no coded reports to chart.");
  ChartUnits units;
  units.temp = metric ? "°C" : "°F";
  units.pressure = metric ? "hPa" : "inHg";
  units.speed = metric ? "km/h" : "mph";
  units.pressureDecimals = metric ? 1 : 2;
  ChartClock clock = clockOf(place);
  return section(
      "chart", "Last 72 hours",
      "<figure>\n<div class=\"chart\">" + chartSvg(rows, units, clock) +
          "</div>\n" + "<figcaption class=\"note\">" +
          std::to_string(rows.size()) + " observations of station " +
          htmlEscape(place.code) +
          ", decoded from their coded reports.</figcaption>\n</figure>\n" +
          details("Table of the plotted values",
                  chartTable(rows, units, clock)));
}

std::string discussionPart(const WPlace& place, const std::string& lines) {
  return section(
      "discussion", "Forecast discussion",
      details("The latest discussion of office " + htmlEscape(place.office),
              "<pre>" + htmlEscape(lines) + "</pre>"));
}

std::string missingPart(const char* id, const char* heading,
                        const std::string& why) {
  return section(id, heading,
                 "<p class=\"missing\">" + htmlEscape(why) + "</p>\n");
}

}  // namespace stratus_gateway
