#include "testing/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>

namespace stratus_test {
namespace {

// A socket bound to 127.0.0.1 on a port the system picks; -1 on failure.
int bindLoopback(int& port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

std::string loopbackUrl(int port, const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

}  // namespace

HttpServer::HttpServer() {
  // Noted before the answer goes out, so a client that has its answer can
  // count on the request being recorded.
  server_.set_pre_routing_handler(
      [this](const httplib::Request& req, httplib::Response&) {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back({req.path, req.headers});
        return httplib::Server::HandlerResponse::Unhandled;
      });
  // Short time-outs, so that stop() never waits long for an idle client.
  server_.set_keep_alive_timeout(1);
  server_.set_read_timeout(5);
  server_.set_write_timeout(5);
}

HttpServer::~HttpServer() { stop(); }

void HttpServer::serve(const std::string& path, const std::string& body,
                       const std::string& contentType) {
  server_.Get(path, [body, contentType](const httplib::Request&,
                                        httplib::Response& res) {
    res.set_content(body, contentType.c_str());
  });
}

bool HttpServer::serveDirectory(const std::string& mount,
                                const std::string& dir) {
  return server_.set_mount_point(mount, dir);
}

bool HttpServer::start() {
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return false;
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!server_.is_running()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void HttpServer::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopping_cv_.notify_all();
  if (thread_.joinable()) {
    server_.stop();
    thread_.join();
  }
}

std::string HttpServer::url(const std::string& path) const {
  return loopbackUrl(port_, path);
}

bool HttpServer::wait(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !stopping_cv_.wait_for(lock, std::chrono::milliseconds(ms),
                                [this] { return stopping_; });
}

std::vector<HttpServer::Request> HttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int HttpServer::hits(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (const Request& r : requests_) n += r.path == path;
  return n;
}

RawServer::RawServer(std::string reply, End end)
    : reply_(std::move(reply)), end_(end) {}

RawServer::~RawServer() { stop(); }

bool RawServer::start() {
  listen_ = bindLoopback(port_);
  if (listen_ < 0 || listen(listen_, 8) != 0 || pipe(wake_) != 0) return false;
  thread_ = std::thread([this] { run(); });
  return true;
}

void RawServer::stop() {
  if (thread_.joinable()) {
    char c = 0;
    (void)!write(wake_[1], &c, 1);
    thread_.join();
  }
  for (int fd : held_) close(fd);
  held_.clear();
  for (int* fd : {&listen_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

std::string RawServer::url(const std::string& path) const {
  return loopbackUrl(port_, path);
}

void RawServer::run() {
  for (;;) {
    pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) answer(fd);
  }
}

void RawServer::answer(int fd) {
  // Read the request header (at most 64 KiB, 2 s per read), then reply.
  timeval patience{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  std::string request;
  char buf[4096];
  ssize_t n;
  while (request.find("\r\n\r\n") == std::string::npos &&
         request.size() < 65536 && (n = recv(fd, buf, sizeof buf, 0)) > 0) {
    request.append(buf, n);
  }
  // A blocking send returns once all is sent or the client has gone.
  (void)!send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL);
  if (end_ == End::kHold) {
    held_.push_back(fd);
    return;
  }
  if (end_ == End::kReset) {
    linger l{1, 0};  // close() then sends RST instead of FIN
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  close(fd);
}

int closedPort() {
  int port = 0;
  int fd = bindLoopback(port);
  if (fd < 0) return 1;
  close(fd);
  return port;
}

}  // namespace stratus_test
