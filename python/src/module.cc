// The extension module stratus._stratus: the library's decoder, places,
// reader and unit conversions for the pure-Python package `stratus`, which
// re-exports them (python/stratus/__init__.py).
#include "bindings.h"
#include "errors.h"

PYBIND11_MODULE(_stratus, m) {
  m.doc() = "The compiled part of the stratus package; import stratus instead.";
  m.attr("__version__") = STRATUS_VERSION_STRING;
  // Every docstring begins with its signature in Python's own types.
  pybind11::options options;
  options.disable_function_signatures();
  stratus_py::bindErrors(m);
  stratus_py::bindObservation(m);
  stratus_py::bindDecodeMany(m);
  stratus_py::bindPlaces(m);
  stratus_py::bindReader(m);
  stratus_py::bindUnits(m);
}
