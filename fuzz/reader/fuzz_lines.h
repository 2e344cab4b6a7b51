// Shared by the reader's fuzz targets: cuts a fuzz input into lines the way
// the page fetcher does, in blocks of a size the input chooses, and checks
// the cutting itself on the way.
#ifndef STRATUS_FUZZ_READER_FUZZ_LINES_H_
#define STRATUS_FUZZ_READER_FUZZ_LINES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "reader/line_buffer.h"

namespace stratus_fuzz {

// The lines of `page` as the fetcher would hand them out, arriving in blocks
// of `block` bytes. Traps when a line is too long, holds a carriage return
// or a line feed before its end, or when the lines do not add up to the page
// without its carriage returns.
inline std::vector<std::string> cutLines(const std::string& page,
                                         std::size_t block) {
  stratus::LineBuffer buffer;
  std::vector<std::string> lines;
  LString line;
  auto takeAll = [&](bool atEnd) {
    while (buffer.take(line, atEnd)) lines.push_back(line.str());
  };
  for (std::size_t at = 0; at < page.size(); at += block) {
    buffer.append(page.data() + at,
                  page.size() - at < block ? page.size() - at : block);
    takeAll(false);
  }
  takeAll(true);
  std::string joined, expected;
  for (const std::string& l : lines) {
    std::size_t lf = l.find('\n');
    if (l.empty() || l.size() > stratus::LineBuffer::kMaxPiece ||
        l.find('\r') != std::string::npos ||
        (lf != std::string::npos && lf + 1 != l.size())) {
      __builtin_trap();
    }
    joined += l;
  }
  for (char c : page) {
    if (c != '\r') expected += c;
  }
  if (joined != expected) __builtin_trap();
  return lines;
}

// Splits an input into its first line (without the line feed) and the rest.
inline void splitFirstLine(const uint8_t* data, std::size_t size,
                           std::string& first, std::string& rest) {
  std::string all(reinterpret_cast<const char*>(data), size);
  std::size_t lf = all.find('\n');
  first = all.substr(0, lf);
  rest = lf == std::string::npos ? std::string() : all.substr(lf + 1);
}

}  // namespace stratus_fuzz

#endif  // STRATUS_FUZZ_READER_FUZZ_LINES_H_
