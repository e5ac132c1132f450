// The library's own thread for reading the machine. Callers on any thread, in any COM state, hand
// it a job and wait at most the time limit; it is started on first use and runs each job as one
// run of the program: through a TWMIOperations of its own, connected for that job and released
// after it. A thread that did not answer in time is abandoned, and the next job starts a fresh
// one; so does the first job of a child process forked after the library was used.
//
// A stuck machine must not cost a host without end: at most kThreadLimit threads of the library
// exist at once, the one serving and those abandoned while still inside a reading. An abandoned
// thread ends, and frees its place, when its reading returns.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "Wmioperationsunit/com_runtime.h"
#include "Wmioperationsunit/wmi_operations.h"
#include "hwid/identifier.h"

namespace hwid::library {

// Three: a reading that once overran the limit (a provider slow to start) leaves room for a retry
// on a fresh thread, while a machine that hangs every reading costs no more than this.
inline constexpr int kThreadLimit = 3;

// A job is shared by its caller and the thread running it, so a caller that stops waiting leaves
// the thread nothing that is gone.
class Job {
 public:
  Job() = default;
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;
  virtual ~Job() = default;
  virtual void Run(TWMIOperations& wmi) = 0;

  // Set by the thread, under its lock.
  bool done = false;
  bool failed = false;  // Run threw (out of memory)
};

// Runs `job` on the library's thread; waits at most TimeLimit() from the call. NotResponding, at
// once, when kThreadLimit threads are abandoned and none is left to run it.
ReadStatus RunOnWorker(const std::shared_ptr<Job>& job);

// The runtime every thread started from now on reads WMI through (the system's until set); the
// current thread is abandoned. `runtime` must never be destroyed: an abandoned thread may still
// use it.
void UseComRuntime(ComRuntime& runtime);

template <class Result>
struct Outcome {
  ReadStatus status = ReadStatus::InternalError;
  Result value{};  // when the status is Ok
};

// `read(wmi)` run on the library's thread, for a copyable `read`.
template <class Read>
auto ReadOnWorker(Read read) -> Outcome<std::invoke_result_t<Read&, TWMIOperations&>> {
  using Result = std::invoke_result_t<Read&, TWMIOperations&>;
  class ReadJob final : public Job {
   public:
    explicit ReadJob(Read function) : read_(std::move(function)) {}
    void Run(TWMIOperations& wmi) override { result = read_(wmi); }
    Result result{};

   private:
    Read read_;
  };
  const auto job = std::make_shared<ReadJob>(std::move(read));
  Outcome<Result> outcome;
  outcome.status = RunOnWorker(job);
  if (outcome.status == ReadStatus::Ok) {
    outcome.value = std::move(job->result);
  }
  return outcome;
}

}  // namespace hwid::library
