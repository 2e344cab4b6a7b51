#include "tool_runner.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace stratus_test {

namespace {

int exitStatus(int raw) {
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

// Forks and execs `args` with `env` and the sanitizer options; the child's
// fds 0, 1 and 2 become `in`, `out` and `err`, and every other one is closed.
pid_t spawn(std::vector<std::string> args, std::vector<std::string> env, int in,
            int out, int err) {
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* v = getenv(name))
      env.push_back(std::string(name) + "=" + v);
  }
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(&a[0]);
  for (std::string& e : env) envp.push_back(&e[0]);
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_t pid = fork();
  if (pid != 0) return pid;
  dup2(in, STDIN_FILENO);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  for (int fd = 3; fd < 1024; ++fd) close(fd);
  execve(argv[0], argv.data(), envp.data());
  _exit(127);
}

// Everything in `fd` from its start (a file) or until its writer is gone (a
// terminal: then EIO); closes it.
std::string drain(int fd) {
  std::string text;
  char buf[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<size_t>(n));
  close(fd);
  return text;
}

}  // namespace

RunResult runProgram(std::vector<std::string> args,
                     std::vector<std::string> env, const std::string& input,
                     bool errOnTerminal) {
  // Files in memory hold the input and the output: the child never blocks.
  RunResult result;
  int in = memfd_create("in", 0), out = memfd_create("out", 0);
  int err = -1, terminal = -1;
  if (errOnTerminal) {
    struct termios raw;  // raw mode passes the bytes as written
    cfmakeraw(&raw);
    if (openpty(&terminal, &err, nullptr, &raw, nullptr) != 0) return result;
  } else {
    err = memfd_create("err", 0);
  }
  if (pwrite(in, input.data(), input.size(), 0) < 0) return result;
  pid_t pid = spawn(std::move(args), std::move(env), in, out, err);
  close(in);
  // The terminal holds the few lines written until they are read below.
  if (errOnTerminal) close(err);
  int raw = 0;
  waitpid(pid, &raw, 0);
  result.status = exitStatus(raw);
  result.out = drain(out);
  result.err = drain(errOnTerminal ? terminal : err);
  return result;
}

SampleServer::SampleServer(const std::string& root, int port,
                           const std::vector<std::string>& options) {
  int out[2];
  if (pipe(out) != 0) return;
  int null = open("/dev/null", O_RDONLY);
  std::vector<std::string> args = {STRATUS_SAMPLE_SERVER_PATH, "--port",
                                   std::to_string(port), "--root", root};
  args.insert(args.end(), options.begin(), options.end());
  pid = spawn(args, {}, null, out[1], out[1]);
  close(null);
  close(out[1]);
  for (char c; read(out[0], &c, 1) == 1 && c != '\n';) banner += c;
  close(out[0]);
  if (banner.rfind("stratus-sample-server: serving ", 0) == 0)
    this->port = std::atoi(banner.c_str() + banner.rfind(':') + 1);
}

int SampleServer::stop() {
  if (pid <= 0) return status;
  if (port > 0) kill(pid, SIGTERM);  // one that failed to start ends itself
  int raw = 0;
  waitpid(pid, &raw, 0);
  pid = -1;
  return status = exitStatus(raw);
}

}  // namespace stratus_test
