#include "text.h"

#include <algorithm>

namespace stratus_cli {

namespace {

// Display width of UTF-8 text: one column per character.
size_t columns(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// `cell` cut to kMaxCellWidth characters, the last an ellipsis.
std::string fitted(const std::string& cell) {
  if (columns(cell) <= kMaxCellWidth) return cell;
  size_t kept = 0, end = 0;
  while (end < cell.size()) {
    size_t next = end + 1;
    while (next < cell.size() && (cell[next] & 0xC0) == 0x80) ++next;
    if (++kept == kMaxCellWidth) break;
    end = next;
  }
  return cell.substr(0, end) + "\xE2\x80\xA6";  // U+2026
}

}  // namespace

std::string joinWords(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

std::string wrapText(const std::string& text, size_t width) {
  std::string out;
  size_t lineStart = 0, lastBlank = std::string::npos;
  for (char c : text) {
    if (c == ' ') lastBlank = out.size();
    out += c;
    if (c == '\n') lineStart = out.size(), lastBlank = std::string::npos;
    if (out.size() - lineStart > width && lastBlank != std::string::npos) {
      out[lastBlank] = '\n';
      lineStart = lastBlank + 1;
      lastBlank = std::string::npos;
    }
  }
  return out;
}

void printTable(std::ostream& out,
                const std::vector<std::vector<std::string>>& wholeRows) {
  std::vector<std::vector<std::string>> rows = wholeRows;
  for (auto& row : rows) {
    for (std::string& cell : row) cell = fitted(cell);
  }
  std::vector<size_t> width;
  for (const auto& row : rows) {
    width.resize(std::max(width.size(), row.size()));
    for (size_t i = 0; i < row.size(); ++i)
      width[i] = std::max(width[i], columns(row[i]));
  }
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size())
        line += std::string(width[i] - columns(row[i]) + 2, ' ');
    }
    out << line << '\n';
  }
}

namespace {

// "^X" for the control character `c` (0..31 or 127), with "M-" before it for
// a C1 control.
void appendCaret(std::string& out, unsigned char c, bool c1) {
  if (c1) out += "M-";
  out += '^';
  out += c == 0x7F ? '?' : static_cast<char>(c + '@');
}

// Bytes of the UTF-8 sequence that `lead` starts; 0 when it starts none.
size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

size_t appendPrintable(std::string& out, const char* text, size_t n,
                       bool final) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < n) {
    size_t run = i;
    while (run < n && s[run] >= 0x20 && s[run] < 0x7F) ++run;
    out.append(text + i, run - i);
    i = run;
    if (i == n) break;
    unsigned char c = s[i];
    if (c == '\n' || c == '\t') {
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      appendCaret(out, c, false);
      ++i;
    } else if (size_t len = sequenceLength(c)) {
      if (i + len > n && !final) break;  // the rest comes with the next call
      size_t valid = 1;
      while (valid < len && i + valid < n && (s[i + valid] & 0xC0) == 0x80)
        ++valid;
      if (valid < len) {  // not UTF-8: the byte alone
        out += static_cast<char>(c);
        ++i;
      } else if (c == 0xC2 && s[i + 1] < 0xA0) {
        appendCaret(out, s[i + 1] - 0x80, true);
        i += 2;
      } else {
        out.append(text + i, len);
        i += len;
      }
    } else if (c < 0xA0) {
      appendCaret(out, c - 0x80, true);
      ++i;
    } else {
      out += static_cast<char>(c);
      ++i;
    }
  }
  return i;
}

std::string printable(const std::string& text) {
  std::string out;
  appendPrintable(out, text.data(), text.size(), true);
  return out;
}

PrintableBuf::int_type PrintableBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return 0;
  char ch = traits_type::to_char_type(c);
  xsputn(&ch, 1);
  return c;
}

std::streamsize PrintableBuf::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<size_t>(n));
  pass(false);
  return n;
}

int PrintableBuf::sync() {
  pass(true);
  return target_->pubsync();
}

void PrintableBuf::pass(bool final) {
  shown_.clear();
  size_t taken =
      appendPrintable(shown_, pending_.data(), pending_.size(), final);
  pending_.erase(0, taken);
  target_->sputn(shown_.data(), static_cast<std::streamsize>(shown_.size()));
}

std::string jsonText(const nlohmann::json& j) {
  return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace stratus_cli
