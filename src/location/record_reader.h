// RecordReader: walks the records of one location data file.
//
// A record is one line: one or more decimal id fields, then two text fields
// (name and data), separated by TABs. The reader reads the first id of a
// record on its own, so that a lookup can pass over a line that does not
// carry the id sought without parsing the rest of it; the other ids follow
// on request. A record whose id fields are not all present and numeric (at
// most 32 bits) is dropped whole, so a damaged line never shifts the fields
// of the next one.
//
// Protocol, for each record: next(); then skip(), or readIds() and, when it
// returned true, skip() or readTexts(). Every path ends at the start of the
// next line, so a reader can be made afresh on a stream between records (an
// iteration does that on each step).
//
// The reader does not own the stream. LIStream may throw LEx(L_MEM) while a
// text is copied; the reader adds no exception of its own.
#ifndef STRATUS_LOCATION_RECORD_READER_H_
#define STRATUS_LOCATION_RECORD_READER_H_

#include "stratus/foundation/istream.h"
#include "stratus/foundation/string.h"

namespace stratus {

class RecordReader {
 public:
  static constexpr int kMaxIds = 3;

  // `idFields`: the number of id fields of a record, 1 to kMaxIds.
  RecordReader(LIStream& in, int idFields);

  // Moves to the next record whose first id is well formed and reads that
  // id. False at the end of the file.
  bool next();
  // Reads the record's other id fields. False when one is malformed: the
  // record is then dropped and the stream stands at the next line.
  bool readIds();
  // Reads the name and data fields and finishes the record. Fields missing
  // at the end of the line read as empty; fields beyond them are dropped.
  void readTexts(LString& name, LString& data);
  // Finishes the record without reading the rest of it.
  void skip() { in_.endRecord(); }

  // Id field `i` of the current record (0 is the record's own id).
  unsigned id(int i) const { return ids_[i]; }

 private:
  LIStream& in_;
  int idFields_;
  unsigned ids_[kMaxIds];
};

}  // namespace stratus

#endif  // STRATUS_LOCATION_RECORD_READER_H_
