// `stratus decode`: reports given on the command line or standard input,
// decoded by the library without any network.
//
// Standard input is a stream: each line is decoded and its result written
// as soon as it is read, into an output block that goes out whenever it is
// full, so memory stays flat however many reports come in and however long
// a line is (see WReportLines for what a line is).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "byte_runs.h"
#include "commands.h"
#include "json_string.h"
#include "out_buffer.h"
#include "reading_formatter.h"
#include "text.h"

namespace stratus_cli {

namespace {

// Bytes of output gathered before they are written.
constexpr size_t kOutputBlock = 1 << 16;
// Reports that decoded to nothing named on the status line one by one.
constexpr size_t kNamedFailures = 10;

enum class Format { kText, kJson, kJsonLines };

struct DecodeOptions {
  std::vector<std::string> words;
  bool strict = false;  // the narrow reading (decodeObservation)
  bool jsonLines = false;
};

class Decoder {
 public:
  Decoder(Context& ctx, const DecodeOptions& options)
      : ctx_(ctx),
        strict_(options.strict),
        format_(options.jsonLines ? Format::kJsonLines
                : ctx.json        ? Format::kJson
                                  : Format::kText),
        formatter_(ctx.units) {
    if (format_ == Format::kJson) out_.lit("{\"reports\":[");
  }

  // Decodes one report (trimmed, not empty) and gathers its output. `line`:
  // its line number in a stream, 0 for the command line's report.
  void add(const char* text, size_t n, unsigned long line = 0) {
    report_.assign(text, static_cast<int>(n));
    if (strict_) {
      observation_ = WObservation{};
      decodeObservation(report_, observation_);
    } else {
      decodeReport(report_, full_);
    }
    const Reading reading =
        strict_ ? readingOf(observation_) : readingOf(full_);
    bool decoded = !reading.empty();
    if (!decoded) noteUndecoded(line);
    if (format_ == Format::kText) {
      if (count_ > 0) out_.put('\n');
      out_.lit("Report:      ");
      appendReportText(text, n);
      out_.put('\n');
      formatter_.appendText(out_, reading);
    } else {
      if (format_ == Format::kJson && count_ > 0) out_.lit(",\n");
      out_.lit("{\"report\":");
      appendJsonString(out_, text, n);
      if (decoded) {
        out_.lit(",\"decoded\":true");
      } else {
        out_.lit(",\"decoded\":false");
      }
      formatter_.appendJsonMembers(out_, reading);
      out_.put('}');
      if (format_ == Format::kJsonLines) out_.put('\n');
    }
    ++count_;
    if (out_.size() >= kOutputBlock) write();
  }

  // A line of a stream skipped for its length.
  void noteOverlong(unsigned long line) {
    ++overlong_;
    ctx_.status->error("line " + std::to_string(line) +
                       " is longer than 64 KiB, no report; skipped");
  }

  // Ends the output; the exit status: 0 when a report decoded (a stream's
  // lines that decoded to nothing are counted on the status line), 65 when
  // none did.
  int finish() {
    if (format_ == Format::kJson) out_.lit("]}\n");
    flush();
    size_t bad = undecoded_ + overlong_;
    if (bad > 0 && count_ + overlong_ > 1) {
      ctx_.status->error(std::to_string(bad) + " of " +
                         std::to_string(count_ + overlong_) +
                         " reports decoded to nothing");
    }
    return undecoded_ < count_ ? kExitOk : kExitDataError;
  }

  size_t count() const { return count_ + overlong_; }

  // Writes what was gathered and pushes it out of the process.
  void flush() {
    write();
    ctx_.rawOut->flush();
  }

 private:
  // The report's text made printable (see appendPrintable); a report is
  // almost always printable ASCII, copied as it is.
  void appendReportText(const char* text, size_t n) {
    if (printableRun(text, n) == n) {
      out_.put(text, n);
      return;
    }
    shown_.clear();
    appendPrintable(shown_, text, n, true);
    out_.put(shown_);
  }

  // The first few reports that decoded to nothing are named; a stream of
  // many says only how many, in finish().
  void noteUndecoded(unsigned long line) {
    if (++undecoded_ > kNamedFailures) return;
    std::string where = line > 0 ? "line " + std::to_string(line) + ": " : "";
    ctx_.status->error(where + "nothing could be decoded from \"" +
                       report_.str() + "\"");
  }

  void write() {
    // The report texts were made printable as they were gathered.
    ctx_.rawOut->write(out_.data(), static_cast<std::streamsize>(out_.size()));
    out_.clear();
  }

  Context& ctx_;
  const bool strict_;
  const Format format_;
  ReadingFormatter formatter_;
  LString report_;
  std::string shown_;  // a report's text made printable
  WObservation observation_{};
  WReport full_{};
  OutBuffer out_{kOutputBlock + 4096};
  size_t count_ = 0;
  size_t undecoded_ = 0;
  size_t overlong_ = 0;
};

// Hands each report line to the decoder.
struct DecoderSink : WReportLines::Sink {
  explicit DecoderSink(Decoder& d) : to(d) {}
  void line(const char* text, size_t n, unsigned long number) override {
    to.add(text, n, number);
  }
  void overlong(unsigned long number) override { to.noteOverlong(number); }
  Decoder& to;
};

// Calls decoder.add for every report line of the file `fd`. Reads what is
// there, up to a block at a time; whenever the input has nothing more for
// now (a read came back short, as from a pipe that a person or another
// program feeds), the results so far go out, so that each report's result
// follows it at once.
void decodeLines(int fd, Decoder& decoder) {
  DecoderSink sink(decoder);
  WReportLines lines(sink);
  std::vector<char> block(1 << 16);
  for (;;) {
    ssize_t got = read(fd, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    lines.feed(block.data(), static_cast<size_t>(got));
    if (static_cast<size_t>(got) < block.size()) decoder.flush();
  }
  lines.finish();
}

int runDecode(Context& ctx, const DecodeOptions& options) {
  std::string report = joinWords(options.words);
  Decoder decoder(ctx, options);
  if (report.empty() || report == "-") {
    decodeLines(ctx.inFd, decoder);
    if (decoder.count() == 0) {
      ctx.status->error("no report on standard input");
      return kExitUsage;
    }
  } else {
    // The command line's text is read as a stream's: a report a line.
    DecoderSink sink(decoder);
    WReportLines lines(sink);
    lines.feed(report.data(), report.size());
    lines.finish();
    if (decoder.count() == 0) {
      ctx.status->error("no report in \"" + report + "\"");
      return kExitUsage;
    }
  }
  return decoder.finish();
}

}  // namespace

void addDecodeCommand(CLI::App& app, Context& ctx) {
  auto options = std::make_shared<DecodeOptions>();
  CLI::App* sub = app.add_subcommand(
      "decode", "Decode raw observation reports (no network)");
  sub->add_option("report", options->words,
                  "The report; none or - reads one per line from standard "
                  "input (put -- before a report with a group such as -RA)");
  sub->add_flag("--strict", options->strict,
                "The narrow reading: temperature, dew point, pressure, wind "
                "and time, stopping at the first group it does not know");
  sub->add_flag("--jsonl", options->jsonLines,
                "One JSON object per report, a line each");
  sub->callback([&ctx, options] {
    if (options->jsonLines) ctx.json = true;  // JSON escapes what it prints
    ctx.action = [&ctx, options] { return runDecode(ctx, *options); };
  });
}

}  // namespace stratus_cli
