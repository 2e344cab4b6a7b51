// The gateway in process on a loopback port, with its own cache, until
// destroyed: the library's pages, and with `placePages` the place pages
// too, routed as the program routes them.
#ifndef STRATUS_TESTS_GATEWAY_TEST_GATEWAY_H_
#define STRATUS_TESTS_GATEWAY_TEST_GATEWAY_H_

#include <httplib.h>

#include <cstddef>
#include <string>
#include <thread>

#include "pages.h"
#include "place_page.h"
#include "server.h"
#include "upstream.h"

namespace stratus_test {

// How many times `what` occurs in `text` (overlapping occurrences too).
inline std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + 1))
    ++n;
  return n;
}

class TestGateway {
 public:
  explicit TestGateway(const stratus_gateway::UpstreamOptions& options,
                       bool placePages = false,
                       const stratus_server::Limits& limits = {})
      : api_(options),
        pages_(api_),
        places_(api_, STRATUS_SOURCE_DIR "/data/us"),
        routes_(pages_, places_),
        server_(placePages ? static_cast<stratus_server::PageSource&>(routes_)
                           : pages_,
                limits, false) {
    port_ = server_.bind("127.0.0.1", 0);
    thread_ = std::thread([this] { server_.run(); });
  }
  ~TestGateway() {
    server_.stop();
    thread_.join();
  }
  TestGateway(const TestGateway&) = delete;
  TestGateway& operator=(const TestGateway&) = delete;

  httplib::Result get(const std::string& path) const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(20);
    return client.Get(path.c_str());
  }
  // The status of GET `path`; 0 when no answer came.
  int status(const std::string& path) const {
    auto res = get(path);
    return res ? res->status : 0;
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  stratus_gateway::Api& api() { return api_; }
  stratus_gateway::ApiSource& pages() { return pages_; }
  stratus_gateway::PlacePages& places() { return places_; }

 private:
  stratus_gateway::Api api_;
  stratus_gateway::ApiSource pages_;
  stratus_gateway::PlacePages places_;
  stratus_gateway::GatewaySource routes_;
  stratus_server::Server server_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace stratus_test

#endif  // STRATUS_TESTS_GATEWAY_TEST_GATEWAY_H_
