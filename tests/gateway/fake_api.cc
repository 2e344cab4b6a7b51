#include "gateway/fake_api.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "offices.h"
#include "testing/corpus_files.h"

namespace stratus_test {
namespace {

// The offices of each state, from the repository's location data, before
// any test of the program runs.
const bool kOfficesLoaded = [] {
  std::string error;
  return stratus_gateway::loadOffices(STRATUS_SOURCE_DIR "/data/us/offices.tsv",
                                      error);
}();

std::string isoTime(long long t) {
  std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+00:00", &tm);
  return text;
}

}  // namespace

std::string fillTimeTemplates(const std::string& text, long long now) {
  static const std::pair<const char*, long long> kUnits[] = {
      {"seconds", 1}, {"minutes", 60}, {"hours", 3600}, {"days", 86400}};
  std::string out;
  const std::string mark = "\"date:now ";
  size_t at = 0;
  for (size_t found; (found = text.find(mark, at)) != std::string::npos;) {
    // "date:now" SIGN NUMBER BLANK UNIT QUOTE; anything else stays.
    size_t end = text.find('"', found + 1);
    std::string inner =
        text.substr(found + mark.size(),
                    end == std::string::npos ? 0 : end - found - mark.size());
    char unit[16] = {};
    long long amount = 0;
    int used = 0;
    long long scale = 0;
    if (std::sscanf(inner.c_str(), "%lld %15s%n", &amount, unit, &used) == 2 &&
        static_cast<size_t>(used) == inner.size())
      for (const auto& [name, seconds] : kUnits)
        if (std::strcmp(unit, name) == 0) scale = seconds;
    if (scale == 0) {
      out += text.substr(at, found + 1 - at);
      at = found + 1;
      continue;
    }
    out += text.substr(at, found - at) + "\"" + isoTime(now + amount * scale) +
           "\"";
    at = end + 1;
  }
  return out + text.substr(at);
}

FakeApi::FakeApi(std::string dataDir) : dir_(std::move(dataDir)) {
  http_.routes().Get(
      ".*", [this](const httplib::Request& req, httplib::Response& res) {
        answer(req, res);
      });
}

void FakeApi::fail(const std::string& path, const Fault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_[path] = fault;
}

void FakeApi::clearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

std::string FakeApi::fileFor(const httplib::Request& req,
                             std::string& fallback) const {
  const std::string& p = req.path;
  auto part = [&p](size_t n) {
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) start = p.find('/', start) + 1;
    return p.substr(start, p.find('/', start) - start);
  };
  if (p.rfind("/stations/", 0) == 0 && p.size() > 23 &&
      p.compare(p.size() - 13, 13, "/observations") == 0) {
    std::string base = dir_ + "/stations/" + part(2) + "/observations";
    std::string limit = req.get_param_value("limit");
    std::string asked =
        limit.empty() ? "" : readFile(base + "-limit-" + limit + ".json");
    if (!asked.empty()) return asked;
    std::string whole = readFile(base + ".json");
    return whole.empty() ? readFile(base + "-limit-1.json") : whole;
  }
  if (p == "/alerts/active") {
    fallback = R"({"type": "FeatureCollection", "features": []})";
    return readFile(dir_ + "/alerts/active-area-" +
                    req.get_param_value("area") + ".json");
  }
  if (p.rfind("/products/types/", 0) == 0) {
    fallback = R"({"@context": {}, "@graph": []})";
    return readFile(dir_ + "/products/types-" + part(3) + "-locations-" +
                    part(5) + ".json");
  }
  if (p.rfind("/products/", 0) == 0 && p.find('/', 10) == std::string::npos)
    return readFile(dir_ + "/products/" + part(2) + ".json");
  return "";
}

void FakeApi::answer(const httplib::Request& req, httplib::Response& res) {
  struct Counted {
    explicit Counted(FakeApi& api) : api(api) {
      int now = ++api.atOnce_;
      for (int most = api.mostAtOnce_;
           now > most && !api.mostAtOnce_.compare_exchange_weak(most, now);) {
      }
    }
    ~Counted() { --api.atOnce_; }
    FakeApi& api;
  } counted(*this);
  std::string correlation = "fake-" + std::to_string(++served_);
  res.set_header("X-Correlation-Id", correlation);
  Fault fault;
  bool faulty = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = faults_.find(req.path);
    if (it != faults_.end()) {
      fault = it->second;
      faulty = true;
    }
  }
  if (faulty) {
    if (fault.delayMs > 0 && !http_.wait(fault.delayMs)) return;
    for (const auto& [name, value] : fault.headers) res.set_header(name, value);
    res.status = fault.status;
    res.set_content(fault.body, fault.contentType.c_str());
    return;
  }
  std::string fallback;
  std::string body = fileFor(req, fallback);
  if (body.empty()) body = fallback;
  if (body.empty()) {
    res.status = 404;
    res.set_content(R"({"correlationId": ")" + correlation +
                        R"(", "title": "Not Found", "type": )"
                        R"("https://api.weather.gov/problems/NotFound", )"
                        R"("status": 404, "detail": "Not Found"})",
                    "application/problem+json");
    return;
  }
  long long now = static_cast<long long>(std::time(nullptr));
  if (req.path.rfind("/stations/", 0) == 0 && !keepObservationTimes) {
    // Recorded times (not templates) move to the last hour, in order.
    nlohmann::json doc = nlohmann::json::parse(body);
    long long at = now - 20 * 60;
    for (auto& feature : doc["features"]) {
      auto& props = feature["properties"];
      if (props["timestamp"].get<std::string>().rfind("date:", 0) == 0)
        continue;
      props["timestamp"] = isoTime(at);
      at -= 10 * 60;
    }
    body = doc.dump(4);
  }
  body = fillTimeTemplates(body, now);
  res.set_header("Cache-Control", "public, max-age=" + std::to_string(maxAge) +
                                      ", s-maxage=3600");
  res.set_header("Last-Modified", kLastModified);
  if (answer304 && req.get_header_value("If-Modified-Since") == kLastModified) {
    res.status = 304;
    return;
  }
  bool products = req.path.rfind("/products", 0) == 0;
  res.set_content(body,
                  products ? "application/ld+json" : "application/geo+json");
}

FakeApi* startRecordedApi() {
  for (const char* name : {"http_proxy", "all_proxy", "no_proxy"})
    unsetenv(name);
  if (!kOfficesLoaded) return nullptr;
  auto* api = new FakeApi(STRATUS_SOURCE_DIR "/tests/data/nws-api");
  if (api->start()) return api;
  delete api;
  return nullptr;
}

}  // namespace stratus_test
