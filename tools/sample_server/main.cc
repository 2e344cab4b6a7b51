// stratus-sample-server: serves a folder of sample weather pages over HTTP
// on 127.0.0.1, laid out as the library's default settings expect them:
//   /iwin/<st>/<page>.html          text products of a state
//   /weather/current/<CODE>.html    a station's current-conditions page
// so that the host and the library work end to end with no other server.
//
// It prints one line, "stratus-sample-server: serving <root> on
// http://127.0.0.1:<port>/", once the port is bound (port 0 picks a free
// one, which the line tells), and stops on SIGINT or SIGTERM.
#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "stratus/version.h"

#include "paths.h"

namespace {

// Exit statuses, from sysexits.h.
constexpr int kExitUsage = 64;
constexpr int kExitNoRoot = 66;
constexpr int kExitCannotListen = 69;

const char kHost[] = "127.0.0.1";

std::string defaultRoot() {
  return stratus_cli::dataFolder(
      STRATUS_SERVER_BUILD_DIR, STRATUS_SOURCE_PAGES_DIR,
      STRATUS_PAGES_FROM_BIN, STRATUS_INSTALLED_PAGES_DIR);
}

void configure(httplib::Server& server, const std::string& root, bool log) {
  // The library's default also sets SO_REUSEPORT, which lets a second server
  // bind a port that is in use and share its connections; a busy port must
  // fail instead. SO_REUSEADDR alone still allows a quick restart.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_mount_point("/", root);
  server.set_file_extension_and_mimetype_mapping("html",
                                                 "text/html; charset=utf-8");
  server.set_error_handler(
      [](const httplib::Request& req, httplib::Response& res) {
        std::string body = "<HTML><BODY><H1>" + std::to_string(res.status) +
                           "</H1>No page " + req.path + "</BODY></HTML>\n";
        res.set_content(body, "text/html");
      });
  if (log) {
    server.set_logger(
        [](const httplib::Request& req, const httplib::Response& res) {
          std::fprintf(stderr, "%s %s %d\n", req.method.c_str(),
                       req.path.c_str(), res.status);
        });
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Serves sample weather pages on 127.0.0.1 for stratus.",
               "stratus-sample-server"};
  app.set_version_flag("--version", std::string("stratus-sample-server ") +
                                        STRATUS_VERSION_STRING);
  int port = 8086;
  std::string root = defaultRoot();
  bool log = false;
  app.add_option("-p,--port", port, "Port to listen on; 0 picks a free one")
      ->check(CLI::Range(0, 65535));
  app.add_option("-r,--root", root, "Folder of the pages");
  app.add_flag("--log", log, "Log each request on standard error");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    return rc == 0 ? 0 : kExitUsage;
  }
  if (!stratus_cli::isFolder(root)) {
    std::fprintf(stderr, "Error: no folder %s (give the pages with --root)\n",
                 root.c_str());
    return kExitNoRoot;
  }

  // Signals are taken by sigwait below, in this thread only.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  httplib::Server server;
  configure(server, root, log);
  int bound = port;
  if (port == 0) {
    bound = server.bind_to_any_port(kHost);
  } else if (!server.bind_to_port(kHost, port)) {
    bound = -1;
  }
  if (bound <= 0) {
    std::fprintf(stderr,
                 "Error: cannot listen on %s:%d (is the port in use?)\n", kHost,
                 port);
    return kExitCannotListen;
  }
  std::printf("stratus-sample-server: serving %s on http://%s:%d/\n",
              root.c_str(), kHost, bound);
  std::fflush(stdout);

  std::atomic<bool> listening{true};
  std::thread listener([&server, &listening] {
    server.listen_after_bind();
    listening = false;
    kill(getpid(), SIGTERM);  // wake the main thread if listening ended
  });
  int signal = 0;
  sigwait(&stop, &signal);
  // A stop that comes before the listener has entered its loop is lost, so
  // repeat it until the listener has ended.
  while (listening) {
    server.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  listener.join();
  return 0;
}
