// The module's exceptions (StratusError and its subclasses), how a library
// result code becomes one, and the warning of a product text cut short.
#ifndef STRATUS_PYTHON_ERRORS_H_
#define STRATUS_PYTHON_ERRORS_H_

#include <pybind11/pybind11.h>
#include <string>

#include "stratus/stratus.h"

namespace stratus_py {

namespace py = pybind11;

// Raises the exception class of `code` (classOf) with the message
// "<what> (<result text>)", carrying the result code as `code` and its
// catalogue text as `result`.
[[noreturn]] void raiseResult(int code, const std::string& what);

// Raises for a fetch that gave L_CONNECT, from the failure the reader kept
// for this thread (`failure`): NotFound for a 404 answer, ConnectError for
// anything else. Both carry `url`, `status` (None unless the server
// answered), `reason` and `detail` (the first line of a plain-text error
// body, or ""); the message says what failed with the failure's own words.
[[noreturn]] void raiseFetchFailure(const std::string& what,
                                    const WFetchFailure& failure);

// The class of TextCutWarning (a UserWarning), for warnings.warn.
PyObject* textCutWarning();

// Defines the exception and warning classes in `m` and turns a library LEx
// escaping a binding into them (MemoryError for L_MEM).
void bindErrors(py::module_& m);

}  // namespace stratus_py

#endif  // STRATUS_PYTHON_ERRORS_H_
