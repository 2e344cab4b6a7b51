// The sample weather server: the real server binary, asked over real HTTP
// on a loopback port, serving the bundled pages.
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/temp_dir.h"
#include "tool_runner.h"

namespace stratus_test {
namespace {

using Clock = std::chrono::steady_clock;

// A connected loopback socket to `port` (-1 when it cannot connect), which
// has sent `text`.
int openSocket(int port, const std::string& text = "") {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      (!text.empty() && send(fd, text.data(), text.size(), MSG_NOSIGNAL) < 0)) {
    close(fd);
    return -1;
  }
  return fd;
}

// The status of GET `path` with a client that waits at most 2 s; 0 when
// no answer came.
int statusOf(int port, const std::string& path, std::string* body = nullptr) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(2);
  client.set_read_timeout(2);
  auto res = client.Get(path.c_str());
  if (res && body != nullptr) *body = res->body;
  return res ? res->status : 0;
}

// Sends `pieces` on a new connection to `port`, `pauseMs` apart, then ends
// its sending side; returns all the server sent until it closed (at most
// 3 s). `reset` tells whether the connection ended with a reset.
std::string exchange(int port, const std::vector<std::string>& pieces,
                     int pauseMs = 0, bool* reset = nullptr) {
  int fd = openSocket(port);
  if (fd < 0) return "";
  for (const std::string& piece : pieces) {
    if (send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) < 0) break;
    if (pauseMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
  }
  shutdown(fd, SHUT_WR);
  timeval wait{3, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  std::string got;
  char block[4096];
  ssize_t n;
  while ((n = recv(fd, block, sizeof block, 0)) > 0) got.append(block, n);
  if (reset != nullptr) *reset = n < 0;
  close(fd);
  return got;
}

// The status of each answer in `replies`, in order.
std::vector<int> statuses(const std::string& replies) {
  std::vector<int> found;
  for (size_t at = replies.find("HTTP/1.1 "); at != std::string::npos;
       at = replies.find("HTTP/1.1 ", at + 1))
    if (at == 0 || replies[at - 1] == '\n')
      found.push_back(std::atoi(replies.c_str() + at + 9));
  return found;
}

// The index links every sample page, each served as HTML; what is not
// there (also outside the root) is 404; a busy port (exit status 69) and a
// missing root (66) are reported; SIGTERM stops the server cleanly.
TEST(SampleServer, ServesEveryIndexedPageAndReportsFailures) {
  SampleServer server(kSamplePages);
  ASSERT_GT(server.port, 0) << server.banner;
  EXPECT_EQ(server.banner, "stratus-sample-server: serving " + kSamplePages +
                               " on " + server.url());
  httplib::Client client("127.0.0.1", server.port);
  auto index = client.Get("/index.html");
  ASSERT_TRUE(index);
  size_t links = 0;
  for (size_t at = index->body.find("HREF=\""); at != std::string::npos;
       at = index->body.find("HREF=\"", at + 1), ++links) {
    std::string path =
        index->body.substr(at + 6, index->body.find('"', at + 6) - at - 6);
    auto res = client.Get(path.c_str());
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 200) << path;
    EXPECT_EQ(res->get_header_value("Content-Type").substr(0, 9), "text/html")
        << path;
  }
  EXPECT_EQ(links, 5u * 7 + 8) << "five states of seven pages, eight stations";
  for (const char* path : {"/iwin/zz/zone.html", "/iwin/ia/"}) {
    auto res = client.Get(path);
    EXPECT_TRUE(res && res->status == 404) << path;
  }

  SampleServer busy(kSamplePages, server.port);
  EXPECT_EQ(busy.banner,
            "Error: cannot listen on 127.0.0.1:" + std::to_string(server.port) +
                " (is the port in use?)");
  EXPECT_EQ(busy.stop(), 69);
  SampleServer noRoot("/nonexistent/pages");
  EXPECT_EQ(noRoot.port, 0);
  EXPECT_EQ(noRoot.stop(), 66);
  EXPECT_EQ(server.stop(), 0);
}

// Only regular files inside the real root are served: links that lead out
// of it, FIFOs and folders are not pages; a NUL, a dot segment or an
// oversized request line is refused before any file is looked at; the
// 404 page does not echo the path as markup.
TEST(SampleServer, ServesOnlyRegularFilesInsideTheRoot) {
  TempDir root;
  root.write("ok.html", "<PRE>ok</PRE>\n");
  ASSERT_EQ(mkdir(root.file("sub").c_str(), 0755), 0);
  ASSERT_EQ(symlink("/etc", root.file("etcdir").c_str()), 0);
  ASSERT_EQ(symlink("/etc/hostname", root.file("host.html").c_str()), 0);
  ASSERT_EQ(symlink("ok.html", root.file("inside.html").c_str()), 0);
  ASSERT_EQ(symlink(root.path().c_str(), root.file("sub/up").c_str()), 0);
  ASSERT_EQ(mkfifo(root.file("fifo.html").c_str(), 0644), 0);
  SampleServer server(root.path());
  ASSERT_GT(server.port, 0) << server.banner;

  struct Case {
    std::string path;
    int status;
  } cases[] = {
      {"/ok.html", 200},
      {"/inside.html", 200},  // a link that stays inside the root
      {"/sub/up/ok.html", 200},
      {"/etcdir/hostname", 404},
      {"/etcdir/passwd", 404},
      {"/host.html", 404},
      {"/fifo.html", 404},
      {"/sub", 404},
      {"/ok.html%00.txt", 400},
      {"/ok.html%0", 400},
      {"/../../../etc/passwd", 400},
      {"/sub/%2e%2e/ok.html", 400},
      {"/" + std::string(100 << 10, 'a') + ".html", 414},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(statusOf(server.port, c.path), c.status) << c.path.substr(0, 40);
  }
  std::string body;
  EXPECT_EQ(statusOf(server.port, "/%3Cscript%3Ealert(1)%3C/script%3E", &body),
            404);
  EXPECT_EQ(body.find("<script"), std::string::npos) << body;
  EXPECT_NE(body.find("&lt;script&gt;"), std::string::npos) << body;
  EXPECT_EQ(server.stop(), 0);
}

// Idle and trickling clients cannot starve a real request: forty silent
// sockets and ten that send half a header hold the default server no more
// than a full cap of eight holds one that may close the longest waiting.
// A client that trickles its header is cut at the request time-out.
TEST(SampleServer, IdleAndSlowClientsDoNotStarveARealRequest) {
  struct Run {
    std::vector<std::string> options;
    int idle, slow;
  } runs[] = {{{}, 40, 10},
              {{"--max-connections", "8", "--request-timeout", "1"}, 20, 4}};
  for (const Run& run : runs) {
    SampleServer server(kSamplePages, 0, run.options);
    ASSERT_GT(server.port, 0) << server.banner;
    std::vector<int> sockets;
    for (int i = 0; i < run.idle; ++i)
      sockets.push_back(openSocket(server.port));
    for (int i = 0; i < run.slow; ++i)
      sockets.push_back(openSocket(server.port, "GET / HTTP/1.1\r\nHost: x"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(statusOf(server.port, "/weather/current/KDSM.html"), 200)
        << run.options.size() << " options";
    for (int fd : sockets) close(fd);
    EXPECT_EQ(server.stop(), 0);
  }

  SampleServer server(kSamplePages, 0, {"--request-timeout", "1"});
  ASSERT_GT(server.port, 0) << server.banner;
  int fd = openSocket(server.port);
  ASSERT_GE(fd, 0);
  const std::string request =
      "GET / HTTP/1.1\r\nHost: x\r\nX-Slow: " + std::string(40, 'a') +
      "\r\n\r\n";
  auto start = Clock::now();
  bool cut = false;
  for (char c : request) {
    if (send(fd, &c, 1, MSG_NOSIGNAL) < 0) {
      cut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  char reply[64];
  timeval wait{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  ssize_t n = recv(fd, reply, sizeof reply, 0);
  cut = cut || n <= 0;
  EXPECT_TRUE(cut) << "a header trickled over "
                   << std::chrono::duration_cast<std::chrono::seconds>(
                          Clock::now() - start)
                          .count()
                   << " s was answered";
  close(fd);
  EXPECT_EQ(server.stop(), 0);
}

// Pages are sent from the file, so readers that stop reading or leave in
// the middle of a large one cost the server nothing lasting: it answers the
// next client, and a page longer than the socket's buffers arrives whole.
TEST(SampleServer, ReadersThatLeaveMidPageDoNotEndTheServer) {
  TempDir root;
  const std::string page(8 << 20, 'w');
  root.write("big.html", page);
  root.write("ok.html", "ok\n");
  SampleServer server(root.path());
  ASSERT_GT(server.port, 0) << server.banner;
  std::vector<int> readers;
  for (int i = 0; i < 20; ++i)
    readers.push_back(
        openSocket(server.port, "GET /big.html HTTP/1.1\r\n\r\n"));
  char block[1024];
  for (int fd : readers) {
    ASSERT_GT(recv(fd, block, sizeof block, 0), 0);
    close(fd);  // with the rest unread: a reset, mid-page
  }
  std::string body;
  EXPECT_EQ(statusOf(server.port, "/ok.html", &body), 200);
  EXPECT_EQ(statusOf(server.port, "/big.html", &body), 200);
  EXPECT_TRUE(body == page) << body.size() << " bytes";
  EXPECT_EQ(server.stop(), 0);
}

// The status of one answer read from `fd`, its body read whole (0 when
// none came within 3 s), so that the connection can carry the next one.
int readAnswer(int fd) {
  timeval wait{3, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  std::string got;
  char block[4096];
  for (;;) {
    size_t end = got.find("\r\n\r\n");
    if (end != std::string::npos) {
      size_t at = got.find("Content-Length: ");
      size_t length =
          at < end ? std::strtoul(got.c_str() + at + 16, nullptr, 10) : 0;
      if (got.size() >= end + 4 + length) return std::atoi(got.c_str() + 9);
    }
    ssize_t n = recv(fd, block, sizeof block, 0);
    if (n <= 0) return 0;
    got.append(block, static_cast<size_t>(n));
  }
}

// Connections cost no thread: with 200 kept-alive clients, each answered
// and holding on, the server runs a thread per core and a few more (before,
// a thread per connection), and each client is answered again on the
// connection it kept.
TEST(SampleServer, ServesManyKeptAliveConnectionsOnFewThreads) {
  SampleServer server(kSamplePages);
  ASSERT_GT(server.port, 0) << server.banner;
  auto threads = [&server] {
    std::ifstream status("/proc/" + std::to_string(server.pid) + "/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("Threads:", 0) == 0) return std::atoi(line.c_str() + 8);
    return 0;
  };
  const std::string request =
      "GET /weather/current/KDSM.html HTTP/1.1\r\nHost: x\r\n\r\n";
  std::vector<int> clients;
  for (int i = 0; i < 200; ++i) {
    int fd = openSocket(server.port, request);
    ASSERT_GE(fd, 0) << "client " << i;
    clients.push_back(fd);
    ASSERT_EQ(readAnswer(fd), 200) << "client " << i;
  }
  int running = threads();
  EXPECT_GT(running, 0);
  EXPECT_LE(running, static_cast<int>(std::thread::hardware_concurrency()) + 4);
  for (size_t i = 0; i < clients.size(); ++i) {
    ASSERT_EQ(send(clients[i], request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()))
        << "client " << i;
    EXPECT_EQ(readAnswer(clients[i]), 200) << "client " << i;
  }
  for (int fd : clients) close(fd);
  EXPECT_EQ(server.stop(), 0);
}

// A request that two parsers could frame differently is refused with 400
// and its connection closed: what follows it (here a second request, which
// a front proxy would have taken for a body) is never answered. A request
// without a body keeps the connection.
TEST(SampleServer, RefusesEveryRequestSmugglingShape) {
  SampleServer server(kSamplePages);
  ASSERT_GT(server.port, 0) << server.banner;
  const std::string get = "GET /index.html HTTP/1.1\r\nHost: x\r\n";
  const std::string smuggled =
      "GET /weather/current/KDSM.html HTTP/1.1\r\nHost: x\r\n\r\n";
  struct Case {
    std::string headers;
    std::vector<int> statuses;
  } cases[] = {
      {"Content-Length: 0\r\nContent-Length: 58\r\n", {400}},
      {"Content-Length: 58\r\nContent-Length: 0\r\n", {400}},
      {"Content-Length : 58\r\n", {400}},
      {"Content-Length\t: 58\r\n", {400}},
      {"Content-Length: 0, 58\r\n", {400}},
      {"Content-Length: 58\r\n", {400}},
      {"Transfer-Encoding:\r\n", {400}},
      {"Transfer-Encoding: \r\nTransfer-Encoding: chunked\r\n", {400}},
      {"Transfer-Encoding: chunked\r\n", {400}},
      {"Transfer-Encoding: identity\r\n", {400}},
      {"X-Fold: a\r\n Content-Length: 58\r\n", {400}},
      {"X-Nul: a\x01b\r\n", {400}},
      {"Content-Length: 0\r\n", {200, 200}},
      {"Content-Length: 000\r\n", {200, 200}},
      {"", {200, 200}},
  };
  for (const Case& c : cases) {
    std::string replies =
        exchange(server.port, {get + c.headers + "\r\n" + smuggled});
    EXPECT_EQ(statuses(replies), c.statuses) << c.headers;
  }
  EXPECT_EQ(server.stop(), 0);
}

// The request line may be 16 KiB (line end not counted) and the header
// fields 16 KiB together: one byte more is 414 or 431, and the answer
// arrives (no reset), whether the request came in one write, in pieces of
// a kilobyte, or as its line first and the rest later.
TEST(SampleServer, EnforcesHeaderLimitsHoweverTheBytesArrive) {
  SampleServer server(kSamplePages);
  ASSERT_GT(server.port, 0) << server.banner;
  const size_t kLimit = 16 * 1024;
  // A request line of `length` bytes, and header fields of `fields` bytes
  // with their line ends.
  auto request = [](size_t length, size_t fields) {
    std::string line = "GET /" + std::string(length - 14, 'a') + " HTTP/1.1";
    std::string head = "Host: x\r\n";
    head += "X-Pad: " + std::string(fields - head.size() - 9, 'p') + "\r\n";
    return std::make_pair(line + "\r\n", head + "\r\n");
  };
  struct Case {
    size_t line, fields;
    int status;
  } cases[] = {
      {kLimit, 100, 404},    {kLimit + 1, 100, 414}, {32000, 100, 414},
      {40 << 10, 100, 414},  {100, kLimit, 404},     {100, kLimit + 1, 431},
      {100, 20 << 10, 431},  {kLimit, kLimit, 404},  {200 << 10, 100, 414},
      {100, 200 << 10, 431},
  };
  for (const Case& c : cases) {
    auto [line, fields] = request(c.line, c.fields);
    const std::string whole = line + fields;
    std::vector<std::string> pieces;
    for (size_t at = 0; at < whole.size(); at += 1000)
      pieces.push_back(whole.substr(at, 1000));
    struct Way {
      const char* name;
      std::vector<std::string> pieces;
      int pauseMs;
    } ways[] = {{"at once", {whole}, 0},
                {"in pieces", pieces, 1},
                {"line first", {line, fields}, 50}};
    for (const Way& way : ways) {
      bool reset = false;
      std::string replies =
          exchange(server.port, way.pieces, way.pauseMs, &reset);
      EXPECT_EQ(statuses(replies), std::vector<int>{c.status})
          << c.line << " + " << c.fields << " " << way.name;
      EXPECT_FALSE(reset) << c.line << " + " << c.fields << " " << way.name;
    }
  }
  EXPECT_EQ(server.stop(), 0);
}

// A folder whose real path is longer than PATH_MAX, reached through two
// symbolic links that each hold half of it: the system resolves the short
// path, realpath() cannot. Removed by hand, since its path is too long for
// a recursive removal by name.
class DeepFolder {
 public:
  static constexpr int kLevels = 24;
  explicit DeepFolder(const TempDir& base) : base_(base) {
    const std::string name(200, 'd');
    std::string half[2];  // the folders of each half, as a relative path
    for (int level = 0; level < kLevels; ++level)
      half[level / (kLevels / 2)] += (level % (kLevels / 2) ? "/" : "") + name;
    ok_ = symlink(half[0].c_str(), base.file("start").c_str()) == 0;
    int fd = open(base.path().c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < kLevels && fd >= 0; ++level) {
      if (level == kLevels / 2)
        ok_ = ok_ && symlinkat(half[1].c_str(), fd, "half") == 0;
      mkdirat(fd, name.c_str(), 0755);
      int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
      close(fd);
      fd = next;
    }
    int page = openat(fd, "ok.html", O_WRONLY | O_CREAT, 0644);
    ok_ = ok_ && page >= 0 && write(page, "ok\n", 3) == 3;
    close(page);
    close(fd);
  }
  ~DeepFolder() { removeUnder(open(base_.path().c_str(), O_RDONLY), 0); }
  bool ok() const { return ok_; }
  // The short path that leads to the deepest folder.
  std::string path() const { return base_.file("start/half"); }

 private:
  void removeUnder(int fd, int level) {
    const std::string name(200, 'd');
    if (fd < 0) return;
    if (level < kLevels) {
      removeUnder(openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY), level + 1);
      unlinkat(fd, name.c_str(), AT_REMOVEDIR);
    }
    for (const char* file : {"ok.html", "half", "start"}) unlinkat(fd, file, 0);
    close(fd);
  }
  const TempDir& base_;
  bool ok_ = false;
};

// The server fails closed: a root whose real path cannot be resolved (here
// longer than PATH_MAX) is refused at the start (66), where before nothing
// could be checked against it and every file of the machine was served.
TEST(SampleServer, RefusesARootWhoseRealPathCannotBeResolved) {
  TempDir base;
  DeepFolder deep(base);
  ASSERT_TRUE(deep.ok());
  struct stat st;
  ASSERT_EQ(stat(deep.path().c_str(), &st), 0) << "the system resolves it";
  char* real = realpath(deep.path().c_str(), nullptr);
  EXPECT_EQ(real, nullptr) << "realpath() resolves it: no test";
  std::free(real);

  SampleServer server(deep.path());
  if (server.port > 0) {
    EXPECT_NE(statusOf(server.port, "/etc/passwd"), 200) << "served /etc";
  }
  EXPECT_EQ(server.port, 0) << server.banner;
  EXPECT_EQ(server.stop(), 66);
  EXPECT_NE(server.banner.find("cannot be resolved"), std::string::npos)
      << server.banner;
}

}  // namespace
}  // namespace stratus_test
