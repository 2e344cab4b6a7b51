// The unit conversions of the library.
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "bindings.h"

namespace stratus_py {

namespace {

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

void bindUnits(py::module_& m) {
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

}  // namespace stratus_py
