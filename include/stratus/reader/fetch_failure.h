// Why the last page fetch of this thread failed: an opt-in detail for hosts
// that want to say more than the status line's "cannot connect to server".
// The reader's results and messages are the same whether or not a host
// looks here.
#ifndef STRATUS_READER_FETCH_FAILURE_H_
#define STRATUS_READER_FETCH_FAILURE_H_

#include <string>

#include "stratus/export.h"

struct STRATUS_EXPORT WFetchFailure {
  enum Kind {
    NONE = 0,     // the last fetch did not fail (or none was made)
    BAD_URL,      // not an http:// or https:// URL with a host; not sent
    NO_PROXY,     // UseProxy is set but ProxyLocation is empty; not sent
    NO_ANSWER,    // nothing answered: unknown host, refused, unreachable,
                  // the proxy unreachable, or the connection dropped
                  // before an answer
    TIMED_OUT,    // no complete answer header within the time-outs
    HTTP_STATUS,  // the server answered with a status other than 200
    NO_LIBRARY    // libcurl could not be loaded
  };
  Kind kind = NONE;
  std::string url;     // the URL asked for
  int status = 0;      // HTTP_STATUS: the status code (404)
  std::string reason;  // HTTP_STATUS: the reason phrase ("Not Found"); the
                       // others: what the transfer library said
  // HTTP_STATUS with a text/plain body: its first non-empty line, at most
  // MAX_DETAIL bytes; "" otherwise.
  std::string detail;

  static constexpr int MAX_DETAIL = 200;

  // What happened, in words for a person, without the URL (a host shows it
  // beside): "the server answered 404 Not Found: no station KXYZ",
  // "nothing answered (Couldn't connect to server)", "no answer in time".
  std::string describe() const;
};

// The failure of the last fetch started on the calling thread that did not
// get a page (`kind` NONE after a fetch that did). The texts hold no control
// characters (they are replaced by blanks) and are cut to bounded lengths.
STRATUS_EXPORT WFetchFailure lastFetchFailure();

#endif  // STRATUS_READER_FETCH_FAILURE_H_
