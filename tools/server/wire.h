// What the serving core writes on the wire, shared by its parts: an
// answer's head, and request text as it may go into a log line.
#ifndef STRATUS_TOOLS_SERVER_WIRE_H_
#define STRATUS_TOOLS_SERVER_WIRE_H_

#include <cstddef>
#include <string>

#include "server.h"

namespace stratus_server {

// The reason phrase of `status` ("Not Found"); "Unknown" for one the core
// does not send.
const char* reasonPhrase(int status);

// The status line and headers of `res` with its blank line: Date,
// Content-Type and Content-Length `length` (neither for a 304), the
// answer's own headers, and Connection as `keepAlive` says.
std::string responseHead(const Response& res, bool keepAlive,
                         std::size_t length);

// `s` as it may be printed: control characters, '\\' and bytes over 126 as
// \xNN, so that a log line stays one line of plain text.
std::string printable(const std::string& s);

}  // namespace stratus_server

#endif  // STRATUS_TOOLS_SERVER_WIRE_H_
