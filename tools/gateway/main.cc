// stratus-gateway: serves the library's pages on 127.0.0.1, made on request
// from the weather service's public web API, so that the library's default
// settings give live weather, and a page for a person for each place. See
// pages.h and place_page.h for the pages and upstream.h for how the API is
// called and cached.
//
// It prints one line, "stratus-gateway: serving <api> on
// http://<host>:<port>/", once the port is bound, and stops on SIGINT or
// SIGTERM.
#include <malloc.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "stratus/host/settings_file.h"
#include "stratus/version.h"

#include "offices.h"
#include "pages.h"
#include "paths.h"
#include "place_page.h"
#include "server.h"
#include "upstream.h"

namespace {

// Exit statuses, from sysexits.h.
constexpr int kExitUsage = 64;
constexpr int kExitNoInput = 66;  // the location data folder lacks its tables
constexpr int kExitCannotListen = 69;
constexpr int kExitConfig = 78;  // a settings file that cannot be read

const char kPublicApi[] = "https://api.weather.gov";

// True when `api` is the weather service's own server, which asks every
// client for a contact.
bool isPublicApi(const std::string& api) {
  std::string host = api.substr(
      api.find("://") == std::string::npos ? 0 : api.find("://") + 3);
  host = host.substr(0, host.find_first_of("/:"));
  return host == "api.weather.gov";
}

// The location data folder: the source tree's data/us when run from the
// build folder, else the installed one (as stratus finds it).
std::string defaultDataDir() {
  return stratus_tools::dataFolder(
      STRATUS_GATEWAY_BUILD_DIR, STRATUS_SOURCE_DATA_DIR, STRATUS_DATA_FROM_BIN,
      STRATUS_INSTALLED_DATA_DIR);
}

// Keeps the process's heap close to what it holds: the cache's answers are
// made on one connection's thread and freed on another's, which with one
// malloc arena per thread leaves each arena holding its own high-water
// mark.
void limitHeapGrowth() {
  mallopt(M_ARENA_MAX, 2);
  // Answers of 1 MiB and more get pages of their own, which go back to the
  // system when the answer is dropped. Not lower: at 32 KiB every copy of a
  // page of tens of KiB was a mapping of its own, made and unmapped for
  // each request (a page fault per page, a TLB flush on every CPU).
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

}  // namespace

int main(int argc, char** argv) {
  limitHeapGrowth();
  CLI::App app{
      "Serves stratus's weather pages on 127.0.0.1, made from the weather "
      "service's web API.",
      "stratus-gateway"};
  app.set_version_flag(
      "--version", std::string("stratus-gateway ") + STRATUS_VERSION_STRING);
  std::string listen = "127.0.0.1:8086";
  std::string api = kPublicApi;
  std::string contact;
  int cacheMb = 32;
  bool log = false;
  stratus_server::Limits limits;
  app.add_option("--listen", listen,
                 "IPv4 address and port to serve on, HOST:PORT")
      ->capture_default_str();
  app.add_option("--api", api, "Base URL of the weather service's API")
      ->capture_default_str();
  app.add_option("--contact", contact,
                 "An e-mail address or URL the weather service can reach you "
                 "at; sent in the User-Agent (required for the public API; "
                 "default: $STRATUS_CONTACT, else Contact in the [Gateway] "
                 "section of the settings file)");
  std::string dataDir = defaultDataDir();
  app.add_option("--data-dir", dataDir,
                 "Folder of the location data files, for the place pages")
      ->envname("STRATUS_DATA_DIR")
      ->capture_default_str();
  std::string configFile;
  app.add_option("--config", configFile,
                 "Settings file (default: $XDG_CONFIG_HOME/stratus/"
                 "settings.ini)");
  app.add_option("--cache-mb", cacheMb, "Memory for cached API answers, MiB")
      ->check(CLI::Range(1, 65536))
      ->capture_default_str();
  app.add_flag("--log", log,
               "Log each request and each API call on standard error");
  app.add_option("--max-connections", limits.maxConnections,
                 "Connections open at once")
      ->check(CLI::Range(1, 100000))
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    return rc == 0 ? 0 : kExitUsage;
  }
  if (contact.empty() && getenv("STRATUS_CONTACT") != nullptr)
    contact = getenv("STRATUS_CONTACT");
  if (contact.empty()) {
    // The host's settings file, shared with `stratus`; a missing file is an
    // empty one.
    if (configFile.empty()) configFile = WSettings::defaultPath();
    WSettingsFile settings(configFile);
    std::string error;
    if (!configFile.empty() && settings.load(error) != WSettingsFile::DONE) {
      std::fprintf(stderr, "Error: %s\n", error.c_str());
      return kExitConfig;
    }
    if (const std::string* c = settings.get("Gateway", "Contact")) contact = *c;
  }
  while (!api.empty() && api.back() == '/') api.pop_back();
  if (std::string problem = WSettings::urlProblem(api); !problem.empty()) {
    std::fprintf(stderr, "Error: --api %s\n", problem.c_str());
    return kExitUsage;
  }
  if (contact.empty() && isPublicApi(api)) {
    std::fprintf(stderr,
                 "Error: the weather service asks every client to say who it "
                 "is; give an e-mail address or URL with --contact\n");
    return kExitUsage;
  }
  size_t colon = listen.rfind(':');
  std::string host = listen.substr(0, colon);
  int port = -1;
  try {
    port =
        colon == std::string::npos ? -1 : std::stoi(listen.substr(colon + 1));
  } catch (const std::exception&) {
  }
  if (port < 0 || port > 65535 || host.empty()) {
    std::fprintf(stderr, "Error: --listen wants HOST:PORT, not %s\n",
                 listen.c_str());
    return kExitUsage;
  }

  // The offices of each state's product pages come from the data folder.
  std::string error;
  if (!stratus_gateway::loadOffices(dataDir + "/offices.tsv", error)) {
    std::fprintf(stderr, "Error: %s; name the data folder with --data-dir\n",
                 error.c_str());
    return kExitNoInput;
  }
  stratus_server::blockStopSignals();
  stratus_gateway::UpstreamOptions options;
  options.base = api;
  options.userAgent = std::string("stratus-gateway/") + STRATUS_VERSION_STRING +
                      (contact.empty() ? "" : " (" + contact + ")");
  options.cacheBytes = static_cast<size_t>(cacheMb) << 20;
  options.log = log;
  stratus_gateway::Api upstream(options);
  stratus_gateway::ApiSource pages(upstream);
  stratus_gateway::PlacePages places(upstream, dataDir);
  stratus_gateway::GatewaySource routes(pages, places);
  stratus_server::Server server(routes, limits, log);
  int bound = server.bind(host, port);
  if (bound <= 0) {
    std::fprintf(stderr, "Error: cannot listen on %s (is the port in use?)\n",
                 listen.c_str());
    return kExitCannotListen;
  }
  std::printf("stratus-gateway: serving %s on http://%s:%d/\n", api.c_str(),
              host.c_str(), bound);
  std::fflush(stdout);
  stratus_server::runUntilStopSignal(server);
  return 0;
}
