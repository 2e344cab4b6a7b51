// WPageFetcher: fetches one web page over HTTP(S) and hands it out line by
// line, without ever holding the whole page.
//
// The transfer runs in libcurl's multi interface and is pulled by readLine:
// while the fetcher holds 1 MiB of unread bytes the transfer is paused, so
// memory stays the same whatever the page's size.
//
// open() succeeds only for an answer with HTTP status 200; everything else
// (no connection, unknown host, refused, a proxy that cannot be reached, any
// other status, a redirection, which is never followed) is L_CONNECT, and
// what happened is kept as the thread's lastFetchFailure(). Only http and
// https URLs with a host are fetched. Nothing is cached: each open goes to the
// server. A transfer that breaks after some lines (reset, cut short, stalled)
// ends the page: the lines that arrived are handed out, then L_INPUT.
//
// Time-outs (see FetchTimeouts): connecting gives up after the connect
// time-out; a transfer that receives no byte for the stall time-out is ended
// (libcurl averages the speed over a few seconds, so this fires about 5 s
// after the setting); an answer whose header is not complete within connect
// plus stall time-out is not had; a page whose whole transfer (connecting,
// header and body, read at the caller's pace) takes longer than the page
// time-out (120 s by default) ends there as a broken transfer does, so a
// server that trickles bytes or sends an endless body cannot hold a read.
//
// One fetcher serves one page on one thread: construct, open, readLine until
// it is not L_OK, close, destroy. Not thread-safe.
#ifndef STRATUS_READER_PAGE_FETCHER_H_
#define STRATUS_READER_PAGE_FETCHER_H_

#include <curl/curl.h>

#include <string>

#include "stratus/foundation/result.h"
#include "stratus/foundation/string.h"
#include "stratus/reader/fetch_failure.h"

#include "reader/line_buffer.h"

namespace stratus {

// Time-outs of the page fetchers, in seconds.
struct FetchTimeouts {
  long connectSeconds = 10;
  long stallSeconds = 30;
  long pageSeconds = 120;  // the whole transfer of one page
};

// The time-outs that fetchers built from now on use. Not thread-safe; meant
// for tests, which shorten them so that a failure shows quickly.
FetchTimeouts fetchTimeouts();
void setFetchTimeouts(const FetchTimeouts& timeouts);

// Sets the calling thread's lastFetchFailure(), its texts made safe to show
// (control characters as blanks, cut to bounded lengths).
void recordFetchFailure(const WFetchFailure& failure);

}  // namespace stratus

class WPageFetcher {
 public:
  // With `useProxy`, every request goes through the proxy `proxyLocation`
  // ("host:port" or a proxy URL); an empty location then names no proxy and
  // open() fails. Without it, the system's configured access applies (the
  // http_proxy, https_proxy and no_proxy environment variables).
  WPageFetcher(bool useProxy, const LString& proxyLocation);
  ~WPageFetcher();
  WPageFetcher(const WPageFetcher&) = delete;
  WPageFetcher& operator=(const WPageFetcher&) = delete;

  // Sends a GET for `url` and waits for the answer's header.
  //   L_OK       status 200; the body can be read with readLine
  //   L_CONNECT  the page cannot be had (see the class comment)
  // Call once per fetcher.
  int open(const LString& url);

  // The next line of the body: it ends with its line feed (the page's last
  // line may lack one), holds no carriage return and is at most 1,022
  // characters long; a longer line of the page comes in pieces.
  //   L_OK     `line` holds the next line
  //   L_INPUT  the page has ended (or its transfer broke); `line` untouched
  //   L_ERROR  open() did not succeed, or close() was called
  int readLine(LString& line);

  // The same without a copy: on L_OK, `data` and `n` hold the next line
  // inside the fetcher, valid until the next call of readLine or close.
  int readLine(const char*& data, std::size_t& n) {
    if (open_ && request_ != nullptr && lines_.take(data, n, done_)) {
      return L_OK;  // the common case, inline
    }
    return waitForLine(data, n);
  }

  // Ends the transfer and releases the request. The fetcher stays usable
  // only for destruction.
  void close();

 private:
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  bool configure(const LString& url);
  int waitForLine(const char*& data, std::size_t& n);
  // Lets the transfer run until something arrived or it ended; waits at
  // most about one second.
  void pump();
  void collectDone();
  // Records why open() fails; returns L_CONNECT.
  int fail(WFetchFailure::Kind kind, std::string reason = "");
  // An answer other than 200: its status line and, for a text/plain body,
  // the body's first non-empty line, read for a short while.
  int failOnStatus();

  CURLM* session_;
  CURL* request_;
  bool open_;
  bool useProxy_;
  std::string proxy_;
  stratus::FetchTimeouts timeouts_;

  curl_slist* headers_;
  stratus::LineBuffer lines_;
  bool added_;        // request_ is in session_
  bool paused_;       // the body callback asked libcurl to pause
  bool headerDone_;   // a final (not 1xx) header block has ended
  bool done_;         // the transfer has ended, well or not
  bool outOfMemory_;  // the body callback could not store what arrived
  long status_;
  CURLcode result_;         // the transfer's result once done_
  std::string url_;         // as asked for
  std::string statusLine_;  // the final answer's first header line
  bool plainText_;          // the final answer's Content-Type is text/plain
};

#endif  // STRATUS_READER_PAGE_FETCHER_H_
