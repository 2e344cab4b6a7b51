// WLocationDB: the location database, four read-only data files in one
// directory.
//
//   countries.ldt   id  name  data
//   states.ldt      id  countryId  name  shortName
//   areas.ldt       id  countryId  stateId  name  data
//   cities.ldt      id  countryId  stateId  name  cityData
//
// One record per line, fields separated by one TAB, lines ending in LF (a CR
// before it is dropped); blank lines are passed over. Ids are unsigned
// decimal numbers of at most 32 bits. A record whose id fields are not all
// present and numeric is skipped by every operation; text fields missing at
// the end of a line read as empty. docs/location-data.md describes the files.
//
// The database holds only its directory and one iteration cursor. Nothing is
// cached: every list and lookup opens its file, reads it from the start and
// closes it; a list reads it twice (count, then fill), so that its vector is
// allocated once at its final size.
//
// Results: every operation returns 0 for success and -1 for any failure (a
// file that does not open, no record with the id sought, the end of an
// iteration, allocation failure). No exception leaves an operation, and
// nothing is logged. Out-arguments are written only on success.
//
// One database is process-wide: initLocationDB creates it, getLocationDB
// reaches it, closeLocationDB destroys it. Not thread-safe: the database and
// p_locDB are used by one thread at a time.
#ifndef STRATUS_LOCATION_LOCATION_DB_H_
#define STRATUS_LOCATION_LOCATION_DB_H_

#include "stratus/export.h"
#include "stratus/foundation/istream.h"
#include "stratus/foundation/string.h"
#include "stratus/foundation/vector.h"
#include "stratus/location/location.h"

class STRATUS_EXPORT WLocationDB {
 public:
  // The process-wide database; null until initLocationDB and after
  // closeLocationDB.
  static WLocationDB* p_locDB;

  // Destroys the database that exists, then creates one on `directory` and
  // stores it in p_locDB. The directory is neither checked nor opened: a
  // wrong one shows as -1 from the first list or lookup. An empty directory
  // means the current directory. If the new database cannot be allocated,
  // p_locDB stays null.
  static void initLocationDB(const LString& directory);
  // The database of p_locDB. REQUIRES: initLocationDB was called and
  // closeLocationDB was not called since. Otherwise the result is a
  // library-owned fallback database on the current directory.
  static WLocationDB& getLocationDB();
  // Destroys the database, if any, and sets p_locDB to null.
  static void closeLocationDB();

  // Empty directory (the current one), no iteration open.
  WLocationDB();
  // A database on `directory`, no iteration open.
  explicit WLocationDB(const LString& directory);
  // Copy the directory and the city filter state; an iteration open in
  // `other` stays with `other`, the copy has none open (an iteration open in
  // the target of operator= is closed).
  WLocationDB(const WLocationDB& other);
  WLocationDB& operator=(const WLocationDB& other);
  // Closes the iteration that is open.
  ~WLocationDB();

  // Lists: `list` is replaced by the matching records in file order (no
  // sorting, duplicates kept); no match gives an empty list and 0. On -1
  // (file does not open, or allocation fails while sizing the list) `list`
  // keeps its contents. An allocation failure while the records are copied
  // in leaves `list` at its new size with the records stored so far at its
  // start, and the result is -1.
  int getCountryList(LVector<WCountry>& list);
  // States whose country id is `country`.
  int getStateList(unsigned country, LVector<WState>& list);
  // Areas whose country id is `country` and state id is `state`.
  int getAreaList(unsigned country, unsigned state, LVector<WArea>& list);
  // Cities whose country id is `country` and state id is `state`.
  int getCityList(unsigned country, unsigned state, LVector<WCity>& list);

  // Lookups: the first record in the file whose id is `id`; reading stops
  // there. -1 when no record has it or the file does not open; the record
  // passed in is then unchanged.
  int getCountry(unsigned id, WCountry& country);
  int getState(unsigned id, WState& state);
  int getArea(unsigned id, WArea& area);
  int getCity(unsigned id, WCity& city);

  // Iterations. The database has one cursor, shared by the state and the
  // city iteration: opening either closes the one that is open. An
  // iteration reads its file as it goes and does not rewind; after the -1
  // of its end, further calls return -1 until an iteration is opened again.
  //
  // Opens the iteration over every record of states.ldt (`country` is not
  // used). 0, or -1 when the file does not open.
  int initStateIterator(unsigned country);
  // The next state record into `state`. -1 at the end, when no iteration is
  // open or its file did not open, and after a failure while reading.
  // REQUIRES: the open iteration is a state iteration.
  int getNextState(WState& state);
  // Closes the iteration that is open, whichever it is; nothing if none.
  void closeStateIterator();

  // Opens the iteration over the cities of state `state` in cities.ldt
  // (`country` is not used: the state id alone is matched). 0, or -1 when
  // the file does not open.
  int initCityIterator(unsigned country, unsigned state);
  // The next city of the state into `city`; -1 as for getNextState.
  // REQUIRES: the open iteration is a city iteration.
  int getNextCity(WCity& city);
  // Closes the iteration that is open, whichever it is; nothing if none.
  void closeCityIterator();

  // Resolves a chosen state and city of the United States into `location`:
  // country 1, the given state and city ids, area 0, the city's data string,
  // the state's short name, the name "<city>, <state>, United States", and
  // valid. The city is looked up first; -1 (and `location` unchanged) when
  // either lookup fails. The city's own country and state ids are not
  // compared with the arguments.
  int makeUSLocation(unsigned state, unsigned city, WLocation& location);

 private:
  // `path` = `directory` + "/" + `file`, or just `file` when `directory` is
  // empty. A separator that the directory already ends in is not removed.
  static void getFileName(const LString& directory, const LString& file,
                          LString& path);
  // Closes the cursor, then opens `file` as the new cursor. 0 when it
  // opened; -1 when it did not (the cursor is then a stream without a file)
  // or the stream could not be created (no cursor).
  int openCursor(const char* file);

  LString directory_;
  LIStream* cursor_;     // the open iteration's stream, owned; or null
  unsigned cityFilter_;  // state id that getNextCity matches
};

#endif  // STRATUS_LOCATION_LOCATION_DB_H_
