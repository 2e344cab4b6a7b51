#include "pages.h"

#include <malloc.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "offices.h"

namespace stratus_gateway {
namespace {

using json = nlohmann::json;
using stratus_server::Response;

// Text from the API made safe inside HTML, and left as readable as it can
// be for a reader that strips tags but decodes no character references:
// "<" is always escaped (it could open a tag), "&" only where it could start
// a reference (before a letter, digit or "#"); ">" and the "&&" of a bulletin
// stay as they are, which HTML allows in text.
std::string escapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    unsigned char next = i + 1 < text.size() ? text[i + 1] : ' ';
    if (c == '<') {
      out += "&lt;";
    } else if (c == '&' && (std::isalnum(next) || next == '#')) {
      out += "&amp;";
    } else {
      out += c;
    }
  }
  return out;
}

// What a section rule of the library could read in a line of a page as
// structure, judged on the line as it reads it (its ends trimmed of blanks
// and control characters): a line ending in "-" (a zone header to the line
// rule), one opening like a UGC group ("SSZNNN-", "SSCNNN>", "SSZALL-"), or
// one opening like a bulletin's heading ("WFUS53 ").
bool looksStructural(const std::string& line) {
  auto ignored = [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '\x7f';
  };
  std::size_t b = 0, e = line.size();
  while (b < e && ignored(line[b])) ++b;
  while (e > b && ignored(line[e - 1])) --e;
  const char* p = line.data() + b;
  std::size_t n = e - b;
  auto up = [p](std::size_t i) {
    return std::isupper(static_cast<unsigned char>(p[i])) != 0;
  };
  auto digit = [p](std::size_t i) {
    return std::isdigit(static_cast<unsigned char>(p[i])) != 0;
  };
  if (n > 0 && p[n - 1] == '-') return true;
  if (n >= 7 && up(0) && up(1) && (p[2] == 'Z' || p[2] == 'C') &&
      ((digit(3) && digit(4) && digit(5)) ||
       (p[3] == 'A' && p[4] == 'L' && p[5] == 'L')) &&
      (p[6] == '-' || p[6] == '>'))
    return true;
  return n >= 7 && up(0) && up(1) && up(2) && up(3) && digit(4) && digit(5) &&
         p[6] == ' ';
}

// Upstream text made inert inside a section, so that it cannot end its own
// section or open one for another place under either section rule:
//   - carriage returns go (the library drops them before it reads a line);
//   - "$$", "NNNN" and "GSK", which end a section wherever they stand in a
//     line, get a blank after their first character;
//   - a line that looks like structure (looksStructural), as written or as
//     escaped for the page, is shown after ">  ": indenting alone would not
//     do, since both rules trim a line before they read it.
std::string inertText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 16);
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    for (const char* mark : {"$$", "NNNN", "GSK"}) {
      for (std::size_t found = line.find(mark); found != std::string::npos;
           found = line.find(mark, found))
        line.insert(found + 1, " ");
    }
    if (looksStructural(line) || looksStructural(escapeText(line)))
      line.insert(0, ">  ");
    out += line;
    if (end < text.size()) out += '\n';
    at = end + 1;
  }
  return out;
}

// Observations asked for per station page: the hourly report with its
// coded text is among the newest few even where 5-minute records come
// between.
constexpr int kObservations = 12;
// A station whose newest coded report is older than this has none.
constexpr long long kReportHours = 3;

const char kGeoJson[] = "application/geo+json";
constexpr long long kForever = 1LL << 62;
const char kLdJson[] = "application/ld+json";

bool endsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() &&
         s.compare(s.size() - end.size(), end.size(), end) == 0;
}

std::string upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The string at `key` of an object; "" when it is missing, null or not a
// string.
std::string text(const json& object, const char* key) {
  if (!object.is_object()) return "";
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : "";
}

// The error page for an upstream answer that cannot be used.
Response failure(const Fetched& f) {
  switch (f.kind) {
    case Fetched::Kind::kNotFound:
      return Response::error(404, "The weather service has no such page.");
    case Fetched::Kind::kRateLimited: {
      Response res = Response::error(503, "Busy: " + f.detail + ".");
      res.headers.emplace_back("Retry-After", std::to_string(f.retryAfter));
      return res;
    }
    case Fetched::Kind::kTimeout:
      return Response::error(504, "Timed out: " + f.detail + ".");
    default:
      return Response::error(502, "Bad upstream answer: " + f.detail + ".");
  }
}

Response unusable(const std::string& what) {
  return Response::error(502, "Bad upstream answer: " + what + ".");
}

// Freshness and staleness of the sources a page was made from.
struct Sources {
  long fresh = 24 * 3600;
  bool stale = false;
  void add(const Fetched& f) {
    fresh = std::min(fresh, f.stale ? 0 : f.freshSeconds);
    stale = stale || f.stale;
  }
};

Response makePage(const std::string& title, const std::string& body) {
  Response res;
  res.body = "<HTML>\n<HEAD><TITLE>" + escapeText(title) +
             "</TITLE></HEAD>\n<BODY>\n<H2>" + escapeText(title) + "</H2>\n" +
             body + "</BODY>\n</HTML>\n";
  return res;
}

// `res` with the caching headers of its sources.
Response withCaching(Response res, const Sources& sources) {
  res.headers.emplace_back("Cache-Control",
                           "public, max-age=" + std::to_string(sources.fresh));
  if (sources.stale)
    res.headers.emplace_back("Warning",
                             "110 stratus-gateway \"Response is Stale\"");
  return res;
}

// One line of text from the API: line breaks become blanks.
std::string oneLine(std::string s) {
  std::replace(s.begin(), s.end(), '\n', ' ');
  std::replace(s.begin(), s.end(), '\r', ' ');
  return s;
}

enum class AlertPage { kWarnings, kWatches, kSpecial };

AlertPage pageOf(const std::string& event) {
  if (event == "Special Weather Statement") return AlertPage::kSpecial;
  if (event.find("Watch") != std::string::npos) return AlertPage::kWatches;
  return AlertPage::kWarnings;
}

}  // namespace

long long parseIsoTime(const std::string& s) {
  int y, mo, d, h, mi, sec, n = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi,
                  &sec, &n) != 6)
    return -1;
  const char* rest = s.c_str() + n;
  if (*rest == '.')  // fractions of a second
    for (++rest; std::isdigit(static_cast<unsigned char>(*rest));) ++rest;
  long long offset = 0;
  if (*rest == '+' || *rest == '-') {
    int oh, om, m = 0;
    if (std::sscanf(rest + 1, "%2d:%2d%n", &oh, &om, &m) != 2 || rest[1 + m])
      return -1;
    offset = (oh * 3600LL + om * 60) * (*rest == '-' ? -1 : 1);
  } else if (!(rest[0] == 'Z' && rest[1] == '\0')) {
    return -1;
  }
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = sec;
  return static_cast<long long>(timegm(&tm)) - offset;
}

std::string ugcLine(const std::vector<std::string>& codes, std::time_t purge) {
  std::map<std::string, std::set<int>> byPrefix;
  for (const std::string& code : codes) {
    bool ugc = code.size() == 6 && (code[2] == 'Z' || code[2] == 'C');
    for (int i = 0; ugc && i < 6; ++i) {
      unsigned char c = static_cast<unsigned char>(code[i]);
      ugc = i < 2 ? std::isupper(c) : i > 2 ? std::isdigit(c) : true;
    }
    if (ugc) byPrefix[code.substr(0, 3)].insert(std::stoi(code.substr(3)));
  }
  if (byPrefix.empty()) return "";
  std::string line;
  for (char kind : {'Z', 'C'}) {
    for (const auto& [prefix, numbers] : byPrefix) {
      if (prefix[2] != kind) continue;
      line += prefix;
      std::vector<int> n(numbers.begin(), numbers.end());
      for (size_t i = 0; i < n.size();) {
        size_t j = i;
        while (j + 1 < n.size() && n[j + 1] == n[j] + 1) ++j;
        char item[16];
        if (j - i >= 2) {
          std::snprintf(item, sizeof item, "%03d>%03d-", n[i], n[j]);
          i = j + 1;
        } else {
          std::snprintf(item, sizeof item, "%03d-", n[i]);
          ++i;
        }
        line += item;
      }
    }
  }
  std::tm tm{};
  gmtime_r(&purge, &tm);
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02d%02d%02d-", tm.tm_mday, tm.tm_hour,
                tm.tm_min);
  return line + stamp;
}

namespace {

// A station's name as the API spells it ("KDSM"); "" when `raw` cannot be
// one.
std::string stationName(const std::string& raw) {
  std::string station = upper(raw);
  bool valid = !station.empty() && station.size() <= 12 &&
               std::all_of(station.begin(), station.end(), [](char c) {
                 return std::isalnum(static_cast<unsigned char>(c));
               });
  return valid ? station : "";
}

std::string observationsPath(const std::string& station) {
  return "/stations/" + station +
         "/observations?limit=" + std::to_string(kObservations);
}

std::string alertsPath(const std::string& state) {
  return "/alerts/active?status=actual&area=" + state;
}

bool isAlertPage(const std::string& name) {
  return name == "allwarnings" || name == "watches" || name == "special";
}

// For a page made from one upstream answer (a station's, a state's
// alerts'): the answer's path into `upstream` and the made page's key into
// `key`; false for any other path.
bool oneAnswerPage(const std::string& path, std::string& upstream,
                   std::string& key) {
  const std::string current = "/weather/current/";
  if (path.rfind(current, 0) == 0 && endsWith(path, ".html")) {
    std::string station = stationName(
        path.substr(current.size(), path.size() - current.size() - 5));
    if (station.empty()) return false;
    upstream = observationsPath(station);
    key = current + station;
    return true;
  }
  if (path.rfind("/iwin/", 0) == 0 && endsWith(path, ".html") &&
      path.size() > 11 && path[8] == '/') {
    std::string state = upper(path.substr(6, 2));
    std::string name = path.substr(9, path.size() - 14);
    if (!isAlertPage(name) || officesOf(state).empty()) return false;
    upstream = alertsPath(state);
    key = "/iwin/" + state + "/" + name;
    return true;
  }
  return false;
}

}  // namespace

bool ApiSource::answerNow(const stratus_server::Request& request,
                          Response& response) {
  std::string upstream, key;
  Fetched f;
  Response page;
  if (!oneAnswerPage(request.path, upstream, key) ||
      !api_.getFresh(upstream, f))
    return false;
  {
    std::lock_guard<std::mutex> lock(madeMutex_);
    const Made* kept = standing(key, f);
    if (kept == nullptr) return false;
    page = kept->page;
  }
  Sources sources;
  sources.add(f);
  response = withCaching(std::move(page), sources);
  return true;
}

Response ApiSource::serve(const stratus_server::Request& request) {
  const std::string& path = request.path;
  const std::string current = "/weather/current/";
  const Clock::time_point deadline =
      Clock::now() + std::chrono::seconds(api_.options().answerSeconds);
  try {
    if (path.rfind(current, 0) == 0 && endsWith(path, ".html")) {
      return stationPage(
          path.substr(current.size(), path.size() - current.size() - 5),
          deadline);
    }
    if (path.rfind("/iwin/", 0) == 0 && endsWith(path, ".html") &&
        path.size() > 11 && path[8] == '/') {
      std::string state = upper(path.substr(6, 2));
      std::string name = path.substr(9, path.size() - 14);
      if (officesOf(state).empty())
        return Response::error(404, "No state " + path.substr(6, 2) + ".");
      if (isAlertPage(name)) return alertsPage(state, name, deadline);
      if (name == "zone" || name == "discussion" || name == "public" ||
          name == "summary")
        return productsPage(state, name, deadline);
    }
  } catch (const json::exception&) {
    return unusable("its JSON does not have the expected fields");
  }
  return Response::error(404, "No page " + path + ".");
}

Response stationPageFrom(const std::string& station, const std::string& body,
                         long long now, long long& validUntil) {
  json doc = json::parse(body, nullptr, false);
  if (doc.is_discarded()) return unusable("not JSON");
  if (!doc.is_object() || !doc["features"].is_array())
    return unusable("no list of observations");

  // The newest observation that carries its coded report.
  std::string report, name, description;
  long long newest = -1;
  for (const json& feature : doc["features"]) {
    const json props =
        feature.is_object() ? feature.value("properties", json()) : json();
    std::string raw = oneLine(text(props, "rawMessage"));
    long long at = parseIsoTime(text(props, "timestamp"));
    if (raw.find_first_not_of(' ') == std::string::npos || at <= newest)
      continue;
    newest = at;
    report = raw;
    name = text(props, "stationName");
    description = oneLine(text(props, "textDescription"));
  }
  if (newest < 0 || newest < now - kReportHours * 3600) {
    return Response::error(404, "Station " + station +
                                    " has no report from the last " +
                                    std::to_string(kReportHours) + " hours.");
  }
  std::string title =
      "Current weather conditions: " +
      (name.empty() ? station : oneLine(name) + " (" + station + ")");
  std::string page = "<TABLE BORDER=1 CELLPADDING=2>\n";
  if (!description.empty())
    page += "<TR><TD><B>Weather</B></TD><TD>" + escapeText(description) +
            "</TD></TR>\n";
  page += "<TR><TD><B>Observed</B></TD><TD>" +
          stratus_server::httpDate(newest) + "</TD></TR>\n";
  page += "<TR><TD COLSPAN=2><B>ob</B></TD></TR>\n<TR><TD COLSPAN=2>" +
          escapeText(report) + "</TD></TR>\n</TABLE>\n";
  validUntil = newest + kReportHours * 3600;
  return makePage(title, page);
}

Response ApiSource::stationPage(const std::string& rawStation,
                                Clock::time_point deadline) {
  std::string station = stationName(rawStation);
  if (station.empty())
    return Response::error(404, "No station " + rawStation + ".");
  Fetched f = api_.get(observationsPath(station), kGeoJson, deadline);
  if (f.kind == Fetched::Kind::kNotFound)
    return Response::error(404, "No station " + station + ".");
  if (f.kind != Fetched::Kind::kOk) return failure(f);
  const std::string key = "/weather/current/" + station;
  Response made = madeOnce(key, f, [&](long long& validUntil) {
    return stationPageFrom(station, *f.body, std::time(nullptr), validUntil);
  });
  if (made.status != 200) return made;
  Sources sources;
  sources.add(f);
  return withCaching(std::move(made), sources);
}

Response alertsPageFrom(const std::string& state, const std::string& name,
                        const std::string& body, long long now) {
  json doc = json::parse(body, nullptr, false);
  if (doc.is_discarded()) return unusable("not JSON");
  if (!doc.is_object() || !doc["features"].is_array())
    return unusable("no list of alerts");
  AlertPage wanted = name == "watches"   ? AlertPage::kWatches
                     : name == "special" ? AlertPage::kSpecial
                                         : AlertPage::kWarnings;
  std::string sections;
  for (const json& feature : doc["features"]) {
    const json props =
        feature.is_object() ? feature.value("properties", json()) : json();
    if (pageOf(text(props, "event")) != wanted) continue;
    std::vector<std::string> codes;
    if (props.contains("geocode") && props["geocode"].is_object() &&
        props["geocode"].contains("UGC") && props["geocode"]["UGC"].is_array())
      for (const json& code : props["geocode"]["UGC"])
        if (code.is_string()) codes.push_back(code.get<std::string>());
    long long purge = parseIsoTime(text(props, "expires"));
    if (purge < 0) purge = parseIsoTime(text(props, "ends"));
    if (purge < 0) purge = now + 3600;
    std::string ugc = ugcLine(codes, static_cast<std::time_t>(purge));
    if (ugc.empty()) continue;
    // The UGC line is the gateway's own; everything after it is the
    // alert's text, made inert.
    std::string section =
        ugc + "\n" + inertText(oneLine(text(props, "areaDesc"))) + "\n";
    for (const char* key : {"headline", "description", "instruction"}) {
      std::string part = text(props, key);
      if (!part.empty()) section += "\n" + inertText(part) + "\n";
    }
    sections += escapeText(section) + "\n$$\n\n";
  }
  const char* what = wanted == AlertPage::kWatches ? "watches"
                     : wanted == AlertPage::kSpecial
                         ? "special weather statements"
                         : "warnings and advisories";
  std::string title = state + " " + what;
  return sections.empty() ? makePage(title, "<P>There are no active " +
                                                std::string(what) + ".</P>\n")
                          : makePage(title, "<PRE>\n" + sections + "</PRE>\n");
}

Response ApiSource::alertsPage(const std::string& state,
                               const std::string& name,
                               Clock::time_point deadline) {
  Fetched f = api_.get(alertsPath(state), kGeoJson, deadline);
  if (f.kind != Fetched::Kind::kOk) return failure(f);
  const std::string key = "/iwin/" + state + "/" + name;
  Response made = madeOnce(key, f, [&](long long& validUntil) {
    validUntil = kForever;
    return alertsPageFrom(state, name, *f.body, std::time(nullptr));
  });
  if (made.status != 200) return made;
  Sources sources;
  sources.add(f);
  return withCaching(std::move(made), sources);
}

bool latestProductId(const std::string& body, std::string& id,
                     std::string& why) {
  json doc = json::parse(body, nullptr, false);
  if (doc.is_discarded() || !doc.is_object() ||
      !doc.value("@graph", json()).is_array()) {
    why = "a product list that is not a JSON object";
    return false;
  }
  const json& graph = doc["@graph"];
  std::string first = graph.empty() ? "" : text(graph[0], "id");
  bool plain = std::all_of(first.begin(), first.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
  });
  if (!graph.empty() && (first.empty() || !plain)) {
    why = "a product without a usable id";
    return false;
  }
  id = first;
  return true;
}

bool productBlockFrom(const std::string& body, std::string& block,
                      std::string& why) {
  json p = json::parse(body, nullptr, false);
  if (p.is_discarded() || !p.is_object()) {
    why = "a product that is not a JSON object";
    return false;
  }
  std::string productText = text(p, "productText");
  block = productText.empty()
              ? ""
              : "<PRE>" + escapeText(productText) + "</PRE>\n<HR>\n";
  return true;
}

Response ApiSource::madeOnce(const std::string& key, const Fetched& f,
                             const std::function<Response(long long&)>& make) {
  std::promise<Response> promise;
  {
    std::unique_lock<std::mutex> lock(madeMutex_);
    if (const Made* kept = standing(key, f)) return kept->page;
    auto being = making_.find(key);
    if (being != making_.end() && being->second.first == f.body.get()) {
      std::shared_future<Response> shared = being->second.second;
      lock.unlock();
      return shared.get();
    }
    making_[key] = {f.body.get(), promise.get_future().share()};
  }
  Response page;
  try {
    ParseSlot slot(*this);
    long long validUntil = 0;
    ++pagesMade_;
    page = make(validUntil);
    if (page.status == 200) keep(key, f, page, validUntil);
  } catch (const std::exception&) {
    page = Response::error(502, "The page could not be made.");
  }
  {
    std::lock_guard<std::mutex> lock(madeMutex_);
    auto being = making_.find(key);
    if (being != making_.end() && being->second.first == f.body.get())
      making_.erase(being);
  }
  promise.set_value(page);
  // The parse of a large answer leaves free pages between the live ones;
  // they go back to the system now rather than stay resident.
  if (f.body->size() >= kTrimAfterBytes) malloc_trim(0);
  return page;
}

const ApiSource::Made* ApiSource::standing(const std::string& key,
                                           const Fetched& f) const {
  auto it = made_.find(key);
  if (it == made_.end() || it->second.source.lock() != f.body ||
      it->second.validUntil < std::time(nullptr))
    return nullptr;
  return &it->second;
}

ApiSource::ParseSlot::ParseSlot(ApiSource& source) : source_(source) {
  std::unique_lock<std::mutex> lock(source_.parseMutex_);
  source_.parseFree_.wait(lock,
                          [this] { return source_.parsing_ < kParsesAtOnce; });
  ++source_.parsing_;
}

ApiSource::ParseSlot::~ParseSlot() {
  {
    std::lock_guard<std::mutex> lock(source_.parseMutex_);
    --source_.parsing_;
  }
  source_.parseFree_.notify_one();
}

void ApiSource::keep(const std::string& key, const Fetched& f,
                     const Response& page, long long validUntil) {
  std::lock_guard<std::mutex> lock(madeMutex_);
  auto it = made_.find(key);
  if (it != made_.end()) {
    madeBytes_ -= it->second.page.bodyText().size() + key.size();
    made_.erase(it);
  }
  std::size_t bytes = page.bodyText().size() + key.size();
  // Made pages take at most a quarter of the cache's size again; when they
  // would take more, they are all dropped and made anew as asked for.
  if (madeBytes_ + bytes > api_.options().cacheBytes / 4) {
    made_.clear();
    madeBytes_ = 0;
  }
  if (bytes > api_.options().cacheBytes / 4) return;
  // Kept as one shared text, which every answer from it sends as it is.
  Response kept = page;
  if (!kept.sharedBody) {
    kept.sharedBody = std::make_shared<const std::string>(std::move(kept.body));
    kept.body.clear();
  }
  made_[key] = Made{f.body, std::move(kept), validUntil};
  madeBytes_ += bytes;
}

// One office's part of a product page.
struct OfficeLatest {
  Fetched failed;     // kind kOk when nothing failed
  std::string block;  // the product's text, escaped, in <PRE>
  long fresh = 24 * 3600;
  bool stale = false;
};

// The threads that call the upstream for product pages, shared by every
// page: a request for a product that is being asked already joins that
// call instead of queueing one more.
class OfficePool {
 public:
  explicit OfficePool(int threads) {
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
  }
  ~OfficePool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  std::shared_future<OfficeLatest> ask(const std::string& key,
                                       std::function<OfficeLatest()> job) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = asked_.find(key);
    if (it != asked_.end()) return it->second;
    std::packaged_task<OfficeLatest()> task(std::move(job));
    std::shared_future<OfficeLatest> result = task.get_future().share();
    asked_.emplace(key, result);
    queue_.emplace_back(key, std::move(task));
    ready_.notify_one();
    return result;
  }

 private:
  void work() {
    for (;;) {
      std::pair<std::string, std::packaged_task<OfficeLatest()>> next;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        next = std::move(queue_.front());
        queue_.pop_front();
      }
      next.second();
      std::lock_guard<std::mutex> lock(mutex_);
      asked_.erase(next.first);
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::pair<std::string, std::packaged_task<OfficeLatest()>>> queue_;
  std::map<std::string, std::shared_future<OfficeLatest>> asked_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

ApiSource::ApiSource(Api& api)
    : api_(api), pool_(std::make_unique<OfficePool>(kOfficeCalls)) {}

ApiSource::~ApiSource() = default;

bool ApiSource::latestOf(const std::string& type, const std::string& office,
                         bool cachedOnly, Clock::time_point deadline,
                         OfficeLatest& latest) {
  latest = OfficeLatest{};
  latest.failed.kind = Fetched::Kind::kOk;
  auto get = [&](const std::string& path, Fetched& f) {
    if (cachedOnly) return api_.getFresh(path, f);
    f = api_.get(path, kLdJson, deadline);
    return true;
  };
  auto add = [&latest](const Fetched& f) {
    latest.fresh = std::min(latest.fresh, f.stale ? 0 : f.freshSeconds);
    latest.stale = latest.stale || f.stale;
  };
  Fetched list;
  if (!get("/products/types/" + type + "/locations/" + office, list))
    return false;
  if (list.kind == Fetched::Kind::kNotFound) return true;
  if (list.kind != Fetched::Kind::kOk) {
    latest.failed = list;
    return true;
  }
  add(list);
  std::string id;
  bool listed;
  {
    ParseSlot slot(*this);
    listed = latestProductId(*list.body, id, latest.failed.detail);
  }
  if (!listed) {
    latest.failed.kind = Fetched::Kind::kBad;
    return true;
  }
  if (id.empty()) return true;
  const std::string path = "/products/" + id;
  Fetched product;
  if (!get(path, product)) return false;
  if (product.kind != Fetched::Kind::kOk) {
    latest.failed = product;
    return true;
  }
  add(product);
  // A product's block is kept while the cache hands out the same answer:
  // the next page spares the parse and the escaping.
  Response piece = madeOnce(path, product, [&product](long long& validUntil) {
    Response block;
    validUntil = kForever;
    std::string why;
    if (!productBlockFrom(*product.body, block.body, why))
      block = Response::error(502, why);
    return block;
  });
  if (piece.status != 200) {
    latest.failed.kind = Fetched::Kind::kBad;
    latest.failed.detail = "a product that is not a JSON object";
    return true;
  }
  latest.block = piece.bodyText();
  return true;
}

Response ApiSource::productsPage(const std::string& state,
                                 const std::string& name,
                                 Clock::time_point deadline) {
  const std::string type = name == "zone"         ? "ZFP"
                           : name == "discussion" ? "AFD"
                           : name == "public"     ? "PNS"
                                                  : "RWS";
  const std::vector<std::string> offices = officesOf(state);
  return officesPage(state + " " + type + " products", offices,
                     latestOfOffices(type, offices, deadline));
}

std::vector<OfficeLatest> ApiSource::latestOfOffices(
    const std::string& type, const std::vector<std::string>& offices,
    Clock::time_point deadline) {
  // Offices whose answers are all cached are done here; the others are
  // asked of the pool, and waited for until the deadline.
  std::vector<OfficeLatest> latest(offices.size());
  std::vector<std::pair<size_t, std::shared_future<OfficeLatest>>> asked;
  for (size_t i = 0; i < offices.size(); ++i) {
    if (latestOf(type, offices[i], true, deadline, latest[i])) continue;
    auto job = [this, type, office = offices[i], deadline] {
      OfficeLatest one;
      latestOf(type, office, false, deadline, one);
      return one;
    };
    asked.emplace_back(i, pool_->ask(type + "/" + offices[i], job));
  }
  for (auto& [i, answer] : asked) {
    if (answer.wait_until(deadline) == std::future_status::ready) {
      latest[i] = answer.get();
    } else {
      latest[i].failed.kind = Fetched::Kind::kTimeout;
      latest[i].failed.detail = "the weather service did not answer in time";
    }
  }
  return latest;
}

Response ApiSource::officesPage(const std::string& title,
                                const std::vector<std::string>& offices,
                                const std::vector<OfficeLatest>& latest) {
  Sources sources;
  std::string body, missing, missingLine;
  size_t size = 0;
  for (const OfficeLatest& one : latest) size += one.block.size();
  body.reserve(size);  // one allocation: a page is often tens of KiB
  const Fetched* failed = nullptr;
  size_t failures = 0;
  for (size_t i = 0; i < latest.size(); ++i) {
    const OfficeLatest& one = latest[i];
    if (one.failed.kind != Fetched::Kind::kOk) {
      if (failed == nullptr) failed = &one.failed;
      ++failures;
      missing += (missing.empty() ? "" : " ") + offices[i];
      missingLine += (missingLine.empty() ? "" : "; ") + offices[i] + " (" +
                     one.failed.detail + ")";
      continue;
    }
    sources.fresh = std::min(sources.fresh, one.fresh);
    sources.stale = sources.stale || one.stale;
    body += one.block;
  }
  // Every office failed: there is no page to make.
  if (failed != nullptr && failures == offices.size()) return failure(*failed);
  if (body.empty()) body = "<P>No current products.</P>\n";
  if (missing.empty()) return withCaching(makePage(title, body), sources);
  // A page without some offices' products is this moment's only: no cache
  // in front may keep it as the state's page.
  Response partial =
      makePage(title, "<P>Missing: the products of " + escapeText(missingLine) +
                          ".</P>\n" + body);
  partial.headers.emplace_back("Cache-Control", "no-store");
  partial.headers.emplace_back("X-Stratus-Missing", missing);
  return partial;
}

}  // namespace stratus_gateway
