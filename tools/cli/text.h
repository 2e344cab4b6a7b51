// Small text helpers of the `stratus` host: joining words, the
// column tables of `places`, and JSON output.
#ifndef STRATUS_TOOLS_CLI_TEXT_H_
#define STRATUS_TOOLS_CLI_TEXT_H_

#include <nlohmann/json.hpp>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace stratus_cli {

// The words joined by single blanks ("Des", "Moines," "IA" -> one place).
std::string joinWords(const std::vector<std::string>& words);

// `text` with blanks turned into line ends so that no line is wider than
// `width` characters (a longer word keeps its own line).
std::string wrapText(const std::string& text, size_t width);

// Writes rows as columns separated by two blanks, each as wide as its
// widest cell, counted in UTF-8 characters; the last column is not padded.
// A cell longer than kMaxCellWidth characters is cut to that width, its
// last character an ellipsis, so that one odd name cannot blow up every row.
constexpr size_t kMaxCellWidth = 60;
void printTable(std::ostream& out,
                const std::vector<std::vector<std::string>>& rows);

// Appends `text` to `out` with control characters made visible, so that no
// text from a server, a data file or a settings file can drive the
// terminal: C0 controls other than line feed and tab, and DEL, are shown as
// "^X" ("^[" for ESC, "^?" for DEL), C1 controls (U+0080..U+009F in UTF-8,
// or a lone byte 0x80..0x9F) as "M-^X", as `cat -v` shows them. Other bytes,
// valid UTF-8 or not, pass. Returns how many bytes of `text` were taken:
// unless `final`, an incomplete UTF-8 sequence at the end is left for the
// next call.
size_t appendPrintable(std::string& out, const char* text, size_t n,
                       bool final);
// The whole of `text`, made printable.
std::string printable(const std::string& text);

// A stream buffer that makes everything written through it printable (see
// appendPrintable) before it reaches `target`.
class PrintableBuf : public std::streambuf {
 public:
  explicit PrintableBuf(std::streambuf* target) : target_(target) {}
  ~PrintableBuf() override { sync(); }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void pass(bool final);

  std::streambuf* target_;
  std::string pending_;  // not yet passed on: at most a cut UTF-8 sequence
  std::string shown_;
};

// `j` as indented JSON text with a final line end. Bytes that are not
// UTF-8 (a page in another encoding) become U+FFFD instead of failing.
std::string jsonText(const nlohmann::json& j);

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_TEXT_H_
