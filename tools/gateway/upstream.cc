#include "upstream.h"

#include <curl/curl.h>
#include <malloc.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "server.h"

namespace stratus_gateway {
namespace {

bool curlReady() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

// Bookkeeping for the body is counted on the cache's side as well: a small
// answer still costs its key, its map node and its list node.
constexpr std::size_t kEntryOverhead = 256;

// The value of `name` in a header line "Name: value\r\n", or "" when the
// line is another header.
std::string headerValue(const std::string& line, const char* name) {
  std::size_t n = std::strlen(name);
  if (line.size() <= n || strncasecmp(line.c_str(), name, n) != 0 ||
      line[n] != ':')
    return "";
  std::string value = line.substr(n + 1);
  std::size_t b = value.find_first_not_of(" \t");
  std::size_t e = value.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? "" : value.substr(b, e - b + 1);
}

long long clampTo(long long value, long long low, long long high) {
  return std::min(std::max(value, low), high);
}

}  // namespace

struct Api::Call {
  enum class Failure { kNone, kConnect, kTimeout, kTooLarge };
  Failure failure = Failure::kNone;
  long status = 0;
  std::string body;
  std::string contentType, cacheControl, expires, lastModified, date,
      retryAfter, correlationId;
  std::size_t limit = 0;
};

namespace {

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* c = static_cast<std::string*>(user);
  c->append(data, size * count);
  return size * count;
}

}  // namespace

// DIGIT+, saturating instead of overflowing.
long long leadingCount(const std::string& text, long long cap) {
  std::size_t at = text.find_first_not_of(" \t");
  if (at == std::string::npos ||
      !std::isdigit(static_cast<unsigned char>(text[at])))
    return -1;
  long long value = 0;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
       ++at) {
    int digit = text[at] - '0';
    value = value > (cap - digit) / 10 ? cap : value * 10 + digit;
  }
  return value;
}

long freshnessOf(const std::string& cacheControl, const std::string& expires,
                 const std::string& date, long long now) {
  std::string cc = cacheControl;
  std::transform(cc.begin(), cc.end(), cc.begin(), ::tolower);
  if (cc.find("no-store") != std::string::npos ||
      cc.find("no-cache") != std::string::npos)
    return 0;
  for (std::size_t at = cc.find("max-age="); at != std::string::npos;
       at = cc.find("max-age=", at + 1)) {
    // s-maxage is for shared caches that many users share; this cache
    // answers as one client, so it keeps to max-age.
    if (at > 0 && cc[at - 1] == '-') continue;
    return static_cast<long>(
        std::max(0LL, leadingCount(cc.substr(at + 8), kMaxFreshSeconds)));
  }
  long long until = stratus_server::parseHttpDate(expires);
  if (until < 0) return 0;
  long long from = stratus_server::parseHttpDate(date);
  if (from < 0) from = now;
  // Both are dates of years 0 to 9999, so the difference cannot overflow.
  return static_cast<long>(clampTo(until - from, 0, kMaxFreshSeconds));
}

long retryAfterOf(const std::string& value, long long now) {
  long long seconds = leadingCount(value, kMaxRetryAfterSeconds);
  if (seconds < 0) {
    long long at = stratus_server::parseHttpDate(value);
    seconds = at < 0 ? 0 : at - now;
  }
  return static_cast<long>(clampTo(seconds, 0, kMaxRetryAfterSeconds));
}

Api::Api(const UpstreamOptions& options) : options_(options) { curlReady(); }

std::size_t Api::cachedBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

Api::Call Api::call(const std::string& url, const std::string& accept,
                    const std::string& ifModifiedSince,
                    Clock::time_point deadline) const {
  Call answer;
  answer.limit = options_.maxBodyBytes;
  CURL* h = curl_easy_init();
  if (h == nullptr) {
    answer.failure = Call::Failure::kConnect;
    return answer;
  }
  curl_slist* headers =
      curl_slist_append(nullptr, ("Accept: " + accept).c_str());
  if (!ifModifiedSince.empty())
    headers = curl_slist_append(
        headers, ("If-Modified-Since: " + ifModifiedSince).c_str());
  struct Sink {
    Call* call;
    static size_t header(char* data, size_t size, size_t count, void* user) {
      Call& c = *static_cast<Sink*>(user)->call;
      std::string line(data, size * count);
      // An interim answer's headers (100 Continue) come before the final
      // answer's.
      if (line.rfind("HTTP/", 0) == 0) {
        c.contentType.clear();
        c.cacheControl.clear();
        c.expires.clear();
        c.lastModified.clear();
        c.retryAfter.clear();
      }
      for (auto [name, field] : {std::pair<const char*, std::string*>{
                                     "Content-Type", &c.contentType},
                                 {"Cache-Control", &c.cacheControl},
                                 {"Expires", &c.expires},
                                 {"Last-Modified", &c.lastModified},
                                 {"Date", &c.date},
                                 {"Retry-After", &c.retryAfter},
                                 {"X-Correlation-Id", &c.correlationId}}) {
        std::string value = headerValue(line, name);
        if (!value.empty()) *field = value;
      }
      return size * count;
    }
    static size_t body(char* data, size_t size, size_t count, void* user) {
      Call& c = *static_cast<Sink*>(user)->call;
      if (c.body.size() + size * count > c.limit) {
        c.failure = Call::Failure::kTooLarge;
        return 0;
      }
      return onBody(data, size, count, &c.body);
    }
  } sink{&answer};
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  // Redirects are not followed: an answer from elsewhere would be cached
  // under the API's URL. A 3xx is an answer that cannot be used.
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_USERAGENT, options_.userAgent.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");  // any it can decode
  long left = static_cast<long>(std::max<long long>(
      1, std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                               Clock::now())
             .count()));
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                   std::min(left, options_.connectSeconds * 1000));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS,
                   std::min(left, options_.totalSeconds * 1000));
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Sink::header);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &sink);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Sink::body);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  auto start = Clock::now();
  CURLcode rc = curl_easy_perform(h);
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &answer.status);
  if (rc == CURLE_OPERATION_TIMEDOUT) {
    answer.failure = Call::Failure::kTimeout;
  } else if (rc != CURLE_OK && answer.failure == Call::Failure::kNone) {
    answer.failure = Call::Failure::kConnect;
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(h);
  if (options_.log) {
    long ms =
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                              Clock::now() - start)
                              .count());
    std::string line =
        "upstream GET " + url + " " +
        (answer.failure == Call::Failure::kNone ? std::to_string(answer.status)
         : answer.failure == Call::Failure::kTimeout ? std::string("timeout")
         : answer.failure == Call::Failure::kTooLarge
             ? std::string("too-large")
             : std::string("unreachable")) +
        " " + std::to_string(answer.body.size()) + " " + std::to_string(ms) +
        "ms correlation-id=" +
        (answer.correlationId.empty() ? "-" : answer.correlationId) + "\n";
    std::fputs(line.c_str(), stderr);
  }
  return answer;
}

bool Api::freshHit(const std::string& url, Fetched& hit,
                   std::string* lastModified) {
  auto it = entries_.find(url);
  if (it == entries_.end()) return false;
  Entry& e = it->second;
  lru_.splice(lru_.begin(), lru_, e.lru);
  auto now = Clock::now();
  if (now >= e.freshUntil) {
    if (lastModified != nullptr) *lastModified = e.lastModified;
    return false;
  }
  hit.kind = Fetched::Kind::kOk;
  hit.body = e.body;
  hit.freshSeconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(e.freshUntil - now)
          .count());
  return true;
}

bool Api::getFresh(const std::string& pathAndQuery, Fetched& hit) {
  std::lock_guard<std::mutex> lock(mutex_);
  return freshHit(options_.base + pathAndQuery, hit, nullptr);
}

Fetched Api::get(const std::string& pathAndQuery, const std::string& accept,
                 Clock::time_point deadline) {
  const std::string url = options_.base + pathAndQuery;
  std::promise<Fetched> promise;
  std::string lastModified;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    Fetched hit;
    if (freshHit(url, hit, &lastModified)) return hit;
    auto flight = inFlight_.find(url);
    if (flight != inFlight_.end()) {
      std::shared_future<Fetched> shared = flight->second;
      lock.unlock();
      if (shared.wait_until(deadline) == std::future_status::ready)
        return shared.get();
      Fetched late;
      late.kind = Fetched::Kind::kTimeout;
      late.detail = "the weather service did not answer in time";
      lock.lock();
      standIn(url, Clock::now(), late);
      return late;
    }
    inFlight_[url] = promise.get_future().share();
  }
  Fetched result;
  try {
    result = fetch(url, accept, lastModified, deadline);
  } catch (...) {
    result.kind = Fetched::Kind::kBad;
    result.detail = "the gateway ran out of memory";
  }
  bool trim = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_.erase(url);
    // Answers come and go in every size; once an eighth of the cache has
    // been let go, the free pages between the live ones go back to the
    // system, so that the process stays near the cache's size.
    if (evictedSinceTrim_ >= options_.cacheBytes / 8) {
      evictedSinceTrim_ = 0;
      trim = true;
    }
  }
  promise.set_value(result);
  if (trim) malloc_trim(0);
  return result;
}

// The answers by which the weather service asks a client to slow down: 429,
// 503, and a 403 that is not its own JSON problem (its edge's refusal).
bool Api::asksToSlowDown(const Call& c) {
  return c.failure == Call::Failure::kNone &&
         (c.status == 429 || c.status == 503 ||
          (c.status == 403 && c.contentType.find("json") == std::string::npos));
}

bool Api::worthRetrying(const Call& c) {
  return c.failure == Call::Failure::kConnect || asksToSlowDown(c) ||
         (c.failure == Call::Failure::kNone && c.status >= 500);
}

Fetched Api::failureOf(const Call& answer, size_t maxBodyBytes) {
  Fetched result;
  switch (answer.failure) {
    case Call::Failure::kTimeout:
      result.kind = Fetched::Kind::kTimeout;
      result.detail = "the weather service did not answer in time";
      break;
    case Call::Failure::kTooLarge:
      result.detail = "the weather service's answer is over " +
                      std::to_string(maxBodyBytes >> 20) + " MiB";
      break;
    case Call::Failure::kConnect:
      result.detail = "the weather service cannot be reached";
      break;
    case Call::Failure::kNone:
      if (answer.status == 404) {
        result.kind = Fetched::Kind::kNotFound;
        result.detail = "the weather service has no such item";
      } else if (asksToSlowDown(answer)) {
        result.kind = Fetched::Kind::kRateLimited;
        result.retryAfter =
            std::max(5L, retryAfterOf(answer.retryAfter, std::time(nullptr)));
        result.detail = "the weather service asks to slow down (status " +
                        std::to_string(answer.status) + ")";
      } else if (answer.status >= 300 && answer.status < 400) {
        result.detail = "the weather service redirected (status " +
                        std::to_string(answer.status) +
                        "), which the gateway does not follow";
      } else {
        result.detail = "the weather service answered status " +
                        std::to_string(answer.status);
      }
      break;
  }
  return result;
}

Api::Call Api::callWithRetries(const std::string& url,
                               const std::string& accept,
                               const std::string& lastModified,
                               Clock::time_point deadline) const {
  Call answer;
  int backoff = options_.backoffMs;
  for (int attempt = 0;; ++attempt) {
    if (Clock::now() >= deadline) {
      answer = Call{};
      answer.failure = Call::Failure::kTimeout;
      return answer;
    }
    answer = call(url, accept, lastModified, deadline);
    if (!worthRetrying(answer) || attempt >= options_.retries) return answer;
    long wait = backoff;
    long after = retryAfterOf(answer.retryAfter, std::time(nullptr));
    if (after > 0) wait = std::max<long>(wait, after * 1000);
    // The client waits on this page: a long wait is the client's to make.
    if (wait > 4 * options_.backoffMs && after > 0) return answer;
    // A retry that could not start before the deadline is not made.
    if (Clock::now() + std::chrono::milliseconds(wait) >= deadline)
      return answer;
    std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    backoff *= 2;
  }
}

Fetched Api::kept(const std::string& url, Call& answer, Clock::time_point now) {
  Fetched result;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(url);
  if (answer.status == 304 && it == entries_.end()) {
    result.detail = "the upstream answered 304 to an unconditional request";
    return result;
  }
  store(url, answer, now);
  it = entries_.find(url);
  result.kind = Fetched::Kind::kOk;
  if (it == entries_.end()) {  // too large to keep: hand it out once
    result.body = std::make_shared<const std::string>(std::move(answer.body));
    return result;
  }
  result.body = it->second.body;
  result.freshSeconds =
      static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(
                            it->second.freshUntil - now)
                            .count());
  return result;
}

Fetched Api::fetch(const std::string& url, const std::string& accept,
                   const std::string& lastModified,
                   Clock::time_point deadline) {
  Call answer = callWithRetries(url, accept, lastModified, deadline);
  auto now = Clock::now();
  if (answer.failure == Call::Failure::kNone &&
      (answer.status == 200 || answer.status == 304))
    return kept(url, answer, now);
  Fetched result = failureOf(answer, options_.maxBodyBytes);
  if (result.kind == Fetched::Kind::kNotFound) return result;
  std::lock_guard<std::mutex> lock(mutex_);
  standIn(url, now, result);
  return result;
}

// A stored copy stands in for a failed refresh, for a bounded time.
void Api::standIn(const std::string& url, Clock::time_point now,
                  Fetched& result) const {
  auto it = entries_.find(url);
  if (it != entries_.end() &&
      now <
          it->second.freshUntil + std::chrono::seconds(options_.staleSeconds)) {
    result.kind = Fetched::Kind::kOk;
    result.body = it->second.body;
    result.stale = true;
  }
}

void Api::store(const std::string& url, const Call& answer,
                Clock::time_point now) {
  long age = freshnessOf(answer.cacheControl, answer.expires, answer.date,
                         std::time(nullptr));
  auto it = entries_.find(url);
  if (answer.status == 304) {
    it->second.freshUntil = now + std::chrono::seconds(age);
    if (!answer.lastModified.empty())
      it->second.lastModified = answer.lastModified;
    return;
  }
  if (it != entries_.end()) {
    bytes_ -= it->second.bytes;
    lru_.erase(it->second.lru);
    entries_.erase(it);
  }
  std::size_t bytes = answer.body.size() + url.size() + kEntryOverhead;
  // An answer that would fill half the cache or more is not kept.
  if (bytes > options_.cacheBytes / 2) return;
  Entry e;
  e.body = std::make_shared<const std::string>(answer.body);
  e.lastModified = answer.lastModified;
  e.freshUntil = now + std::chrono::seconds(age);
  e.bytes = bytes;
  lru_.push_front(url);
  e.lru = lru_.begin();
  entries_.emplace(url, std::move(e));
  bytes_ += bytes;
  evict();
}

void Api::evict() {
  while (bytes_ > options_.cacheBytes && !lru_.empty()) {
    auto it = entries_.find(lru_.back());
    bytes_ -= it->second.bytes;
    evictedSinceTrim_ += it->second.bytes;
    entries_.erase(it);
    lru_.pop_back();
  }
}

}  // namespace stratus_gateway
