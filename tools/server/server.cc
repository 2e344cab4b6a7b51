#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <system_error>
#include <thread>

namespace stratus_server {
namespace {

using Clock = std::chrono::steady_clock;

long long nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             Clock::now().time_since_epoch())
      .count();
}

const char* reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    default:
      return "Unknown";
  }
}

std::string lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// RFC 9110 token characters, the only ones a method or header name holds.
bool isTokenChar(unsigned char c) {
  return std::isalnum(c) || std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool isToken(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
    return isTokenChar(static_cast<unsigned char>(c));
  });
}

// A header value may hold any byte but the control characters (tab aside).
bool isFieldValue(const std::string& s) {
  return std::none_of(s.begin(), s.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u < 0x20 && u != '\t') || u == 0x7f;
  });
}

// Half-closes `fd`, then reads and drops what the client still sends for up
// to a second (at most 1 MiB): closing with unread bytes would send a reset
// that can overtake the answer.
void drain(int fd) {
  shutdown(fd, SHUT_WR);
  long long deadline = nowMs() + 1000;
  char block[16 * 1024];
  for (std::size_t dropped = 0; dropped < (1u << 20);) {
    long long left = deadline - nowMs();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    ssize_t n = recv(fd, block, sizeof block, 0);
    if (n <= 0) break;
    dropped += static_cast<std::size_t>(n);
  }
}

// The request text as it may be printed: control characters and bytes
// over 126 as \xNN, so that a log line stays one line of plain text.
std::string printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x20 || c > 0x7e || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The Date header's value for now, made once a second on each thread.
const std::string& dateNow() {
  thread_local std::time_t made = -1;
  thread_local std::string date;
  std::time_t now = std::time(nullptr);
  if (now != made) {
    date = httpDate(now);
    made = now;
  }
  return date;
}

std::string head(const Response& res, bool keepAlive, std::size_t length) {
  std::string h;
  h.reserve(256);
  h += "HTTP/1.1 ";
  h += std::to_string(res.status);
  h += ' ';
  h += reason(res.status);
  h += "\r\nDate: ";
  h += dateNow();
  h += "\r\n";
  if (res.status != 304) {
    h += "Content-Type: " + res.contentType +
         "\r\nContent-Length: " + std::to_string(length) + "\r\n";
  }
  for (const auto& [name, value] : res.headers)
    h += name + ": " + value + "\r\n";
  h += keepAlive ? "Connection: keep-alive\r\n\r\n"
                 : "Connection: close\r\n\r\n";
  return h;
}

}  // namespace

std::string Request::header(const std::string& lowerName) const {
  for (const auto& [name, value] : headers)
    if (name == lowerName) return value;
  return "";
}

Response Response::error(int status, const std::string& message) {
  Response res;
  res.status = status;
  std::string title = std::to_string(status) + " " + reason(status);
  res.body = "<HTML><HEAD><TITLE>" + title + "</TITLE></HEAD><BODY><H1>" +
             title + "</H1><P>" + htmlEscape(message) + "</P></BODY></HTML>\n";
  return res;
}

std::string htmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        bool control =
            (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') ||
            c == '\x7f';
        out += control ? ' ' : c;
    }
  }
  return out;
}

bool decodePath(const std::string& raw, std::string& path) {
  path.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '%') {
      int hi = i + 2 < raw.size() ? hexDigit(raw[i + 1]) : -1;
      int lo = hi >= 0 ? hexDigit(raw[i + 2]) : -1;
      if (lo < 0) return false;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    if (c == '\0') return false;
    path += c;
  }
  return true;
}

bool hasDotSegment(const std::string& path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") return true;
    start = end + 1;
  }
  return false;
}

// Request-line CRLF *( field-line CRLF ) CRLF, where a bare LF may stand
// for CRLF. The line's length without its line end, and the fields' with
// theirs, are held against `maxBytes` as soon as they are known.
HeadScan scanHead(const std::string& buffer, std::size_t maxBytes) {
  HeadScan scan;
  std::size_t lineEnd = buffer.find('\n');
  std::size_t lineBytes =
      lineEnd == std::string::npos ? buffer.size() : lineEnd;
  if (lineBytes > 0 && lineEnd != std::string::npos &&
      buffer[lineEnd - 1] == '\r')
    --lineBytes;
  // A CR received last may still be the start of the line end.
  if (lineEnd == std::string::npos && !buffer.empty() && buffer.back() == '\r')
    --lineBytes;
  if (lineBytes > maxBytes) {
    scan.refusal = 414;
    return scan;
  }
  if (lineEnd == std::string::npos) return scan;
  std::size_t fields = lineEnd + 1;
  std::size_t crlf = buffer.find("\n\r\n", lineEnd);
  std::size_t lf = buffer.find("\n\n", lineEnd);
  std::size_t end = std::min(crlf, lf);  // the last field line's LF
  std::size_t fieldBytes = end == std::string::npos ? buffer.size() - fields
                           : end + 1 > fields       ? end + 1 - fields
                                                    : 0;
  // Before the end is seen, the blank line ("\r\n") may be under way.
  if (end == std::string::npos && fieldBytes >= 2) fieldBytes -= 2;
  if (fieldBytes > maxBytes) {
    scan.refusal = 431;
    return scan;
  }
  if (end != std::string::npos) scan.length = end + (end == crlf ? 3 : 2);
  return scan;
}

int parseHead(const std::string& text, Request& req, std::string& why,
              bool& keepAlive) {
  keepAlive = false;
  std::size_t lineEnd = text.find('\n');
  std::string line = text.substr(0, lineEnd);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // method SP target SP version, one blank each.
  std::size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
  if (sp1 == std::string::npos || sp2 == sp1 ||
      line.find(' ', sp1 + 1) != sp2) {
    why = "Not an HTTP request line.";
    return 400;
  }
  req.method = line.substr(0, sp1);
  req.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  std::string version = line.substr(sp2 + 1);
  if (!isToken(req.method) || req.target.empty() || !isFieldValue(req.target) ||
      (version != "HTTP/1.1" && version != "HTTP/1.0")) {
    why = "Not an HTTP/1.x request line.";
    return 400;
  }
  for (std::size_t at = lineEnd + 1; at < text.size();) {
    std::size_t end = text.find('\n', at);
    std::string h = text.substr(at, end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    if (!h.empty() && h.back() == '\r') h.pop_back();
    if (h.empty()) break;
    std::size_t colon = h.find(':');
    std::string name = h.substr(0, colon);
    std::string value = colon == std::string::npos ? "" : h.substr(colon + 1);
    // A blank before the colon or at the start of the line (a folded
    // value) is where two parsers disagree on what the header is.
    if (colon == std::string::npos || !isToken(name) || !isFieldValue(value)) {
      why = "A malformed header line.";
      return 400;
    }
    req.headers.emplace_back(lower(name), trim(value));
  }
  int lengths = 0;
  for (const auto& [name, value] : req.headers) {
    if (name == "transfer-encoding") {
      why = "Requests with a body are not served.";
      return 400;
    }
    if (name == "content-length") {
      ++lengths;
      // Any other figure announces a body, which is not read.
      if (value.empty() || value.find_first_not_of('0') != std::string::npos) {
        why = "Requests with a body are not served.";
        return 400;
      }
    }
  }
  if (lengths > 1) {
    why = "More than one Content-Length.";
    return 400;
  }
  std::string connection = lower(req.header("connection"));
  keepAlive = version == "HTTP/1.1"
                  ? connection.find("close") == std::string::npos
                  : connection.find("keep-alive") != std::string::npos;
  if (req.method != "GET" && req.method != "HEAD") {
    why = "Only GET and HEAD are served.";
    return 405;
  }
  return 0;
}

std::string httpDate(long long seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return text;
}

long long parseHttpDate(const std::string& text) {
  std::tm tm{};
  const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
  if (end == nullptr || *end != '\0') return -1;
  return static_cast<long long>(timegm(&tm));
}

Server::Server(PageSource& source, const Limits& limits, bool log)
    : source_(source), limits_(limits), log_(log) {
  if (pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
}

Server::~Server() {
  stop();
  if (listen_ >= 0) close(listen_);
  for (int fd : wake_)
    if (fd >= 0) close(fd);
}

int Server::bind(const std::string& host, int port) {
  listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
      listen(listen_, 128) != 0 ||
      getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(listen_);
    listen_ = -1;
    return -1;
  }
  return ntohs(addr.sin_port);
}

void Server::run() {
  pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  while (listen_ >= 0 && !stopping_) {
    if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (stopping_ || fds[1].revents != 0) break;
    if (fds[0].revents == 0) continue;
    int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      admit(fd);
    } else if (errno == EMFILE || errno == ENFILE) {
      // Out of descriptors: let the open connections end some first.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::unique_lock<std::mutex> lock(mutex_);
  for (auto& [fd, c] : open_) shutdown(fd, SHUT_RDWR);
  ended_.wait(lock, [this] { return open_.empty(); });
}

void Server::stop() {
  if (stopping_.exchange(true)) return;
  if (wake_[1] >= 0) {
    char byte = 1;
    if (write(wake_[1], &byte, 1) < 0) {
      // The pipe is full only when a wake-up is already pending.
    }
  }
}

void Server::admit(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_.size() - evicted_ >= static_cast<size_t>(limits_.maxConnections)) {
    // Make room by closing the connection that has waited longest for a
    // request: idle and trickling clients give way to new ones.
    auto victim = open_.end();
    for (auto it = open_.begin(); it != open_.end(); ++it) {
      const Connection& c = it->second;
      if (c.waiting && !c.evicted &&
          (victim == open_.end() || c.since < victim->second.since))
        victim = it;
    }
    if (victim == open_.end()) {
      Response busy = Response::error(503, "Too many connections; try again.");
      busy.headers.emplace_back("Retry-After", "1");
      std::string text = head(busy, false, busy.body.size()) + busy.body;
      if (send(fd, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
        // The refusal is a courtesy; the connection closes either way.
      }
      close(fd);
      return;
    }
    // Its thread ends by itself once its socket is shut down; it no longer
    // counts, and is not picked again.
    shutdown(victim->first, SHUT_RDWR);
    victim->second.evicted = true;
    ++evicted_;
  }
  Connection& connection = open_[fd];  // a map's element stays in place
  connection.since = nowMs();
  try {
    std::thread([this, fd, &connection] {
      serveConnection(fd, connection);
    }).detach();
  } catch (const std::system_error&) {
    open_.erase(fd);
    close(fd);
  }
}

void Server::serveConnection(int fd, Connection& connection) {
  int yes = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  timeval sendLimit{limits_.writeSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
  bool answered = false;  // the last answer said the connection closes
  auto setWaiting = [&connection](bool waiting) {
    connection.since = nowMs();
    connection.waiting = waiting;
  };
  try {
    std::string buffer;
    for (bool first = true; !stopping_; first = false) {
      int refusal = 0;
      std::size_t length = readHeader(fd, buffer, first, refusal);
      if (refusal != 0) {
        Response res = Response::error(
            refusal, refusal == 414 ? "The request line is too long."
                                    : "The request header is too large.");
        answered = sendAll(fd, head(res, false, res.body.size()) + res.body);
      }
      if (length == 0) break;
      setWaiting(false);
      std::string text = buffer.substr(0, length);
      buffer.erase(0, length);
      bool keepAlive = false;
      answered = answer(fd, text, keepAlive);
      if (!answered || !keepAlive) break;
      answered = false;
      setWaiting(true);
    }
  } catch (const std::exception&) {
    // Out of memory in one connection ends that connection only.
  }
  if (answered) drain(fd);
  // Closed with the lock held: the number may be reused by the next accept.
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection.evicted) --evicted_;
  open_.erase(fd);
  close(fd);
  ended_.notify_all();
}

std::size_t Server::readHeader(int fd, std::string& buffer, bool first,
                               int& refusal) {
  refusal = 0;
  long long deadline =
      nowMs() + 1000LL * (first || !buffer.empty() ? limits_.requestSeconds
                                                   : limits_.idleSeconds);
  char block[16 * 1024];
  for (;;) {
    // Empty lines before a request are allowed and skipped.
    size_t skip = buffer.find_first_not_of("\r\n");
    buffer.erase(0, skip == std::string::npos ? buffer.size() : skip);
    HeadScan scan = scanHead(buffer, limits_.maxHeaderBytes);
    refusal = scan.refusal;
    if (scan.refusal != 0 || scan.length != 0) return scan.length;
    long long left = deadline - nowMs();
    if (left <= 0) return 0;
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return 0;
    ssize_t n = recv(fd, block, sizeof block, 0);
    if (n <= 0) return 0;
    if (buffer.empty() && !first)
      deadline = nowMs() + 1000LL * limits_.requestSeconds;
    buffer.append(block, static_cast<size_t>(n));
  }
}

bool Server::answer(int fd, const std::string& text, bool& keepAlive) {
  auto start = Clock::now();
  Request req;
  Response res;
  std::string why;
  int refusal = parseHead(text, req, why, keepAlive);
  if (refusal != 0) {
    res = Response::error(refusal, why);
    if (refusal == 405) res.headers.emplace_back("Allow", "GET, HEAD");
    // After a request that may have been framed wrongly, nothing more on
    // this connection can be trusted to be a request.
    if (refusal == 400) keepAlive = false;
  } else {
    size_t q = req.target.find('?');
    std::string rawPath = req.target.substr(0, q);
    if (q != std::string::npos) req.query = req.target.substr(q + 1);
    if (rawPath.empty() || rawPath[0] != '/') {
      res = Response::error(400, "The path must start with '/'.");
    } else if (!decodePath(rawPath, req.path)) {
      res = Response::error(400, "The path has a bad escape or a NUL.");
    } else if (hasDotSegment(req.path)) {
      res = Response::error(400, "The path has a '.' or '..' segment.");
    } else {
      try {
        res = source_.serve(req);
      } catch (const std::exception& e) {
        res = Response::error(500, "The page could not be made.");
      }
    }
  }
  if (stopping_) keepAlive = false;
  bool bodyless = req.method == "HEAD" || res.status == 304;
  std::size_t bytes = res.file ? res.file->size() : res.body.size();
  std::string out = head(res, keepAlive, bytes);
  bool sent = bodyless   ? sendAll(fd, out)
              : res.file ? sendAll(fd, out, *res.file)
                         : sendAll(fd, out, res.body);
  if (log_) {
    logLine(req, res.status, bytes,
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() -
                                                                  start)
                .count());
  }
  return sent;
}

void Server::logLine(const Request& request, int status, std::size_t bytes,
                     long long micros) const {
  std::string line = printable(request.method) + " " +
                     printable(request.target) + " " + std::to_string(status) +
                     " " + std::to_string(bytes) + " " +
                     std::to_string(micros / 1000) + "." +
                     std::to_string(micros / 100 % 10) + "ms\n";
  std::fputs(line.c_str(), stderr);
}

bool sendAll(int fd, const std::string& data) {
  return sendAll(fd, data, std::string());
}

bool sendAll(int fd, const std::string& head, const std::string& body) {
  // One call for both parts, without copying the body after the head.
  iovec parts[2] = {{const_cast<char*>(head.data()), head.size()},
                    {const_cast<char*>(body.data()), body.size()}};
  std::size_t left = head.size() + body.size();
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = 2;
  while (left > 0) {
    ssize_t n = sendmsg(fd, &message, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    left -= static_cast<std::size_t>(n);
    for (std::size_t sent = static_cast<std::size_t>(n); sent > 0;) {
      iovec& part = message.msg_iov[0];
      std::size_t step = std::min(sent, part.iov_len);
      part.iov_base = static_cast<char*>(part.iov_base) + step;
      part.iov_len -= step;
      sent -= step;
      if (part.iov_len == 0 && message.msg_iovlen > 1) {
        ++message.msg_iov;
        --message.msg_iovlen;
      }
    }
  }
  return true;
}

bool sendAll(int fd, const std::string& head, const OpenFile& file) {
  // MSG_MORE holds the head back until the file's first bytes join it, so
  // that a small page still leaves in one packet.
  int more = file.size() > 0 ? MSG_MORE : 0;
  for (std::size_t at = 0; at < head.size();) {
    ssize_t n =
        send(fd, head.data() + at, head.size() - at, MSG_NOSIGNAL | more);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += static_cast<std::size_t>(n);
  }
  // An offset of its own for each answer: the file may be sent to several
  // clients at once.
  off_t offset = 0;
  while (static_cast<std::size_t>(offset) < file.size()) {
    ssize_t n = sendfile(fd, file.fd(), &offset,
                         file.size() - static_cast<std::size_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    // 0: the file shrank since it was measured; the answer cannot be whole.
    if (n <= 0) return false;
  }
  return true;
}

OpenFile::~OpenFile() {
  if (fd_ >= 0) close(fd_);
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
