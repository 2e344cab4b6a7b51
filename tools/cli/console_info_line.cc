#include "console_info_line.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "text.h"

namespace stratus_cli {

namespace {

const char kErrorPrefix[] = "Error: ";

bool envSet(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0';
}

}  // namespace

ConsoleInfoLine::ConsoleInfoLine(std::FILE* stream, bool quiet)
    : stream_(stream), quiet_(quiet) {
  const char* term = std::getenv("TERM");
  bool dumb = term != nullptr && std::strcmp(term, "dumb") == 0;
  inPlace_ = isatty(fileno(stream)) != 0 && !dumb;
  escapes_ = inPlace_ && !envSet("NO_COLOR");
}

ConsoleInfoLine::~ConsoleInfoLine() { clearLine(); }

void ConsoleInfoLine::show(const LString& message) {
  if (std::strncmp(message, kErrorPrefix, sizeof kErrorPrefix - 1) == 0) {
    error(message.str().substr(sizeof kErrorPrefix - 1));
  } else {
    progress(message.str());
  }
}

void ConsoleInfoLine::endProgress() { clearLine(); }

void ConsoleInfoLine::error(const std::string& text) {
  const std::string message = printable(text);
  clearLine();
  if (escapes_) {
    std::fprintf(stream_, "\033[1;31mError:\033[0m %s\n", message.c_str());
  } else {
    std::fprintf(stream_, "%s%s\n", kErrorPrefix, message.c_str());
  }
  std::fflush(stream_);
}

void ConsoleInfoLine::progress(const std::string& text) {
  if (quiet_) return;
  const std::string message = printable(text);
  if (!inPlace_) {
    std::fprintf(stream_, "%s\n", message.c_str());
  } else if (escapes_) {
    std::fprintf(stream_, "\r\033[K%s", message.c_str());
    shown_ = message.size() + 1;
  } else {
    // Blank out what is left of a longer earlier message.
    size_t pad = shown_ > message.size() ? shown_ - message.size() : 0;
    std::fprintf(stream_, "\r%s%*s", message.c_str(), static_cast<int>(pad),
                 "");
    shown_ = message.size() + 1;
  }
  std::fflush(stream_);
}

void ConsoleInfoLine::clearLine() {
  if (shown_ == 0) return;
  if (escapes_) {
    std::fputs("\r\033[K", stream_);
  } else {
    std::fprintf(stream_, "\r%*s\r", static_cast<int>(shown_), "");
  }
  shown_ = 0;
  std::fflush(stream_);
}

}  // namespace stratus_cli
