#include "event_loop.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>
#include <new>
#include <system_error>

#include "wire.h"

namespace stratus_server {
namespace {

using Clock = std::chrono::steady_clock;

long long nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             Clock::now().time_since_epoch())
      .count();
}

// How often deadlines are checked: time limits hold to within this.
constexpr int kTickMs = 100;
// A connection closed after its answer is drained of at most this much,
// for at most this long: closing with unread bytes would send a reset that
// can overtake the answer.
constexpr std::size_t kDrainBytes = 1 << 20;
constexpr long long kDrainMs = 1000;
constexpr int kAcceptsAtOnce = 64;
constexpr int kEventsAtOnce = 64;

}  // namespace

void Server::WaitPool::submit(std::function<void()> job) {
  std::lock_guard<std::mutex> lock(mutex_);
  jobs_.push_back(std::move(job));
  if (idle_ >= jobs_.size()) {
    ready_.notify_one();
    return;
  }
  // The new thread waits for the lock before it looks at its place, so its
  // place holds it by then.
  threads_.emplace_back();
  auto self = std::prev(threads_.end());
  try {
    *self = std::thread([this, self] { work(self); });
  } catch (const std::system_error&) {
    threads_.erase(self);
    // The threads there are take the job in turn; with none, it cannot run.
    if (threads_.empty()) {
      jobs_.pop_back();
      throw;
    }
  }
}

void Server::WaitPool::reap() {
  std::vector<std::thread> ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended.swap(ended_);
  }
  // They are past their last use of the pool: joining them takes no longer
  // than their return.
  for (std::thread& t : ended) t.join();
}

void Server::WaitPool::join() {
  Threads all;
  std::vector<std::thread> ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
    all.swap(threads_);
    ended.swap(ended_);
  }
  ready_.notify_all();
  for (std::thread& t : all) t.join();
  for (std::thread& t : ended) t.join();
}

void Server::WaitPool::work(Threads::iterator self) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_;
    ready_.wait_for(lock, idleLimit_,
                    [this] { return ending_ || !jobs_.empty(); });
    --idle_;
    if (jobs_.empty()) {
      // Idle too long (or the pool ends, and join() holds this thread).
      if (!ending_) {
        try {
          ended_.push_back(std::move(*self));
        } catch (const std::bad_alloc&) {
          self->detach();  // no room to be joined: it frees itself
        }
        threads_.erase(self);
      }
      return;
    }
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    job = nullptr;  // what it holds goes before the lock is taken
    lock.lock();
  }
}

Server::Loop::Loop(Server& server) : server_(server) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.ptr = &wake_;
  if (epoll_ >= 0 && wake_ >= 0) epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &ev);
}

Server::Loop::~Loop() {
  if (epoll_ >= 0) close(epoll_);
  if (wake_ >= 0) close(wake_);
}

void Server::Loop::wake() {
  std::uint64_t one = 1;
  if (write(wake_, &one, sizeof one) < 0) {
    // Only a counter at its limit refuses, and then a wake-up is pending.
  }
}

void Server::Loop::run() {
  epoll_event ev{};
  // Every loop waits on the one listening socket; EPOLLEXCLUSIVE wakes one
  // of them (or a few) for each new connection, not all.
  ev.events = EPOLLIN | EPOLLEXCLUSIVE;
  ev.data.ptr = &server_.listen_;
  listening_ = epoll_ctl(epoll_, EPOLL_CTL_ADD, server_.listen_, &ev) == 0;
  bool stopped = false;
  long long nextCheck = nowMs() + kTickMs;
  epoll_event events[kEventsAtOnce];
  for (;;) {
    if (server_.stopping_ && !stopped) {
      stopped = true;
      if (listening_)
        epoll_ctl(epoll_, EPOLL_CTL_DEL, server_.listen_, nullptr);
      listening_ = false;
      for (auto& [c, owned] : connections_)
        if (c->state != Connection::State::kWaiting) end(*c);
    }
    for (Connection* c : ended_) connections_.erase(c);
    ended_.clear();
    if (stopped && connections_.empty()) break;
    int n = epoll_wait(epoll_, events, kEventsAtOnce, kTickMs);
    for (int i = 0; i < n; ++i) dispatch(events[i].data.ptr);
    long long now = nowMs();
    if (now >= nextCheck) {
      expire(now);
      nextCheck = now + kTickMs;
    }
  }
}

void Server::Loop::dispatch(void* tag) {
  if (tag == &wake_) {
    std::uint64_t count;
    if (read(wake_, &count, sizeof count) < 0) {
      // Nothing pending: another wake-up was read already.
    }
    takeFinished();
    takeAdopted();
    return;
  }
  if (tag == &server_.listen_) {
    try {
      if (!server_.stopping_) acceptSome();
    } catch (const std::exception&) {
      // Out of memory: the connections not taken wait in the backlog.
    }
    return;
  }
  Connection& c = *static_cast<Connection*>(tag);
  try {
    switch (c.state) {
      case Connection::State::kReading:
        onReadable(c);
        break;
      case Connection::State::kWriting:
        onWritable(c);
        if (c.state == Connection::State::kReading) onReadable(c);
        break;
      case Connection::State::kDraining:
        onDrainable(c);
        break;
      default:
        break;
    }
  } catch (const std::exception&) {
    // Out of memory in one connection ends that connection only.
    if (c.state != Connection::State::kWaiting &&
        c.state != Connection::State::kClosed)
      end(c);
  }
}

void Server::Loop::acceptSome() {
  for (int i = 0; i < kAcceptsAtOnce; ++i) {
    auto owned = std::make_unique<Connection>();
    int fd = accept4(server_.listen_, nullptr, nullptr,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS ||
          errno == ENOMEM) {
        // Out of descriptors: let the open connections end some first.
        epoll_ctl(epoll_, EPOLL_CTL_DEL, server_.listen_, nullptr);
        listening_ = false;
        listenAgainAt_ = nowMs() + 10;
      }
      return;
    }
    Connection& c = *owned;
    c.fd = fd;
    long long now = nowMs();
    c.since = now;
    c.deadline = now + 1000LL * server_.limits_.requestSeconds;
    if (!server_.admit(fd, c)) continue;
    int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    // Connections are dealt to the loops in turn: the loop that wakes for
    // a burst of them would otherwise take them all.
    Loop& to = *server_.loops_[server_.nextLoop_++ % server_.running_];
    if (&to != this) {
      to.adopt(std::move(owned));
      continue;
    }
    connections_.emplace(&c, std::move(owned));
    if (!setInterest(c, EPOLLIN)) end(c);
  }
}

void Server::Loop::adopt(std::unique_ptr<Connection> c) {
  {
    std::lock_guard<std::mutex> lock(inboxMutex_);
    adopted_.push_back(std::move(c));
  }
  wake();
}

void Server::Loop::takeAdopted() {
  std::vector<std::unique_ptr<Connection>> taken;
  {
    std::lock_guard<std::mutex> lock(inboxMutex_);
    taken.swap(adopted_);
  }
  for (auto& owned : taken) {
    Connection& c = *owned;
    if (server_.stopping_) {
      server_.release(c.fd, c);
      continue;
    }
    connections_.emplace(&c, std::move(owned));
    if (!setInterest(c, EPOLLIN)) end(c);
  }
}

void Server::Loop::onReadable(Connection& c) {
  while (c.state == Connection::State::kReading) {
    // After an answer, epoll tells when the next request comes: a read
    // now would most often find nothing.
    if (takeRequest(c)) {
      if (c.in.empty()) return;
      continue;
    }
    ssize_t n = recv(c.fd, block_, sizeof block_, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      end(c);
      return;
    }
    // The first byte of a kept-alive connection's next request starts its
    // request time.
    if (c.in.empty() && !c.first)
      c.deadline = nowMs() + 1000LL * server_.limits_.requestSeconds;
    c.in.append(block_, static_cast<std::size_t>(n));
  }
}

bool Server::Loop::takeRequest(Connection& c) {
  // Empty lines before a request are allowed and skipped.
  std::size_t skip = c.in.find_first_not_of("\r\n");
  c.in.erase(0, skip == std::string::npos ? c.in.size() : skip);
  HeadScan scan = scanHead(c.in, server_.limits_.maxHeaderBytes);
  if (scan.refusal != 0) {
    c.in.clear();
    c.request = Request{};
    c.logged = false;
    c.started = Clock::now();
    respond(
        c,
        Response::error(scan.refusal, scan.refusal == 414
                                          ? "The request line is too long."
                                          : "The request header is too large."),
        false);
    return true;
  }
  if (scan.length == 0) return false;
  c.since = nowMs();
  c.waiting = false;
  std::string text = c.in.substr(0, scan.length);
  c.in.erase(0, scan.length);
  answer(c, text);
  return true;
}

void Server::Loop::answer(Connection& c, const std::string& text) {
  c.started = Clock::now();
  c.logged = true;
  c.request = Request{};
  Request& req = c.request;
  Response res;
  std::string why;
  bool keepAlive = false;
  int refusal = parseHead(text, req, why, keepAlive);
  if (refusal != 0) {
    res = Response::error(refusal, why);
    if (refusal == 405) res.headers.emplace_back("Allow", "GET, HEAD");
    // After a request that may have been framed wrongly, nothing more on
    // this connection can be trusted to be a request.
    if (refusal == 400) keepAlive = false;
    respond(c, std::move(res), keepAlive);
    return;
  }
  std::size_t q = req.target.find('?');
  std::string rawPath = req.target.substr(0, q);
  if (q != std::string::npos) req.query = req.target.substr(q + 1);
  if (rawPath.empty() || rawPath[0] != '/') {
    res = Response::error(400, "The path must start with '/'.");
  } else if (!decodePath(rawPath, req.path)) {
    res = Response::error(400, "The path has a bad escape or a NUL.");
  } else if (hasDotSegment(req.path)) {
    res = Response::error(400, "The path has a '.' or '..' segment.");
  } else {
    bool now = true;
    try {
      now = server_.source_.answerNow(req, res);
    } catch (const std::exception&) {
      res = Response::error(500, "The page could not be made.");
    }
    if (!now) {
      park(c, keepAlive);
      return;
    }
  }
  respond(c, std::move(res), keepAlive);
}

void Server::Loop::park(Connection& c, bool keepAlive) {
  c.keepAlive = keepAlive;
  // Not read while its answer is made: a client that sends more, or goes,
  // is seen once the answer is back.
  if (c.registered) epoll_ctl(epoll_, EPOLL_CTL_DEL, c.fd, nullptr);
  c.registered = false;
  c.state = Connection::State::kWaiting;
  Connection* parked = &c;
  try {
    server_.pool_->submit([this, parked] {
      Response res;
      try {
        res = server_.source_.serve(parked->request);
      } catch (const std::exception&) {
        res = Response::error(500, "The page could not be made.");
      }
      finished(parked, std::move(res));
    });
  } catch (const std::system_error&) {
    Response busy = Response::error(503, "Too busy; try again.");
    busy.headers.emplace_back("Retry-After", "1");
    respond(c, std::move(busy), false);
  }
}

void Server::Loop::finished(Connection* c, Response response) {
  {
    std::lock_guard<std::mutex> lock(inboxMutex_);
    finished_.emplace_back(c, std::move(response));
  }
  wake();
}

void Server::Loop::takeFinished() {
  std::vector<std::pair<Connection*, Response>> done;
  {
    std::lock_guard<std::mutex> lock(inboxMutex_);
    done.swap(finished_);
  }
  for (auto& [c, res] : done) {
    if (server_.stopping_) {
      end(*c);
      continue;
    }
    try {
      respond(*c, std::move(res), c->keepAlive);
      if (c->state == Connection::State::kReading) onReadable(*c);
    } catch (const std::exception&) {
      if (c->state != Connection::State::kClosed) end(*c);
    }
  }
}

void Server::Loop::respond(Connection& c, Response res, bool keepAlive) {
  if (server_.stopping_) keepAlive = false;
  bool bodyless = c.request.method == "HEAD" || res.status == 304;
  c.bytes = res.file ? res.file->size() : res.bodyText().size();
  c.head = responseHead(res, keepAlive, c.bytes);
  if (bodyless) {
    res.body.clear();
    res.sharedBody.reset();
    res.file.reset();
  }
  c.response = std::move(res);
  c.keepAlive = keepAlive;
  c.written = 0;
  c.fileAt = 0;
  c.state = Connection::State::kWriting;
  c.deadline = nowMs() + 1000LL * server_.limits_.writeSeconds;
  if (!c.registered && !setInterest(c, EPOLLOUT)) {
    end(c);
    return;
  }
  onWritable(c);
}

void Server::Loop::onWritable(Connection& c) {
  const std::string& body = c.response.bodyText();
  const OpenFile* file = c.response.file.get();
  for (;;) {
    ssize_t n;
    bool done;
    if (file == nullptr) {
      // One call for both parts, without copying the body after the head.
      std::size_t inHead = std::min(c.written, c.head.size());
      std::size_t inBody = c.written - inHead;
      iovec parts[2] = {
          {const_cast<char*>(c.head.data()) + inHead, c.head.size() - inHead},
          {const_cast<char*>(body.data()) + inBody, body.size() - inBody}};
      msghdr message{};
      message.msg_iov = inHead < c.head.size() ? parts : parts + 1;
      message.msg_iovlen = inHead < c.head.size() ? 2 : 1;
      n = sendmsg(c.fd, &message, MSG_NOSIGNAL);
      if (n > 0) c.written += static_cast<std::size_t>(n);
      done = c.written == c.head.size() + body.size();
    } else if (c.written < c.head.size()) {
      // MSG_MORE holds the head back until the file's first bytes join it,
      // so that a small page still leaves in one packet.
      int more = file->size() > 0 ? MSG_MORE : 0;
      n = send(c.fd, c.head.data() + c.written, c.head.size() - c.written,
               MSG_NOSIGNAL | more);
      if (n > 0) c.written += static_cast<std::size_t>(n);
      done = c.written == c.head.size() && file->size() == 0;
    } else {
      // An offset of its own for each answer: the file may be sent to
      // several clients at once.
      n = sendfile(c.fd, file->fd(), &c.fileAt,
                   file->size() - static_cast<std::size_t>(c.fileAt));
      // 0: the file shrank since it was measured; the answer cannot be
      // whole.
      if (n == 0) {
        n = -1;
        errno = EPIPE;
      }
      done = static_cast<std::size_t>(c.fileAt) == file->size();
    }
    if (done) {
      endWrite(c, true);
      return;
    }
    if (n > 0) {
      c.deadline = nowMs() + 1000LL * server_.limits_.writeSeconds;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!setInterest(c, EPOLLOUT)) endWrite(c, false);
      return;
    }
    endWrite(c, false);
    return;
  }
}

void Server::Loop::endWrite(Connection& c, bool sent) {
  if (server_.log_ && c.logged) logLine(c, c.response.status);
  c.response = Response{};
  if (!sent) {
    end(c);
    return;
  }
  if (!c.keepAlive) {
    shutdown(c.fd, SHUT_WR);
    c.in.clear();
    c.dropped = 0;
    c.state = Connection::State::kDraining;
    c.deadline = nowMs() + kDrainMs;
    if (!setInterest(c, EPOLLIN)) end(c);
    return;
  }
  long long now = nowMs();
  c.first = false;
  c.state = Connection::State::kReading;
  c.deadline = now + 1000LL * (c.in.empty() ? server_.limits_.idleSeconds
                                            : server_.limits_.requestSeconds);
  c.since = now;
  c.waiting = true;
  if (!setInterest(c, EPOLLIN)) end(c);
}

void Server::Loop::onDrainable(Connection& c) {
  for (;;) {
    ssize_t n = recv(c.fd, block_, sizeof block_, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n > 0) c.dropped += static_cast<std::size_t>(n);
    if (n <= 0 || c.dropped >= kDrainBytes) {
      end(c);
      return;
    }
  }
}

void Server::Loop::expire(long long now) {
  server_.pool_->reap();
  if (!listening_ && !server_.stopping_ && now >= listenAgainAt_) {
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLEXCLUSIVE;
    ev.data.ptr = &server_.listen_;
    listening_ = epoll_ctl(epoll_, EPOLL_CTL_ADD, server_.listen_, &ev) == 0;
  }
  for (auto& [c, owned] : connections_) {
    // An answer being made has its own time limit, its source's.
    if (c->state == Connection::State::kWaiting ||
        c->state == Connection::State::kClosed || now < c->deadline)
      continue;
    if (c->state == Connection::State::kWriting) {
      endWrite(*c, false);  // logged as a failed answer
    } else {
      end(*c);
    }
  }
}

bool Server::Loop::setInterest(Connection& c, unsigned events) {
  if (c.registered && c.interest == events) return true;
  epoll_event ev{};
  ev.events = events;
  ev.data.ptr = &c;
  int op = c.registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
  if (epoll_ctl(epoll_, op, c.fd, &ev) != 0) return false;
  c.registered = true;
  c.interest = events;
  return true;
}

void Server::Loop::end(Connection& c) {
  if (c.state == Connection::State::kClosed) return;
  c.state = Connection::State::kClosed;
  c.response = Response{};
  server_.release(c.fd, c);
  ended_.push_back(&c);
}

void Server::Loop::logLine(const Connection& c, int status) const {
  long long micros = std::chrono::duration_cast<std::chrono::microseconds>(
                         Clock::now() - c.started)
                         .count();
  std::string line = printable(c.request.method) + " " +
                     printable(c.request.target) + " " +
                     std::to_string(status) + " " + std::to_string(c.bytes) +
                     " " + std::to_string(micros / 1000) + "." +
                     std::to_string(micros / 100 % 10) + "ms\n";
  std::fputs(line.c_str(), stderr);
}

}  // namespace stratus_server
