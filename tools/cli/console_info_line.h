// ConsoleInfoLine: the host's status line (LInfoLine) on standard error.
//
// Progress messages ("Getting forecast...") are rewritten in place on one
// line when the stream is a terminal, and written as plain lines otherwise;
// --quiet hides them. Error messages ("Error: ...") are always written, on a
// line of their own, with "Error:" in red on a colour terminal. NO_COLOR (set
// and not empty) or TERM=dumb turn off every escape sequence: the line is
// then rewritten with a carriage return and blanks only.
//
// Control characters in messages (a URL or a place name typed by the user, a
// line of a settings file) are shown, never sent to the terminal: see
// printable() in text.h.
//
// Not thread-safe; one per process.
#ifndef STRATUS_TOOLS_CLI_CONSOLE_INFO_LINE_H_
#define STRATUS_TOOLS_CLI_CONSOLE_INFO_LINE_H_

#include <cstdio>
#include <string>

#include "stratus/stratus.h"

namespace stratus_cli {

class ConsoleInfoLine final : public LInfoLine {
 public:
  // `stream` is written to and never closed. Whether it is a terminal and
  // may take colour is read from the stream and the environment here.
  ConsoleInfoLine(std::FILE* stream, bool quiet);
  ~ConsoleInfoLine();

  // A message beginning with "Error: " is an error, anything else progress.
  void show(const LString& message) override;
  // Clears the progress line (on a terminal); nothing otherwise.
  void endProgress() override;

  // Shows "Error: " + `text`.
  void error(const std::string& text);
  // Shows a progress message.
  void progress(const std::string& text);

 private:
  void clearLine();

  std::FILE* stream_;
  bool quiet_;
  bool inPlace_;      // a terminal: progress rewrites one line
  bool escapes_;      // colour and erase-line sequences allowed
  size_t shown_ = 0;  // characters on the open progress line; 0 when none
};

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_CONSOLE_INFO_LINE_H_
