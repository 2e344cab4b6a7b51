#include "errors.h"

namespace stratus_py {

namespace {

PyObject* g_stratusError = nullptr;
PyObject* g_notFound = nullptr;
PyObject* g_connectError = nullptr;
PyObject* g_dataError = nullptr;
PyObject* g_textCut = nullptr;

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

// An instance of `cls` with `message`, carrying the result code.
py::object errorOf(PyObject* cls, int code, const std::string& message) {
  const char* result = resultMessage(code);
  py::object e =
      py::reinterpret_borrow<py::object>(cls)(message + " (" + result + ")");
  e.attr("code") = code;
  e.attr("result") = result;
  return e;
}

[[noreturn]] void raise(PyObject* cls, const py::object& e) {
  PyErr_SetObject(cls, e.ptr());
  throw py::error_already_set();
}

PyObject* newClass(const char* name, const char* doc, PyObject* bases) {
  PyObject* cls = PyErr_NewExceptionWithDoc(name, doc, bases, nullptr);
  if (cls == nullptr) throw py::error_already_set();
  return cls;
}

}  // namespace

void raiseResult(int code, const std::string& what) {
  PyObject* cls = classOf(code);
  raise(cls, errorOf(cls, code, what));
}

void raiseFetchFailure(const std::string& what, const WFetchFailure& failure) {
  const bool answered = failure.kind == WFetchFailure::HTTP_STATUS;
  PyObject* cls =
      answered && failure.status == 404 ? g_notFound : g_connectError;
  std::string why = failure.kind == WFetchFailure::NONE
                        ? "the page could not be had"
                        : failure.describe();
  std::string message =
      what + ": " + (failure.url.empty() ? "" : failure.url + ": ") + why;
  py::object e = errorOf(cls, L_CONNECT, message);
  e.attr("url") = failure.url.empty() ? py::object(py::none())
                                      : py::object(py::str(failure.url));
  e.attr("status") =
      answered ? py::object(py::int_(failure.status)) : py::object(py::none());
  e.attr("reason") = failure.reason;
  e.attr("detail") = failure.detail;
  raise(cls, e);
}

PyObject* textCutWarning() { return g_textCut; }

void bindErrors(py::module_& m) {
  g_stratusError = newClass(
      "stratus.StratusError",
      "A failure of the library. `code` is the library's result code (an "
      "int), `result` its catalogue text.",
      PyExc_Exception);
  py::object base = py::reinterpret_borrow<py::object>(g_stratusError);
  g_notFound = newClass(
      "stratus.NotFound",
      "Something asked for is not there: a place or state (L_NOTFOUND), or "
      "a page the server answered 404 for (code L_CONNECT, with url, "
      "status, reason and detail as ConnectError).",
      py::make_tuple(base,
                     py::reinterpret_borrow<py::object>(PyExc_LookupError))
          .ptr());
  g_connectError = newClass(
      "stratus.ConnectError",
      "A page could not be fetched (L_CONNECT): nothing answered, no answer "
      "in time, or an HTTP status other than 200 and 404. `url` is the page "
      "asked for, `status` the HTTP status (None when nothing answered), "
      "`reason` the reason phrase or what the transfer said, `detail` the "
      "first line of a plain-text error body ('' when none).",
      g_stratusError);
  g_dataError = newClass(
      "stratus.DataError",
      "Data that could not be read or used: the location files, a city "
      "without a station code (L_OPEN, L_DB, ...).",
      g_stratusError);
  g_textCut =
      newClass("stratus.TextCutWarning",
               "A product's text was larger than the reader takes (4 MiB): the "
               "text returned is cut after the last whole line that fit.",
               PyExc_UserWarning);
  m.attr("StratusError") = base;
  m.attr("NotFound") = py::reinterpret_borrow<py::object>(g_notFound);
  m.attr("ConnectError") = py::reinterpret_borrow<py::object>(g_connectError);
  m.attr("DataError") = py::reinterpret_borrow<py::object>(g_dataError);
  m.attr("TextCutWarning") = py::reinterpret_borrow<py::object>(g_textCut);
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const LEx& e) {
      if (e.getId() == L_MEM) {
        PyErr_NoMemory();
        return;
      }
      try {
        raiseResult(e.getId(), "the library failed");
      } catch (py::error_already_set& set) {
        set.restore();
      }
    }
  });
}

}  // namespace stratus_py
