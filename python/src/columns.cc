#include "columns.h"

#include <string_view>
#include <unordered_map>
#include <utility>

namespace stratus_py {

namespace {

// A one-dimensional array of `dtype` over the memory of `v`, which the
// array then owns (no copy).
template <typename T>
py::array adopt(std::vector<T>& v, const py::dtype& dtype, size_t rows) {
  auto* owned = new std::vector<T>(std::move(v));
  py::capsule free(owned,
                   [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return py::array(dtype, std::vector<ssize_t>{static_cast<ssize_t>(rows)},
                   owned->data(), free);
}

}  // namespace

void Columns::reserve(size_t n) {
  for (auto& v : values_) v.reserve(n);
  time_.reserve(n);
  decoded_.reserve(n);
  variable_.reserve(n);
  station_.reserve(4 * n);
  for (int f = 0; f < kTextCount; ++f) {
    ends_[f].reserve(n);
    texts_[f].reserve(n * 8);
  }
}

void Columns::add(const Reading& r) {
  for (int i = 0; i < kValueCount; ++i) values_[i].push_back(r.values[i]);
  time_.push_back(r.time);
  decoded_.push_back(r.decoded);
  variable_.push_back(r.windVariable);
  for (int c = 0; c < 4; ++c)
    station_.push_back(static_cast<unsigned char>(r.station[c]));
  for (int f = 0; f < kTextCount; ++f) {
    char buf[kMaxText];
    texts_[f].append(buf, kTextFields[f].text(r, buf));
    ends_[f].push_back(texts_[f].size());
  }
}

py::array Columns::textColumn(int f) const {
  const size_t n = ends_[f].size();
  py::array out(py::dtype("O"), std::vector<ssize_t>{static_cast<ssize_t>(n)});
  auto** slot = static_cast<PyObject**>(out.mutable_data());
  std::unordered_map<std::string_view, py::str> distinct;
  py::str empty("");
  size_t start = 0;
  for (size_t k = 0; k < n; ++k) {
    const size_t end = ends_[f][k];
    py::handle value = empty;
    if (end > start) {
      std::string_view text(texts_[f].data() + start, end - start);
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

py::dict Columns::take() {
  const size_t n = size();
  py::dict result;
  result["station"] = adopt(station_, py::dtype("<U4"), n);
  result["time"] = adopt(time_, py::dtype("datetime64[s]"), n);
  result["decoded"] = adopt(decoded_, py::dtype("bool"), n);
  for (int i = 0; i < kValueCount; ++i)
    result[kValueFields[i].name] = adopt(values_[i], py::dtype("float64"), n);
  result["wind_variable"] = adopt(variable_, py::dtype("bool"), n);
  for (int f = 0; f < kTextCount; ++f) {
    result[kTextFields[f].name] = textColumn(f);
    std::string().swap(texts_[f]);
    std::vector<size_t>().swap(ends_[f]);
  }
  return result;
}

}  // namespace stratus_py
