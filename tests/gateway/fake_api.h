// A fake of the weather service's web API on 127.0.0.1: it serves recorded
// real responses from a folder laid out as tests/data/nws-api/ (or the
// shared corpus), with the caching headers the real API sends, and answers
// with faults on demand.
//
// Requests map to files:
//   /stations/<ID>/observations?limit=N
//                                      stations/<ID>/observations-limit-N.json,
//                                      else stations/<ID>/observations.json,
//                                      else .../observations-limit-1.json
//   /alerts/active?area=<ST>           alerts/active-area-<ST>.json (none:
//                                      an empty collection)
//   /products/types/<T>/locations/<O>  products/types-<T>-locations-<O>.json
//                                      (none: an empty @graph)
//   /products/<id>                     products/<id>.json
// anything else is a 404 problem document. Time templates of the recorder
// ("date:now -N seconds") become the time N seconds from the request, and
// the recorded times of observations are moved into the last hour (the
// newest 20 minutes ago), unless `keepObservationTimes`.
#ifndef STRATUS_TESTS_GATEWAY_FAKE_API_H_
#define STRATUS_TESTS_GATEWAY_FAKE_API_H_

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "testing/http_server.h"

namespace stratus_test {

class FakeApi {
 public:
  using Headers = std::vector<std::pair<std::string, std::string>>;
  struct Fault {
    Fault(int status = 200, std::string body = "",
          std::string contentType = "application/problem+json", int delayMs = 0,
          Headers headers = {})
        : status(status),
          body(std::move(body)),
          contentType(std::move(contentType)),
          delayMs(delayMs),
          headers(std::move(headers)) {}
    int status;
    std::string body;
    std::string contentType;
    int delayMs;  // before the answer
    Headers headers;
  };

  explicit FakeApi(std::string dataDir);
  bool start() { return http_.start(); }
  // The base URL, without a trailing '/'.
  std::string url() const { return http_.url(""); }

  // Every request for `path` (without its query) gets `fault` instead of
  // its file, until clearFaults().
  void fail(const std::string& path, const Fault& fault);
  void clearFaults();
  // How many requests asked for `path`, and all requests in order.
  int hits(const std::string& path) const { return http_.hits(path); }
  std::vector<HttpServer::Request> requests() const { return http_.requests(); }

  // The most requests it was answering at once since the last reset.
  int mostAtOnce() const { return mostAtOnce_; }
  void resetMostAtOnce() { mostAtOnce_ = 0; }

  std::atomic<int> maxAge{60};        // Cache-Control max-age of the answers
  std::atomic<bool> answer304{true};  // to a matching If-Modified-Since
  std::atomic<bool> keepObservationTimes{false};

  // The Last-Modified of every answer.
  static constexpr const char* kLastModified = "Sat, 05 Dec 2026 12:00:00 GMT";

 private:
  void answer(const httplib::Request& req, httplib::Response& res);
  std::string fileFor(const httplib::Request& req, std::string& fallback) const;

  std::string dir_;
  HttpServer http_;
  mutable std::mutex mutex_;
  std::map<std::string, Fault> faults_;
  std::atomic<int> served_{0};
  std::atomic<int> atOnce_{0}, mostAtOnce_{0};
};

// `text` with every "date:now ±N seconds" template (or minutes, hours,
// days) replaced by that time (ISO 8601, UTC) counted from `now`.
std::string fillTimeTemplates(const std::string& text, long long now);

// The recorded answers of the repository (tests/data/nws-api) served on a
// loopback port, with the proxy variables unset: what every gateway suite
// starts with. Null when it did not start. (Every gateway test runs with
// the repository's offices table loaded: see fake_api.cc.)
FakeApi* startRecordedApi();

}  // namespace stratus_test

#endif  // STRATUS_TESTS_GATEWAY_FAKE_API_H_
