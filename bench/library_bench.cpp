// The library's answer in-process against running the program for it, on this machine (Linux):
// hwid_identifier with the library's thread already running and connected (warm), the first call
// on a freshly started thread (what a host's first call costs, the thread's start included),
// spawning `hwid x` and waiting for it, its output going nowhere, and, for the cost of the
// hand-over alone, the program's own path on the calling thread with a connection kept. Last, on
// a machine stuck for good: the threads held after 1,000 calls, and what a call costs then.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "hwid/hwid.h"
#include "identifier/identifier.h"
#include "library/worker.h"
#include "tests/library/thread_count.h"

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
    // The next call starts a thread of its own, which connects anew. The one abandoned holds its
    // place among the library's threads until it has ended.
    library::UseComRuntime(SystemComRuntime());
    while (testing::ThreadCount() > 1) {
      std::this_thread::yield();
    }
    state.ResumeTiming();
    ReadIdentifier(state);
  }
}
BENCHMARK(BM_IdentifierFirstCall)->UseRealTime();

// cppcheck-suppress constParameterCallback ; iterating over the state runs its timing loop
void BM_ProgramPathOnCallingThread(benchmark::State& state) {
  TWMIOperations wmi;
  for (auto _ : state) {
    benchmark::DoNotOptimize(OutputText(Output::CurrentIdentifier, wmi));
  }
}
BENCHMARK(BM_ProgramPathOnCallingThread)->UseRealTime();

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

// A machine stuck for good: a reading's first call into COM never returns.
class StuckMachine final : public ComRuntime {
 public:
  HRESULT InitializeEx(LPVOID, DWORD) override {
    stuck.fetch_add(1);
    for (;;) {
      pause();
    }
  }
  HRESULT InitializeSecurity(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*, DWORD,
                             DWORD, void*, DWORD, void*) override {
    return E_FAIL;
  }
  HRESULT CreateInstance(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*) override { return E_FAIL; }
  HRESULT SetProxyBlanket(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD, DWORD, RPC_AUTH_IDENTITY_HANDLE,
                          DWORD) override {
    return E_FAIL;
  }
  void Uninitialize() override {}

  std::atomic<int> stuck{0};  // threads inside the machine
};

// 1,000 calls with a 10 ms limit on the stuck machine, once; the threads stuck in it afterwards.
int StallTheLibrary() {
  // Stuck threads use it until the process ends.
  auto* const machine = new StuckMachine();
  library::UseComRuntime(*machine);
  static_cast<void>(SetTimeLimit(std::chrono::milliseconds(10)));
  for (int call = 0; call < 1000; ++call) {
    static_cast<void>(ReadOutput(Output::CurrentIdentifier));
  }
  return machine->stuck.load();
}

// A call while every thread the library may hold is stuck, with the default 30 s limit.
void BM_CallOnAStuckMachine(benchmark::State& state) {
  static const int stuck = StallTheLibrary();
  static_cast<void>(SetTimeLimit(std::chrono::seconds(30)));
  for (auto _ : state) {
    if (ReadOutput(Output::CurrentIdentifier).status != ReadStatus::NotResponding) {
      state.SkipWithError("not refused");
      break;
    }
  }
  state.counters["stuck_threads"] = stuck;
  state.counters["process_threads"] = static_cast<double>(testing::ThreadCount());
}
BENCHMARK(BM_CallOnAStuckMachine)->UseRealTime();

}  // namespace
}  // namespace hwid::bench
