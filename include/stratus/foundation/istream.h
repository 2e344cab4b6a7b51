// LIStream: a buffered reader of the TAB-separated record files.
//
// Item syntax: a record is one line; its fields are separated by one TAB;
// the line ends with LF, and a CR before the LF is dropped. An extraction
// reads one field and consumes the TAB behind it; at the end of a line it
// yields an empty field (0 for a number) and consumes nothing, so a record
// that is cut short never eats the next line. `endRecord` drops what is left
// of the current line. Blank lines between records are passed over.
//
// The file is read in blocks into a fixed buffer and parsed in place; memory
// stays constant whatever the size of a file, except for the text of one
// field (a line of a megabyte is read whole into its LString).
//
// Not thread-safe. Closes its file when destroyed.
#ifndef STRATUS_FOUNDATION_ISTREAM_H_
#define STRATUS_FOUNDATION_ISTREAM_H_

#include <cstdio>

#include "stratus/export.h"
#include "stratus/foundation/string.h"

class STRATUS_EXPORT LIStream {
 public:
  // Opens `path` to read. Check `isOpen()`: the handle is null when the file
  // did not open (a directory does not open).
  explicit LIStream(const LString& path);
  ~LIStream();
  LIStream(const LIStream&) = delete;
  LIStream& operator=(const LIStream&) = delete;

  bool isOpen() const { return file_ != nullptr; }

  // True when no further record is in the file: only line ends (or nothing)
  // remain. Always true for a stream that did not open.
  bool eof();

  // Reads a decimal id field. A field that is empty, holds anything but the
  // digits 0-9, or exceeds 32 bits yields 0 and sets the fail flag.
  LIStream& operator>>(unsigned& value);
  LIStream& operator>>(int& value);
  // Reads a text field (any bytes but TAB and line ends).
  LIStream& operator>>(LString& value);
  // Passes over one field without storing it.
  void skipField();
  // Drops the rest of the current line, line end included.
  void endRecord();

  // Set by a malformed number since the last `clearFail` or `rewind`.
  bool fail() const { return fail_; }
  void clearFail() { fail_ = false; }

  // Returns to the start of the file. 0 on success, nonzero when the stream
  // is not open or the file cannot be repositioned.
  int rewind();

  // In-place access for scanners that parse whole lines straight out of the
  // buffer. `peekBuffer` returns the bytes read ahead and not yet consumed,
  // reading the next block first when none are left, and sets `n` to their
  // number (0, and null, at the end of the file). They stay valid until the
  // next operation that reads or rewinds. `consume` marks the first `n` of
  // them as read (0 <= n <= the count of the last peekBuffer).
  const char* peekBuffer(int& n);
  void consume(int n) { pos_ += n; }

 private:
  // Makes at least one unread byte available; false at the end of the file.
  bool fill();
  // Reads one field's bytes into `out` (when not null).
  void readField(LString* out);

  std::FILE* file_;  // first field: the runtime's file handle, null if closed
  char* buf_;
  int pos_;
  int end_;
  bool atEnd_;
  bool fail_;
};

#endif  // STRATUS_FOUNDATION_ISTREAM_H_
