#include "html.h"

#include <cmath>
#include <cstdio>

namespace stratus_gateway {
namespace {

// The pages' style: readable from a phone's 320 px to a desktop's width
// (one column, at most 60 rem wide; the chart scrolls sideways on a
// narrow screen rather than shrink its labels), system fonts only, and colours
// whose contrast with their background is at least 4.5:1.
const char kStyle[] = R"(
:root{color-scheme:light}
body{margin:0;font:16px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;color:#1a1a1a;background:#f4f5f7}
header,main,footer{max-width:60rem;margin:0 auto;padding:0 1rem}
header{padding-top:.75em}
form{display:flex;flex-wrap:wrap;gap:.5em;align-items:center}
input[type=text]{flex:1 1 12em;min-width:0;font:inherit;padding:.4em .5em;border:1px solid #6b6b6b;border-radius:4px}
button{font:inherit;padding:.4em 1em;border:0;border-radius:4px;background:#0b4f8a;color:#fff}
h1{font-size:1.6em;margin:.5em 0 .1em}
h2{font-size:1.25em;margin:0 0 .5em}
h3{font-size:1.05em;margin:0}
section{background:#fff;border-radius:6px;padding:1em;margin:1em 0;box-shadow:0 1px 2px rgba(0,0,0,.12)}
.where,.note{color:#4a4a4a;margin:.2em 0}
.big{font-size:2.4em;font-weight:600;margin:0}
dl.grid{display:grid;grid-template-columns:repeat(auto-fill,minmax(9em,1fr));gap:.6em 1em;margin:.8em 0}
dl.grid div{min-width:0}
dt{font-size:.85em;color:#4a4a4a}
dd{margin:0;font-weight:600;overflow-wrap:anywhere}
.periods dt{font-size:1em;font-weight:700;color:#1a1a1a;margin-top:.6em}
.periods dd{font-weight:400}
pre{white-space:pre-wrap;overflow-wrap:anywhere;font-size:.9em;background:#f4f5f7;padding:.6em;border-radius:4px}
summary{cursor:pointer;color:#0b4f8a;font-weight:600}
.alert{border-left:.5em solid;border-radius:4px;padding:.6em .8em;margin:.6em 0;background:#fafafa}
.alert .sev{display:inline-block;font-size:.8em;font-weight:700;padding:.1em .5em;border-radius:3px;margin-right:.4em}
.s-extreme{border-color:#7a0019}.s-extreme .sev{background:#7a0019;color:#fff}
.s-severe{border-color:#b3261e}.s-severe .sev{background:#b3261e;color:#fff}
.s-moderate{border-color:#e07b00}.s-moderate .sev{background:#ffb74d;color:#1a1a1a}
.s-minor{border-color:#c9a800}.s-minor .sev{background:#fff176;color:#1a1a1a}
.s-unknown{border-color:#6b6b6b}.s-unknown .sev{background:#e0e0e0;color:#1a1a1a}
.missing{color:#8a1c00;font-weight:600}
figure{margin:0}
svg{width:100%;height:auto;display:block}
.chart{overflow-x:auto}.chart svg{min-width:34rem}
table{border-collapse:collapse;font-size:.85em;width:100%}
th,td{text-align:right;padding:.2em .4em;border-bottom:1px solid #ddd}
th:first-child,td:first-child{text-align:left}
.scroll{overflow-x:auto}
a{color:#0b4f8a}
footer{font-size:.85em;color:#4a4a4a;padding-bottom:2em}
)";

}  // namespace

std::string fixed(double value, int decimals) {
  if (!std::isfinite(value) || std::fabs(value) > 1e9) return "?";
  if (decimals < 0) decimals = 0;
  if (decimals > 3) decimals = 3;
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string out = text;
  // No "-0": a value that rounds to zero has no sign.
  if (out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos)
    out.erase(0, 1);
  return out;
}

std::string htmlDocument(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta "
         "charset=\"utf-8\">\n<meta name=\"viewport\" "
         "content=\"width=device-width, initial-scale=1\">\n<title>" +
         htmlEscape(title) + "</title>\n<style>" + kStyle +
         "</style>\n</head>\n<body>\n" + body + "</body>\n</html>\n";
}

std::string details(const std::string& summary, const std::string& content) {
  return "<details><summary>" + summary + "</summary>" + content +
         "</details>\n";
}

std::string queryEscape(const std::string& value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : value) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
        (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
        c == '~') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace stratus_gateway
