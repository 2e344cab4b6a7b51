#include "svg_chart.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "html.h"

namespace stratus_gateway {
namespace {

// The drawing's coordinates: 720 wide, each panel kPanel high.
constexpr double kWidth = 720, kLeft = 58, kRight = 14;
constexpr double kTop = 26, kPanel = 150, kGap = 46;
constexpr int kPanels = 3;

const char kTempColour[] = "#c62828", kDewColour[] = "#2e7d32",
           kPressureColour[] = "#1565c0", kWindColour[] = "#6a1b9a";

struct Range {
  double low = 0, high = 1, step = 1;
};

// A round step (1, 2, 2.5 or 5 times a power of ten) that cuts `span` in
// about four.
double roundStep(double span) {
  double raw = span > 0 ? span / 4 : 1;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 2.5, 5.0})
    if (raw <= m * power) return m * power;
  return 10 * power;
}

// The axis range of a series' finite values, with round ends.
Range rangeOf(const std::vector<ChartRow>& rows,
              std::initializer_list<double ChartRow::*> series) {
  double low = INFINITY, high = -INFINITY;
  for (const ChartRow& r : rows)
    for (double ChartRow::*s : series)
      if (std::isfinite(r.*s)) {
        low = std::min(low, r.*s);
        high = std::max(high, r.*s);
      }
  Range range;
  if (!std::isfinite(low)) return range;
  range.step = roundStep(high - low);
  range.low = std::floor(low / range.step) * range.step;
  range.high = std::ceil(high / range.step) * range.step;
  if (range.high <= range.low) range.high = range.low + range.step;
  return range;
}

struct Frame {
  long long t0, t1;
  double top;  // the panel's top edge
  Range y;
  double x(long long t) const {
    double span = t1 > t0 ? static_cast<double>(t1 - t0) : 1;
    return kLeft +
           (kWidth - kLeft - kRight) * static_cast<double>(t - t0) / span;
  }
  double yOf(double v) const {
    return top + kPanel * (y.high - v) / (y.high - y.low);
  }
};

int decimalsOf(double step) { return step >= 1 ? 0 : step >= 0.1 ? 1 : 2; }

// The value axis: a grid line and a label at each step.
std::string valueAxis(const Frame& f) {
  std::string out;
  int decimals = decimalsOf(f.y.step);
  for (double v = f.y.low; v <= f.y.high + f.y.step / 2; v += f.y.step) {
    std::string y = fixed(f.yOf(v), 1);
    out += "<line x1=\"" + fixed(kLeft, 0) + "\" x2=\"" +
           fixed(kWidth - kRight, 0) + "\" y1=\"" + y + "\" y2=\"" + y +
           "\" stroke=\"#d0d0d0\"/>";
    out += "<text x=\"" + fixed(kLeft - 6, 0) + "\" y=\"" +
           fixed(f.yOf(v) + 4, 1) + "\" text-anchor=\"end\">" +
           fixed(v, decimals) + "</text>";
  }
  return out + "\n";
}

std::string hhmm(const std::tm& tm) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", tm.tm_hour, tm.tm_min);
  return text;
}

std::tm wallClock(long long t, const ChartClock& clock) {
  std::time_t local = static_cast<std::time_t>(t + clock.offset(t));
  std::tm tm{};
  gmtime_r(&local, &tm);
  return tm;
}

// Time ticks: every 2, 6 or 12 hours of the place's clock, as the span
// allows; a day's name on the first tick and at each midnight.
std::string timeAxis(const Frame& f, double bottom, const ChartClock& clock) {
  long long span = f.t1 - f.t0;
  long long step = span <= 12 * 3600   ? 2 * 3600
                   : span <= 36 * 3600 ? 6 * 3600
                                       : 12 * 3600;
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed",
                                      "Thu", "Fri", "Sat"};
  std::string out;
  bool first = true;
  for (long long t = f.t0 - f.t0 % 3600 + 3600; t <= f.t1; t += 3600) {
    if ((t + clock.offset(t)) % step != 0) continue;
    std::tm tm = wallClock(t, clock);
    std::string label = hhmm(tm);
    if (first || tm.tm_hour == 0)
      label = std::string(kDays[tm.tm_wday]) + " " + label;
    first = false;
    std::string x = fixed(f.x(t), 1);
    out += "<line x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + fixed(kTop, 0) +
           "\" y2=\"" + fixed(bottom, 0) + "\" stroke=\"#e4e4e4\"/>";
    out += "<text x=\"" + x + "\" y=\"" + fixed(bottom + 16, 0) +
           "\" text-anchor=\"middle\">" + label + "</text>";
  }
  return out + "\n";
}

std::string polyline(const std::vector<ChartRow>& rows, const Frame& f,
                     double ChartRow::*series, const char* cls,
                     const char* colour) {
  std::string points;
  for (const ChartRow& r : rows) {
    if (!std::isfinite(r.*series)) continue;
    if (!points.empty()) points += ' ';
    points += fixed(f.x(r.time), 1) + "," + fixed(f.yOf(r.*series), 1);
  }
  return "<polyline class=\"" + std::string(cls) + "\" points=\"" + points +
         "\" fill=\"none\" stroke=\"" + colour +
         "\" stroke-width=\"2\" stroke-linejoin=\"round\"/>\n";
}

std::string gustDots(const std::vector<ChartRow>& rows, const Frame& f) {
  std::string out;
  for (const ChartRow& r : rows)
    if (std::isfinite(r.gust))
      out += "<circle class=\"gust\" cx=\"" + fixed(f.x(r.time), 1) +
             "\" cy=\"" + fixed(f.yOf(r.gust), 1) + "\" r=\"3\" fill=\"" +
             kWindColour + "\"/>";
  return out + "\n";
}

// A panel's title, its words in the colours of their series.
std::string panelTitle(double top, const std::string& words) {
  return "<text x=\"" + fixed(kLeft, 0) + "\" y=\"" + fixed(top - 8, 0) +
         "\" font-weight=\"bold\">" + words + "</text>\n";
}

std::string tspan(const char* colour, const std::string& words) {
  return "<tspan fill=\"" + std::string(colour) + "\">" + words + "</tspan>";
}

Frame frameOf(const std::vector<ChartRow>& rows, int panel, Range y) {
  return Frame{rows.front().time, rows.back().time,
               kTop + panel * (kPanel + kGap), y};
}

}  // namespace

std::string chartSvg(const std::vector<ChartRow>& rows, const ChartUnits& units,
                     const ChartClock& clock) {
  const double height = kTop + kPanels * kPanel + (kPanels - 1) * kGap + 26;
  Frame temp =
      frameOf(rows, 0, rangeOf(rows, {&ChartRow::temp, &ChartRow::dewPoint}));
  Frame pressure = frameOf(rows, 1, rangeOf(rows, {&ChartRow::pressure}));
  Range windRange = rangeOf(rows, {&ChartRow::wind, &ChartRow::gust});
  windRange.low = std::min(windRange.low, 0.0);
  Frame wind = frameOf(rows, 2, windRange);
  std::string zone = htmlEscape(clock.zone(rows.back().time));
  std::string svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
      fixed(kWidth, 0) + " " + fixed(height, 0) +
      "\" role=\"img\" aria-labelledby=\"chart-title\" font-size=\"12\" "
      "font-family=\"system-ui,sans-serif\" fill=\"#1a1a1a\">\n"
      "<title id=\"chart-title\">Observations from " +
      fixed(static_cast<double>(rows.size()), 0) + " reports; times in " +
      zone + "</title>\n";
  for (const Frame* f : {&temp, &pressure, &wind}) {
    svg += valueAxis(*f);
    svg += timeAxis(*f, f->top + kPanel, clock);
  }
  svg += panelTitle(temp.top, tspan(kTempColour, "Temperature") + " and " +
                                  tspan(kDewColour, "dew point") + " (" +
                                  htmlEscape(units.temp) + ")");
  svg += panelTitle(pressure.top, tspan(kPressureColour, "Pressure") + " (" +
                                      htmlEscape(units.pressure) + ")");
  svg += panelTitle(wind.top, tspan(kWindColour, "Wind") + " and " +
                                  tspan(kWindColour, "gusts (dots)") + " (" +
                                  htmlEscape(units.speed) + "), times " + zone);
  svg += polyline(rows, temp, &ChartRow::dewPoint, "dew", kDewColour);
  svg += polyline(rows, temp, &ChartRow::temp, "temp", kTempColour);
  svg += polyline(rows, pressure, &ChartRow::pressure, "pressure",
                  kPressureColour);
  svg += polyline(rows, wind, &ChartRow::wind, "wind", kWindColour);
  svg += gustDots(rows, wind);
  return svg + "</svg>\n";
}

std::string chartTable(const std::vector<ChartRow>& rows,
                       const ChartUnits& units, const ChartClock& clock) {
  auto cell = [](double v, int decimals) {
    return "<td>" + (std::isfinite(v) ? fixed(v, decimals) : "") + "</td>";
  };
  std::string out =
      "<div class=\"scroll\"><table>\n<thead><tr><th scope=\"col\">Time "
      "(" +
      htmlEscape(clock.zone(rows.empty() ? 0 : rows.back().time)) +
      ")</th><th scope=\"col\">Temperature (" + htmlEscape(units.temp) +
      ")</th><th scope=\"col\">Dew point (" + htmlEscape(units.temp) +
      ")</th><th scope=\"col\">Pressure (" + htmlEscape(units.pressure) +
      ")</th><th scope=\"col\">Wind (" + htmlEscape(units.speed) +
      ")</th><th scope=\"col\">Gust (" + htmlEscape(units.speed) +
      ")</th></tr></thead>\n<tbody>\n";
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed",
                                      "Thu", "Fri", "Sat"};
  for (auto r = rows.rbegin(); r != rows.rend(); ++r) {
    std::tm tm = wallClock(r->time, clock);
    out += "<tr><td>" + std::string(kDays[tm.tm_wday]) + " " + hhmm(tm) +
           "</td>" + cell(r->temp, 0) + cell(r->dewPoint, 0) +
           cell(r->pressure, units.pressureDecimals) + cell(r->wind, 0) +
           cell(r->gust, 0) + "</tr>\n";
  }
  return out + "</tbody></table></div>\n";
}

}  // namespace stratus_gateway
