// Small pieces of the gateway's HTML5 pages: escaping, numbers, the
// document around a page's body (one file, its style inline, no script and
// nothing fetched from elsewhere) and a few elements.
#ifndef STRATUS_TOOLS_GATEWAY_HTML_H_
#define STRATUS_TOOLS_GATEWAY_HTML_H_

#include <string>

#include "server.h"

namespace stratus_gateway {

// Every text of a page goes through stratus_server::htmlEscape (server.h).
using stratus_server::htmlEscape;

// `value` rounded to `decimals` places (0 to 3), "-" as the minus sign:
// "29.87", "-4". A value that is not finite (NaN, infinity) or beyond
// +-1e9 gives "?".
std::string fixed(double value, int decimals);

// A whole HTML document: the title (escaped), the page's style, then
// `body`, which is HTML already.
std::string htmlDocument(const std::string& title, const std::string& body);

// <details><summary>`summary`</summary>`content`</details>; both HTML.
std::string details(const std::string& summary, const std::string& content);

// `value` for a query string: letters, digits and "-._~" as they are,
// blanks as "+", every other byte as %XX.
std::string queryEscape(const std::string& value);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_HTML_H_
