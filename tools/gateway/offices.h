// Which forecast offices serve a state: the table offices.tsv of the
// location data folder, which the data converter writes from the weather
// service's zone-county table (tools/ldt).
#ifndef STRATUS_TOOLS_GATEWAY_OFFICES_H_
#define STRATUS_TOOLS_GATEWAY_OFFICES_H_

#include <string>
#include <vector>

namespace stratus_gateway {

// Reads the table at `path` ("ST<TAB>AAA BBB" lines) for officesOf. True,
// or false with `error` naming the file when it is not a regular file of
// at most 1 MiB or holds a malformed line; the table in use is then
// unchanged. Call before serving: not thread-safe against officesOf.
bool loadOffices(const std::string& path, std::string& error);

// The three-letter ids of the offices that forecast for part of `state`
// (two capital letters, e.g. "IA"), in alphabetical order; empty for a
// state the table does not hold (or before loadOffices). Thread-safe.
std::vector<std::string> officesOf(const std::string& state);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_OFFICES_H_
