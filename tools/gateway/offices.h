// Which forecast offices serve a state.
#ifndef STRATUS_TOOLS_GATEWAY_OFFICES_H_
#define STRATUS_TOOLS_GATEWAY_OFFICES_H_

#include <string>
#include <vector>

namespace stratus_gateway {

// The three-letter ids of the offices that forecast for part of `state`
// (two capital letters, e.g. "IA"), in alphabetical order; empty for a
// state the weather service does not cover.
std::vector<std::string> officesOf(const std::string& state);

}  // namespace stratus_gateway

#endif  // STRATUS_TOOLS_GATEWAY_OFFICES_H_
