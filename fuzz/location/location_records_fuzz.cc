// Fuzzes the reading of location data files: the bytes become each of the
// four files of a database, and every list, lookup and iteration runs on
// them. The files live in memory: this program's own fopen serves the paths
// of a made-up directory as fmemopen streams over the input (and fstat calls
// such a stream a regular file), so the library's stream code runs unchanged
// while an input costs no system call. Writing real files per input, and
// opening them some sixty times, held the target to about a hundred inputs
// a second. Checks, besides "no crash, no hang":
//   - the in-place scan and LIStream's field extraction read the same
//     records (the first input byte, when odd, pads the file so that the
//     end of the stream's 64 KiB block falls inside the input);
//   - every list element passes the list's selection, and the lookup of the
//     id of each of the first elements finds a record with that id (every
//     lookup reads the file again: all of them would make an input's cost
//     grow with the square of its records);
//   - the city iteration yields exactly the cities of the list of its state
//     (country aside) in the same order.
#include <dlfcn.h>
#include <malloc.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "stratus/location/location_db.h"

#include "location/record_reader.h"

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "location_records: %s\n", what);
    std::abort();
  }
}

// Lookups checked per list: enough to catch a list element that its lookup
// does not find, few enough to keep an input's cost linear in its size.
constexpr unsigned kLookups = 8;

// The made-up directory whose files are served from memory.
const char kDir[] = "/stratus-fuzz-in-memory";

// Path -> contents of the files served from memory.
std::map<std::string, std::string>& memoryFiles() {
  static std::map<std::string, std::string> files;
  return files;
}

}  // namespace

// The library opens its files with fopen and tests them with fstat; these
// two definitions take precedence over the C library's in this program.
extern "C" std::FILE* fopen(const char* path, const char* mode) {
  auto found = memoryFiles().find(path);
  if (found == memoryFiles().end()) {
    using Fopen = std::FILE* (*)(const char*, const char*);
    static Fopen real = reinterpret_cast<Fopen>(dlsym(RTLD_NEXT, "fopen"));
    return real(path, mode);
  }
  std::string& bytes = found->second;
  return fmemopen(&bytes[0], bytes.size(), "r");
}

extern "C" int fstat(int fd, struct stat* st) {
  if (fd == -1) {  // fileno of an fmemopen stream
    std::memset(st, 0, sizeof *st);
    st->st_mode = S_IFREG | 0444;
    return 0;
  }
  using Fstat = int (*)(int, struct stat*);
  static Fstat real = reinterpret_cast<Fstat>(dlsym(RTLD_NEXT, "fstat"));
  return real(fd, st);
}

namespace {

struct Rec {
  unsigned ids[3];
  std::string name, data;
  bool operator==(const Rec& o) const {
    return std::memcmp(ids, o.ids, sizeof ids) == 0 && name == o.name &&
           data == o.data;
  }
};

std::vector<Rec> scan(const std::string& path, int idFields,
                      const stratus::IdFilter& filter, bool inPlace) {
  LIStream in(path.c_str());
  stratus::RecordReader r(in, idFields, filter, inPlace);
  std::vector<Rec> out;
  LString name, data;
  while (r.next()) {
    Rec rec{{0, 0, 0}, "", ""};
    for (int i = 0; i < idFields; ++i) rec.ids[i] = r.id(i);
    if (rec.ids[0] % 3 != 1) {  // pass over some records unread
      r.readTexts(name, data);
      rec.name.assign(name.c_str(), name.length());
      rec.data.assign(data.c_str(), data.length());
    }
    out.push_back(rec);
  }
  return out;
}

void checkReaders(const std::string& path) {
  for (int idFields = 1; idFields <= 3; ++idFields) {
    std::vector<Rec> all = scan(path, idFields, stratus::IdFilter(), false);
    check(scan(path, idFields, stratus::IdFilter(), true) == all,
          "in-place scan differs from extraction");
    // Filters on values that occur, and on one that may not.
    std::vector<stratus::IdFilter> filters;
    for (size_t i = 0; i < all.size() && i < 3; ++i) {
      filters.push_back(stratus::IdFilter().require(0, all[i].ids[0]));
      if (idFields == 3)
        filters.push_back(stratus::IdFilter()
                              .require(2, all[i].ids[2])
                              .require(1, all[i].ids[1]));
    }
    filters.push_back(stratus::IdFilter().require(idFields - 1, 6));
    for (const stratus::IdFilter& f : filters) {
      std::vector<Rec> expected;
      for (const Rec& r : all) {
        bool pass = true;
        for (int i = 0; i < f.count(); ++i)
          pass = pass && r.ids[f.field(i)] == f.value(i);
        if (pass) expected.push_back(r);
      }
      check(scan(path, idFields, f, true) == expected,
            "filtered in-place scan differs from extraction");
    }
  }
}

void checkDatabase(const std::string& dir) {
  WLocationDB db(dir.c_str());
  LVector<WCountry> countries;
  check(db.getCountryList(countries) == 0, "country list failed");
  LVector<WState> states;
  check(db.getStateList(1, states) == 0, "state list failed");
  for (unsigned i = 0; i < states.getSize(); ++i) {
    check(states[i].getCountryId() == 1, "state of another country listed");
    if (i >= kLookups) continue;
    WState s;
    check(db.getState(states[i].getId(), s) == 0 &&
              s.getId() == states[i].getId(),
          "listed state not found");
  }
  unsigned state = states.getSize() > 0 ? states[0].getId() : 6;
  LVector<WCity> cities;
  check(db.getCityList(1, state, cities) == 0, "city list failed");
  std::vector<unsigned> listed;
  for (unsigned i = 0; i < cities.getSize(); ++i) {
    check(cities[i].getStateId() == state && cities[i].getCountryId() == 1,
          "city of another state listed");
    listed.push_back(cities[i].getId());
    if (i >= kLookups) continue;
    WCity c;
    check(
        db.getCity(cities[i].getId(), c) == 0 && c.getId() == cities[i].getId(),
        "listed city not found");
  }
  std::vector<unsigned> iterated;
  WCity c;
  if (db.initCityIterator(1, state) == 0) {
    while (db.getNextCity(c) == 0)
      if (c.getCountryId() == 1) iterated.push_back(c.getId());
  }
  db.closeCityIterator();
  check(iterated == listed, "iteration differs from the list");
  WLocation loc;
  if (cities.getSize() > 0 && states.getSize() > 0)
    check(
        db.makeUSLocation(state, cities[0].getId(), loc) == 0 && loc.isValid(),
        "makeUSLocation failed on listed records");
  LVector<WArea> areas;
  check(db.getAreaList(1, state, areas) == 0, "area list failed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Each stream mallocs and frees a 64 KiB block: keep freed memory in the
  // heap instead of returning it to the system and faulting it in again.
  // (A sanitizer's allocator ignores this.)
  static const int keepHeap = mallopt(M_TRIM_THRESHOLD, 64 << 20);
  (void)keepHeap;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string dir = kDir;
  for (const char* name :
       {"countries.ldt", "states.ldt", "areas.ldt", "cities.ldt"})
    memoryFiles()[dir + "/" + name] = bytes;
  checkDatabase(dir);
  if (size > 0 && (data[0] & 1) != 0) {
    // Put the end of the first block `data[0]` bytes into the input.
    // The padding is lines without an id, which every reader drops.
    size_t before = 65536 - (data[0] < size ? data[0] : size);
    std::string pad;
    while (pad.size() + 1000 < before)
      pad += "x\tx\tx\t" + std::string(993, 'y') + "\n";
    pad += std::string(before - pad.size(), '\n');
    bytes = pad + bytes;
  }
  memoryFiles()[dir + "/records"] = bytes;
  checkReaders(dir + "/records");
  return 0;
}
