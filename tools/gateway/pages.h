// The gateway's page source: the library's pages, made on request from the
// weather service's web API.
//
//   /weather/current/<STATION>.html  the newest observation of the station
//       that carries its coded report (rawMessage), after a line "ob"; 404
//       when the station has none from the last three hours
//   /iwin/<st>/allwarnings.html, watches.html, special.html
//       the state's active alerts (warnings and advisories, watches,
//       special weather statements), each as a section: its UGC codes on
//       one line (zones, then counties, with the purge time of its expiry),
//       the areas, the headline, description and instruction, then "$$";
//       the alert's text is made inert, so that no line of it ends its
//       section or opens one for another place under either of the
//       library's section rules
//   /iwin/<st>/zone.html, discussion.html, public.html, summary.html
//       the latest zone forecast (ZFP), forecast discussion (AFD), public
//       information statement (PNS) and weather summary (RWS) of every
//       forecast office that serves the state, each in its own <PRE>
//
// All text from the API is HTML-escaped. An unknown state, page or station
// is 404; an upstream answer that cannot be used is 502, a rate-limited
// upstream 503 with Retry-After, one that does not answer in time 504. A
// page made from a stored copy because the upstream failed carries a
// Warning header. Every page carries Cache-Control with the time its
// sources stay fresh, so an HTTP cache in front of the gateway can share it.
// Station and alert pages, and each office's part of a product page, once
// made, are kept beside the cache (at most a quarter of its size) while
// their source answer stands; a product page asks the upstream only for the
// offices whose answers are not cached, on a pool of kOfficeCalls threads
// that all pages share. When some offices fail or do not answer by the
// deadline, the page holds the others' products, names the missing offices
// in a line at its top and in the header X-Stratus-Missing, and carries
// Cache-Control: no-store; only when every office fails is it an error.
#ifndef STRATUS_TOOLS_GATEWAY_PAGES_H_
#define STRATUS_TOOLS_GATEWAY_PAGES_H_

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server.h"
#include "upstream.h"

namespace stratus_gateway {

// Upstream JSON answers parsed at once, at most: a parse takes some twenty
// times the answer's size. After a parse of an answer this large the heap's
// free pages go back to the system.
constexpr int kParsesAtOnce = 2;
constexpr std::size_t kTrimAfterBytes = 1 << 20;

// Upstream calls for product pages run on this many threads, shared by all
// pages; the rest wait their turn (within their deadline).
constexpr int kOfficeCalls = 8;

struct OfficeLatest;
class OfficePool;

class ApiSource : public stratus_server::PageSource {
 public:
  explicit ApiSource(Api& api);
  ~ApiSource() override;
  stratus_server::Response serve(
      const stratus_server::Request& request) override;
  // A station or alert page into `response` when the page made from the
  // cache's answer is kept and that answer is still fresh: true then, and
  // the answer is what serve() would give. False, with nothing asked of the
  // upstream and nothing waited for, in every other case (the answer is
  // stale or missing, the page not made yet, a product page).
  bool answerNow(const stratus_server::Request& request,
                 stratus_server::Response& response) override;
  // How many pages (or parts of pages) were made from upstream answers so
  // far, each one parse of an answer.
  std::size_t pagesMade() const { return pagesMade_; }

 private:
  // Each page is made by `deadline`, the end of the request's time.
  stratus_server::Response stationPage(const std::string& station,
                                       Clock::time_point deadline);
  stratus_server::Response alertsPage(const std::string& state,
                                      const std::string& page,
                                      Clock::time_point deadline);
  stratus_server::Response productsPage(const std::string& state,
                                        const std::string& page,
                                        Clock::time_point deadline);

  // The latest product of `type` of each office, in order: cached ones
  // here, the others from the pool, each given up at `deadline`.
  std::vector<OfficeLatest> latestOfOffices(
      const std::string& type, const std::vector<std::string>& offices,
      Clock::time_point deadline);
  // The page of the offices' products; the offices that failed are named
  // (a line and X-Stratus-Missing, not to be stored), and the page is an
  // error only when all failed.
  stratus_server::Response officesPage(const std::string& title,
                                       const std::vector<std::string>& offices,
                                       const std::vector<OfficeLatest>& latest);
  // One office's latest product of `type` into `latest`: its list, then
  // the product it names. With `cachedOnly`, only fresh cached answers are
  // used, and false means one was missing.
  bool latestOf(const std::string& type, const std::string& office,
                bool cachedOnly, Clock::time_point deadline,
                OfficeLatest& latest);

  // A page made from one upstream answer is kept, keyed by its path, for
  // as long as the cache hands out that same answer (and, for a station,
  // its report is recent), so that a cached page is not made again.
  struct Made {
    // Weak, so that a kept page never holds an answer the cache let go.
    std::weak_ptr<const std::string> source;
    stratus_server::Response page;  // without its caching headers; its
                                    // body in sharedBody
    long long validUntil;           // seconds since the epoch
  };
  // The page for `key` made from answer `f`: the kept one; else the one
  // another request is making from that same answer, waited for; else made
  // here by `make` (which sets until when it stands) and kept when it is a
  // 200. So each answer is parsed once however many requests want its page
  // at once, and at most kParsesAtOnce parses run together.
  stratus_server::Response madeOnce(
      const std::string& key, const Fetched& f,
      const std::function<stratus_server::Response(long long&)>& make);
  // With madeMutex_ held: the page kept for `key` when it was made from
  // answer `f` and still stands; else null.
  const Made* standing(const std::string& key, const Fetched& f) const;
  void keep(const std::string& key, const Fetched& f,
            const stratus_server::Response& page, long long validUntil);
  // Holds one of the kParsesAtOnce parse slots while it lives.
  class ParseSlot {
   public:
    explicit ParseSlot(ApiSource& source);
    ~ParseSlot();

   private:
    ApiSource& source_;
  };

  Api& api_;
  std::mutex madeMutex_;
  std::map<std::string, Made> made_;
  // Pages being made, with the answer each is made from.
  std::map<std::string, std::pair<const std::string*,
                                  std::shared_future<stratus_server::Response>>>
      making_;
  std::mutex parseMutex_;
  std::condition_variable parseFree_;
  int parsing_ = 0;
  std::atomic<std::size_t> pagesMade_{0};
  std::size_t madeBytes_ = 0;
  std::unique_ptr<OfficePool> pool_;  // last: its threads use the rest
};

// The pages made from upstream answers, apart from any fetching: each takes
// the answer's body as the API sent it and never throws for what is in it.

// The station page for `station` from its observations answer `body`, made
// at `now` (seconds since the epoch): 200 with the page, and the time until
// which it stands in `validUntil`; 404 when no coded report is recent; 502
// when `body` is not a list of observations.
stratus_server::Response stationPageFrom(const std::string& station,
                                         const std::string& body, long long now,
                                         long long& validUntil);

// The alert page `name` ("allwarnings", "watches" or "special") of `state`
// from the active alerts answer `body`, alerts without an expiry purged an
// hour after `now`: 200 with the page, or 502 when `body` is not a list of
// alerts.
stratus_server::Response alertsPageFrom(const std::string& state,
                                        const std::string& name,
                                        const std::string& body, long long now);

// The id of the newest product in a product list answer `body` into `id`
// ("" when the list is empty); false, with the reason in `why`, when
// `body` is not a list or its first id is not letters, digits and '-'.
bool latestProductId(const std::string& body, std::string& id,
                     std::string& why);

// One office's block of a product page from a product answer `body`: its
// text, escaped, in <PRE> and an <HR> ("" when it has no text); false, with
// the reason in `why`, when `body` is not a JSON object.
bool productBlockFrom(const std::string& body, std::string& block,
                      std::string& why);

// The UGC line of an alert: `codes` (such as "IAZ060", "IAC153") grouped by
// prefix, zone prefixes first, numbers in order with runs of three or more
// written "low>high", then the purge time DDHHMM of `purge` (UTC) and "-".
// Codes that are not a UGC code are left out; "" when none is left.
std::string ugcLine(const std::vector<std::string>& codes, std::time_t purge);

// An ISO 8601 time with its offset ("2024-05-21T19:45:00-05:00", "...Z")
// as seconds since the epoch; -1 when it is not one.
long long parseIsoTime(const std::string& text);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_PAGES_H_
