// Reader: current conditions and the text products of WReader::PRODUCTS,
// with the settings the library checks and the fetch failures it records.
#include <memory>
#include <mutex>
#include <string>

#include "stratus/host/current.h"
#include "stratus/host/product_text.h"
#include "stratus/host/settings_file.h"

#include "bindings.h"
#include "errors.h"

namespace stratus_py {

namespace {

// Passes the reader's messages to a Python callable. The reader calls it
// with the GIL released, so it takes the GIL for the call. An exception of
// the callable is kept and raised when the reader's call returns.
class CallbackInfoLine : public LInfoLine {
 public:
  explicit CallbackInfoLine(py::object callback)
      : callback_(std::move(callback)) {}

  void show(const LString& message) override {
    if (callback_.is_none()) return;
    py::gil_scoped_acquire gil;
    if (error_) return;
    try {
      callback_(py::str(message.c_str()));
    } catch (py::error_already_set& e) {
      error_.reset(new py::error_already_set(std::move(e)));
    }
  }
  void endProgress() override {}

  // Raises the callable's exception, if any, and forgets it. GIL held.
  void raiseKept() {
    if (!error_) return;
    std::unique_ptr<py::error_already_set> e = std::move(error_);
    e->restore();
    throw py::error_already_set();
  }

 private:
  py::object callback_;
  std::unique_ptr<py::error_already_set> error_;
};

// A setting's value as the keeper stores it: True and False as 1 and 0.
std::string settingText(py::handle v) {
  if (PyBool_Check(v.ptr())) return v.ptr() == Py_True ? "1" : "0";
  return py::str(v);
}

const WSettingInfo* settingNamed(const std::string& key) {
  for (const WSettingInfo& s : WSettings::LIST)
    if (key == s.key) return &s;
  return nullptr;
}

// The city a Reader call is about: a City as it is, or a place text
// resolved as Places().resolve resolves it (NotFound saying why, or with
// the candidates).
WPlace placeArg(py::handle place) {
  if (py::isinstance<WPlace>(place)) return place.cast<WPlace>();
  if (!PyUnicode_Check(place.ptr()))
    throw py::type_error("a place is a City or a place text (str)");
  py::object places = py::module_::import("stratus._stratus").attr("Places")();
  return places.attr("resolve")(place).cast<WPlace>();
}

class Reader {
 public:
  Reader(py::object settings, py::object progress, py::object file,
         const std::string& sections)
      : info_(std::move(progress)),
        file_(file.is_none()
                  ? std::string()
                  : py::str(py::module_::import("os").attr("fspath")(file))
                        .cast<std::string>()),
        reader_(&info_) {
    if (sections == "line")
      reader_.setSectionRule(WReader::LineRule);
    else if (sections == "ugc")
      reader_.setSectionRule(WReader::UgcRule);
    else
      throw py::value_error("sections is \"ugc\" or \"line\", not \"" +
                            sections + "\"");
    std::string error;
    if (!file.is_none() && file_.load(error) != WSettingsFile::DONE)
      throw py::value_error(error);
    if (!settings.is_none()) {
      for (auto item : py::dict(settings))
        store(py::str(item.first), item.second);
    }
    reader_.SetKeeper(&file_);
  }

  py::dict settings() {
    py::dict out;
    for (const WSettingInfo& s : WSettings::LIST) {
      const std::string* v = file_.get(WSettings::SECTION, s.key);
      std::string value = v != nullptr ? *v : s.defaultValue;
      int number = 0;
      if (s.isInt && WSettings::parseInt(value, number))
        out[s.key] = number;
      else
        out[s.key] = value;
    }
    return out;
  }

  py::object conditions(py::handle place, bool strict) {
    const WPlace city = placeArg(place);
    WLocation where = city.location();
    LString raw;
    WReport full;
    WObservation narrow;
    WFetchFailure failure;
    int rc = call(
        [&] {
          return strict ? getCurrentObservation(reader_, where, raw, narrow)
                        : getCurrentReport(reader_, where, raw, full);
        },
        failure);
    const std::string what = "current conditions for " + city.label();
    if (rc == L_CONNECT) raiseFetchFailure(what, failure);
    if (rc == L_ERROR)
      raiseResult(rc, what + ": the report could not be decoded: " + raw.str());
    if (rc == L_NOTFOUND) raiseResult(rc, what + ": the page holds no report");
    if (rc != L_OK) raiseResult(rc, what);
    Reading r;
    if (!strict) {
      fillReading(full, r);
      return observationOf(r);
    }
    // The narrow reading keeps the complete one's head (station, type).
    decodeText(raw.c_str(), static_cast<size_t>(raw.length()), work_, full, r);
    narrowReading(narrow, r);
    return observationOf(r);
  }

  // One text product as the page's lines; "" when the page holds nothing
  // for the city. A text cut at the reader's cap comes with a warning.
  py::str product(py::handle place, const WProductInfo& p) {
    const WPlace city = placeArg(place);
    WLocation where = city.location();
    LString text;
    WFetchFailure failure;
    int rc = call([&] { return (reader_.*(p.get))(where, text); }, failure);
    const std::string what =
        std::string("the ") + p.label + " for " + city.label();
    if (rc == L_INPUT) return py::str("");
    if (rc == L_CONNECT) raiseFetchFailure(what, failure);
    if (rc != L_OK && rc != L_RANGE) raiseResult(rc, what);
    std::string lines = productLines(text);
    // Pages are not always UTF-8: a byte that is not becomes U+FFFD.
    py::str out = py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(
        lines.data(), static_cast<Py_ssize_t>(lines.size()), "replace"));
    if (rc == L_RANGE) {
      std::string message = what +
                            " is larger than the reader takes; the text "
                            "is cut after its last whole line";
      if (PyErr_WarnEx(textCutWarning(), message.c_str(), 1) != 0)
        throw py::error_already_set();
    }
    return out;
  }

 private:
  void store(const std::string& key, py::handle v) {
    const WSettingInfo* setting = settingNamed(key);
    if (setting == nullptr)
      throw py::key_error("unknown setting '" + key +
                          "' (UseProxy, ProxyLocation, ConditionsBase, "
                          "WarningsBase)");
    std::string value = settingText(v);
    std::string reason;
    if (!WSettings::check(*setting, value, reason))
      throw py::value_error(reason);
    file_.storeString(WSettings::SECTION, setting->key, value.c_str(), 0);
  }

  // Runs a reader call with the GIL released, one call at a time, and
  // takes the fetch failure it left on this thread.
  template <typename F>
  int call(F f, WFetchFailure& failure) {
    int rc;
    {
      py::gil_scoped_release nogil;
      std::lock_guard<std::mutex> lock(busy_);
      rc = f();
      failure = lastFetchFailure();
    }
    info_.raiseKept();
    return rc;
  }

  CallbackInfoLine info_;
  WSettingsFile file_;
  WReader reader_;
  LString work_;
  std::mutex busy_;
};

}  // namespace

void bindReader(py::module_& m) {
  py::class_<Reader> reader(m, "Reader",
                            "Current conditions and text products of a "
                            "city, fetched over HTTP.");
  reader
      .def(py::init<py::object, py::object, py::object, std::string>(),
           py::arg("settings") = py::none(), py::arg("progress") = py::none(),
           py::kw_only(), py::arg("settings_file") = py::none(),
           py::arg("sections") = "ugc",
           "Reader(settings=None, progress=None, *, settings_file=None, "
           "sections=\"ugc\"). "
           "`settings`: a dict of UseProxy, ProxyLocation, ConditionsBase, "
           "WarningsBase (keys spelt so); the missing ones come from "
           "`settings_file` (a path: the command-line host's settings file, "
           "read once, never written) or take their defaults (the local "
           "sample server). KeyError for another key, ValueError for a value "
           "the library refuses (UseProxy not a whole number, a base that is "
           "not an http:// or https:// URL with a host) or a settings file "
           "that cannot be read. `progress`: a callable given each status "
           "message (str).")
      .def_property_readonly("settings", &Reader::settings,
                             "The four settings, defaults filled in.")
      .def("conditions", &Reader::conditions, py::arg("city"), py::kw_only(),
           py::arg("strict") = false,
           "conditions(city: Union[City, str], *, strict: bool = False) -> "
           "Observation: the current report at the station of the city (or "
           "of the place text, resolved as Places().resolve does), read "
           "completely as "
           "decode reads it (strict=True: narrowly). ConnectError when the "
           "page cannot be fetched, NotFound when the server has no such "
           "page (404) or the page holds no report, DataError when the city "
           "has no station code, StratusError when the report cannot be "
           "decoded.");
  py::list names;
  for (const WProductInfo& p : WReader::PRODUCTS) {
    names.append(p.name);
    std::string doc =
        std::string(p.name) + "(city: Union[City, str]) -> str: the " +
        p.label + " for the " + (p.byZone ? "city's zone" : "city") +
        ", the page's lines each ending in \\n (as the command-line host "
        "prints them); '' when the page holds nothing for the city. "
        "TextCutWarning with the text that fit when it is larger than the "
        "reader takes. ConnectError when the page cannot be fetched, "
        "NotFound when the server has no such page (404) or the city data "
        "lacks its zone or code.";
    const WProductInfo* product = &p;
    reader.def(
        p.name,
        [product](Reader& r, py::handle c) { return r.product(c, *product); },
        py::arg("city"), doc.c_str());
  }
  reader.attr("PRODUCTS") = py::tuple(names);
}

}  // namespace stratus_py
