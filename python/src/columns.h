// The columns of decode_many: one row per report, gathered without the GIL
// and handed out as NumPy arrays.
#ifndef STRATUS_PYTHON_COLUMNS_H_
#define STRATUS_PYTHON_COLUMNS_H_

#include <cstddef>
#include <cstdint>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <string>
#include <vector>

#include "reading.h"

namespace stratus_py {

namespace py = pybind11;

class Columns {
 public:
  // Room for `n` rows; more may be added.
  void reserve(size_t n);
  // Adds one report's row; needs no GIL.
  void add(const Reading& r);
  size_t size() const { return decoded_.size(); }

  // The columns by name: station (<U4), time (datetime64[s]), decoded, the
  // values of kValueFields (float64), wind_variable, the texts of
  // kTextFields (object arrays of str). The numeric columns take over this
  // object's memory; it is empty afterwards. GIL held.
  py::dict take();

 private:
  // The text column of field `f`: one str per distinct text ('' when
  // none), so a column of a few thousand distinct sky conditions holds a
  // few thousand strings, not one per report.
  py::array textColumn(int f) const;

  std::vector<double> values_[kValueCount];
  std::vector<int64_t> time_;
  std::vector<uint8_t> decoded_, variable_;
  std::vector<uint32_t> station_;         // four UTF-32 units a row
  std::string texts_[kTextCount];         // the texts, one after the other
  std::vector<size_t> ends_[kTextCount];  // where each row's text ends
};

}  // namespace stratus_py

#endif  // STRATUS_PYTHON_COLUMNS_H_
