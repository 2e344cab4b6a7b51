#include "stratus/host/product_text.h"

std::string productLines(const LString& text) {
  const std::string& in = text.str();
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\r') {
      out += in[i];
    } else if (i + 1 < in.size() && in[i + 1] == '\n') {
      // The joint: "\r\n" and the blank the getters put before the next
      // line.
      out += '\n';
      ++i;
      if (i + 1 < in.size() && in[i + 1] == ' ') ++i;
    }
  }
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}
