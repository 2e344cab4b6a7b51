// stratus-sample-server: serves a folder of sample weather pages over HTTP
// on 127.0.0.1, laid out as the library's default settings expect them:
//   /iwin/<st>/<page>.html          text products of a state
//   /weather/current/<CODE>.html    a station's current-conditions page
// so that the host and the library work end to end with no other server.
//
// It prints one line, "stratus-sample-server: serving <root> on
// http://127.0.0.1:<port>/", once the port is bound (port 0 picks a free
// one, which the line tells), and stops on SIGINT or SIGTERM. Only regular
// files inside the root are served; see tools/server for what the serving
// core refuses and the limits on slow and idle clients.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "stratus/version.h"

#include "file_source.h"
#include "paths.h"
#include "server.h"

namespace {

// Exit statuses, from sysexits.h.
constexpr int kExitUsage = 64;
constexpr int kExitNoRoot = 66;
constexpr int kExitCannotListen = 69;

const char kHost[] = "127.0.0.1";

std::string defaultRoot() {
  return stratus_tools::dataFolder(
      STRATUS_SERVER_BUILD_DIR, STRATUS_SOURCE_PAGES_DIR,
      STRATUS_PAGES_FROM_BIN, STRATUS_INSTALLED_PAGES_DIR);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Serves sample weather pages on 127.0.0.1 for stratus.",
               "stratus-sample-server"};
  app.footer(
      "Places the bundled pages cover (they work offline):\n"
      "  product pages of the states ma, ca, co, ia and wa, with sections\n"
      "    for Boston, Cambridge, Worcester, San Francisco, Sacramento,\n"
      "    Denver, Boulder, Des Moines and Seattle (not every product for\n"
      "    every city, as on a real day);\n"
      "  station pages KBOS, KORH, KSFO, KSAC, KDEN, KBDU, KDSM and KSEA.\n"
      "e.g. stratus now \"Boston, MA\"; stratus forecast \"Seattle, WA\"");
  app.set_version_flag("--version", std::string("stratus-sample-server ") +
                                        STRATUS_VERSION_STRING);
  int port = 8086;
  std::string root = defaultRoot();
  bool log = false;
  app.add_option("-p,--port", port, "Port to listen on; 0 picks a free one")
      ->check(CLI::Range(0, 65535));
  app.add_option("-r,--root", root, "Folder of the pages");
  app.add_flag("--log", log, "Log each request on standard error");
  stratus_server::Limits limits;
  app.add_option("--max-connections", limits.maxConnections,
                 "Connections open at once (default 256)")
      ->check(CLI::Range(1, 100000));
  app.add_option("--request-timeout", limits.requestSeconds,
                 "Seconds a client has to send a whole request (default 10)")
      ->check(CLI::Range(1, 3600));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    return rc == 0 ? 0 : kExitUsage;
  }
  if (!stratus_tools::isFolder(root)) {
    std::fprintf(stderr, "Error: no folder %s (give the pages with --root)\n",
                 root.c_str());
    return kExitNoRoot;
  }

  stratus_server::blockStopSignals();
  stratus_server::FileSource pages(root);
  if (!pages.ready()) {
    // Without the root's real path nothing could be checked against it.
    std::fprintf(stderr, "Error: the real path of %s cannot be resolved\n",
                 root.c_str());
    return kExitNoRoot;
  }
  stratus_server::Server server(pages, limits, log);
  int bound = server.bind(kHost, port);
  if (bound <= 0) {
    std::fprintf(stderr,
                 "Error: cannot listen on %s:%d (is the port in use?)\n", kHost,
                 port);
    return kExitCannotListen;
  }
  std::printf("stratus-sample-server: serving %s on http://%s:%d/\n",
              root.c_str(), kHost, bound);
  std::fflush(stdout);
  stratus_server::runUntilStopSignal(server);
  return 0;
}
