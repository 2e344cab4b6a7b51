// The event loops of the serving core: each serves its share of the
// connections from one thread, with non-blocking sockets and an epoll set of
// its own. Internal to tools/server.
#ifndef STRATUS_TOOLS_SERVER_EVENT_LOOP_H_
#define STRATUS_TOOLS_SERVER_EVENT_LOOP_H_

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server.h"

namespace stratus_server {

// One client connection, a small state machine: reading a request header,
// waiting for an answer made off the loop, writing the answer, or draining
// before it closes. Owned by one loop and changed only on its thread, but
// for `waiting` and `since`, which the connection cap reads from any loop,
// and `evicted`, which changes with Server::mutex_ held.
struct Server::Connection {
  enum class State { kReading, kWaiting, kWriting, kDraining, kClosed };
  int fd = -1;
  State state = State::kReading;
  std::atomic<bool> waiting{true};  // for (the rest of) a request header
  std::atomic<long long> since{0};  // steady-clock ms of the last change
  bool evicted = false;             // shut down to make room

  bool registered = false;  // in the loop's epoll set
  unsigned interest = 0;    // the events asked for while registered
  long long deadline = 0;   // steady-clock ms at which the state times out
  bool first = true;        // no request answered yet
  std::string in;           // received, not yet taken as a request

  // The answer under way.
  Request request;
  Response response;
  std::string head;
  std::size_t written = 0;  // of head, then of response.body
  off_t fileAt = 0;         // of response.file
  bool keepAlive = false;
  bool logged = true;  // a request that gets a log line
  std::size_t bytes = 0;
  std::chrono::steady_clock::time_point started;
  std::size_t dropped = 0;  // bytes read and dropped while draining
};

// Threads for answers that may wait, started as needed and kept for the
// next ones; a thread idle for `idleLimit` ends, so that a burst of waiting
// answers does not leave its threads behind. Thread-safe.
class Server::WaitPool {
 public:
  explicit WaitPool(std::chrono::milliseconds idleLimit)
      : idleLimit_(idleLimit) {}
  ~WaitPool() { join(); }
  WaitPool(const WaitPool&) = delete;
  WaitPool& operator=(const WaitPool&) = delete;
  // Runs `job` on an idle thread, or on a new one. Throws std::system_error
  // when no thread can run it.
  void submit(std::function<void()> job);
  // Joins the threads that ended for want of work, which frees their
  // stacks.
  void reap();
  // Runs the jobs given so far, then ends every thread.
  void join();

 private:
  using Threads = std::list<std::thread>;
  // Runs jobs until the pool ends or none came for idleLimit_; `self` is
  // this thread's place in threads_.
  void work(Threads::iterator self);

  const std::chrono::milliseconds idleLimit_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  std::size_t idle_ = 0;
  bool ending_ = false;
  Threads threads_;
  // Threads that ended for want of work, until reap() or join().
  std::vector<std::thread> ended_;
};

class Server::Loop {
 public:
  explicit Loop(Server& server);
  ~Loop();
  Loop(const Loop&) = delete;
  Loop& operator=(const Loop&) = delete;

  // Serves connections accepted from the server's listening socket until
  // the server stops and every connection of this loop has ended.
  void run();
  // Wakes run() to look at the server's state. Thread-safe.
  void wake();
  // Gives this loop a connection another loop accepted. Thread-safe.
  void adopt(std::unique_ptr<Connection> c);
  // Serves the connections given by adopt(), or closes them once the
  // server stops.
  void takeAdopted();

 private:
  void dispatch(void* tag);
  void acceptSome();
  // Reads and answers requests while the connection is reading and has
  // bytes to read.
  void onReadable(Connection& c);
  // Takes a whole request header from c.in and answers it; false while it
  // is not whole yet.
  bool takeRequest(Connection& c);
  void answer(Connection& c, const std::string& text);
  // Serves c.request on the wait pool; the answer comes back by finished().
  void park(Connection& c, bool keepAlive);
  void finished(Connection* c, Response response);
  void takeFinished();
  // Starts writing `res`; back to reading or draining when it is sent.
  void respond(Connection& c, Response res, bool keepAlive);
  void onWritable(Connection& c);
  void endWrite(Connection& c, bool sent);
  void onDrainable(Connection& c);
  void expire(long long now);
  bool setInterest(Connection& c, unsigned events);
  // Closes the connection; its object goes once the current events are done.
  void end(Connection& c);
  void logLine(const Connection& c, int status) const;

  Server& server_;
  int epoll_ = -1;
  int wake_ = -1;  // an eventfd
  bool listening_ = false;
  long long listenAgainAt_ = 0;  // after running out of descriptors
  std::unordered_map<Connection*, std::unique_ptr<Connection>> connections_;
  std::vector<Connection*> ended_;
  std::mutex inboxMutex_;  // for finished_ and adopted_
  std::vector<std::pair<Connection*, Response>> finished_;
  std::vector<std::unique_ptr<Connection>> adopted_;
  char block_[16 * 1024];
};

}  // namespace stratus_server

#endif  // STRATUS_TOOLS_SERVER_EVENT_LOOP_H_
