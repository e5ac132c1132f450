// The library's answer in-process against running the program for it, on this machine (Linux):
// hwid_identifier with the library's thread already running and connected (warm), the first call
// on a freshly started thread (what a host's first call costs, the thread's start included), and
// spawning `hwid x` and waiting for it, its output going nowhere.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

#include "hwid/hwid.h"
#include "library/worker.h"

extern char** environ;

namespace hwid::bench {
namespace {

void ReadIdentifier(benchmark::State& state) {
  std::array<char, 1024> buffer{};
  std::size_t needed = 0;
  if (hwid_identifier(HWID_LAYOUT_CURRENT, buffer.data(), buffer.size(), &needed) !=
      HWID_STATUS_OK) {
    state.SkipWithError("hwid_identifier failed");
  }
  benchmark::DoNotOptimize(buffer);
}

void BM_IdentifierWarm(benchmark::State& state) {
  ReadIdentifier(state);
  for (auto _ : state) {
    ReadIdentifier(state);
  }
}
BENCHMARK(BM_IdentifierWarm)->UseRealTime();

void BM_IdentifierFirstCall(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    // The next call starts a thread of its own, which connects anew.
    library::UseComRuntime(SystemComRuntime());
    state.ResumeTiming();
    ReadIdentifier(state);
  }
}
BENCHMARK(BM_IdentifierFirstCall)->UseRealTime();

void BM_SpawnProgram(benchmark::State& state) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  char program[] = HWID_PROGRAM;
  char argument[] = "x";
  char* argv[] = {program, argument, nullptr};
  for (auto _ : state) {
    pid_t child = 0;
    int status = 0;
    if (posix_spawn(&child, program, &actions, nullptr, argv, environ) != 0 ||
        waitpid(child, &status, 0) != child || status != 0) {
      state.SkipWithError("hwid x failed");
      break;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_SpawnProgram)->UseRealTime();

}  // namespace
}  // namespace hwid::bench
