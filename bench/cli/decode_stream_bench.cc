// `stratus decode -` against the library it runs on: the same reports are
// decoded in process by decodeReport (the rate the host could reach) and
// piped through the program as text and as JSON Lines; the ratios of the
// program's rates to the library's are printed. The reports are the shared
// corpus's (US and international), or the repository's sample when the
// corpus is absent, repeated to about a million lines.
//
// Usage: decode_stream_bench [ROUNDS]   (default 3; the best round counts)
//
// Measured on the project's shared 2-core machine, 10 runs: text 0.52-0.56
// of the library, median 0.54 (2.19-2.28 M reports/s against 4.06-4.20
// M/s), JSON Lines 0.39-0.42, median 0.41 (1.64-1.73 M/s). Before the
// output was formatted through one reusable block with tables of recurring
// values: 0.25 and 0.15 (1.05 and 0.61 M/s).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "stratus/observation/report.h"

#include "testing/corpus_files.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> corpusLines(std::string& origin) {
  std::vector<std::string> lines;
  std::string shared = stratus_test::sharedDir();
  std::vector<std::string> files;
  if (!shared.empty()) {
    files = {shared + "/corpus/metar/us.txt",
             shared + "/corpus/metar/intl.txt"};
    origin = "shared corpus";
  } else {
    files = {STRATUS_SOURCE_DIR "/tests/data/metar/us.txt"};
    origin = "repository sample";
  }
  for (const std::string& f : files) {
    std::string text = stratus_test::readFile(f);
    size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
      if (end > start) lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }
  return lines;
}

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Wall time of the program decoding `input` (a file) to /dev/null.
double runProgram(const std::string& input, bool jsonLines) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<const char*> args = {STRATUS_CLI_PATH, "decode"};
  if (jsonLines) args.push_back("--jsonl");
  args.push_back("-");
  args.push_back(nullptr);
  pid_t pid;
  auto start = Clock::now();
  if (posix_spawn(&pid, STRATUS_CLI_PATH, &actions, nullptr,
                  const_cast<char* const*>(args.data()), environ) != 0) {
    std::perror("posix_spawn");
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  double t = seconds(Clock::now() - start);
  posix_spawn_file_actions_destroy(&actions);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  std::string origin;
  std::vector<std::string> lines = corpusLines(origin);
  std::vector<LString> reports;
  std::string input;
  while (reports.size() < 1000000) {
    for (const std::string& l : lines) {
      reports.emplace_back(l.c_str());
      input += l;
      input += '\n';
    }
  }
  char path[] = "/tmp/stratus-decode-bench-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0 || write(fd, input.data(), input.size()) !=
                    static_cast<ssize_t>(input.size())) {
    std::perror("input file");
    return 1;
  }
  close(fd);

  double library = 1e9, text = 1e9, jsonl = 1e9;
  WReport out;
  long flags = 0;
  for (int r = 0; r < rounds; ++r) {
    auto start = Clock::now();
    for (const LString& report : reports) {
      decodeReport(report, out);
      flags += out.hasTemp;
    }
    library = std::min(library, seconds(Clock::now() - start));
    text = std::min(text, runProgram(path, false));
    jsonl = std::min(jsonl, runProgram(path, true));
  }
  unlink(path);
  const double n = static_cast<double>(reports.size());
  std::printf("%zu reports (%s), best of %d rounds%s\n", reports.size(),
              origin.c_str(), rounds, flags < 0 ? "" : "");
  std::printf("library decodeReport     %6.2f M reports/s\n",
              n / library / 1e6);
  std::printf(
      "stratus decode -         %6.2f M reports/s  %.2f of the library\n",
      n / text / 1e6, library / text);
  std::printf(
      "stratus decode --jsonl - %6.2f M reports/s  %.2f of the library\n",
      n / jsonl / 1e6, library / jsonl);
  return 0;
}
