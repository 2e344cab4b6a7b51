#include "tool_runner.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace stratus_test {

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(&s[0]);
  out.push_back(nullptr);
  return out;
}

int exitStatus(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

// Variables that sanitizer builds need in every child.
void inheritSanitizerOptions(std::vector<std::string>& env) {
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* v = getenv(name))
      env.push_back(std::string(name) + "=" + v);
  }
}

// Forks and execs `args` with `env`; the child's fds 0, 1 and 2 become
// `in`, `out` and `err`, and every other descriptor is closed.
pid_t spawn(std::vector<std::string> args, std::vector<std::string> env, int in,
            int out, int err) {
  inheritSanitizerOptions(env);
  std::vector<char*> argv = pointers(args), envp = pointers(env);
  pid_t pid = fork();
  if (pid != 0) return pid;
  dup2(in, STDIN_FILENO);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  for (int fd = 3; fd < 1024; ++fd) close(fd);
  execve(argv[0], argv.data(), envp.data());
  _exit(127);
}

}  // namespace

std::string stratusPath() { return STRATUS_CLI_PATH; }
std::string sampleServerPath() { return STRATUS_SAMPLE_SERVER_PATH; }
std::string sourcePath(const std::string& relative) {
  return std::string(STRATUS_SOURCE_DIR) + "/" + relative;
}

RunResult runProgram(const std::vector<std::string>& args,
                     const RunOptions& options) {
  RunResult result;
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return result;
  if (options.stderrOnTerminal) {
    // Raw mode: the terminal passes the bytes as written ("\n" stays "\n").
    struct termios raw;
    cfmakeraw(&raw);
    if (openpty(&err[0], &err[1], nullptr, &raw, nullptr) != 0) return result;
  } else if (pipe2(err, O_CLOEXEC) != 0) {
    return result;
  }
  pid_t pid = spawn(args, options.env, in[0], out[1], err[1]);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // Inputs are small: written whole before the output is read.
  const std::string& input = options.input;
  for (size_t done = 0; done < input.size();) {
    ssize_t n = write(in[1], input.data() + done, input.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(in[1]);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0 && std::chrono::steady_clock::now() < deadline) {
    if (poll(fds, 2, 1000) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {  // a pty gives EIO at the end
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  if (open > 0) kill(pid, SIGKILL);
  for (auto& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }
  int raw = 0;
  waitpid(pid, &raw, 0);
  result.status = exitStatus(raw);
  return result;
}

SampleServer::SampleServer(const std::string& root, int port) {
  int out[2];
  int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = spawn(
      {sampleServerPath(), "--port", std::to_string(port), "--root", root}, {},
      null, out[1], out[1]);
  close(out[1]);
  close(null);
  // The first line tells the port; read it byte by byte, at most 10 s.
  struct pollfd fd = {out[0], POLLIN, 0};
  char c;
  while (banner_.find('\n') == std::string::npos && poll(&fd, 1, 10000) > 0 &&
         read(out[0], &c, 1) == 1)
    banner_ += c;
  close(out[0]);
  size_t colon = banner_.rfind(':');
  if (banner_.compare(0, 22, "stratus-sample-server:") == 0 &&
      colon != std::string::npos) {
    port_ = std::atoi(banner_.c_str() + colon + 1);
    return;
  }
  // It failed to start: it ends by itself, with its own exit status.
  int raw = 0;
  waitpid(pid_, &raw, 0);
  pid_ = -1;
  failedStatus_ = exitStatus(raw);
}

SampleServer::~SampleServer() { stop(); }

std::string SampleServer::url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

int SampleServer::stop() {
  if (pid_ <= 0) return failedStatus_;
  kill(pid_, SIGTERM);
  int raw = 0;
  // A server that does not stop within 10 s is killed (and reported so).
  for (int i = 0; i < 1000 && waitpid(pid_, &raw, WNOHANG) == 0; ++i)
    usleep(10000);
  if (waitpid(pid_, &raw, WNOHANG) == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &raw, 0);
  }
  pid_ = -1;
  return exitStatus(raw);
}

int closedPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  close(s);
  return ntohs(addr.sin_port);
}

}  // namespace stratus_test
