// Loopback servers for tests that talk HTTP for real.
//
// HttpServer wraps cpp-httplib: add routes (or a folder to serve), start it
// on 127.0.0.1 with a port the system picks, and it runs on its own thread
// until stop() or destruction. It records every request it answered, so a
// test can tell which paths were asked for and with what headers.
//
// RawServer answers every connection with fixed bytes and then closes,
// resets or holds the connection: for answers no well-behaved server gives
// (a reset in mid-body, a broken chunk size, no status line).
//
// Link with cpp-httplib through pkg-config (its compile definitions must
// match the library's, or class layouts differ).
#ifndef STRATUS_TESTS_SUPPORT_HTTP_SERVER_H_
#define STRATUS_TESTS_SUPPORT_HTTP_SERVER_H_

#include <httplib.h>

#include <atomic>
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

  // Binds 127.0.0.1 on a free port and starts serving; false when the
  // server did not come up within 5 s.
  bool start();
  // Stops serving and joins the thread; handlers blocked in wait() return.
  void stop();

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path.
  std::string url(const std::string& path = "/") const;

  // For handlers that drip or stall: waits `ms` milliseconds, or less when
  // the server stops (then returns false).
  bool wait(int ms);

  // The requests received so far, in order.
  std::vector<Request> requests() const;
  // How many received requests asked for `path`.
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
  int port() const { return port_; }
  std::string url(const std::string& path = "/") const;
  // Connections accepted so far.
  int connections() const { return connections_; }

 private:
  void run();
  void answer(int fd);

  std::string reply_;
  End end_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};  // a pipe that ends run()
  int port_ = 0;
  std::atomic<int> connections_{0};
  std::vector<int> held_;
  std::thread thread_;
};

// A loopback port on which nothing listens (bound once, then released).
int closedPort();

}  // namespace stratus_test

#endif  // STRATUS_TESTS_SUPPORT_HTTP_SERVER_H_
