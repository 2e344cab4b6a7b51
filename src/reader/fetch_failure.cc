#include "stratus/reader/fetch_failure.h"

#include <string>

#include "reader/page_fetcher.h"

namespace stratus {
namespace {

// Each thread's last failure: a reader is used by one thread at a time, and
// a host asks right after the call that failed, on the same thread.
thread_local WFetchFailure tLast;

// At most `max` bytes of `text` with control characters as blanks, cut at a
// UTF-8 character boundary.
std::string safe(const std::string& text, size_t max) {
  std::string out = text.substr(0, max);
  if (out.size() < text.size()) {
    while (!out.empty() &&
           (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80)
      out.pop_back();
    if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0)
      out.pop_back();
  }
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return out;
}

}  // namespace

void recordFetchFailure(const WFetchFailure& failure) {
  WFetchFailure f = failure;
  f.url = safe(f.url, 2048);
  f.reason = safe(f.reason, 200);
  f.detail = safe(f.detail, WFetchFailure::MAX_DETAIL);
  tLast = std::move(f);
}

}  // namespace stratus

WFetchFailure lastFetchFailure() { return stratus::tLast; }

std::string WFetchFailure::describe() const {
  switch (kind) {
    case NONE:
      return "no failure";
    case BAD_URL:
      return "not a URL that is fetched: " + reason;
    case NO_PROXY:
      return "UseProxy is set but ProxyLocation names no proxy";
    case NO_ANSWER:
      return "nothing answered" + (reason.empty() ? "" : " (" + reason + ")");
    case TIMED_OUT:
      return "no answer in time" + (reason.empty() ? "" : " (" + reason + ")");
    case HTTP_STATUS:
      return "the server answered " + std::to_string(status) +
             (reason.empty() ? "" : " " + reason) +
             (detail.empty() ? "" : ": " + detail);
    case NO_LIBRARY:
      return "libcurl (libcurl.so.4) could not be loaded";
  }
  return "unknown failure";
}
