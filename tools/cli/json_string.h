// A text as a JSON string: quoted, escaped, and always valid UTF-8.
#ifndef STRATUS_TOOLS_CLI_JSON_STRING_H_
#define STRATUS_TOOLS_CLI_JSON_STRING_H_

#include <cstddef>

#include "out_buffer.h"

namespace stratus_cli {

// Appends `text` (`n` bytes, any bytes) as a JSON string: `"` and `\`
// escaped, control characters and DEL as \u00XX, valid UTF-8 as it is, and
// each byte that is not part of valid UTF-8 as U+FFFD.
void appendJsonString(OutBuffer& out, const char* text, size_t n);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_JSON_STRING_H_
