// Calls to the weather service's web API: one GET over libcurl, with
// time-outs and a cap on the answer's size, and an in-memory cache in front
// of it that every page of the gateway goes through.
//
// The cache is keyed by upstream URL and bounded in bytes (least recently
// used entries go first). It keeps an answer as long as its Cache-Control
// max-age (or Expires) allows, then revalidates it with If-Modified-Since;
// requests for one URL that arrive while it is being fetched wait for that
// one fetch. When the upstream fails (no answer, 429, 5xx, a CDN's block
// page), a stored copy is served for up to `staleSeconds` past its expiry,
// marked stale. Failures that may pass are retried a bounded number of
// times with a doubling back-off.
#ifndef STRATUS_TOOLS_GATEWAY_UPSTREAM_H_
#define STRATUS_TOOLS_GATEWAY_UPSTREAM_H_

#include <chrono>
#include <cstddef>
#include <future>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace stratus_gateway {

struct UpstreamOptions {
  std::string base = "https://api.weather.gov";  // no trailing '/'
  std::string userAgent;
  long connectSeconds = 5;
  long totalSeconds = 15;  // one call, from connecting to the last byte
  // A whole answer to a client, every call, retry and back-off included:
  // well inside the 30 s of silence after which the library's reader gives
  // a page up.
  long answerSeconds = 20;
  std::size_t maxBodyBytes = 8 << 20;
  int retries = 2;      // more tries after a failure that may pass
  int backoffMs = 250;  // before the first retry; doubled for each next
  std::size_t cacheBytes = 32 << 20;
  long staleSeconds = 3600;  // how long past expiry a copy may stand in
  bool log = false;          // one line per upstream call on stderr
};

using Clock = std::chrono::steady_clock;

// What a page gets for one upstream URL.
struct Fetched {
  enum class Kind {
    kOk,           // `body` holds the answer (perhaps a stale copy)
    kNotFound,     // the upstream said 404
    kRateLimited,  // 429, 403 or 503: the upstream asks us to slow down
    kTimeout,      // no whole answer in time
    kBad,          // anything else: unreachable, other status, too large
  };
  Kind kind = Kind::kBad;
  std::shared_ptr<const std::string> body;
  long freshSeconds = 0;  // how long the answer stays fresh from now
  bool stale = false;     // a stored copy served because the upstream failed
  long retryAfter = 0;    // for kRateLimited: seconds, from the upstream
  std::string detail;     // for failures: what went wrong, for the log/page
};

class Api {
 public:
  explicit Api(const UpstreamOptions& options);
  Api(const Api&) = delete;
  Api& operator=(const Api&) = delete;

  // GET base + `pathAndQuery` with the header Accept: `accept`, through the
  // cache, ended by `deadline`: calls are cut and retries given up to keep
  // it, and a request that waits on another's call waits no longer. At the
  // deadline a stored copy stands in (stale) when there is one; else kind
  // kTimeout. Thread-safe.
  Fetched get(const std::string& pathAndQuery, const std::string& accept,
              Clock::time_point deadline);

  // The cached answer for `pathAndQuery` into `hit` when it is still
  // fresh; false, without asking the upstream, when it is not.
  bool getFresh(const std::string& pathAndQuery, Fetched& hit);

  const UpstreamOptions& options() const { return options_; }
  // Bytes held by the cache now.
  std::size_t cachedBytes() const;

 private:
  struct Entry {
    std::shared_ptr<const std::string> body;
    std::string lastModified;
    Clock::time_point freshUntil;
    std::list<std::string>::iterator lru;
    std::size_t bytes = 0;
  };
  struct Call;  // one upstream call's answer

  // With mutex_ held: `hit` from a fresh entry for `url`; otherwise false,
  // and the stale entry's Last-Modified, if any, into `lastModified`.
  bool freshHit(const std::string& url, Fetched& hit,
                std::string* lastModified);
  // One call, cut at `deadline`.
  Call call(const std::string& url, const std::string& accept,
            const std::string& ifModifiedSince,
            Clock::time_point deadline) const;
  // Whether an answer asks the client to slow down (429, 503, a 403 that is
  // not the API's JSON), and whether another try may give a better one.
  static bool asksToSlowDown(const Call& c);
  static bool worthRetrying(const Call& c);
  // A failed call as the result a page is made from (no stand-in copy).
  static Fetched failureOf(const Call& answer, size_t maxBodyBytes);
  // The call, tried again (with back-off) while the answer is worth it and
  // the deadline allows.
  Call callWithRetries(const std::string& url, const std::string& accept,
                       const std::string& lastModified,
                       Clock::time_point deadline) const;
  // A 200 or 304 answer stored and handed out from the store.
  Fetched kept(const std::string& url, Call& answer, Clock::time_point now);
  // The answer for `url`: fetched, stored, or failed with a stand-in copy.
  Fetched fetch(const std::string& url, const std::string& accept,
                const std::string& lastModified, Clock::time_point deadline);
  // With mutex_ held: `result` made from the stored copy of `url` when one
  // may stand in at `now`, marked stale.
  void standIn(const std::string& url, Clock::time_point now,
               Fetched& result) const;
  void store(const std::string& url, const Call& answer, Clock::time_point now);
  void evict();

  UpstreamOptions options_;
  mutable std::mutex mutex_;
  std::map<std::string, Entry> entries_;
  std::list<std::string> lru_;  // most recently used first
  std::size_t bytes_ = 0;
  std::size_t evictedSinceTrim_ = 0;
  std::map<std::string, std::shared_future<Fetched>> inFlight_;
};

// Figures read from an upstream answer's headers saturate at these: an
// answer is fresh for at most a week, and a client is told to come back in
// at most a day.
constexpr long kMaxFreshSeconds = 7 * 24 * 3600;
constexpr long kMaxRetryAfterSeconds = 24 * 3600;

// The whole number whose digits start `text` (after blanks), saturated at
// `cap`; -1 when `text` does not start with a digit.
long long leadingCount(const std::string& text, long long cap);

// How long an answer stays fresh, 0 to kMaxFreshSeconds: Cache-Control's
// max-age (0 for no-store, no-cache or a max-age without digits), else
// Expires less Date (`now`, seconds since the epoch, when there is no
// Date), else 0.
long freshnessOf(const std::string& cacheControl, const std::string& expires,
                 const std::string& date, long long now);

// A Retry-After value (seconds, or an HTTP date) as seconds from `now`, 0
// to kMaxRetryAfterSeconds; 0 when it is missing or neither.
long retryAfterOf(const std::string& value, long long now);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_UPSTREAM_H_
