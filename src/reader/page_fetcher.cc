#include "reader/page_fetcher.h"

#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "stratus/foundation/result.h"
#include "stratus/reader/settings.h"
#include "stratus/version.h"

#include "reader/curl_library.h"

namespace stratus {
namespace {

FetchTimeouts gTimeouts;

// Unread bytes above which the transfer is paused, and the size of libcurl's
// receive blocks. A block arriving while the transfer is to pause is copied
// aside by libcurl, so the threshold is well above the block size; blocks
// stay below malloc's mmap threshold so that those copies reuse heap memory
// instead of faulting in fresh pages. A fetcher holds about 1 MiB at most.
constexpr std::size_t kHighWater = 1024 * 1024;
constexpr long kReceiveBlock = 64 * 1024;

// libcurl; call only once a session exists, which proves it loaded.
const CurlLibrary& curl() { return *curlLibrary(); }

// How long a failed answer's body is waited for, and how much of it is
// read, to find its first line.
constexpr auto kDetailWait = std::chrono::seconds(2);
constexpr std::size_t kDetailBytes = 4096;

}  // namespace

FetchTimeouts fetchTimeouts() { return gTimeouts; }
void setFetchTimeouts(const FetchTimeouts& timeouts) { gTimeouts = timeouts; }

}  // namespace stratus

WPageFetcher::WPageFetcher(bool useProxy, const LString& proxyLocation)
    : session_(stratus::curlLibrary() != nullptr
                   ? stratus::curlLibrary()->multi_init()
                   : nullptr),
      request_(nullptr),
      open_(false),
      useProxy_(useProxy),
      proxy_(proxyLocation.str()),
      timeouts_(stratus::fetchTimeouts()),
      headers_(nullptr),
      added_(false),
      paused_(false),
      headerDone_(false),
      done_(false),
      outOfMemory_(false),
      status_(0),
      result_(CURLE_OK),
      plainText_(false) {}

WPageFetcher::~WPageFetcher() {
  close();
  if (session_ != nullptr) stratus::curl().multi_cleanup(session_);
}

int WPageFetcher::open(const LString& url) {
  url_ = url.str();
  stratus::recordFetchFailure(WFetchFailure());
  if (session_ == nullptr) return fail(WFetchFailure::NO_LIBRARY);
  if (request_ != nullptr) return L_CONNECT;
  if (!WSettings::urlProblem(url_).empty())
    return fail(WFetchFailure::BAD_URL, WSettings::urlProblem(url_));
  // A proxy was asked for but none is named: going direct would bypass the
  // user's choice, so the page is not had.
  if (useProxy_ && proxy_.empty()) return fail(WFetchFailure::NO_PROXY);
  request_ = stratus::curl().easy_init();
  if (request_ == nullptr || !configure(url)) return L_CONNECT;
  if (stratus::curl().multi_add_handle(session_, request_) != CURLM_OK)
    return L_CONNECT;
  added_ = true;

  // libcurl's own time-outs end a silent server; this bounds one that
  // trickles an endless header.
  auto deadline =
      std::chrono::steady_clock::now() +
      std::chrono::seconds(timeouts_.connectSeconds + timeouts_.stallSeconds);
  while (!headerDone_ && !done_) {
    if (std::chrono::steady_clock::now() > deadline)
      return fail(WFetchFailure::TIMED_OUT);
    pump();
    if (outOfMemory_) throw LEx(L_MEM);
  }
  if (!headerDone_) {
    bool late = result_ == CURLE_OPERATION_TIMEDOUT;
    return fail(late ? WFetchFailure::TIMED_OUT : WFetchFailure::NO_ANSWER,
                stratus::curl().easy_strerror(result_));
  }
  if (status_ != 200) return failOnStatus();
  // The body will fill the buffer up to the pause threshold: take the room
  // once instead of growing into it.
  lines_.reserve(stratus::kHighWater + stratus::kReceiveBlock);
  open_ = true;
  return L_OK;
}

int WPageFetcher::fail(WFetchFailure::Kind kind, std::string reason) {
  WFetchFailure f;
  f.kind = kind;
  f.url = url_;
  f.reason = std::move(reason);
  stratus::recordFetchFailure(f);
  return L_CONNECT;
}

int WPageFetcher::failOnStatus() {
  WFetchFailure f;
  f.kind = WFetchFailure::HTTP_STATUS;
  f.url = url_;
  f.status = static_cast<int>(status_);
  // "HTTP/1.1 404 Not Found": the reason phrase follows the second blank.
  size_t blank = statusLine_.find(' ');
  blank = blank == std::string::npos ? blank : statusLine_.find(' ', blank + 1);
  if (blank != std::string::npos) f.reason = statusLine_.substr(blank + 1);
  if (plainText_) {
    // A plain-text error body usually says why in its first line; wait a
    // little for it, but never for a large or slow body.
    auto until = std::chrono::steady_clock::now() + stratus::kDetailWait;
    const char* data;
    std::size_t n;
    while (f.detail.empty()) {
      bool whole = lines_.take(data, n, done_);
      if (whole) {
        std::string line(data, n);
        while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
          line.pop_back();
        f.detail = line;
        continue;
      }
      if (done_ || lines_.pending() > stratus::kDetailBytes ||
          std::chrono::steady_clock::now() > until)
        break;
      pump();
      if (outOfMemory_) throw LEx(L_MEM);
    }
  }
  stratus::recordFetchFailure(f);
  return L_CONNECT;
}

bool WPageFetcher::configure(const LString& url) {
  headers_ = stratus::curl().slist_append(nullptr, "Cache-Control: no-cache");
  curl_slist* more =
      headers_ ? stratus::curl().slist_append(headers_, "Pragma: no-cache")
               : nullptr;
  if (more == nullptr) return false;

  CURL* h = request_;
  bool ok =
      stratus::curl().easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") ==
          CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_BUFFERSIZE,
                                  stratus::kReceiveBlock) == CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_USERAGENT,
                                  "stratus/" STRATUS_VERSION_STRING) ==
          CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_HTTPHEADER, headers_) ==
          CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_CONNECTTIMEOUT,
                                  timeouts_.connectSeconds) == CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_LOW_SPEED_TIME,
                                  timeouts_.stallSeconds) == CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_TIMEOUT, timeouts_.pageSeconds) ==
          CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader) ==
          CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_HEADERDATA, this) == CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody) ==
          CURLE_OK &&
      stratus::curl().easy_setopt(h, CURLOPT_WRITEDATA, this) == CURLE_OK;
  if (ok && useProxy_) {
    // An empty no-proxy list, so that a no_proxy in the environment cannot
    // send the request around the proxy the user chose.
    ok = stratus::curl().easy_setopt(h, CURLOPT_PROXY, proxy_.c_str()) ==
             CURLE_OK &&
         stratus::curl().easy_setopt(h, CURLOPT_NOPROXY, "") == CURLE_OK &&
         stratus::curl().easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) ==
             CURLE_OK;
  }
  return ok;
}

int WPageFetcher::readLine(LString& line) {
  const char* data;
  std::size_t n;
  int result = readLine(data, n);
  if (result == L_OK) line.assign(data, static_cast<int>(n));
  return result;
}

int WPageFetcher::waitForLine(const char*& data, std::size_t& n) {
  if (!open_ || request_ == nullptr) return L_ERROR;
  for (;;) {
    if (lines_.take(data, n, done_)) return L_OK;
    if (done_) return L_INPUT;
    pump();
    if (outOfMemory_) throw LEx(L_MEM);
  }
}

void WPageFetcher::close() {
  if (request_ == nullptr) return;
  if (added_) stratus::curl().multi_remove_handle(session_, request_);
  stratus::curl().easy_cleanup(request_);
  stratus::curl().slist_free_all(headers_);
  request_ = nullptr;
  headers_ = nullptr;
  added_ = false;
}

void WPageFetcher::pump() {
  std::size_t before = lines_.pending();
  bool headerBefore = headerDone_;
  if (paused_) {
    // Unpausing hands the held data to onBody from inside this call, which
    // may pause the transfer again.
    paused_ = false;
    stratus::curl().easy_pause(request_, CURLPAUSE_CONT);
  }
  int running = 0;
  stratus::curl().multi_perform(session_, &running);
  collectDone();
  bool moved = lines_.pending() != before || headerDone_ != headerBefore;
  if (!done_ && !moved && !paused_) {
    stratus::curl().multi_poll(session_, nullptr, 0, 1000, nullptr);
  }
}

void WPageFetcher::collectDone() {
  int left = 0;
  while (CURLMsg* msg = stratus::curl().multi_info_read(session_, &left)) {
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == request_) {
      done_ = true;
      result_ = msg->data.result;
    }
  }
}

size_t WPageFetcher::onHeader(char* data, size_t size, size_t count,
                              void* self) {
  auto* f = static_cast<WPageFetcher*>(self);
  size_t n = size * count;
  bool blank = (n == 2 && data[0] == '\r' && data[1] == '\n') ||
               (n == 1 && data[0] == '\n');
  if (!f->headerDone_ && n > 5 && std::memcmp(data, "HTTP/", 5) == 0) {
    // A new header block (after a 1xx one): its status line.
    f->statusLine_.assign(data, std::min<size_t>(n, 256));
    while (!f->statusLine_.empty() &&
           (f->statusLine_.back() == '\n' || f->statusLine_.back() == '\r'))
      f->statusLine_.pop_back();
    f->plainText_ = false;
  } else if (!f->headerDone_ && n > 13 &&
             strncasecmp(data, "content-type:", 13) == 0) {
    std::string value(data + 13, std::min<size_t>(n - 13, 64));
    size_t start = value.find_first_not_of(" \t");
    f->plainText_ = start != std::string::npos &&
                    strncasecmp(value.c_str() + start, "text/plain", 10) == 0;
  }
  if (blank && !f->headerDone_) {
    long code = 0;
    stratus::curl().easy_getinfo(f->request_, CURLINFO_RESPONSE_CODE, &code);
    // A 1xx block is followed by the real answer.
    if (code >= 200) {
      f->status_ = code;
      f->headerDone_ = true;
    }
  }
  return n;
}

size_t WPageFetcher::onBody(char* data, size_t size, size_t count, void* self) {
  auto* f = static_cast<WPageFetcher*>(self);
  // Everything or nothing: libcurl keeps a paused block and hands it over
  // again on unpause, while a partial count would abort the transfer.
  if (f->lines_.pending() >= stratus::kHighWater) {
    f->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  try {
    f->lines_.append(data, size * count);
  } catch (const LEx&) {
    f->outOfMemory_ = true;
    return 0;
  }
  return size * count;
}
