// Fuzzes what the gateway reads from its upstream: the figures of answer
// headers and the pages made from JSON answers.
//
// Input: the first byte picks what is read from the rest:
//   0  three lines: Cache-Control, Expires, Date (the first also as
//      Retry-After); the figures must stay within their caps;
//   1  an observations answer: the station page is 200, 404 or 502, and a
//      200 page holds one "ob" row and the report on the row after it;
//   2  an active alerts answer: each alert page is 200 or 502, and no text
//      of an alert forges structure: as the library's two section rules
//      read the page, the lines that open a section (a zone header, a UGC
//      group, a bulletin heading) and the lines that end one are exactly
//      the gateway's own, one of each per alert;
//   3  a product list and a product answer, split at the first NUL.
// Every page is built at a fixed time, so that a crash input replays.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "stratus/foundation/string.h"

#include "pages.h"
#include "reader/section_scan.h"
#include "reader/ugc.h"
#include "reader/ugc_scan.h"
#include "upstream.h"

namespace {

constexpr long long kNow = 1796493600;  // 2026-12-05 18:00 UTC

void trapUnless(bool ok) {
  if (!ok) std::abort();
}

std::string lineOf(const std::string& text, std::size_t& at) {
  std::size_t end = text.find('\n', at);
  std::string line = text.substr(at, end == std::string::npos ? end : end - at);
  at = end == std::string::npos ? text.size() : end + 1;
  return line;
}

void headers(const std::string& text) {
  std::size_t at = 0;
  std::string cacheControl = lineOf(text, at);
  std::string expires = lineOf(text, at);
  std::string date = lineOf(text, at);
  long fresh = stratus_gateway::freshnessOf(cacheControl, expires, date, kNow);
  trapUnless(fresh >= 0 && fresh <= stratus_gateway::kMaxFreshSeconds);
  long after = stratus_gateway::retryAfterOf(cacheControl, kNow);
  trapUnless(after >= 0 && after <= stratus_gateway::kMaxRetryAfterSeconds);
  long long count = stratus_gateway::leadingCount(expires, 1000);
  trapUnless(count >= -1 && count <= 1000);
}

void station(const std::string& body) {
  long long validUntil = 0;
  stratus_server::Response page =
      stratus_gateway::stationPageFrom("KDSM", body, kNow, validUntil);
  trapUnless(page.status == 200 || page.status == 404 || page.status == 502);
  if (page.status != 200) return;
  const std::string ob = "\n<TR><TD COLSPAN=2><B>ob</B></TD></TR>\n";
  std::size_t at = page.body.find(ob);
  trapUnless(at != std::string::npos &&
             page.body.find(ob, at + 1) == std::string::npos);
  const std::string row = "<TR><TD COLSPAN=2>";
  trapUnless(page.body.compare(at + ob.size(), row.size(), row) == 0);
}

// "TTAAii CCCC DDHHMM" with an optional " BBB", as the UGC rule reads a
// bulletin's heading.
bool isHeading(const char* p, std::size_t n) {
  auto up = [p](std::size_t i, std::size_t count) {
    for (std::size_t k = i; k < i + count; ++k)
      if (p[k] < 'A' || p[k] > 'Z') return false;
    return true;
  };
  auto digits = [p](std::size_t i, std::size_t count) {
    for (std::size_t k = i; k < i + count; ++k)
      if (p[k] < '0' || p[k] > '9') return false;
    return true;
  };
  if (n != 18 && n != 22) return false;
  return up(0, 4) && digits(4, 2) && p[6] == ' ' && up(7, 4) && p[11] == ' ' &&
         digits(12, 6) && (n == 18 || (p[18] == ' ' && up(19, 3)));
}

void alerts(const std::string& body) {
  for (const char* name : {"allwarnings", "watches", "special"}) {
    stratus_server::Response page =
        stratus_gateway::alertsPageFrom("IA", name, body, kNow);
    trapUnless(page.status == 200 || page.status == 502);
    std::size_t opens = 0, ends = 0, ours = 0;
    for (std::size_t at = 0; at < page.body.size();) {
      std::string raw = lineOf(page.body, at);
      raw.erase(std::remove(raw.begin(), raw.end(), '\r'), raw.end());
      LString line(raw.c_str(), static_cast<int>(raw.size()));
      LString read(line);
      stratus::stripMarkup(read);
      std::size_t n = static_cast<std::size_t>(read.length());
      const char* p = stratus::trimUgcLine(read.c_str(), n);
      if (stratus::isZoneHeader(line) || stratus::UgcGroup::opens(p, n) ||
          isHeading(p, n))
        ++opens;
      bool ended = false;
      for (const char* end : {"$$", "NNNN", "GSK"})
        ended = ended || raw.find(end) != std::string::npos ||
                std::string(read.c_str(), read.length()).find(end) !=
                    std::string::npos;
      ends += ended;
      ours += raw == "$$";
    }
    trapUnless(opens == ours && ends == ours);
  }
}

void product(const std::string& text) {
  std::size_t nul = text.find('\0');
  std::string id, why, block;
  stratus_gateway::latestProductId(text.substr(0, nul), id, why);
  if (nul != std::string::npos)
    stratus_gateway::productBlockFrom(text.substr(nul + 1), block, why);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0:
      headers(text);
      break;
    case 1:
      station(text);
      break;
    case 2:
      alerts(text);
      break;
    default:
      product(text);
  }
  return 0;
}
