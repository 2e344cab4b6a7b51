// WReportLines: a stream of text cut into the lines that hold one report
// each, for hosts that decode archives, pipes and files.
//
// A line ends at LF, CR or CR LF (a CR LF split between two feeds is one
// end), so that no report takes a group from the next one whatever the
// file's line ends. Blanks and tabs around a line are dropped; blank lines
// are skipped. A line longer than MAX_LINE bytes is no report: it is
// skipped whole, however long, and told to the sink, so that memory stays
// bounded by MAX_LINE whatever the input. Bytes are passed as they are (NUL
// and invalid UTF-8 included).
//
// Not thread-safe; one object per stream.
#ifndef STRATUS_HOST_REPORT_LINES_H_
#define STRATUS_HOST_REPORT_LINES_H_

#include <cstddef>
#include <string>

#include "stratus/export.h"

class STRATUS_EXPORT WReportLines {
 public:
  // What receives the lines. `number` counts every line of the stream from
  // 1, blank ones too.
  class Sink {
   public:
    // A line that is not blank, trimmed; `text` is valid during the call.
    virtual void line(const char* text, size_t n, unsigned long number) = 0;
    // Line `number` was longer than MAX_LINE and was skipped.
    virtual void overlong(unsigned long number) = 0;

   protected:
    ~Sink() = default;
  };

  // The longest line handed to the sink: 64 KiB. A real report is under
  // 1 KiB.
  static constexpr size_t MAX_LINE = 64 * 1024;

  // `sink` must outlive this object.
  explicit WReportLines(Sink& sink) : sink_(sink) {}

  // Hands the lines that `data` completes to the sink.
  void feed(const char* data, size_t n);
  // The stream has ended: hands over its last line, if it had no line end.
  void finish();

  // Lines seen so far (blank ones included).
  unsigned long lines() const { return number_; }

 private:
  // A line has ended: counts it and hands it on.
  void lineDone(const char* text, size_t n);

  Sink& sink_;
  std::string carry_;      // the start of a line cut by the end of a feed
  bool skipping_ = false;  // inside a line already over MAX_LINE
  bool afterCr_ = false;   // the last feed ended with CR
  unsigned long number_ = 0;
};

#endif  // STRATUS_HOST_REPORT_LINES_H_
