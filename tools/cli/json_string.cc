#include "json_string.h"

#include "byte_runs.h"

namespace stratus_cli {

namespace {

// The length of the valid UTF-8 sequence at `p` (at most `n` bytes there),
// or 0: a lone continuation byte, a cut or overlong sequence, a surrogate
// or a code point past U+10FFFF.
size_t utf8Length(const unsigned char* p, size_t n) {
  unsigned char c = p[0];
  size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (len == 0 || c > 0xF4 || n < len) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
  }
  if (c == 0xE0 && p[1] < 0xA0) return 0;   // overlong
  if (c == 0xED && p[1] >= 0xA0) return 0;  // surrogate
  if (c == 0xF0 && p[1] < 0x90) return 0;   // overlong
  if (c == 0xF4 && p[1] >= 0x90) return 0;  // past U+10FFFF
  return len;
}

}  // namespace

void appendJsonString(OutBuffer& out, const char* text, size_t n) {
  static const char kHex[] = "0123456789abcdef";
  const auto* u = reinterpret_cast<const unsigned char*>(text);
  out.put('"');
  for (size_t i = 0; i < n;) {
    size_t run = jsonPlainRun(text + i, n - i);
    out.put(text + i, run);
    i += run;
    if (i == n) break;
    unsigned char c = u[i];
    if (c == '"' || c == '\\') {
      char escaped[2] = {'\\', static_cast<char>(c)};
      out.put(escaped, 2);
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
      out.put(escaped, 6);
    } else if (size_t len = utf8Length(u + i, n - i)) {
      out.put(text + i, len);
      i += len;
      continue;
    } else {
      // Not UTF-8 (a page or file in another encoding): U+FFFD, as the
      // other JSON output shows such bytes.
      out.lit("\xEF\xBF\xBD");
    }
    ++i;
  }
  out.put('"');
}

}  // namespace stratus_cli
