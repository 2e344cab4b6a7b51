#include "support/tiny_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/http_server.h"

namespace stratus_test {
namespace {

bool accepts(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

}  // namespace

TinyProxy::~TinyProxy() { stop(); }

std::string TinyProxy::program() {
  for (const char* p : {"/usr/bin/tinyproxy", "/usr/sbin/tinyproxy",
                        "/usr/local/bin/tinyproxy"}) {
    if (access(p, X_OK) == 0) return p;
  }
  return "";
}

bool TinyProxy::start() {
  if (program().empty()) return false;
  // The free port is found by binding and releasing it, so another process
  // may take it first: try a few.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (startOnce()) return true;
  }
  return false;
}

bool TinyProxy::startOnce() {
  std::string exe = program();
  port_ = closedPort();
  std::string conf = dir_.write(
      "tinyproxy.conf", "Port " + std::to_string(port_) +
                            "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 10\n"
                            "LogFile \"" +
                            dir_.file("tinyproxy.log") +
                            "\"\nLogLevel Info\nMaxClients 20\n"
                            "ViaProxyName \"" +
                            viaName() + "\"\n");
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    execl(exe.c_str(), exe.c_str(), "-d", "-c", conf.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!accepts(port_)) {
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;  // it gave up (port taken, bad configuration)
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      stop();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void TinyProxy::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int status;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

std::string TinyProxy::location() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::string TinyProxy::log() const {
  return readFile(dir_.file("tinyproxy.log"));
}

}  // namespace stratus_test
