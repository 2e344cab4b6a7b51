// The HTTP serving core of stratus's servers (the sample server and the
// gateway): it listens on one address, reads requests, asks a page source
// for each answer and writes it back. What is served is the page source's
// business; everything about connections is here, once.
//
// It speaks the part of HTTP/1.1 a weather page needs: GET and HEAD, no
// request bodies, keep-alive. A few event-loop threads (one per core) serve
// every connection with non-blocking sockets, each connection a small state
// machine (reading a header, answering, writing, draining). An answer that
// may wait (the gateway asking its upstream) is made on a thread of a pool
// that grows as needed and shrinks when idle, so that it holds no one else
// up; the loop writes it when it is done.
// Hostile or idle clients are bounded:
//   - a request header must arrive whole within the request time-out, an
//     idle kept-alive connection is closed after the idle time-out, and a
//     write of an answer that makes no progress for the write time-out ends
//     its connection;
//   - at most `maxConnections` are open; a new one beyond that closes the
//     connection that has waited longest for a request header, or is
//     answered 503 when every connection is busy with a request;
//   - a request line over `maxHeaderBytes` (its line end not counted) is
//     answered 414, header fields over `maxHeaderBytes` together (their
//     line ends counted, the closing blank line not) 431, as soon as the
//     bytes received show it, however they were split into packets;
//   - a request that could be framed two ways is answered 400 and its
//     connection closed: any Transfer-Encoding header (even empty), more
//     than one Content-Length, a Content-Length that is not 0, a header
//     name that is not a token (a blank before the colon), a header line
//     that starts with a blank, or a control character in a value;
//   - the path is percent-decoded; a NUL, a bad escape, or a "." or ".."
//     segment is answered 400 before any page source sees it.
// A connection closed after an answer is drained for up to a second before
// it is closed, so that the client reads the answer rather than a reset.
#ifndef STRATUS_TOOLS_SERVER_SERVER_H_
#define STRATUS_TOOLS_SERVER_SERVER_H_

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace stratus_server {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct Request {
  std::string method;  // "GET" or "HEAD"
  std::string target;  // as the client sent it
  std::string path;    // percent-decoded, without the query; starts with '/'
  std::string query;   // after '?', not decoded; "" when none
  Headers headers;     // names in lower case

  // The value of the header `lowerName`, or "" when there is none.
  std::string header(const std::string& lowerName) const;
};

// A file sent as an answer's body straight from its descriptor, so that a
// slow reader costs a descriptor, not a copy of the file. Closed when the
// last answer that holds it is gone.
class OpenFile {
 public:
  OpenFile(int fd, std::size_t size) : fd_(fd), size_(size) {}
  ~OpenFile();
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd() const { return fd_; }
  std::size_t size() const { return size_; }

 private:
  int fd_;
  std::size_t size_;
};

struct Response {
  int status = 200;
  std::string contentType = "text/html; charset=utf-8";
  Headers headers;  // more headers (Cache-Control, Retry-After, ...)
  std::string body;
  // When set, the body is this text instead of `body`: a page kept by its
  // source is sent to every client from one copy.
  std::shared_ptr<const std::string> sharedBody;
  // When set, the body is this file instead of `body` or `sharedBody`.
  std::shared_ptr<const OpenFile> file;

  // The body's text: `sharedBody`'s when set, else `body` (not `file`).
  const std::string& bodyText() const {
    return sharedBody ? *sharedBody : body;
  }

  // A short page for status `status` with `message` (HTML-escaped).
  static Response error(int status, const std::string& message);
};

// Answers the requests of one server. Thread-safe: its calls come from
// several threads at once.
class PageSource {
 public:
  virtual ~PageSource() = default;
  // The answer to `request`; may block (on an upstream, say) when
  // mayWait() is true. Called on a thread that serves nothing else
  // meanwhile when mayWait() is true, else on an event loop.
  virtual Response serve(const Request& request) = 0;
  // Whether serve() may block. True unless a source says otherwise.
  virtual bool mayWait() const { return true; }
  // The answer to `request` into `response` when it can be had at once,
  // without blocking: true then; false, `response` untouched, when only
  // serve() can give it. Called on an event loop, which serves every other
  // connection of that loop meanwhile. By default: serve() when mayWait()
  // is false, else false.
  virtual bool answerNow(const Request& request, Response& response) {
    if (mayWait()) return false;
    response = serve(request);
    return true;
  }
};

struct Limits {
  int requestSeconds = 10;  // a whole request header
  int idleSeconds = 5;      // a kept-alive connection waiting for a request
  int writeSeconds = 10;    // a write of an answer that makes no progress
  int maxConnections = 256;
  std::size_t maxHeaderBytes = 16 * 1024;
  // A thread made for answers that may wait ends after this long without
  // one to make.
  int idleThreadSeconds = 10;
};

// Where the request header at the start of `buffer` ends, and whether it
// breaks a limit already. `buffer` holds what a client sent, empty lines
// before the request skipped.
struct HeadScan {
  std::size_t length = 0;  // with its blank line; 0 while not complete
  int refusal = 0;         // 414 or 431 when a limit is broken, else 0
};
HeadScan scanHead(const std::string& buffer, std::size_t maxBytes);

// Reads a whole request header `head` into `request` (method, target, path,
// query, headers). Returns 0 when it may be served; else the status to
// answer (400, 405) with the reason in `why`; `keepAlive` tells whether the
// connection may stay open after the answer.
int parseHead(const std::string& head, Request& request, std::string& why,
              bool& keepAlive);

class Server {
 public:
  // With `log`, one line per request goes to standard error: method, path,
  // status, body bytes and milliseconds taken.
  Server(PageSource& source, const Limits& limits, bool log);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds host:port (port 0 picks a free one); the port bound, or -1.
  int bind(const std::string& host, int port);
  // Serves until stop(); returns after every connection has ended.
  void run();
  // Makes run() end: no new connections, open ones are shut down. Safe from
  // any thread, also before run() has started.
  void stop();

 private:
  class Loop;
  class WaitPool;
  struct Connection;

  // Takes `fd`, a new connection, into the count of open ones, making room
  // under the cap; false when it is to be refused (answered 503).
  bool admit(int fd, Connection& connection);
  // Drops the connection `fd` from the count and closes it.
  void release(int fd, Connection& connection);

  PageSource& source_;
  Limits limits_;
  bool log_;
  int listen_ = -1;
  std::atomic<bool> stopping_{false};
  std::vector<std::unique_ptr<Loop>> loops_;
  std::atomic<std::size_t> running_{1};   // loops_ that run, the first ones
  std::atomic<std::size_t> nextLoop_{0};  // the loop for the next connection
  std::unique_ptr<WaitPool> pool_;

  // The connection cap: every open connection, by descriptor. A descriptor
  // is closed with the lock held, so that it is not reused meanwhile.
  std::mutex mutex_;
  std::map<int, Connection*> open_;
  std::size_t evicted_ = 0;  // connections of open_ shut down to make room
};

// `text` safe anywhere in HTML text or a quoted attribute value: "&", "<",
// ">", '"' and "'" become character references, and control characters
// other than line feed and tab become blanks. Other bytes pass unchanged.
std::string htmlEscape(const std::string& text);

// Percent-decodes a URL path; false for a bad escape or a NUL.
bool decodePath(const std::string& raw, std::string& path);

// True when a decoded path has a "." or ".." segment.
bool hasDotSegment(const std::string& path);

// An HTTP date (RFC 9110) for a time in seconds since the epoch, and back
// (-1 when `text` is not one).
std::string httpDate(long long seconds);
long long parseHttpDate(const std::string& text);

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread and every thread
// it starts from then on, and ignores SIGPIPE (a client that goes away is a
// failed send, not the end of the server); call first thing in main().
void blockStopSignals();
// Runs `server` on a thread of its own until one of those signals comes (or
// the server ends by itself); then stops it and returns.
void runUntilStopSignal(Server& server);

}  // namespace stratus_server

#endif  // STRATUS_TOOLS_SERVER_SERVER_H_
