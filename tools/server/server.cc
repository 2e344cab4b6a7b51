#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "event_loop.h"
#include "wire.h"

namespace stratus_server {

OpenFile::~OpenFile() {
  if (fd_ >= 0) close(fd_);
}

Server::Server(PageSource& source, const Limits& limits, bool log)
    : source_(source),
      limits_(limits),
      log_(log),
      pool_(std::make_unique<WaitPool>(
          std::chrono::seconds(std::max(1, limits.idleThreadSeconds)))) {
  // A loop per core: each is busy only while it has bytes to move.
  unsigned loops = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned i = 0; i < loops; ++i)
    loops_.push_back(std::make_unique<Loop>(*this));
}

Server::~Server() {
  stop();
  if (listen_ >= 0) close(listen_);
}

int Server::bind(const std::string& host, int port) {
  listen_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_ < 0) return -1;
  // SO_REUSEADDR allows a quick restart; SO_REUSEPORT is not set, so a busy
  // port fails instead of being shared with another server.
  int yes = 1;
  setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof addr;
  if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1 ||
      ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listen_, 1024) != 0 ||
      getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(listen_);
    listen_ = -1;
    return -1;
  }
  return ntohs(addr.sin_port);
}

void Server::run() {
  if (listen_ < 0 || stopping_) return;
  std::vector<std::thread> others;
  running_ = loops_.size();
  for (std::size_t i = 1; i < loops_.size(); ++i) {
    try {
      others.emplace_back([this, i] { loops_[i]->run(); });
    } catch (const std::system_error&) {
      running_ = i;  // fewer loops serve the same connections
      break;
    }
  }
  loops_[0]->run();
  for (std::thread& t : others) t.join();
  // A connection handed to a loop as it ended is closed here.
  for (auto& loop : loops_) loop->takeAdopted();
  // Every answer made off the loops has come back by now.
  pool_->join();
}

void Server::stop() {
  if (stopping_.exchange(true)) return;
  for (auto& loop : loops_) loop->wake();
}

bool Server::admit(int fd, Connection& connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_.size() - evicted_ >= static_cast<size_t>(limits_.maxConnections)) {
    // Make room by closing the connection that has waited longest for a
    // request: idle and trickling clients give way to new ones.
    auto victim = open_.end();
    for (auto it = open_.begin(); it != open_.end(); ++it) {
      const Connection& c = *it->second;
      if (c.waiting && !c.evicted &&
          (victim == open_.end() || c.since < victim->second->since))
        victim = it;
    }
    if (victim == open_.end()) {
      Response busy = Response::error(503, "Too many connections; try again.");
      busy.headers.emplace_back("Retry-After", "1");
      std::string text =
          responseHead(busy, false, busy.body.size()) + busy.body;
      if (send(fd, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
        // The refusal is a courtesy; the connection closes either way.
      }
      close(fd);
      return false;
    }
    // Its loop ends it once it sees the socket shut down; it no longer
    // counts, and is not picked again.
    shutdown(victim->first, SHUT_RDWR);
    victim->second->evicted = true;
    ++evicted_;
  }
  open_[fd] = &connection;
  return true;
}

void Server::release(int fd, Connection& connection) {
  // Closed with the lock held: the number may be reused by the next accept.
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection.evicted) --evicted_;
  open_.erase(fd);
  close(fd);
}

void blockStopSignals() {
  // A client gone in the middle of a file sent with sendfile() raises
  // SIGPIPE, which would end the server; the failed call is enough.
  signal(SIGPIPE, SIG_IGN);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
}

void runUntilStopSignal(Server& server) {
  std::thread serving([&server] {
    server.run();
    kill(getpid(), SIGTERM);  // wake the wait below if serving ended first
  });
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  int signal = 0;
  sigwait(&stop, &signal);
  server.stop();
  serving.join();
}

}  // namespace stratus_server
