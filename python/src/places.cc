// State, City and Places: the library's WPlaceState, WPlace and WPlaces.
#include "stratus/host/places.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <pybind11/stl.h>
#include <string>
#include <vector>

#include "bindings.h"
#include "errors.h"

namespace stratus_py {

namespace {

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

bool isFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The US data set: the one a wheel carries beside the module (data/us);
// the source tree's for the module in the build tree; the installed
// prefix's share/stratus/us found from the module's folder (so a moved
// prefix works); else the configured install prefix's.
std::string defaultDataFolder() {
  const std::string here = moduleFolder();
  if (!here.empty() && isFolder(here + "/data/us")) return here + "/data/us";
  if (!here.empty() && here == resolved(STRATUS_PY_BUILD_DIR))
    return STRATUS_PY_SOURCE_DATA_DIR;
#ifdef STRATUS_PY_DATA_FROM_MODULE
  const std::string relocated = here + "/" + STRATUS_PY_DATA_FROM_MODULE;
  if (!here.empty() && isFolder(relocated)) return resolved(relocated);
#endif
  return STRATUS_PY_INSTALLED_DATA_DIR;
}

// A Python int as an id of the data (0 .. 2**32 - 1); OverflowError
// otherwise, as Python says of an int too large for a C type.
unsigned idOf(py::handle value) {
  unsigned long long v = PyLong_AsUnsignedLongLong(value.ptr());
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred())
    throw py::error_already_set();
  if (v > UINT_MAX)
    throw py::value_error("an id of the location data is at most " +
                          std::to_string(UINT_MAX));
  return static_cast<unsigned>(v);
}

py::object textOrNone(const std::string& s) {
  if (s.empty()) return py::none();
  return py::str(s);
}

// The location database on one folder. Each instance has its own
// database object, used with the GIL held, so instances never meet.
class Places {
 public:
  explicit Places(py::object dataDir)
      : dir_(folderOf(dataDir)),
        db_(LString(dir_.c_str())),
        places_(db_, dir_) {
    std::vector<WPlaceState> all;
    if (places_.states(all) != WPlaces::FOUND)
      raiseResult(L_OPEN, "cannot read the location data in " + dir_);
  }

  const std::string& dataDir() const { return dir_; }

  std::vector<WPlaceState> states() {
    std::vector<WPlaceState> out;
    if (places_.states(out) != WPlaces::FOUND) noData();
    return out;
  }

  // The state given by id, short name or full name (any case), or a State.
  WPlaceState state(py::handle which) {
    if (py::isinstance<WPlaceState>(which))
      return state(py::int_(which.cast<const WPlaceState&>().id));
    std::string text;
    if (PyLong_Check(which.ptr()))
      text = std::to_string(idOf(which));
    else if (PyUnicode_Check(which.ptr()))
      text = which.cast<std::string>();
    else
      throw py::type_error("a state is an id, a name or a State");
    WPlaceState out;
    WPlaces::Result r = places_.findState(text, out);
    if (r == WPlaces::UNREADABLE) noData();
    if (r != WPlaces::FOUND) raiseResult(L_NOTFOUND, "no state '" + text + "'");
    return out;
  }

  std::vector<WPlace> cities(py::handle which) {
    std::vector<WPlace> out;
    if (places_.citiesOf(state(which), out) != WPlaces::FOUND) noData();
    return out;
  }

  WPlace city(py::handle which, py::handle id) {
    WPlaceState s = state(which);
    WPlace out;
    std::string why;
    WPlaces::Result r = places_.city(idOf(id), out, why);
    if (r == WPlaces::UNREADABLE) noData();
    if (r != WPlaces::FOUND || out.stateId != s.id)
      raiseResult(L_NOTFOUND, "no city " + py::str(id).cast<std::string>() +
                                  " in " + s.name);
    return out;
  }

  std::vector<WPlace> find(const std::string& text) {
    std::vector<WPlace> out;
    std::string why;
    WPlaces::Result r = places_.find(text, out, why);
    if (r == WPlaces::UNREADABLE) noData();
    if (r != WPlaces::FOUND) raiseResult(L_NOTFOUND, why);
    return out;
  }

  WPlace resolve(const std::string& text) {
    WPlace out;
    std::vector<WPlace> candidates;
    std::string why;
    switch (places_.resolve(text, out, candidates, why)) {
      case WPlaces::FOUND:
        return out;
      case WPlaces::UNREADABLE:
        noData();
      case WPlaces::NOT_FOUND:
        raiseResult(L_NOTFOUND, why);
      case WPlaces::AMBIGUOUS:
        break;
    }
    try {
      raiseResult(L_NOTFOUND, "\"" + text + "\" matches " +
                                  std::to_string(candidates.size()) +
                                  " places; name one with its state "
                                  "(\"City, ST\") or by its id");
    } catch (py::error_already_set& e) {
      e.value().attr("candidates") = py::cast(candidates);
      throw;
    }
  }

 private:
  static std::string folderOf(py::object dataDir) {
    if (dataDir.is_none()) return defaultDataFolder();
    return py::str(py::module_::import("os").attr("fspath")(dataDir));
  }

  [[noreturn]] void noData() {
    raiseResult(L_OPEN, "cannot read the location data in " + dir_);
  }

  std::string dir_;
  WLocationDB db_;
  WPlaces places_;
};

std::string quoted(const std::string& s) {
  return py::repr(py::str(s)).cast<std::string>();
}

void bindState(py::module_& m) {
  py::class_<WPlaceState>(m, "State", "A state of the location data.")
      .def_readonly("id", &WPlaceState::id, "The state's id (19 for Iowa).")
      .def_readonly("name", &WPlaceState::name, "Full name (\"Iowa\").")
      .def_readonly("short_name", &WPlaceState::shortName,
                    "Short name as in product URLs (\"ia\").")
      .def("__repr__", [](const WPlaceState& s) {
        return "State(id=" + std::to_string(s.id) + ", name=" + quoted(s.name) +
               ", short_name=" + quoted(s.shortName) + ")";
      });
}

void bindCity(py::module_& m) {
  py::class_<WPlace>(m, "City", "A city of the location data.")
      .def_readonly("id", &WPlace::id, "The city's id (1921000).")
      .def_readonly("state_id", &WPlace::stateId, "The id of its state.")
      .def_readonly("name", &WPlace::name, "The city's name (\"Des Moines\").")
      .def_readonly("state", &WPlace::state,
                    "The short name of its state (\"ia\").")
      .def_readonly("state_name", &WPlace::stateName,
                    "The full name of its state (\"Iowa\").")
      .def_readonly("data", &WPlace::data,
                    "The city data string, key(value) entries.")
      .def_property_readonly(
          "zone", [](const WPlace& c) { return textOrNone(c.zone); },
          "The forecast zone (\"IAZ060\"), or None.")
      .def_property_readonly(
          "code", [](const WPlace& c) { return textOrNone(c.code); },
          "The station code of its conditions (\"KDSM\"), or None.")
      .def_property_readonly(
          "county", [](const WPlace& c) { return textOrNone(c.county); },
          "The county, where the data set gives it; else None.")
      .def_property_readonly(
          "office", [](const WPlace& c) { return textOrNone(c.office); },
          "The forecast office, where the data set gives it; else None.")
      .def_property_readonly(
          "latitude",
          [](const WPlace& c) -> py::object {
            if (!c.hasPosition) return py::none();
            return py::float_(c.latitude);
          },
          "Decimal degrees north, where the data set gives it; else None.")
      .def_property_readonly(
          "longitude",
          [](const WPlace& c) -> py::object {
            if (!c.hasPosition) return py::none();
            return py::float_(c.longitude);
          },
          "Decimal degrees east (negative: west), where the data set gives "
          "it; else None.")
      .def_property_readonly("label", &WPlace::label,
                             "\"Des Moines, IA\": the name and the state.")
      .def("__repr__", [](const WPlace& c) {
        return "City(id=" + std::to_string(c.id) + ", name=" + quoted(c.name) +
               ", state=" + quoted(c.state) + ", data=" + quoted(c.data) + ")";
      });
}

}  // namespace

void bindPlaces(py::module_& m) {
  bindState(m);
  bindCity(m);
  py::class_<Places>(m, "Places",
                     "The location database on a folder of the four .ldt "
                     "files (and zips.tsv, stations.tsv).")
      .def(py::init<py::object>(), py::arg("data_dir") = py::none(),
           "Places(data_dir=None): the data in `data_dir` (str or "
           "os.PathLike); None: the bundled US data. DataError when its "
           "states cannot be read.")
      .def_property_readonly("data_dir", &Places::dataDir,
                             "The folder of the data files.")
      .def("states", &Places::states, "states() -> list[State], file order.")
      .def("state", &Places::state, py::arg("state"),
           "state(state: int | str | State) -> State: by id, short or full "
           "name (any case). NotFound when there is none; OverflowError or "
           "ValueError for an int that is no id (negative, 2**32 or more).")
      .def("cities", &Places::cities, py::arg("state"),
           "cities(state: int | str | State) -> list[City]: the cities of a "
           "state, file order. NotFound for an unknown state.")
      .def("city", &Places::city, py::arg("state"), py::arg("id"),
           "city(state: int | str | State, id: int) -> City. NotFound when "
           "the state has no city with that id.")
      .def("resolve", &Places::resolve, py::arg("text"),
           "resolve(text: str) -> City: the city a place text names, as the "
           "command-line host reads it: a city id, \"City, ST\", a name only "
           "one state has, a ZIP code (\"50309\"), a station code "
           "(\"KDSM\") or coordinates (\"41.59,-93.62\", the nearest city "
           "within 300 km). NotFound saying why when none; NotFound with "
           "`candidates` (list[City]) when several fit.")
      .def("find", &Places::find, py::arg("text"),
           "find(text: str) -> list[City]: [the city] when resolve finds "
           "one; else the cities whose name contains `text`, any case, in "
           "every state (\"name, ST\": in that state), file order, with the "
           "candidates of an ambiguous text among them. NotFound when a "
           "state named after a comma does not exist.");
}

}  // namespace stratus_py
