// The parts of the extension module stratus._stratus, one per area, and
// what they share. module.cc calls each bind function once.
#ifndef STRATUS_PYTHON_BINDINGS_H_
#define STRATUS_PYTHON_BINDINGS_H_

#include <cstddef>
#include <cstdint>
#include <pybind11/pybind11.h>
#include <string>

#include "reading.h"

namespace stratus_py {

namespace py = pybind11;

void bindObservation(py::module_& m);  // Observation, decode
void bindDecodeMany(py::module_& m);   // decode_many's two entry points
void bindPlaces(py::module_& m);       // State, City, Places
void bindReader(py::module_& m);       // Reader, PRODUCTS
void bindUnits(py::module_& m);        // the unit conversions

// The Observation of a reading.
py::object observationOf(const Reading& r);

// The UTF-8 text of a str that is one report, or a Python error naming it
// by `index` (-1: "the report", else "item <index>"): TypeError for a
// non-str, ValueError for characters UTF-8 cannot encode or for text after
// a line end (CR or LF; line ends at the very end are dropped from `n`).
const char* reportText(PyObject* item, Py_ssize_t& n, long index);
// The length of the report in the `n` bytes at `s` by the same rule: up to
// the first line end; ValueError naming `index` for text after it.
size_t reportLength(const char* s, size_t n, long index);

}  // namespace stratus_py

#endif  // STRATUS_PYTHON_BINDINGS_H_
