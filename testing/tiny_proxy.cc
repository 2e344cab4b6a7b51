#include "testing/tiny_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "testing/http_server.h"

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
  std::string exe = program();
  // The free port is found by binding and releasing it, so another process
  // may take it first: try a few.
  for (int attempt = 0; attempt < 3 && !exe.empty(); ++attempt) {
    port_ = closedPort();
    std::string conf = dir_.write(
        "tinyproxy.conf",
        "Port " + std::to_string(port_) +
            "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 10\nLogFile \"" +
            dir_.file("tinyproxy.log") + "\"\nMaxClients 20\nViaProxyName \"" +
            viaName() + "\"\n");
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      execl(exe.c_str(), exe.c_str(), "-d", "-c", conf.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status;
    bool up = false;
    while (pid_ > 0 && !(up = accepts(port_)) &&
           std::chrono::steady_clock::now() < deadline) {
      // A proxy that gave up (its port taken) is reaped here.
      if (waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (up) return true;
    stop();
  }
  return false;
}

void TinyProxy::stop() {
  if (pid_ <= 0) return;
  int status;
  // Nothing of the proxy outlives the test, so it need not end gracefully.
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string TinyProxy::location() const {
  return "127.0.0.1:" + std::to_string(port_);
}

}  // namespace stratus_test
