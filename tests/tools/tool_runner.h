// Runs the real tools for end-to-end tests: a program as a child process with
// its own environment, standard input and captured output, and the sample
// server in the background on a loopback port.
#ifndef STRATUS_TESTS_TOOLS_TOOL_RUNNER_H_
#define STRATUS_TESTS_TOOLS_TOOL_RUNNER_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace stratus_test {

inline const std::string kSamplePages =
    std::string(STRATUS_SOURCE_DIR) + "/tools/sample_pages";

struct RunResult {
  int status = -1;       // exit status, or 128 + signal number
  std::string out, err;  // standard output and standard error
};

// Runs `args` (args[0] is the program) to its end with `env` ("NAME=value")
// as its whole environment; standard error goes to a pseudo-terminal when
// `errOnTerminal`.
RunResult runProgram(std::vector<std::string> args,
                     std::vector<std::string> env, const std::string& input,
                     bool errOnTerminal);

// The sample server serving `root` on 127.0.0.1:`port` (0: a port the
// system picks), with more command-line `options`, until stop() or its
// destruction.
struct SampleServer {
  explicit SampleServer(const std::string& root, int port = 0,
                        const std::vector<std::string>& options = {});
  ~SampleServer() { stop(); }
  SampleServer(const SampleServer&) = delete;
  SampleServer& operator=(const SampleServer&) = delete;
  // Sends SIGTERM to a started server; returns the status it ended with.
  int stop();
  std::string url() const {
    return "http://127.0.0.1:" + std::to_string(port) + "/";
  }

  pid_t pid = -1;
  int port = 0;  // 0 when it did not start
  int status = -1;
  std::string banner;  // its first line: its address, or why it failed
};

}  // namespace stratus_test

#endif  // STRATUS_TESTS_TOOLS_TOOL_RUNNER_H_
