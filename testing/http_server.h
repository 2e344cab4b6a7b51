// Loopback servers for tests that talk HTTP for real.
//
// HttpServer wraps cpp-httplib on 127.0.0.1 (a port the system picks, its
// own thread) and records every request it answered. RawServer answers every
// connection with fixed bytes and then closes, resets or holds it: for
// answers no well-behaved server gives. Link cpp-httplib through pkg-config
// (its compile definitions must match the library's, or class layouts
// differ).
#ifndef STRATUS_TESTING_HTTP_SERVER_H_
#define STRATUS_TESTING_HTTP_SERVER_H_

#include <httplib.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace stratus_test {

class HttpServer {
 public:
  struct Request {
    std::string path;
    httplib::Headers headers;
  };

  HttpServer();
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // The server, to add routes before start().
  httplib::Server& routes() { return server_; }
  // Answers GET `path` with status 200 and `body`.
  void serve(const std::string& path, const std::string& body,
             const std::string& contentType = "text/html");
  // Serves the files under `dir` at `mount` ("/" for the root).
  bool serveDirectory(const std::string& mount, const std::string& dir);

  // Starts serving; false when the server did not come up within 5 s.
  bool start();
  // Stops serving and joins the thread; handlers blocked in wait() return.
  void stop();

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path.
  std::string url(const std::string& path = "/") const;
  // For handlers that drip or stall: waits `ms` milliseconds, or less when
  // the server stops (then returns false).
  bool wait(int ms);

  // The requests received so far, in order, and how many asked for `path`.
  std::vector<Request> requests() const;
  int hits(const std::string& path) const;

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable stopping_cv_;
  bool stopping_ = false;
  std::vector<Request> requests_;
};

class RawServer {
 public:
  enum class End { kClose, kReset, kHold };

  // Every connection gets `reply` (after its request header was read) and
  // is then closed, reset, or held open until stop().
  RawServer(std::string reply, End end);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  bool start();
  void stop();
  std::string url(const std::string& path = "/") const;

 private:
  void run();
  void answer(int fd);

  std::string reply_;
  End end_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};  // a pipe that ends run()
  int port_ = 0;
  std::vector<int> held_;
  std::thread thread_;
};

// A loopback port on which nothing listens (bound once, then released).
int closedPort();

}  // namespace stratus_test

#endif  // STRATUS_TESTING_HTTP_SERVER_H_
