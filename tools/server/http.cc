// The HTTP text of the serving core, apart from any socket: reading a
// request header, writing an answer's head, and the checks on paths.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "server.h"
#include "wire.h"

namespace stratus_server {
namespace {

std::string lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// RFC 9110 token characters, the only ones a method or header name holds.
bool isTokenChar(unsigned char c) {
  return std::isalnum(c) || std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool isToken(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
    return isTokenChar(static_cast<unsigned char>(c));
  });
}

// A header value may hold any byte but the control characters (tab aside).
bool isFieldValue(const std::string& s) {
  return std::none_of(s.begin(), s.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u < 0x20 && u != '\t') || u == 0x7f;
  });
}

}  // namespace

const char* reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    default:
      return "Unknown";
  }
}

std::string printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x20 || c > 0x7e || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

namespace {

// The Date header's value for now, made once a second on each thread.
const std::string& dateNow() {
  thread_local std::time_t made = -1;
  thread_local std::string date;
  std::time_t now = std::time(nullptr);
  if (now != made) {
    date = httpDate(now);
    made = now;
  }
  return date;
}

}  // namespace

std::string responseHead(const Response& res, bool keepAlive,
                         std::size_t length) {
  std::string h;
  h.reserve(256);
  h += "HTTP/1.1 ";
  h += std::to_string(res.status);
  h += ' ';
  h += reasonPhrase(res.status);
  h += "\r\nDate: ";
  h += dateNow();
  h += "\r\n";
  if (res.status != 304) {
    h += "Content-Type: " + res.contentType +
         "\r\nContent-Length: " + std::to_string(length) + "\r\n";
  }
  for (const auto& [name, value] : res.headers)
    h += name + ": " + value + "\r\n";
  h += keepAlive ? "Connection: keep-alive\r\n\r\n"
                 : "Connection: close\r\n\r\n";
  return h;
}

std::string Request::header(const std::string& lowerName) const {
  for (const auto& [name, value] : headers)
    if (name == lowerName) return value;
  return "";
}

Response Response::error(int status, const std::string& message) {
  Response res;
  res.status = status;
  std::string title = std::to_string(status) + " " + reasonPhrase(status);
  res.body = "<HTML><HEAD><TITLE>" + title + "</TITLE></HEAD><BODY><H1>" +
             title + "</H1><P>" + htmlEscape(message) + "</P></BODY></HTML>\n";
  return res;
}

std::string htmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        bool control =
            (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') ||
            c == '\x7f';
        out += control ? ' ' : c;
    }
  }
  return out;
}

bool decodePath(const std::string& raw, std::string& path) {
  path.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '%') {
      int hi = i + 2 < raw.size() ? hexDigit(raw[i + 1]) : -1;
      int lo = hi >= 0 ? hexDigit(raw[i + 2]) : -1;
      if (lo < 0) return false;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    if (c == '\0') return false;
    path += c;
  }
  return true;
}

bool hasDotSegment(const std::string& path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") return true;
    start = end + 1;
  }
  return false;
}

// Request-line CRLF *( field-line CRLF ) CRLF, where a bare LF may stand
// for CRLF. The line's length without its line end, and the fields' with
// theirs, are held against `maxBytes` as soon as they are known.
HeadScan scanHead(const std::string& buffer, std::size_t maxBytes) {
  HeadScan scan;
  std::size_t lineEnd = buffer.find('\n');
  std::size_t lineBytes =
      lineEnd == std::string::npos ? buffer.size() : lineEnd;
  if (lineBytes > 0 && lineEnd != std::string::npos &&
      buffer[lineEnd - 1] == '\r')
    --lineBytes;
  // A CR received last may still be the start of the line end.
  if (lineEnd == std::string::npos && !buffer.empty() && buffer.back() == '\r')
    --lineBytes;
  if (lineBytes > maxBytes) {
    scan.refusal = 414;
    return scan;
  }
  if (lineEnd == std::string::npos) return scan;
  std::size_t fields = lineEnd + 1;
  std::size_t crlf = buffer.find("\n\r\n", lineEnd);
  std::size_t lf = buffer.find("\n\n", lineEnd);
  std::size_t end = std::min(crlf, lf);  // the last field line's LF
  std::size_t fieldBytes = end == std::string::npos ? buffer.size() - fields
                           : end + 1 > fields       ? end + 1 - fields
                                                    : 0;
  // Before the end is seen, the blank line ("\r\n") may be under way.
  if (end == std::string::npos && fieldBytes >= 2) fieldBytes -= 2;
  if (fieldBytes > maxBytes) {
    scan.refusal = 431;
    return scan;
  }
  if (end != std::string::npos) scan.length = end + (end == crlf ? 3 : 2);
  return scan;
}

int parseHead(const std::string& text, Request& req, std::string& why,
              bool& keepAlive) {
  keepAlive = false;
  std::size_t lineEnd = text.find('\n');
  std::string line = text.substr(0, lineEnd);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // method SP target SP version, one blank each.
  std::size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
  if (sp1 == std::string::npos || sp2 == sp1 ||
      line.find(' ', sp1 + 1) != sp2) {
    why = "Not an HTTP request line.";
    return 400;
  }
  req.method = line.substr(0, sp1);
  req.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  std::string version = line.substr(sp2 + 1);
  if (!isToken(req.method) || req.target.empty() || !isFieldValue(req.target) ||
      (version != "HTTP/1.1" && version != "HTTP/1.0")) {
    why = "Not an HTTP/1.x request line.";
    return 400;
  }
  for (std::size_t at = lineEnd + 1; at < text.size();) {
    std::size_t end = text.find('\n', at);
    std::string h = text.substr(at, end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    if (!h.empty() && h.back() == '\r') h.pop_back();
    if (h.empty()) break;
    std::size_t colon = h.find(':');
    std::string name = h.substr(0, colon);
    std::string value = colon == std::string::npos ? "" : h.substr(colon + 1);
    // A blank before the colon or at the start of the line (a folded
    // value) is where two parsers disagree on what the header is.
    if (colon == std::string::npos || !isToken(name) || !isFieldValue(value)) {
      why = "A malformed header line.";
      return 400;
    }
    req.headers.emplace_back(lower(name), trim(value));
  }
  int lengths = 0;
  for (const auto& [name, value] : req.headers) {
    if (name == "transfer-encoding") {
      why = "Requests with a body are not served.";
      return 400;
    }
    if (name == "content-length") {
      ++lengths;
      // Any other figure announces a body, which is not read.
      if (value.empty() || value.find_first_not_of('0') != std::string::npos) {
        why = "Requests with a body are not served.";
        return 400;
      }
    }
  }
  if (lengths > 1) {
    why = "More than one Content-Length.";
    return 400;
  }
  std::string connection = lower(req.header("connection"));
  keepAlive = version == "HTTP/1.1"
                  ? connection.find("close") == std::string::npos
                  : connection.find("keep-alive") != std::string::npos;
  if (req.method != "GET" && req.method != "HEAD") {
    why = "Only GET and HEAD are served.";
    return 405;
  }
  return 0;
}

std::string httpDate(long long seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return text;
}

long long parseHttpDate(const std::string& text) {
  std::tm tm{};
  const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
  if (end == nullptr || *end != '\0') return -1;
  return static_cast<long long>(timegm(&tm));
}

}  // namespace stratus_server
