// WLocationDB reads the data files anew on every call. Each operation runs
// its reading inside one try block that turns any LEx (allocation failure,
// an index out of range) into -1; records are built in locals and assigned
// to the caller's objects last, and the record classes assign with the
// strong guarantee, so a failed call leaves its out-argument untouched.
#include "stratus/location/location_db.h"

#include <new>

#include "stratus/foundation/result.h"

#include "location/record_reader.h"
#include "location/us_location.h"

using stratus::IdFilter;
using stratus::RecordReader;

namespace {

const char kCountries[] = "countries.ldt";
const char kStates[] = "states.ldt";
const char kAreas[] = "areas.ldt";
const char kCities[] = "cities.ldt";

// The file of each kind of record, the id fields that lead it, and how a
// record is built from a reader positioned on it.
template <typename Record>
struct Layout;

template <>
struct Layout<WCountry> {
  static constexpr const char* kFile = kCountries;
  static constexpr int kIds = 1;
  static WCountry make(const RecordReader& r, const LString& name,
                       const LString& data) {
    return WCountry(r.id(0), name, data);
  }
};

template <>
struct Layout<WState> {
  static constexpr const char* kFile = kStates;
  static constexpr int kIds = 2;
  static WState make(const RecordReader& r, const LString& name,
                     const LString& data) {
    return WState(r.id(0), r.id(1), name, data);
  }
};

template <>
struct Layout<WArea> {
  static constexpr const char* kFile = kAreas;
  static constexpr int kIds = 3;
  static WArea make(const RecordReader& r, const LString& name,
                    const LString& data) {
    return WArea(r.id(0), r.id(1), r.id(2), name, data);
  }
};

template <>
struct Layout<WCity> {
  static constexpr const char* kFile = kCities;
  static constexpr int kIds = 3;
  static WCity make(const RecordReader& r, const LString& name,
                    const LString& data) {
    return WCity(r.id(0), r.id(1), r.id(2), name, data);
  }
};

// Two passes over the open stream: count the matching records, size the
// list once, rewind and copy them in. The fill stops at the count, so a
// file that grew between the passes cannot overrun the list.
template <typename Record>
void fillList(LIStream& in, const IdFilter& filter, LVector<Record>& list) {
  unsigned count = 0;
  {
    RecordReader r(in, Layout<Record>::kIds, filter);
    while (r.next()) ++count;
  }
  list.resize(count);
  in.rewind();
  RecordReader r(in, Layout<Record>::kIds, filter);
  LString name;
  LString data;
  for (unsigned stored = 0; stored < count && r.next(); ++stored) {
    r.readTexts(name, data);
    list[stored] = Layout<Record>::make(r, name, data);
  }
}

// `directory` and `file` joined with "/" (just `file` when the directory is
// empty).
LString joinedPath(const LString& directory, const LString& file) {
  LString joined(directory);
  if (!joined.isEmpty()) joined += "/";
  joined += file;
  return joined;
}

// The path of the file of `Record` in `directory`.
template <typename Record>
LString pathOf(const LString& directory) {
  return joinedPath(directory, Layout<Record>::kFile);
}

template <typename Record>
int readList(const LString& directory, const IdFilter& filter,
             LVector<Record>& list) {
  try {
    LIStream in(pathOf<Record>(directory));
    if (!in.isOpen()) return -1;
    fillList(in, filter, list);
    return 0;
  } catch (const LEx&) {
    return -1;
  }
}

// The first record whose own id is `id`.
template <typename Record>
int readRecord(const LString& directory, unsigned id, Record& out) {
  try {
    LIStream in(pathOf<Record>(directory));
    if (!in.isOpen()) return -1;
    RecordReader r(in, Layout<Record>::kIds, IdFilter().require(0, id));
    if (!r.next()) return -1;
    LString name;
    LString data;
    r.readTexts(name, data);
    out = Layout<Record>::make(r, name, data);
    return 0;
  } catch (const LEx&) {
    return -1;
  }
}

}  // namespace

WLocationDB* WLocationDB::p_locDB = nullptr;

void WLocationDB::initLocationDB(const LString& directory) {
  closeLocationDB();
  try {
    p_locDB = new (std::nothrow) WLocationDB(directory);
  } catch (const LEx&) {
    p_locDB = nullptr;
  }
}

WLocationDB& WLocationDB::getLocationDB() {
  if (p_locDB != nullptr) return *p_locDB;
  // A caller's error; answer with a database on the current directory
  // rather than a null reference.
  static WLocationDB fallback;
  return fallback;
}

void WLocationDB::closeLocationDB() {
  delete p_locDB;
  p_locDB = nullptr;
}

WLocationDB::WLocationDB() : cursor_(nullptr), cityFilter_(0) {}

WLocationDB::WLocationDB(const LString& directory)
    : directory_(directory), cursor_(nullptr), cityFilter_(0) {}

WLocationDB::WLocationDB(const WLocationDB& other)
    : directory_(other.directory_),
      cursor_(nullptr),
      cityFilter_(other.cityFilter_) {}

WLocationDB& WLocationDB::operator=(const WLocationDB& other) {
  if (this == &other) return *this;
  directory_ = other.directory_;
  closeStateIterator();
  cityFilter_ = other.cityFilter_;
  return *this;
}

WLocationDB::~WLocationDB() { closeStateIterator(); }

void WLocationDB::getFileName(const LString& directory, const LString& file,
                              LString& path) {
  path = joinedPath(directory, file);
}

int WLocationDB::getCountryList(LVector<WCountry>& list) {
  return readList(directory_, IdFilter(), list);
}

int WLocationDB::getStateList(unsigned country, LVector<WState>& list) {
  return readList(directory_, IdFilter().require(1, country), list);
}

int WLocationDB::getAreaList(unsigned country, unsigned state,
                             LVector<WArea>& list) {
  return readList(directory_, IdFilter().require(2, state).require(1, country),
                  list);
}

int WLocationDB::getCityList(unsigned country, unsigned state,
                             LVector<WCity>& list) {
  return readList(directory_, IdFilter().require(2, state).require(1, country),
                  list);
}

int WLocationDB::getCountry(unsigned id, WCountry& country) {
  return readRecord(directory_, id, country);
}

int WLocationDB::getState(unsigned id, WState& state) {
  return readRecord(directory_, id, state);
}

int WLocationDB::getArea(unsigned id, WArea& area) {
  return readRecord(directory_, id, area);
}

int WLocationDB::getCity(unsigned id, WCity& city) {
  return readRecord(directory_, id, city);
}

int WLocationDB::openCursor(const char* file) {
  closeStateIterator();
  try {
    LString path;
    getFileName(directory_, file, path);
    cursor_ = new (std::nothrow) LIStream(path);
  } catch (const LEx&) {
    cursor_ = nullptr;  // the stream's buffer could not be allocated
  }
  return cursor_ != nullptr && cursor_->isOpen() ? 0 : -1;
}

int WLocationDB::initStateIterator(unsigned /*country*/) {
  return openCursor(kStates);
}

int WLocationDB::getNextState(WState& state) {
  if (cursor_ == nullptr || !cursor_->isOpen()) return -1;
  try {
    RecordReader r(*cursor_, Layout<WState>::kIds, IdFilter());
    if (!r.next()) return -1;
    LString name;
    LString data;
    r.readTexts(name, data);
    state.setData(r.id(0), r.id(1), name, data);
    return 0;
  } catch (const LEx&) {
    cursor_->endRecord();  // keep the cursor at the start of a record
    return -1;
  }
}

void WLocationDB::closeStateIterator() {
  delete cursor_;
  cursor_ = nullptr;
}

int WLocationDB::initCityIterator(unsigned /*country*/, unsigned state) {
  cityFilter_ = state;
  return openCursor(kCities);
}

int WLocationDB::getNextCity(WCity& city) {
  if (cursor_ == nullptr || !cursor_->isOpen()) return -1;
  try {
    RecordReader r(*cursor_, Layout<WCity>::kIds,
                   IdFilter().require(2, cityFilter_));
    if (!r.next()) return -1;
    LString name;
    LString data;
    r.readTexts(name, data);
    city.setCity(r.id(0), r.id(1), r.id(2), name, data);
    return 0;
  } catch (const LEx&) {
    cursor_->endRecord();
    return -1;
  }
}

void WLocationDB::closeCityIterator() { closeStateIterator(); }

int WLocationDB::makeUSLocation(unsigned state, unsigned city,
                                WLocation& location) {
  WCity c;
  if (getCity(city, c) != 0) return -1;
  WState s;
  if (getState(state, s) != 0) return -1;
  return stratus::buildUSLocation(c, s, location);
}

namespace stratus {

int buildUSLocation(const WCity& city, const WState& state,
                    WLocation& location) {
  try {
    WLocation made;
    made.setCountry(1);
    made.setState(state.getId());
    made.setArea(0);
    made.setCity(city.getId());
    made.setCityData(city.getData());
    made.setShortState(state.getData());
    made.setName(city.getName() + ", " + state.getName() + ", United States");
    made.setValid(true);
    location = made;
    return 0;
  } catch (const LEx&) {
    return -1;
  }
}

}  // namespace stratus
