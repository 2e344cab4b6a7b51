// The main of a benchmark whose pages come from a child process: the child
// (started before any thread exists) serves on loopback while Google
// Benchmark runs, with no proxy of the environment in between, and is
// stopped at the end.
#ifndef STRATUS_BENCH_SUPPORT_RUN_WITH_SERVER_H_
#define STRATUS_BENCH_SUPPORT_RUN_WITH_SERVER_H_

#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

namespace stratus_bench {

inline int runWithServer(int argc, char** argv, pid_t server) {
  for (const char* name : {"http_proxy", "all_proxy", "no_proxy"})
    unsetenv(name);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  return 0;
}

}  // namespace stratus_bench

#endif  // STRATUS_BENCH_SUPPORT_RUN_WITH_SERVER_H_
