#include "reading.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace stratus_py {

namespace {

// The decoder's single-precision value as the double of the decimal it
// stands for: 17.2f gives 17.2 rather than 17.200000762939453, and -9.4 or
// 29.87 computed in single precision one step off give -9.4 and 29.87
// (values within two float steps of a hundredth are that hundredth). Other
// values give the shortest decimal that reads back as the same float: 3 SM
// in metres is 4828.032, 9 SM 14484.096. Values below 0.001 or from 10
// million up are widened unchanged.
double asDecimal(float v) {
  static const double kTen[] = {1e0, 1e1, 1e2, 1e3, 1e4,  1e5,
                                1e6, 1e7, 1e8, 1e9, 1e10, 1e11};
  const double d = static_cast<double>(v);
  const double a = std::fabs(d);
  if (!(a >= 1e-3) || a >= 1e7) return d;
  const double hundredth = std::nearbyint(d * 100.0) / 100.0;
  const double step = std::numeric_limits<float>::epsilon() * a;
  if (std::fabs(hundredth - d) <= 2 * step) return hundredth;
  int e = 0;  // a is in [10^e, 10^(e+1))
  if (a >= 1) {
    while (e < 6 && a >= kTen[e + 1]) ++e;
  } else {
    e = -1;
    while (e > -3 && a < 1 / kTen[-e]) --e;
  }
  // Six digits give any shorter decimal too, with zeros behind it.
  for (int digits = 6; digits <= 9; ++digits) {
    const int places = digits - 1 - e;  // decimal places kept
    const double c = places >= 0
                         ? std::nearbyint(d * kTen[places]) / kTen[places]
                         : std::nearbyint(d / kTen[-places]) * kTen[-places];
    if (static_cast<float>(c) == v) return c;
  }
  return d;
}

// The cover of a sky layer that has no height.
bool isClearCover(WReport::Cover c) {
  return c == WReport::CLEAR || c == WReport::NO_SIGNIFICANT ||
         c == WReport::NONE_DETECTED;
}

const char* cloudTypeCode(WReport::CloudType t) {
  return t == WReport::CUMULONIMBUS       ? "CB"
         : t == WReport::TOWERING_CUMULUS ? "TCU"
                                          : "";
}

size_t append(char* out, size_t at, const char* s) {
  while (*s) out[at++] = *s++;
  return at;
}

size_t typeText(const Reading& r, char* out) {
  return append(out, 0,
                r.type == WReport::METAR   ? "METAR"
                : r.type == WReport::SPECI ? "SPECI"
                                           : "");
}

size_t categoryText(const Reading& r, char* out) {
  return append(out, 0, reportCode(r.category));
}

// "-SN BR": the groups as coded, blank-separated.
size_t weatherText(const Reading& r, char* out) {
  size_t at = 0;
  for (int i = 0; i < r.weatherCount; ++i) {
    if (i > 0) out[at++] = ' ';
    at = append(out, at, r.weather[i]);
  }
  return at;
}

// "FEW008 OVC012CB": cover, height in hundreds of feet ("///" when
// missing), cloud type; a clear-sky cover alone ("CLR").
size_t skyText(const Reading& r, char* out) {
  size_t at = 0;
  for (int i = 0; i < r.layerCount; ++i) {
    const WReport::Layer& l = r.layers[i];
    if (i > 0) out[at++] = ' ';
    at = append(out, at, reportCode(l.cover));
    if (isClearCover(l.cover)) continue;
    if (l.heightMissing) {
      at = append(out, at, "///");
    } else {
      const int h = l.height / 100;
      out[at++] = static_cast<char>('0' + h / 100 % 10);
      out[at++] = static_cast<char>('0' + h / 10 % 10);
      out[at++] = static_cast<char>('0' + h % 10);
    }
    at = append(out, at, cloudTypeCode(l.cloudType));
  }
  return at;
}

// The text as a Python str, or None when empty.
py::object strOrNone(const Reading& r, size_t (*text)(const Reading&, char*)) {
  char buf[64];
  size_t n = text(r, buf);
  if (n == 0) return py::none();
  return py::str(buf, n);
}

py::object typeValue(const Reading& r) { return strOrNone(r, typeText); }

py::object categoryValue(const Reading& r) {
  return strOrNone(r, categoryText);
}

py::object weatherValue(const Reading& r) {
  py::list groups;
  for (int i = 0; i < r.weatherCount; ++i) groups.append(py::str(r.weather[i]));
  return std::move(groups);
}

py::object skyValue(const Reading& r) {
  py::list layers;
  for (int i = 0; i < r.layerCount; ++i) {
    const WReport::Layer& l = r.layers[i];
    py::object height = l.heightMissing || isClearCover(l.cover)
                            ? py::object(py::none())
                            : py::object(py::int_(l.height));
    const char* type = cloudTypeCode(l.cloudType);
    layers.append(py::make_tuple(
        reportCode(l.cover), height,
        *type ? py::object(py::str(type)) : py::object(py::none())));
  }
  return std::move(layers);
}

}  // namespace

// One row per numeric value: its Python name, kind and meaning. The
// Observation attributes, the decode_many columns and repr come from here.
const ValueField kValueFields[kValueCount] = {
    {"temperature_c", false,
     "Air temperature, degrees Celsius; in tenths when the remarks carry "
     "them (\"T10441061\")."},
    {"dew_point_c", false, "Dew point, degrees Celsius."},
    {"pressure_inhg", false,
     "Altimeter setting, inches of mercury: the A group, or else the Q "
     "group converted."},
    {"altimeter_hpa", false,
     "Altimeter setting as coded in hectopascals (\"Q1008\"); None when the "
     "report codes it in inches only."},
    {"sea_level_pressure_hpa", false,
     "Sea-level pressure from the remarks (\"SLP132\" is 1013.2), "
     "hectopascals."},
    {"wind_direction_deg", true,
     "Direction the wind blows from, degrees; None when the wind is "
     "variable (see wind_variable), its direction missing (\"///\"), or no "
     "wind is reported."},
    {"wind_variable_from_deg", true,
     "Start of the range the wind direction varies over (\"240V300\"), "
     "degrees."},
    {"wind_variable_to_deg", true,
     "End of the range the wind direction varies over, degrees."},
    {"wind_speed_kt", false,
     "Wind speed, knots; converted when coded in m/s or km/h."},
    {"gust_kt", false, "Gust speed, knots; None when the wind has no gust."},
    {"visibility_mi", false,
     "Prevailing visibility, statute miles; converted when coded in "
     "metres. See visibility_bound."},
    {"visibility_m", false,
     "Prevailing visibility, metres; converted when coded in statute "
     "miles."},
    {"visibility_bound", true,
     "-1 when the visibility is coded as less than its value (\"M1/4SM\", "
     "\"0000\"), 1 as more than it (\"P6SM\", \"9999\", \"CAVOK\"), else 0; "
     "None without a visibility."},
    {"ceiling_ft", true,
     "The lowest broken or overcast layer or vertical visibility, feet "
     "above ground; None when the sky has none."},
};

// One row per text value, in the order of enum Text; as kValueFields.
const TextField kTextFields[kTextCount] = {
    {"report_type", typeText, typeValue,
     "\"METAR\" or \"SPECI\" when the report begins with the word, else "
     "None."},
    {"flight_category", categoryText, categoryValue,
     "\"VFR\", \"MVFR\", \"IFR\" or \"LIFR\" from the ceiling and the "
     "visibility; None when they do not tell."},
    {"weather", weatherText, weatherValue,
     "The present-weather groups as coded (list of str, [\"-SN\", \"BR\"]); "
     "in decode_many one str of the groups, blank-separated."},
    {"sky", skyText, skyValue,
     "The sky layers, lowest first: a list of (cover, height_ft, type) "
     "tuples, cover \"CLR\", \"NSC\", \"NCD\", \"FEW\", \"SCT\", \"BKN\", "
     "\"OVC\" or \"VV\", height None when not given, type \"CB\", \"TCU\" or "
     "None. In decode_many one str as coded, \"FEW008 OVC012CB\"."},
};

void fillReading(const WReport& o, Reading& r) {
  double* v = r.values;
  v[kTemperature] = o.hasTemp ? asDecimal(o.temp) : kNaN;
  v[kDewPoint] = o.hasDewPoint ? asDecimal(o.dewPoint) : kNaN;
  v[kPressure] = o.hasPressure ? asDecimal(o.pressure) : kNaN;
  v[kAltimeterHpa] = o.hasAltimeterHpa ? asDecimal(o.altimeterHpa) : kNaN;
  v[kSeaLevelPressure] =
      o.hasSeaLevelPressure ? asDecimal(o.seaLevelPressure) : kNaN;
  r.windVariable = o.hasWind && o.windDirection == W_VARIABLE_WIND;
  v[kWindDirection] = o.hasWind && !r.windVariable && !o.windDirectionMissing
                          ? o.windDirection
                          : kNaN;
  v[kWindVariableFrom] = o.hasWindVariable ? o.windVariableFrom : kNaN;
  v[kWindVariableTo] = o.hasWindVariable ? o.windVariableTo : kNaN;
  v[kWindSpeed] = o.hasWind ? asDecimal(o.windSpeed) : kNaN;
  v[kGust] = o.hasWindGust ? asDecimal(o.windGustSpeed) : kNaN;
  v[kVisibility] = o.hasVisibility ? asDecimal(o.visibilityMiles) : kNaN;
  v[kVisibilityMeters] = o.hasVisibility ? asDecimal(o.visibilityMeters) : kNaN;
  v[kVisibilityBound] = o.hasVisibility ? o.visibilityBound : kNaN;
  v[kCeiling] = o.hasCeiling ? o.ceiling : kNaN;
  r.time = o.hasTime ? o.time : kNoTime;
  std::memcpy(r.station, o.station, sizeof r.station);
  r.type = o.type;
  r.category = o.flightCategory;
  r.weatherCount = o.weatherCount;
  for (int i = 0; i < o.weatherCount; ++i)
    std::memcpy(r.weather[i], o.weather[i].text, sizeof r.weather[i]);
  r.layerCount = o.layerCount;
  for (int i = 0; i < o.layerCount; ++i) r.layers[i] = o.layers[i];
  r.decoded = o.decoded;
}

void narrowReading(const WObservation& o, Reading& r) {
  double* v = r.values;
  for (int i = 0; i < kValueCount; ++i) v[i] = kNaN;
  v[kTemperature] = o.hasTemp ? asDecimal(o.temp) : kNaN;
  v[kDewPoint] = o.hasDewPoint ? asDecimal(o.dewPoint) : kNaN;
  v[kPressure] = o.hasPressure ? asDecimal(o.pressure) : kNaN;
  bool wind = o.hasWindDirection;
  r.windVariable = wind && o.windDirection == W_VARIABLE_WIND;
  v[kWindDirection] = wind && !r.windVariable ? o.windDirection : kNaN;
  bool range = wind && o.windVariableFrom != W_VARIABLE_WIND;
  v[kWindVariableFrom] = range ? o.windVariableFrom : kNaN;
  v[kWindVariableTo] = range ? o.windVariableTo : kNaN;
  v[kWindSpeed] = o.hasWindSpeed ? o.windSpeed : kNaN;
  v[kGust] = o.hasWindGustSpeed ? o.windGustSpeed : kNaN;
  r.time = o.hasTime ? o.time : kNoTime;
  r.category = WReport::UNKNOWN_CATEGORY;
  r.weatherCount = 0;
  r.layerCount = 0;
  r.decoded = o.hasTemp || o.hasDewPoint || o.hasPressure ||
              o.hasWindDirection || o.hasWindSpeed || o.hasWindGustSpeed ||
              o.hasTime;
}

void decodeText(const char* s, size_t n, LString& work, WReport& record,
                Reading& out) {
  // A report is far shorter; a text over 2 GiB is read up to there.
  work.assign(s, static_cast<int>(std::min<size_t>(n, INT_MAX)));
  decodeReport(work, record);
  fillReading(record, out);
}

py::object valueOf(const Reading& r, int i) {
  double v = r.values[i];
  if (std::isnan(v)) return py::none();
  if (kValueFields[i].whole) return py::int_(static_cast<long>(v));
  return py::float_(v);
}

}  // namespace stratus_py
