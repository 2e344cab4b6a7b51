// RecordReader: finds the records of a location data file that a list,
// lookup or iteration wants.
//
// A record is one line: `idFields` decimal id fields, then a name and a data
// field, separated by TABs:
//
//   line   = *CR id *(TAB id) [TAB name [TAB data [TAB ignored...]]] LF
//   id     = 1*10DIGIT, at most 4294967295 (a CR at the end of a field is
//            not part of it)
//
// CRs at the start of a line and blank lines are passed over. A record whose
// id fields are not all present and well formed is dropped whole, so a
// damaged line never shifts the fields of the next one. A name or data field
// missing at the end of the line reads as empty.
//
// These are exactly the rules of LIStream's field extraction, which the
// reader uses for a line that the stream's buffer does not hold whole. Every
// other line is parsed in place in the buffer: complete lines are located a
// block at a time, and a line is rejected on the id fields that the filter
// names, usually on their first byte, before anything is copied. That keeps a
// scan of the 33,000-city file within a small multiple of reading its bytes.
//
// The reader does not own the stream; it keeps no state that a later reader
// on the same stream needs (every record is consumed through its line end by
// the time next() returns it), so an iteration can make a fresh reader for
// each step. LIStream may throw LEx(L_MEM) while a text is copied.
#ifndef STRATUS_LOCATION_RECORD_READER_H_
#define STRATUS_LOCATION_RECORD_READER_H_

#include "stratus/foundation/istream.h"
#include "stratus/foundation/string.h"

namespace stratus {

// The id values that a record must carry to be selected: up to two
// (field, value) pairs; none selects every well-formed record.
class IdFilter {
 public:
  static constexpr int kMax = 2;

  IdFilter() : count_(0), field_{0, 0}, value_{0, 0} {}
  // Adds the condition "id field `field` equals `value`". REQUIRES: fewer
  // than kMax conditions so far.
  IdFilter& require(int field, unsigned value) {
    field_[count_] = field;
    value_[count_] = value;
    ++count_;
    return *this;
  }

  int count() const { return count_; }
  int field(int i) const { return field_[i]; }
  unsigned value(int i) const { return value_[i]; }

 private:
  int count_;
  int field_[kMax];
  unsigned value_[kMax];
};

class RecordReader {
 public:
  static constexpr int kMaxIds = 3;

  // `idFields`: the number of id fields of a record, 1 to kMaxIds; the
  // filter names fields below it. `inPlace` false reads every line through
  // LIStream's field extraction (the reference the in-place parser must
  // agree with; tests and the fuzz target compare the two).
  RecordReader(LIStream& in, int idFields, const IdFilter& filter,
               bool inPlace = true);

  // Moves to the next well-formed record that passes the filter and reads
  // its ids. False at the end of the file.
  bool next();
  // Id field `i` of the current record (0 is the record's own id).
  unsigned id(int i) const { return ids_[i]; }
  // Reads the name and data of the current record. At most once per record,
  // before the next call of next().
  void readTexts(LString& name, LString& data);

 private:
  // The next match among the complete lines of the buffer, or (on a line
  // the buffer holds only in part) by extraction. False at the end.
  bool nextInPlace();
  // nextInPlace with the first filter condition, on field `Probe` (-1:
  // none), tested on every line before the full rules.
  template <int Probe>
  bool scan();
  // Reads one record by extraction; true when it is a match.
  bool nextExtracted();
  // Tests the line [begin, end) (end at its LF) and reads its ids.
  bool matchLine(const char* begin, const char* end, const char* limit);

  LIStream& in_;
  int idFields_;
  IdFilter filter_;
  bool inPlace_;
  bool probe_;     // the first condition is tested quickly
  char text_[11];  // its value's decimal text
  int textLength_;
  unsigned ids_[kMaxIds];

  // The current record: held in place (the text fields of its line, still
  // valid in the buffer), or waiting in the stream behind its ids.
  enum class Pending { kNone, kInPlace, kExtracted };
  Pending pending_;
  const char* texts_;    // in place: first byte after the id fields
  const char* lineEnd_;  // in place: the line's LF
};

}  // namespace stratus

#endif  // STRATUS_LOCATION_RECORD_READER_H_
