// Runs the real tools for end-to-end tests: `stratus` as a child process
// with its own environment, standard input and captured output, and
// `stratus-sample-server` in the background on a free loopback port.
#ifndef STRATUS_TESTS_TOOLS_TOOL_RUNNER_H_
#define STRATUS_TESTS_TOOLS_TOOL_RUNNER_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace stratus_test {

// Paths of the built programs and of the source tree.
std::string stratusPath();
std::string sampleServerPath();
std::string sourcePath(const std::string& relative);

struct RunResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;  // standard output
  std::string err;  // standard error
};

struct RunOptions {
  std::vector<std::string> env;   // "NAME=value"; nothing else is inherited
  std::string input;              // standard input
  bool stderrOnTerminal = false;  // standard error on a pseudo-terminal
};

// Runs `args` (args[0] is the program) to its end, at most 60 s.
RunResult runProgram(const std::vector<std::string>& args,
                     const RunOptions& options);

// The sample server, started on 127.0.0.1 with a port the system picks and
// stopped (SIGTERM) at destruction.
class SampleServer {
 public:
  // Serves `root`; check started() before use.
  explicit SampleServer(const std::string& root, int port = 0);
  ~SampleServer();
  SampleServer(const SampleServer&) = delete;
  SampleServer& operator=(const SampleServer&) = delete;

  bool started() const { return port_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:<port>/"
  std::string url() const;
  // The first line the server printed (or what it wrote before failing).
  const std::string& banner() const { return banner_; }
  // Sends SIGTERM and returns the exit status; for a server that failed to
  // start, the status it ended with.
  int stop();

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  int failedStatus_ = -1;
  std::string banner_;
};

// A loopback port on which nothing listens (bound, then released).
int closedPort();

}  // namespace stratus_test

#endif  // STRATUS_TESTS_TOOLS_TOOL_RUNNER_H_
