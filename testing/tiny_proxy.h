// A real HTTP proxy for tests: tinyproxy, run in the foreground as a child
// process on a free loopback port, with its configuration and log in a
// temporary folder. Stopped (by its process id) in stop() or on destruction.
#ifndef STRATUS_TESTING_TINY_PROXY_H_
#define STRATUS_TESTING_TINY_PROXY_H_

#include <sys/types.h>

#include <string>

#include "testing/temp_dir.h"

namespace stratus_test {

class TinyProxy {
 public:
  TinyProxy() = default;
  ~TinyProxy();
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;

  // The tinyproxy program, or "" when it is not installed.
  static std::string program();

  // Starts the proxy and waits (at most 5 s per try) until it accepts
  // connections. False when it is not installed or did not come up.
  bool start();
  void stop();

  // "127.0.0.1:<port>", as a proxy location.
  std::string location() const;
  // The name the proxy puts into the Via header of forwarded requests.
  static const char* viaName() { return "stratus-test-proxy"; }

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace stratus_test

#endif  // STRATUS_TESTING_TINY_PROXY_H_
