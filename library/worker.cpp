#include "library/worker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

#include "library/hosted_com_runtime.h"
#include "platform/win32.h"

namespace hwid::library {
namespace {

constexpr std::chrono::milliseconds kDefaultTimeLimit{30000};

// What one thread and its callers share.
struct Worker {
  std::mutex mutex;
  std::condition_variable wake;      // a job queued, or the thread abandoned
  std::condition_variable finished;  // a job done
  std::deque<std::shared_ptr<Job>> queue;
  bool abandoned = false;
  bool ended = false;  // the thread has returned: nothing queued now would run
};

// Callers' shared state. Never destroyed: a host thread may call while the process exits.
struct Engine {
  std::mutex mutex;
  std::shared_ptr<Worker> current;
  int threads = 0;  // started and not yet ended, `current` and the abandoned ones
  std::atomic<ComRuntime*> runtime{&SystemComRuntime()};
  std::atomic<std::uint32_t> limitMilliseconds{kDefaultTimeLimit.count()};
  const DWORD processId = GetCurrentProcessId();
};

// This process's engine. A child forked after the library was used inherits the engine but not
// its thread (fork copies the calling thread alone), and a lock a vanished thread held stays
// locked: so a child starts over with an engine of its own, keeping the settings, and never
// touches its parent's, which stays allocated.
Engine& TheEngine() {
  static std::atomic<Engine*> engine{new Engine()};
  Engine* inherited = engine.load();
  if (inherited->processId == GetCurrentProcessId()) {
    return *inherited;
  }
  auto* const own = new Engine();
  own->runtime.store(inherited->runtime.load());
  own->limitMilliseconds.store(inherited->limitMilliseconds.load());
  if (engine.compare_exchange_strong(inherited, own)) {
    return *own;
  }
  // Another thread of the child made one first; `inherited` is now that one.
  delete own;
  return *inherited;
}

// The thread's body. Everything it touches is its own, shared through `worker`, or the engine,
// which is never destroyed; so it may be stuck in WMI while the process exits. It ends once
// abandoned and idle, and gives its place back.
void Serve(Engine& engine, const std::shared_ptr<Worker>& worker, ComRuntime& base) {
  // Under Wine, a process's first single-threaded apartment makes the desktop window, holding
  // user32's lock while it loads resources, which takes the loader lock; the first reading loads
  // WMI's DLLs under the loader lock, and one of them loads an icon as it starts, which takes
  // user32's lock. A host thread entering its apartment during this thread's first reading would
  // then wait for this thread for ever and this thread for it. Asking for the desktop window
  // first, holding neither lock, leaves nothing for that race. It touches no COM state: the
  // program's main thread makes the same window when it enters its apartment. Only the system's
  // COM loads those DLLs; a scripted one is spared the call and the time it takes.
  if (&base == &SystemComRuntime()) {
    static_cast<void>(GetDesktopWindow());
  }
  HostedComRuntime runtime(base);
  std::unique_lock lock(worker->mutex);
  for (;;) {
    worker->wake.wait(lock, [&worker] { return !worker->queue.empty() || worker->abandoned; });
    if (worker->queue.empty()) {
      worker->ended = true;
      lock.unlock();
      const std::lock_guard engineLock(engine.mutex);
      --engine.threads;
      return;
    }
    const std::shared_ptr<Job> job = std::move(worker->queue.front());
    worker->queue.pop_front();
    lock.unlock();
    bool failed = false;
    // Nothing may leave a thread's body; the only exception a reading throws is bad_alloc.
    try {
      // Each reading is one run of the program, with a connection of its own: it sees the machine
      // as it is now (the Linux stand-in takes one look at sysfs per connection), as a host that
      // reads again later expects.
      TWMIOperations wmi(runtime);
      job->Run(wmi);
    } catch (...) {
      failed = true;
    }
    runtime.LeaveApartments();
    lock.lock();
    job->done = true;
    job->failed = failed;
    worker->finished.notify_all();
  }
}

// No longer the current thread first, so that once it has ended no caller is handed it again.
void Abandon(Engine& engine, const std::shared_ptr<Worker>& worker) {
  {
    const std::lock_guard lock(engine.mutex);
    if (engine.current == worker) {
      engine.current.reset();
    }
  }
  {
    const std::lock_guard lock(worker->mutex);
    worker->abandoned = true;
  }
  worker->wake.notify_one();
}

// An address inside this module, the executable or the shared library.
const char kInThisModule = 0;

// The code of a thread that outlives its callers must stay mapped: a host that unloads the shared
// library would pull it from under the thread. Where pinning fails the library works all the
// same; only unloading it would not be safe.
void PinThisModule() {
  HMODULE module = nullptr;
  static_cast<void>(
      GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         &kInThisModule, &module));
}

// The current thread in `worker`, started if there is none and the limit leaves room for it.
ReadStatus CurrentWorker(Engine& engine, std::shared_ptr<Worker>& worker) {
  static std::once_flag pinned;
  std::call_once(pinned, PinThisModule);
  const std::lock_guard lock(engine.mutex);
  if (!engine.current) {
    if (engine.threads >= kThreadLimit) {
      return ReadStatus::NotResponding;
    }
    auto started = std::make_shared<Worker>();
    try {
      std::thread(Serve, std::ref(engine), started, std::ref(*engine.runtime.load())).detach();
    } catch (const std::system_error&) {
      return ReadStatus::InternalError;
    }
    ++engine.threads;
    engine.current = std::move(started);
  }
  worker = engine.current;
  return ReadStatus::Ok;
}

}  // namespace

ReadStatus RunOnWorker(const std::shared_ptr<Job>& job) {
  Engine& engine = TheEngine();
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(engine.limitMilliseconds.load());
  std::shared_ptr<Worker> worker;
  {
    std::unique_lock<std::mutex> lock;
    // A thread abandoned by another caller may end between being handed out and this lock.
    do {
      if (const ReadStatus status = CurrentWorker(engine, worker); status != ReadStatus::Ok) {
        return status;
      }
      lock = std::unique_lock(worker->mutex);
    } while (worker->ended);
    worker->queue.push_back(job);
    worker->wake.notify_one();
    if (worker->finished.wait_until(lock, deadline, [&job] { return job->done; })) {
      return job->failed ? ReadStatus::InternalError : ReadStatus::Ok;
    }
    // Still queued behind a stuck reading: nobody waits for it any more, so it must not run (and
    // perhaps get stuck too) once that reading returns.
    std::erase(worker->queue, job);
  }
  Abandon(engine, worker);
  return ReadStatus::TimedOut;
}

void UseComRuntime(ComRuntime& runtime) {
  Engine& engine = TheEngine();
  std::shared_ptr<Worker> worker;
  {
    const std::lock_guard lock(engine.mutex);
    engine.runtime.store(&runtime);
    worker = engine.current;
  }
  if (worker) {
    Abandon(engine, worker);
  }
}

}  // namespace hwid::library

namespace hwid {

bool SetTimeLimit(std::chrono::milliseconds limit) {
  if (limit.count() < 1 || limit.count() > std::numeric_limits<std::uint32_t>::max()) {
    return false;
  }
  library::TheEngine().limitMilliseconds.store(static_cast<std::uint32_t>(limit.count()));
  return true;
}

std::chrono::milliseconds TimeLimit() {
  return std::chrono::milliseconds(library::TheEngine().limitMilliseconds.load());
}

}  // namespace hwid
