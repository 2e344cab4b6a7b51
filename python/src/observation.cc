// Observation and decode: one report decoded at a time.
#include <time.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "bindings.h"

namespace stratus_py {

namespace {

// A decoded report as Python sees it. Its type is local to this file: a
// type name with internal linkage makes pybind11's look-up of the type of
// each returned object a pointer comparison, not a string comparison (8% of
// a decode() call).
struct Observation {
  Reading r;
};

// The moment `seconds` as an aware datetime in UTC.
py::object utcDateTime(int64_t seconds) {
  py::module_ dt = py::module_::import("datetime");
  py::object utc = dt.attr("timezone").attr("utc");
  return dt.attr("datetime").attr("fromtimestamp")(seconds, utc);
}

py::object stationOf(const Reading& r) {
  if (!r.station[0]) return py::none();
  return py::str(r.station);
}

py::object timeOf(const Reading& r) {
  if (r.time == kNoTime) return py::none();
  return utcDateTime(r.time);
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

// What reportText names in its errors.
std::string nameOf(long index) {
  return index < 0 ? "the report" : "item " + std::to_string(index);
}

// Where the first line end (CR or LF) of `s` is; `n` when none. Reports are
// short and hold none: eight bytes are tested at a time (a byte of x is zero
// where (x - 0x01..) & ~x & 0x80.. has its top bit), which keeps the check
// a small part of a decode.
size_t lineEnd(const char* s, size_t n) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kTops = 0x8080808080808080ULL;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, s + i, 8);
    const uint64_t lf = w ^ (kOnes * '\n'), cr = w ^ (kOnes * '\r');
    if (((lf - kOnes) & ~lf & kTops) | ((cr - kOnes) & ~cr & kTops)) break;
  }
  for (; i < n; ++i)
    if (s[i] == '\n' || s[i] == '\r') return i;
  return n;
}

bool blankOrLineEnds(const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (s[i] != '\r' && s[i] != '\n' && s[i] != ' ' && s[i] != '\t')
      return false;
  return true;
}

py::object decode(py::handle report, bool strict) {
  Py_ssize_t n = 0;
  const char* s = reportText(report.ptr(), n, -1);
  thread_local LString work;
  WReport record;
  Reading r;
  decodeText(s, static_cast<size_t>(n), work, record, r);
  if (strict) {
    WObservation narrow;
    decodeObservation(work, narrow);
    narrowReading(narrow, r);
  }
  return observationOf(r);
}

}  // namespace

py::object observationOf(const Reading& r) {
  // The registered type, looked up once: the look-up by type name took a
  // tenth of a decode() call.
  static const py::detail::type_info* type =
      py::detail::get_type_info(typeid(Observation));
  Observation o{r};
  return py::reinterpret_steal<py::object>(
      py::detail::type_caster_generic::cast(
          &o, py::return_value_policy::move, py::handle(), type, nullptr,
          [](const void* p) -> void* {
            return new Observation(*static_cast<const Observation*>(p));
          }));
}

size_t reportLength(const char* s, size_t n, long index) {
  const size_t end = lineEnd(s, n);
  if (end == n) return n;
  // One report is one line: what follows a line end would otherwise lend
  // its groups to this report.
  if (!blankOrLineEnds(s + end, n - end))
    throw py::value_error(nameOf(index) +
                          " holds more than one line (a report is one "
                          "line; decode_many reads a file of them)");
  return end;
}

const char* reportText(PyObject* item, Py_ssize_t& n, long index) {
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
  n = static_cast<Py_ssize_t>(reportLength(s, static_cast<size_t>(n), index));
  return s;
}

void bindObservation(py::module_& m) {
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
      "station", [](const Observation& o) { return stationOf(o.r); },
      "The station code the report begins with (\"KDSM\"), or None.");
  obs.def_property_readonly(
      "time", [](const Observation& o) { return timeOf(o.r); },
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
        d["station"] = stationOf(o.r);
        d["time"] = timeOf(o.r);
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
        "values None). A report is one line: line ends (CR, LF) and blanks "
        "after it are ignored. Never raises for the groups the text holds: a "
        "text that decodes to nothing gives an Observation with decoded == "
        "False. TypeError when `report` is not a str; ValueError when it "
        "holds characters UTF-8 cannot encode (lone surrogates) or text "
        "after a line end.");
}

}  // namespace stratus_py
