// One report's values as the Python module hands them out: a Reading
// (doubles, NaN where the report gave nothing, and the coded weather and
// sky), made from the library's complete reading (WReport) or its narrow
// one (WObservation). Observation objects, the columns of decode_many and
// Reader.conditions are all made from Readings, through two tables of
// fields (kValueFields for the numbers, kTextFields for the texts).
#ifndef STRATUS_PYTHON_READING_H_
#define STRATUS_PYTHON_READING_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <pybind11/pybind11.h>

#include "stratus/stratus.h"

namespace stratus_py {

namespace py = pybind11;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// No time: the value NumPy reads as NaT.
constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();

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
extern const ValueField kValueFields[kValueCount];

// One report's values.
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

// `r` from the complete reading.
void fillReading(const WReport& o, Reading& r);
// The values of `r` from the narrow reading; of `r`'s head (station, report
// type) only what it held is kept.
void narrowReading(const WObservation& o, Reading& r);

// Decodes one report text completely into `out`. `work` and `record` are the
// caller's, reused from report to report. Throws LEx(L_MEM) when memory runs
// out.
void decodeText(const char* s, size_t n, LString& work, WReport& record,
                Reading& out);

// The value `i` of kValueFields as a Python int or float, or None.
py::object valueOf(const Reading& r, int i);

// The text values: the report type, the flight category, the weather and
// the sky. An Observation gives each as a Python value (None when absent);
// a decode_many column holds the coded text ('' when absent).
enum Text { kReportType, kFlightCategory, kWeather, kSky, kTextCount };

struct TextField {
  const char* name;
  // Writes the column text (kMaxText characters at most: six layers of
  // "OVC012TCU") to `out`, returns its length.
  size_t (*text)(const Reading&, char* out);
  py::object (*value)(const Reading&);  // the Observation attribute
  const char* doc;
};
constexpr size_t kMaxText = 64;
extern const TextField kTextFields[kTextCount];

}  // namespace stratus_py

#endif  // STRATUS_PYTHON_READING_H_
