// The Python module `stratus`: decoding of observation reports (one at a
// time, or many at once into NumPy arrays), the location database, the
// reader of products and current conditions, and the unit conversions, all
// calling libstratus.
//
// One report's values travel through the module as a Reading (doubles, NaN
// where the report gave nothing, and the coded weather and sky). decodeText
// and fillReading are the only places that know the decoder's entry point
// and result type; Observation objects and the columns of decode_many are
// both made from Readings, through two tables of fields (kValueFields for
// the numbers, kTextFields for the texts).
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "stratus/stratus.h"

namespace py = pybind11;

namespace {

// ---------------------------------------------------------------------------
// Readings

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// No time: the value NumPy reads as NaT.
constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
// The direction the decoder gives for a variable wind ("VRB").
constexpr int kVariable = 400;

// The numeric values of a reading, in the order of kValueFields.
enum Value {
  kTemperature,
  kDewPoint,
  kPressure,
  kAltimeterHpa,
  kSeaLevelPressure,
  kWindDirection,
  kWindVariableFrom,
  kWindVariableTo,
  kWindSpeed,
  kGust,
  kVisibility,
  kVisibilityMeters,
  kVisibilityBound,
  kCeiling,
  kValueCount
};

struct ValueField {
  const char* name;
  bool whole;  // a whole number: an int on an Observation
  const char* doc;
};

// One row per numeric value: its Python name, kind and meaning. The
// Observation attributes, the decode_many columns and repr come from here.
constexpr ValueField kValueFields[kValueCount] = {
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

// One report's values as the module hands them out.
struct Reading {
  double values[kValueCount];  // NaN: not given by the report
  int64_t time = kNoTime;      // seconds since the epoch, UTC; or kNoTime
  bool decoded = false;        // at least one group was read
  bool windVariable = false;   // the wind group said "VRB"
  char station[5] = {};        // the report's station code, or ""
  WReport::Type type = WReport::NO_TYPE;
  WReport::FlightCategory category = WReport::UNKNOWN_CATEGORY;
  int weatherCount = 0;
  char weather[WReport::MAX_WEATHER][12] = {};  // the groups as coded
  int layerCount = 0;
  WReport::Layer layers[WReport::MAX_LAYERS] = {};
};

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

// The decoder's result type, reused from report to report by decodeText's
// callers.
using DecodedRecord = WReport;

// Fills `r` from the decoder's record. With decodeText, the one place that
// knows the decoder's entry point and result type.
void fillReading(const DecodedRecord& o, Reading& r) {
  double* v = r.values;
  v[kTemperature] = o.hasTemp ? asDecimal(o.temp) : kNaN;
  v[kDewPoint] = o.hasDewPoint ? asDecimal(o.dewPoint) : kNaN;
  v[kPressure] = o.hasPressure ? asDecimal(o.pressure) : kNaN;
  v[kAltimeterHpa] = o.hasAltimeterHpa ? asDecimal(o.altimeterHpa) : kNaN;
  v[kSeaLevelPressure] =
      o.hasSeaLevelPressure ? asDecimal(o.seaLevelPressure) : kNaN;
  r.windVariable = o.hasWind && o.windDirection == kVariable;
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

// Decodes one report text. `work` and `record` are the caller's, reused
// from report to report. Throws LEx(L_MEM) when memory runs out.
void decodeText(const char* s, size_t n, LString& work, DecodedRecord& record,
                Reading& out) {
  // A report is far shorter; a text over 2 GiB is read up to there.
  work.assign(s, static_cast<int>(std::min<size_t>(n, INT_MAX)));
  decodeReport(work, record);
  fillReading(record, out);
}

// The narrow reading (decodeObservation, which stops at the first group it
// does not know) of the text `work` holds, for decode(strict=True): its
// values replace those of `r`, a Reading of the complete reading of the
// same text, of which only the head (station, report type) is kept.
void narrowReading(const LString& work, Reading& r) {
  WObservation o;
  decodeObservation(work, o);
  double* v = r.values;
  for (int i = 0; i < kValueCount; ++i) v[i] = kNaN;
  v[kTemperature] = o.hasTemp ? asDecimal(o.temp) : kNaN;
  v[kDewPoint] = o.hasDewPoint ? asDecimal(o.dewPoint) : kNaN;
  v[kPressure] = o.hasPressure ? asDecimal(o.pressure) : kNaN;
  bool wind = o.hasWindDirection;
  r.windVariable = wind && o.windDirection == kVariable;
  v[kWindDirection] = wind && !r.windVariable ? o.windDirection : kNaN;
  bool range = wind && o.windVariableFrom != kVariable;
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

// ---------------------------------------------------------------------------
// Text values: the report type, the flight category, the weather and the
// sky. An Observation gives each as a Python value (None when absent); a
// decode_many column holds the coded text ('' when absent).

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

enum Text { kReportType, kFlightCategory, kWeather, kSky, kTextCount };

struct TextField {
  const char* name;
  // Writes the column text (63 characters at most: six layers of
  // "OVC012TCU") to `out`, returns its length.
  size_t (*text)(const Reading&, char* out);
  py::object (*value)(const Reading&);  // the Observation attribute
  const char* doc;
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

// ---------------------------------------------------------------------------
// Errors

PyObject* g_stratusError = nullptr;
PyObject* g_notFound = nullptr;
PyObject* g_connectError = nullptr;
PyObject* g_dataError = nullptr;

// Raises `cls` with the message "<what>: <result text>", carrying the
// library's result code as `code` and its catalogue text as `result`.
[[noreturn]] void raiseResult(PyObject* cls, int code,
                              const std::string& what) {
  const char* result = resultMessage(code);
  py::object e =
      py::reinterpret_borrow<py::object>(cls)(what + " (" + result + ")");
  e.attr("code") = code;
  e.attr("result") = result;
  PyErr_SetObject(cls, e.ptr());
  throw py::error_already_set();
}

// The exception class for a result code.
PyObject* classOf(int code) {
  switch (code) {
    case L_NOTFOUND:
      return g_notFound;
    case L_CONNECT:
      return g_connectError;
    case L_DB:
    case L_FORMAT:
    case L_OPEN:
    case L_INPUT:
      return g_dataError;
    default:
      return g_stratusError;
  }
}

// ---------------------------------------------------------------------------
// Observation

// The moment `seconds` as an aware datetime in UTC.
py::object utcDateTime(int64_t seconds) {
  py::module_ dt = py::module_::import("datetime");
  py::object utc = dt.attr("timezone").attr("utc");
  return dt.attr("datetime").attr("fromtimestamp")(seconds, utc);
}

struct Observation {
  Reading r;
};

py::object valueOf(const Reading& r, int i) {
  double v = r.values[i];
  if (std::isnan(v)) return py::none();
  if (kValueFields[i].whole) return py::int_(static_cast<long>(v));
  return py::float_(v);
}

std::string reprOf(const Observation& o) {
  const Reading& r = o.r;
  if (!r.decoded) {
    return r.station[0] ? std::string("Observation(station='") + r.station +
                              "', decoded=False)"
                        : "Observation(decoded=False)";
  }
  std::string s = "Observation(";
  const char* sep = "";
  if (r.station[0]) {
    s += std::string("station='") + r.station + "'";
    sep = ", ";
  }
  if (r.time != kNoTime) {
    time_t t = static_cast<time_t>(r.time);
    struct tm tm;
    gmtime_r(&t, &tm);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%stime=%04d-%02d-%02d %02d:%02dZ", sep,
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min);
    s += buf;
    sep = ", ";
  }
  if (r.windVariable) {
    s += std::string(sep) + "wind_variable=True";
    sep = ", ";
  }
  for (int i = 0; i < kValueCount; ++i) {
    if (std::isnan(r.values[i])) continue;
    s += std::string(sep) + kValueFields[i].name + "=" +
         py::str(valueOf(r, i)).cast<std::string>();
    sep = ", ";
  }
  for (const TextField& f : kTextFields) {
    char buf[64];
    if (f.text(r, buf) == 0) continue;
    s += std::string(sep) + f.name + "=" +
         py::repr(f.value(r)).cast<std::string>();
    sep = ", ";
  }
  return s + ")";
}

// What utf8Of names in its errors: "the report", or "item <index>".
std::string nameOf(long index) {
  return index < 0 ? "the report" : "item " + std::to_string(index);
}

// The UTF-8 text of a str, or a Python error naming the report by `index`
// (-1: a single report).
const char* utf8Of(PyObject* item, Py_ssize_t& n, long index) {
  if (!PyUnicode_Check(item)) {
    throw py::type_error(nameOf(index) + " is " + Py_TYPE(item)->tp_name +
                         ", not str");
  }
  const char* s = PyUnicode_AsUTF8AndSize(item, &n);
  if (s == nullptr) {
    PyErr_Clear();
    throw py::value_error(nameOf(index) +
                          " holds characters that UTF-8 cannot encode");
  }
  if (n > INT_MAX) throw py::value_error(nameOf(index) + " is too long");
  return s;
}

Observation decode(py::handle report, bool strict) {
  Py_ssize_t n = 0;
  const char* s = utf8Of(report.ptr(), n, -1);
  thread_local LString work;
  DecodedRecord record;
  Observation o;
  decodeText(s, static_cast<size_t>(n), work, record, o.r);
  if (strict) narrowReading(work, o.r);
  return o;
}

// ---------------------------------------------------------------------------
// decode_many

// The report texts to decode: pointers into Python strings or a NumPy
// array (kept alive by `keep`), or into `own` or `buffer`, which do not
// change once pointers into them are taken.
struct Texts {
  std::vector<const char*> data;
  std::vector<size_t> size;
  py::object keep;
  std::string own;
  std::unique_ptr<char[]> buffer;
};

// One report per line of the file at `path`; a CR before the LF is dropped,
// and the empty text behind a last line feed is not a line.
void readLines(const std::string& path, Texts& t) {
  std::string all;
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;  // as open() says of a folder
    PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
    throw py::error_already_set();
  }
  {
    py::gil_scoped_release nogil;
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream s;
      s << in.rdbuf();
      all = s.str();
    }
  }
  if (stat(path.c_str(), &st) != 0) {
    PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
    throw py::error_already_set();
  }
  t.own = std::move(all);
  const char* s = t.own.data();
  const size_t size = t.own.size();
  size_t at = 0;
  while (at < size) {
    const void* lf = std::memchr(s + at, '\n', size - at);
    size_t end =
        lf ? static_cast<size_t>(static_cast<const char*>(lf) - s) : size;
    size_t n = end - at;
    if (n > 0 && s[at + n - 1] == '\r') --n;
    t.data.push_back(s + at);
    t.size.push_back(n);
    at = end + 1;
  }
}

// The strings of a one-dimensional NumPy array of kind 'S' (bytes, padded
// with NULs) or 'U' (UTF-32, padded with NULs; turned into UTF-8).
void readStringArray(const py::array& a, Texts& t) {
  if (a.ndim() != 1) throw py::value_error("the array must be one-dimensional");
  const char kind = a.dtype().kind();
  const size_t item = static_cast<size_t>(a.itemsize());
  const size_t n = static_cast<size_t>(a.shape(0));
  const ssize_t stride = a.strides(0);
  const char* base = static_cast<const char*>(a.data());
  t.data.reserve(n);
  t.size.reserve(n);
  if (kind == 'S') {
    for (size_t i = 0; i < n; ++i) {
      const char* p = base + static_cast<ssize_t>(i) * stride;
      t.data.push_back(p);
      t.size.push_back(strnlen(p, item));
    }
    t.keep = a;
    return;
  }
  // A character takes at most 4 bytes in UTF-8, as in UTF-32. The buffer
  // is not cleared: only the part written is ever touched.
  t.buffer.reset(new char[n * item + 1]);
  char* out = t.buffer.get();
  for (size_t i = 0; i < n; ++i) {
    const char* p = base + static_cast<ssize_t>(i) * stride;
    char* start = out;
    if (i + 2 < n)  // the reads jump from item to item: ask ahead
      for (size_t line = 0; line < item && line < 512; line += 64)
        __builtin_prefetch(p + 2 * stride + static_cast<ssize_t>(line));
    for (size_t k = 0; k + 4 <= item; k += 4) {
      uint32_t c;
      std::memcpy(&c, p + k, 4);
      if (c == 0) break;
      if (c < 0x80) {
        *out++ = static_cast<char>(c);
      } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
      } else if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
        // As for a str in a list: a lone surrogate (or a value past
        // Unicode) is no character UTF-8 can hold.
        throw py::value_error("item " + std::to_string(i) +
                              " holds characters that UTF-8 cannot encode");
      } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
      } else {
        *out++ = static_cast<char>(0xF0 | ((c >> 18) & 0x07));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    t.data.push_back(start);
    t.size.push_back(static_cast<size_t>(out - start));
  }
}

// The strings of any iterable of str; a non-str item is a TypeError that
// names its index. The items are first gathered into a tuple, which keeps
// them alive while the GIL is released, whatever happens to `reports`.
void readIterable(py::handle reports, Texts& t) {
  py::tuple items =
      py::reinterpret_steal<py::tuple>(PySequence_Tuple(reports.ptr()));
  if (!items) throw py::error_already_set();
  const size_t n = static_cast<size_t>(PyTuple_GET_SIZE(items.ptr()));
  t.data.reserve(n);
  t.size.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    Py_ssize_t len = 0;
    PyObject* item = PyTuple_GET_ITEM(items.ptr(), static_cast<Py_ssize_t>(i));
    t.data.push_back(utf8Of(item, len, static_cast<long>(i)));
    t.size.push_back(static_cast<size_t>(len));
  }
  t.keep = std::move(items);
}

// The text columns of decode_many: the texts are gathered without the
// GIL, one after the other, then handed out as object arrays of str, one
// str per distinct text (a column of a few thousand distinct sky
// conditions holds a few thousand strings, not one per report).
class TextColumns {
 public:
  explicit TextColumns(ssize_t n) {
    for (int f = 0; f < kTextCount; ++f) {
      ends_[f].reserve(static_cast<size_t>(n));
      all_[f].reserve(static_cast<size_t>(n) * 8);
    }
  }

  // Adds one report's texts; needs no GIL.
  void add(const Reading& r) {
    for (int f = 0; f < kTextCount; ++f) {
      char buf[64];
      all_[f].append(buf, kTextFields[f].text(r, buf));
      ends_[f].push_back(all_[f].size());
    }
  }

  // The column of field `f` as a NumPy array of str ('' when none).
  py::array column(int f) const {
    const size_t n = ends_[f].size();
    py::array out(py::dtype("O"),
                  std::vector<ssize_t>{static_cast<ssize_t>(n)});
    auto** slot = static_cast<PyObject**>(out.mutable_data());
    std::unordered_map<std::string_view, py::str> distinct;
    py::str empty("");
    size_t start = 0;
    for (size_t k = 0; k < n; ++k) {
      const size_t end = ends_[f][k];
      py::handle value = empty;
      if (end > start) {
        std::string_view text(all_[f].data() + start, end - start);
        auto it = distinct.find(text);
        if (it == distinct.end())
          it = distinct.emplace(text, py::str(text.data(), text.size())).first;
        value = it->second;
      }
      Py_XDECREF(slot[k]);
      slot[k] = value.inc_ref().ptr();
      start = end;
    }
    return out;
  }

 private:
  std::string all_[kTextCount];           // the texts, one after the other
  std::vector<size_t> ends_[kTextCount];  // where each report's text ends
};

bool isStringArray(py::handle h) {
  if (!py::isinstance<py::array>(h)) return false;
  char kind = py::reinterpret_borrow<py::array>(h).dtype().kind();
  return kind == 'U' || kind == 'S';
}

bool isPathLike(py::handle h) {
  return PyUnicode_Check(h.ptr()) || py::hasattr(h, "__fspath__");
}

py::object decodeMany(py::handle reports, bool pandas) {
  Texts t;
  if (isPathLike(reports)) {
    std::string path =
        py::str(py::module_::import("os").attr("fspath")(reports));
    readLines(path, t);
  } else if (isStringArray(reports)) {
    readStringArray(py::reinterpret_borrow<py::array>(reports), t);
  } else {
    readIterable(reports, t);
  }

  const ssize_t n = static_cast<ssize_t>(t.data.size());
  py::array_t<double> columns[kValueCount];
  double* out[kValueCount];
  for (int i = 0; i < kValueCount; ++i) {
    columns[i] = py::array_t<double>(n);
    out[i] = columns[i].mutable_data();
  }
  TextColumns texts(n);
  py::array times(py::dtype("datetime64[s]"), std::vector<ssize_t>{n});
  py::array_t<bool> decoded(n), variable(n);
  py::array stations(py::dtype("<U4"), std::vector<ssize_t>{n});
  auto* timeOut = static_cast<int64_t*>(times.mutable_data());
  bool* decodedOut = decoded.mutable_data();
  bool* variableOut = variable.mutable_data();
  auto* stationOut = static_cast<uint32_t*>(stations.mutable_data());
  {
    py::gil_scoped_release nogil;
    LString work;
    DecodedRecord record;
    Reading r;
    for (ssize_t k = 0; k < n; ++k) {
      decodeText(t.data[k], t.size[k], work, record, r);
      for (int i = 0; i < kValueCount; ++i) out[i][k] = r.values[i];
      timeOut[k] = r.time;
      decodedOut[k] = r.decoded;
      variableOut[k] = r.windVariable;
      for (int c = 0; c < 4; ++c)
        stationOut[4 * k + c] = static_cast<unsigned char>(r.station[c]);
      texts.add(r);
    }
  }
  py::dict result;
  result["station"] = stations;
  result["time"] = times;
  result["decoded"] = decoded;
  for (int i = 0; i < kValueCount; ++i)
    result[kValueFields[i].name] = columns[i];
  result["wind_variable"] = variable;
  for (int f = 0; f < kTextCount; ++f)
    result[kTextFields[f].name] = texts.column(f);
  if (pandas) return py::module_::import("pandas").attr("DataFrame")(result);
  return std::move(result);
}

// ---------------------------------------------------------------------------
// Places

// The folder of this module's file, resolved; "" when unknown.
std::string moduleFolder() {
  static const int anchor = 0;
  Dl_info info;
  if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return "";
  char buf[PATH_MAX];
  if (realpath(info.dli_fname, buf) == nullptr) return "";
  std::string path(buf);
  return path.substr(0, path.find_last_of('/'));
}

std::string resolved(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

#ifdef STRATUS_PY_DATA_FROM_MODULE
bool isFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
#endif

// The US data set: the source tree's for the module in the build tree;
// beside the installed module (the prefix's share/stratus/us); else the
// folder of the configured install prefix.
std::string defaultDataFolder() {
  std::string here = moduleFolder();
  if (!here.empty() && here == resolved(STRATUS_PY_BUILD_DIR))
    return STRATUS_PY_SOURCE_DATA_DIR;
#ifdef STRATUS_PY_DATA_FROM_MODULE
  std::string relocated = here + "/" + STRATUS_PY_DATA_FROM_MODULE;
  if (!here.empty() && isFolder(relocated)) return resolved(relocated);
#endif
  return STRATUS_PY_INSTALLED_DATA_DIR;
}

std::string lowerAscii(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trimmed(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

struct State {
  unsigned id = 0;
  std::string name;       // "Iowa"
  std::string shortName;  // "ia"
};

struct City {
  unsigned id = 0;
  unsigned stateId = 0;
  std::string name;
  std::string state;      // short name of the state, "ia"
  std::string stateName;  // "Iowa"
  std::string data;       // the city data string

  // The value of `key` in the data string, or None.
  py::object dataValue(const char* key) const {
    LString value;
    if (WCity::getDataToken(LString(data.c_str()), LString(key), value) != L_OK)
      return py::none();
    return py::str(value.c_str());
  }

  WLocation location() const {
    WLocation l;
    l.setCountry(1);
    l.setState(stateId);
    l.setCity(id);
    l.setCityData(LString(data.c_str()));
    l.setName(LString((name + ", " + stateName + ", United States").c_str()));
    l.setShortState(LString(state.c_str()));
    l.setValid(true);
    return l;
  }
};

std::string str(const LString& s) { return std::string(s.c_str(), s.length()); }

// The location database on one folder. Each instance has its own
// database object, used with the GIL held, so instances never meet.
class Places {
 public:
  explicit Places(py::object dataDir)
      : dir_(folderOf(dataDir)), db_(LString(dir_.c_str())) {
    LVector<WState> list;
    if (db_.getStateList(1, list) != 0)
      raiseResult(g_dataError, L_OPEN,
                  "cannot read the location data in " + dir_);
  }

  const std::string& dataDir() const { return dir_; }

  std::vector<State> states() {
    LVector<WState> list;
    if (db_.getStateList(1, list) != 0)
      raiseResult(g_dataError, L_OPEN, "cannot read states.ldt in " + dir_);
    std::vector<State> out;
    for (unsigned i = 0; i < list.getSize(); ++i) {
      const WState& s = list[i];
      out.push_back({s.getId(), str(s.getName()), str(s.getData())});
    }
    return out;
  }

  // The state given by id, short name or full name (any case), or a State.
  State state(py::handle which) {
    std::vector<State> all = states();
    if (py::isinstance<State>(which) || PyLong_Check(which.ptr())) {
      long id = py::isinstance<State>(which)
                    ? static_cast<long>(which.cast<const State&>().id)
                    : which.cast<long>();
      for (const State& s : all)
        if (static_cast<long>(s.id) == id) return s;
      raiseResult(g_notFound, L_NOTFOUND, "no state " + std::to_string(id));
    }
    if (!PyUnicode_Check(which.ptr()))
      throw py::type_error("a state is an id, a name or a State");
    std::string wanted = lowerAscii(trimmed(which.cast<std::string>()));
    for (const State& s : all)
      if (lowerAscii(s.shortName) == wanted || lowerAscii(s.name) == wanted)
        return s;
    raiseResult(g_notFound, L_NOTFOUND, "no state '" + wanted + "'");
  }

  std::vector<City> cities(py::handle which) { return citiesOf(state(which)); }

  City city(py::handle which, unsigned id) {
    State s = state(which);
    WCity c;
    if (db_.getCity(id, c) != 0 || c.getStateId() != s.id)
      raiseResult(g_notFound, L_NOTFOUND,
                  "no city " + std::to_string(id) + " in " + s.name);
    return cityOf(c, s);
  }

  // Cities whose name holds `text` (any case), in every state; "name, ST"
  // looks in that state only.
  std::vector<City> find(const std::string& text) {
    std::string name = text;
    std::vector<State> in = states();
    size_t comma = text.rfind(',');
    if (comma != std::string::npos) {
      name = text.substr(0, comma);
      in = {state(py::str(trimmed(text.substr(comma + 1))))};
    }
    std::string wanted = lowerAscii(trimmed(name));
    std::vector<City> out;
    for (const State& s : in)
      for (City& c : citiesOf(s))
        if (lowerAscii(c.name).find(wanted) != std::string::npos)
          out.push_back(std::move(c));
    return out;
  }

 private:
  static std::string folderOf(py::object dataDir) {
    if (dataDir.is_none()) return defaultDataFolder();
    return py::str(py::module_::import("os").attr("fspath")(dataDir));
  }

  static City cityOf(const WCity& c, const State& s) {
    City out;
    out.id = c.getId();
    out.stateId = s.id;
    out.name = str(c.getName());
    out.state = s.shortName;
    out.stateName = s.name;
    out.data = str(c.getData());
    return out;
  }

  std::vector<City> citiesOf(const State& s) {
    LVector<WCity> list;
    if (db_.getCityList(1, s.id, list) != 0)
      raiseResult(g_dataError, L_OPEN, "cannot read cities.ldt in " + dir_);
    std::vector<City> out;
    out.reserve(static_cast<size_t>(list.getSize()));
    for (unsigned i = 0; i < list.getSize(); ++i)
      out.push_back(cityOf(list[i], s));
    return out;
  }

  std::string dir_;
  WLocationDB db_;
};

// ---------------------------------------------------------------------------
// Reader

const char* const kSection = "Internet";
const char* const kSettingKeys[] = {"UseProxy", "ProxyLocation",
                                    "ConditionsBase", "WarningsBase"};

// Settings kept in memory, section "Internet" only.
class DictKeeper : public LKeeper {
 public:
  bool isPresent(const LString& section, const LString& key, int) override {
    return section == kSection && values_.count(key.str()) != 0;
  }
  int readInt(const LString& section, const LString& key, int& value,
              int) override {
    std::string s;
    if (!get(section, key, s)) return 1;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str()) return 1;
    value = static_cast<int>(v);
    return 0;
  }
  int readString(const LString& section, const LString& key, LString& value,
                 int) override {
    std::string s;
    if (!get(section, key, s)) return 1;
    value = LString(s.c_str(), static_cast<int>(s.size()));
    return 0;
  }
  int storeInt(const LString& section, const LString& key, int value,
               int) override {
    if (section != kSection) return 1;
    values_[key.str()] = std::to_string(value);
    return 0;
  }
  int storeString(const LString& section, const LString& key,
                  const LString& value, int) override {
    if (section != kSection) return 1;
    values_[key.str()] = value.str();
    return 0;
  }

  std::map<std::string, std::string>& values() { return values_; }

 private:
  bool get(const LString& section, const LString& key, std::string& out) {
    if (section != kSection) return false;
    auto it = values_.find(key.str());
    if (it == values_.end()) return false;
    out = it->second;
    return true;
  }

  std::map<std::string, std::string> values_;
};

// Passes the reader's messages to a Python callable. The reader calls it
// with the GIL released, so it takes the GIL for the call. An exception of
// the callable is kept and raised when the reader's call returns.
class CallbackInfoLine : public LInfoLine {
 public:
  explicit CallbackInfoLine(py::object callback)
      : callback_(std::move(callback)) {}

  void show(const LString& message) override {
    if (callback_.is_none()) return;
    py::gil_scoped_acquire gil;
    if (error_) return;
    try {
      callback_(py::str(message.c_str()));
    } catch (py::error_already_set& e) {
      error_.reset(new py::error_already_set(std::move(e)));
    }
  }
  void endProgress() override {}

  // Raises the callable's exception, if any, and forgets it. GIL held.
  void raiseKept() {
    if (!error_) return;
    std::unique_ptr<py::error_already_set> e = std::move(error_);
    e->restore();
    throw py::error_already_set();
  }

 private:
  py::object callback_;
  std::unique_ptr<py::error_already_set> error_;
};

class Reader {
 public:
  Reader(py::object settings, py::object progress)
      : info_(std::move(progress)), reader_(&info_) {
    if (!settings.is_none()) {
      for (auto item : py::dict(settings)) {
        std::string key = py::str(item.first);
        bool known = false;
        for (const char* k : kSettingKeys) known = known || key == k;
        if (!known)
          throw py::key_error("unknown setting '" + key +
                              "' (UseProxy, ProxyLocation, ConditionsBase, "
                              "WarningsBase)");
        py::handle v = item.second;
        std::string value = PyBool_Check(v.ptr())
                                ? std::string(v.ptr() == Py_True ? "1" : "0")
                                : std::string(py::str(v));
        // The reader fetches only web URLs; said here rather than as a
        // ConnectError at the first fetch.
        if ((key == "ConditionsBase" || key == "WarningsBase") &&
            strncasecmp(value.c_str(), "http://", 7) != 0 &&
            strncasecmp(value.c_str(), "https://", 8) != 0)
          throw py::value_error(key +
                                " must be an http:// or https:// URL, "
                                "not '" +
                                value + "'");
        keeper_.values()[key] = value;
      }
    }
    reader_.SetKeeper(&keeper_);
  }

  py::dict settings() {
    py::dict out;
    for (const char* k : kSettingKeys) {
      const std::string& v = keeper_.values()[k];
      if (std::string(k) == "UseProxy")
        out[k] = py::int_(std::strtol(v.c_str(), nullptr, 10));
      else
        out[k] = v;
    }
    return out;
  }

  Observation conditions(const City& city) {
    WLocation where = city.location();
    WCondition c;
    // Values the report cannot give, to tell which fields the read wrote.
    const float unset = std::numeric_limits<float>::quiet_NaN();
    const int unsetInt = std::numeric_limits<int>::min();
    const long unsetTime = -1;
    c.setTemp(unset);
    c.setDewPoint(unset);
    c.setPressure(unset);
    c.setWindDirection(unsetInt);
    c.setWindSpeed(unsetInt);
    c.setWindGustSpeed(unsetInt);
    c.setTime(LCTime(unsetTime, LTime::UTC));
    int rc = call([&] { return reader_.getCondition(where, c); });
    if (rc != L_OK) fail(rc, "current conditions for " + label(city));
    Observation o;
    Reading& r = o.r;
    for (double& v : r.values) v = kNaN;
    float t = c.getTemp(), d = c.getDewPoint(), p = c.getPressure();
    if (!std::isnan(t)) r.values[kTemperature] = asDecimal(t);
    if (!std::isnan(d)) r.values[kDewPoint] = asDecimal(d);
    if (!std::isnan(p)) r.values[kPressure] = asDecimal(p);
    int dir = c.getWindDirection();
    r.windVariable = dir == kVariable;
    if (dir != unsetInt && dir != kVariable) r.values[kWindDirection] = dir;
    if (c.getWindSpeed() != unsetInt) r.values[kWindSpeed] = c.getWindSpeed();
    if (c.getWindGustSpeed() >= 0) r.values[kGust] = c.getWindGustSpeed();
    long when = c.getTime().GetCalendarTime();
    r.time = when == unsetTime ? kNoTime : when;
    r.decoded = !std::isnan(t) || !std::isnan(p) || dir != unsetInt ||
                r.time != kNoTime;
    std::string code = city.dataValue("acode").is_none()
                           ? ""
                           : city.dataValue("acode").cast<std::string>();
    std::snprintf(r.station, sizeof r.station, "%.4s", code.c_str());
    return o;
  }

  // One text product; "" when the page holds nothing for the city.
  py::str product(const City& city, const char* name,
                  int (WReader::*get)(const WLocation&, LString&)) {
    WLocation where = city.location();
    LString text;
    int rc = call([&] { return (reader_.*get)(where, text); });
    if (rc == L_INPUT) return py::str("");
    if (rc != L_OK) fail(rc, std::string(name) + " for " + label(city));
    std::string s = str(text);
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i)
      if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
    // Pages are not always UTF-8: a byte that is not becomes U+FFFD.
    return py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(
        out.data(), static_cast<Py_ssize_t>(out.size()), "replace"));
  }

 private:
  static std::string label(const City& c) { return c.name + ", " + c.state; }

  // Runs a reader call with the GIL released, one call at a time.
  template <typename F>
  int call(F f) {
    int rc;
    {
      py::gil_scoped_release nogil;
      std::lock_guard<std::mutex> lock(busy_);
      rc = f();
    }
    info_.raiseKept();
    return rc;
  }

  [[noreturn]] void fail(int rc, const std::string& what) {
    raiseResult(classOf(rc), rc, what);
  }

  CallbackInfoLine info_;
  DictKeeper keeper_;
  WReader reader_;
  std::mutex busy_;
};

// ---------------------------------------------------------------------------
// Units

// The conversions compute in single precision; the result is handed out as
// the shortest decimal that gives the same float (1.2, not
// 1.2000000476837158).
double shortest(float v) {
  if (!std::isfinite(v)) return v;
  char buf[32];
  // Six digits give any shorter decimal too, with zeros behind it.
  for (int digits = 6; digits <= 9; ++digits) {
    std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(v));
    if (std::strtof(buf, nullptr) == v) return std::strtod(buf, nullptr);
  }
  return v;
}

}  // namespace

PYBIND11_MODULE(stratus, m) {
  m.doc() =
      "Weather data from libstratus: observation reports decoded one at a "
      "time (decode) or many at once into NumPy arrays (decode_many), the US "
      "location database (Places), current conditions and text products "
      "(Reader), and unit conversions.";
  m.attr("__version__") = STRATUS_VERSION_STRING;
  // Every docstring begins with its signature in Python's own types.
  py::options options;
  options.disable_function_signatures();

  // Errors.
  g_stratusError = PyErr_NewExceptionWithDoc(
      "stratus.StratusError",
      "A failure of the library. `code` is the library's result code (an "
      "int), `result` its catalogue text.",
      PyExc_Exception, nullptr);
  py::object base = py::reinterpret_borrow<py::object>(g_stratusError);
  g_notFound = PyErr_NewExceptionWithDoc(
      "stratus.NotFound", "Something asked for is not there (L_NOTFOUND).",
      py::make_tuple(base,
                     py::reinterpret_borrow<py::object>(PyExc_LookupError))
          .release()
          .ptr(),
      nullptr);
  g_connectError = PyErr_NewExceptionWithDoc(
      "stratus.ConnectError",
      "A page could not be fetched: no connection, or an HTTP status other "
      "than 200 (L_CONNECT).",
      g_stratusError, nullptr);
  g_dataError = PyErr_NewExceptionWithDoc(
      "stratus.DataError",
      "Data that could not be read or used: the location files, a city "
      "without a station code (L_OPEN, L_DB, ...).",
      g_stratusError, nullptr);
  m.attr("StratusError") = base;
  m.attr("NotFound") = py::reinterpret_borrow<py::object>(g_notFound);
  m.attr("ConnectError") = py::reinterpret_borrow<py::object>(g_connectError);
  m.attr("DataError") = py::reinterpret_borrow<py::object>(g_dataError);
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const LEx& e) {
      if (e.getId() == L_MEM) {
        PyErr_NoMemory();
        return;
      }
      try {
        raiseResult(classOf(e.getId()), e.getId(), "the library failed");
      } catch (py::error_already_set& set) {
        set.restore();
      }
    }
  });

  // Observation.
  py::class_<Observation> obs(
      m, "Observation",
      "One decoded report. Each value is None where the report did not give "
      "it (weather and sky: empty lists); units are in the names.");
  obs.def_property_readonly(
      "decoded", [](const Observation& o) { return o.r.decoded; },
      "True when at least one group of the observation was read with a "
      "value (time, wind, visibility, runway visual range, weather, sky, "
      "temperature or dew point, altimeter, sea-level pressure); the head "
      "alone (station, report type, COR, AUTO), groups coded as missing or "
      "out of range, and a NIL report are not an observation: \"KEWR\", "
      "\"METAR KEWR\", \"SPECI\" and \"METAR COR KEWR\" give False.");
  obs.def_property_readonly(
      "station",
      [](const Observation& o) -> py::object {
        if (!o.r.station[0]) return py::none();
        return py::str(o.r.station);
      },
      "The station code the report begins with (\"KDSM\"), or None.");
  obs.def_property_readonly(
      "time",
      [](const Observation& o) -> py::object {
        if (o.r.time == kNoTime) return py::none();
        return utcDateTime(o.r.time);
      },
      "The report time as an aware datetime in UTC, placed in the current "
      "month or the one before; None when not decoded.");
  obs.def_property_readonly(
      "wind_variable", [](const Observation& o) { return o.r.windVariable; },
      "True when the wind direction is reported as variable (\"VRB\").");
  for (int i = 0; i < kValueCount; ++i) {
    obs.def_property_readonly(
        kValueFields[i].name,
        [i](const Observation& o) { return valueOf(o.r, i); },
        kValueFields[i].doc);
  }
  for (const TextField& f : kTextFields) {
    auto value = f.value;
    obs.def_property_readonly(
        f.name, [value](const Observation& o) { return value(o.r); }, f.doc);
  }
  obs.def(
      "as_dict",
      [](const Observation& o) {
        py::dict d;
        d["station"] = o.r.station[0] ? py::object(py::str(o.r.station))
                                      : py::object(py::none());
        d["time"] = o.r.time == kNoTime ? py::object(py::none())
                                        : utcDateTime(o.r.time);
        d["decoded"] = o.r.decoded;
        for (int i = 0; i < kValueCount; ++i)
          d[kValueFields[i].name] = valueOf(o.r, i);
        d["wind_variable"] = o.r.windVariable;
        for (const TextField& f : kTextFields) d[f.name] = f.value(o.r);
        return d;
      },
      "as_dict() -> dict[str, object]\n\nThe attributes as a dict, keyed as "
      "decode_many's columns.");
  obs.def("__repr__", &reprOf);

  m.def("decode", &decode, py::arg("report"), py::kw_only(),
        py::arg("strict") = false,
        "decode(report: str, *, strict: bool = False) -> Observation\n\n"
        "Decodes one METAR/SPECI report, US or international coding, with "
        "or without the leading \"METAR\"/\"SPECI\", completely: each "
        "group of the body is recognised wherever it stands and one the "
        "decoder does not know is skipped; of the remarks, the tenths of the "
        "temperature (\"T10441061\"), the sea-level pressure and the "
        "station type are read. strict=True gives the narrow reading "
        "instead, which stops at the first group it does not know and reads "
        "only time, wind, temperature, dew point and altimeter (the other "
        "values None). Never raises for what the text holds: a text "
        "holding no observation gives an Observation with decoded == False. "
        "TypeError when `report` is not a str; ValueError when it holds "
        "characters UTF-8 cannot encode (lone surrogates).");
  m.def("decode_many", &decodeMany, py::arg("reports"), py::kw_only(),
        py::arg("pandas") = false,
        "decode_many(reports, *, pandas=False) -> dict[str, numpy.ndarray]\n\n"
        "Decodes many reports with the GIL released, one row per report. "
        "`reports` is an iterable of str, a NumPy string array, or the path "
        "of a text file (str or os.PathLike) with one report per line. "
        "Columns: station (<U4, '' when none), time (datetime64[s] UTC, NaT "
        "when missing), decoded (bool), the numeric values of Observation as "
        "float64 (NaN when missing), wind_variable (bool), and report_type, "
        "flight_category, weather and sky as object arrays of str ('' when "
        "none; weather \"-SN BR\", sky \"FEW008 OVC012CB\"). "
        "pandas=True "
        "returns a pandas.DataFrame of the same columns (pandas must be "
        "installed). TypeError names the index of a non-str item, "
        "ValueError that of an item with characters UTF-8 cannot encode; "
        "a path that cannot be read raises OSError (FileNotFoundError, "
        "IsADirectoryError, ...).");

  // Places.
  py::class_<State>(m, "State", "A state of the location data.")
      .def_readonly("id", &State::id, "The state's id (19 for Iowa).")
      .def_readonly("name", &State::name, "Full name (\"Iowa\").")
      .def_readonly("short_name", &State::shortName,
                    "Short name as in product URLs (\"ia\").")
      .def("__repr__", [](const State& s) {
        return "State(id=" + std::to_string(s.id) + ", name='" + s.name +
               "', short_name='" + s.shortName + "')";
      });
  py::class_<City>(m, "City", "A city of the location data.")
      .def_readonly("id", &City::id, "The city's id (1921000).")
      .def_readonly("state_id", &City::stateId, "The id of its state.")
      .def_readonly("name", &City::name, "The city's name (\"Des Moines\").")
      .def_readonly("state", &City::state,
                    "The short name of its state (\"ia\").")
      .def_readonly("data", &City::data,
                    "The city data string, key(value) entries.")
      .def_property_readonly(
          "zone", [](const City& c) { return c.dataValue("azone"); },
          "The forecast zone (\"IAZ060\"), or None.")
      .def_property_readonly(
          "code", [](const City& c) { return c.dataValue("acode"); },
          "The station code of its conditions (\"KDSM\"), or None.")
      .def_property_readonly(
          "county", [](const City& c) { return c.dataValue("acounty"); },
          "The county, where the data set gives it; else None.")
      .def_property_readonly(
          "office", [](const City& c) { return c.dataValue("aoffice"); },
          "The forecast office, where the data set gives it; else None.")
      .def("__repr__", [](const City& c) {
        return "City(id=" + std::to_string(c.id) + ", name='" + c.name +
               "', state='" + c.state + "', data='" + c.data + "')";
      });
  py::class_<Places>(m, "Places",
                     "The location database on a folder of the four .ldt "
                     "files.")
      .def(py::init<py::object>(), py::arg("data_dir") = py::none(),
           "Places(data_dir=None): the data in `data_dir` (str or "
           "os.PathLike); None: the bundled US data. DataError when its "
           "states cannot be read.")
      .def_property_readonly("data_dir", &Places::dataDir,
                             "The folder of the data files.")
      .def("states", &Places::states, "states() -> list[State], file order.")
      .def("state", &Places::state, py::arg("state"),
           "state(state) -> State: by id, short or full name (any case). "
           "NotFound when there is none.")
      .def("cities", &Places::cities, py::arg("state"),
           "cities(state) -> list[City]: the cities of a state (id, name or "
           "State), file order. NotFound for an unknown state.")
      .def("city", &Places::city, py::arg("state"), py::arg("id"),
           "city(state, id) -> City. NotFound when the state has no city "
           "with that id.")
      .def("find", &Places::find, py::arg("text"),
           "find(text) -> list[City]: cities whose name contains `text`, "
           "any case, in every state; \"name, ST\" looks in one state.");

  // Reader.
  py::class_<Reader> reader(m, "Reader",
                            "Current conditions and text products of a "
                            "city, fetched over HTTP.");
  reader
      .def(py::init<py::object, py::object>(), py::arg("settings") = py::none(),
           py::arg("progress") = py::none(),
           "Reader(settings=None, progress=None). `settings`: a dict of "
           "UseProxy, ProxyLocation, ConditionsBase, WarningsBase; the "
           "missing ones take their defaults (the local sample server); "
           "KeyError for another key, ValueError for a base that is not "
           "an http:// or https:// URL. `progress`: a callable given each "
           "status message (str).")
      .def_property_readonly("settings", &Reader::settings,
                             "The four settings, defaults filled in.")
      .def("conditions", &Reader::conditions, py::arg("city"),
           "conditions(city) -> Observation: the current conditions at the "
           "city's station. ConnectError when the page cannot be fetched, "
           "DataError when the city has no station code, StratusError when "
           "the report cannot be decoded.");
  struct Product {
    const char* name;
    int (WReader::*get)(const WLocation&, LString&);
  };
  static const Product products[] = {
      {"forecast", &WReader::getForecast},
      {"warnings", &WReader::getWarnings},
      {"watches", &WReader::getWatches},
      {"statements", &WReader::getStatements},
      {"public", &WReader::getPublic},
      {"discussion", &WReader::getDiscussion},
      {"summary", &WReader::getSummary},
  };
  for (const Product& p : products) {
    std::string doc = std::string(p.name) +
                      "(city) -> str: the city's section of the product, "
                      "lines ending in \\n; '' when the page holds nothing "
                      "for the city. ConnectError when the page cannot be "
                      "fetched, NotFound when the city data lacks its zone "
                      "or code.";
    reader.def(
        p.name,
        [p](Reader& r, const City& c) { return r.product(c, p.name, p.get); },
        py::arg("city"), doc.c_str());
  }

  // Units.
  m.def(
      "knots_to_mph",
      [](long knots) {
        if (knots < 0) throw py::value_error("knots must not be negative");
        unsigned k = knots > static_cast<long>(UINT_MAX)
                         ? UINT_MAX
                         : static_cast<unsigned>(knots);
        return shortest(knots2MPH(k));
      },
      py::arg("knots"),
      "knots_to_mph(knots: int) -> float\n\n"
      "Whole knots to miles per hour, by table (0..209); 999.99 above.");
  m.def(
      "mph_to_kmh", [](float v) { return shortest(MPH2KMPH(v)); },
      py::arg("mph"),
      "mph_to_kmh(mph: float) -> float\n\n"
      "Miles per hour to kilometres per hour.");
  m.def(
      "kmh_to_mph", [](float v) { return shortest(KMPH2MPH(v)); },
      py::arg("kmh"),
      "kmh_to_mph(kmh: float) -> float\n\n"
      "Kilometres per hour to miles per hour.");
  m.def(
      "inhg_to_mmhg", [](float v) { return shortest(INHG2MMHG(v)); },
      py::arg("inhg"),
      "inhg_to_mmhg(inhg: float) -> float\n\n"
      "Inches of mercury to millimetres of mercury.");
  m.def(
      "inhg_to_hpa", [](float v) { return shortest(INHG2HPA(v)); },
      py::arg("inhg"),
      "inhg_to_hpa(inhg: float) -> float\n\n"
      "Inches of mercury to hectopascals.");
  m.def(
      "c_to_f", [](float v) { return shortest(C2F(v)); }, py::arg("celsius"),
      "c_to_f(celsius: float) -> float\n\n"
      "Degrees Celsius to degrees Fahrenheit.");
  m.def(
      "f_to_c", [](float v) { return shortest(F2C(v)); }, py::arg("fahrenheit"),
      "f_to_c(fahrenheit: float) -> float\n\n"
      "Degrees Fahrenheit to degrees Celsius.");
}
