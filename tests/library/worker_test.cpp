// The library's readings on its own thread over a scripted COM runtime: what a host's COM state
// makes the runtime answer must not change them.
#include "library/worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/modes.h"
#include "hwid/adapter_selection.h"
#include "hwid/hwid.h"
#include "library/hosted_com_runtime.h"
#include "tests/case_name.h"
#include "tests/library/library_fixture.h"
#include "tests/library/thread_count.h"

namespace hwid {
namespace {

using fakes::ScriptedWmi;
using fakes::Step;
using testing::DirectOutput;
using testing::LastingScript;

constexpr std::array kOutputs = {Output::BareSerial, Output::LegacyIdentifier,
                                 Output::CurrentIdentifier};

struct HostCase {
  const char* name;
  std::vector<std::pair<Step, HRESULT>> answers;  // to the first call of each step
};

class HostStateTest : public ::testing::TestWithParam<HostCase> {};

TEST_P(HostStateTest, ReadsWhatTheProgramPrints) {
  ScriptedWmi& script = LastingScript();
  for (const auto& [step, status] : GetParam().answers) {
    script.SetStatus(step, 1, status);
  }
  library::UseComRuntime(script);
  for (const Output output : kOutputs) {
    const Reading reading = ReadOutput(output);
    EXPECT_EQ(reading.status, ReadStatus::Ok);
    EXPECT_EQ(reading.text, DirectOutput(output));
  }
  // A connection for each of the two readings of WMI, released after it, and every apartment
  // the thread entered left again: nothing stays initialised between readings.
  EXPECT_EQ(script.CallCount(Step::CoInitializeEx), 2);
  EXPECT_EQ(script.Uninitializations(), script.SuccessfulInitializations());
  EXPECT_EQ(script.LiveConnections(), 0);
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostStateTest,
                         ::testing::Values(HostCase{"NoComState", {}},
                                           HostCase{"ThreadInOtherApartment",
                                                    {{Step::CoInitializeEx, RPC_E_CHANGED_MODE}}},
                                           HostCase{"SecurityAlreadySet",
                                                    {{Step::CoInitializeSecurity, RPC_E_TOO_LATE}}},
                                           HostCase{
                                               "Both",
                                               {{Step::CoInitializeEx, RPC_E_CHANGED_MODE},
                                                {Step::CoInitializeSecurity, RPC_E_TOO_LATE}}}),
                         ::hwid::testing::CaseName());

TEST(LibraryThreadTest, AnswersEveryThreadAtOnce) {
  library::UseComRuntime(LastingScript());
  const std::string expected = DirectOutput(Output::CurrentIdentifier);
  constexpr std::size_t kThreads = 8;
  std::array<Reading, kThreads> readings;
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (Reading& reading : readings) {
    threads.emplace_back([&reading] { reading = ReadOutput(Output::CurrentIdentifier); });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (const Reading& reading : readings) {
    EXPECT_EQ(reading.status, ReadStatus::Ok);
    EXPECT_EQ(reading.text, expected);
  }
}

TEST(LibraryThreadTest, ZeroArgumentFunctionsReadOnIt) {
  ScriptedWmi& script = LastingScript();
  script.SetStatus(Step::CoInitializeEx, 1, RPC_E_CHANGED_MODE);
  library::UseComRuntime(script);
  EXPECT_EQ(ComposeCurrentIdentifier(), DirectOutput(Output::CurrentIdentifier));
  EXPECT_EQ(ComposeLegacyIdentifier(), DirectOutput(Output::LegacyIdentifier));
  EXPECT_EQ(BareSerialText(), DirectOutput(Output::BareSerial));
  EXPECT_EQ(AdapterAddressText(), "00:50:56:C0:00:08\t00:1A:2B:3C:4D:5E");
  EXPECT_EQ(SelectAdapterAddresses().rule, SelectionRule::OwnsResource);
  EXPECT_EQ(AdapterConfigurations().size(), testing::kLibraryAdapters.size());
}

// The stand-in runtime sets process-wide security once, as COM does: once the program's own path
// has set it here, the library's thread is told it is too late.
TEST(LibraryThreadTest, SecuritySetByTheProgramPathFirst) {
  const std::string direct = ModeOutput(Mode::CurrentIdentifier);
  library::UseComRuntime(SystemComRuntime());
  EXPECT_EQ(ReadOutput(Output::CurrentIdentifier).text, direct);
}

struct RuntimeCase {
  const char* name;
  Step step;
  HRESULT scripted;
  HRESULT answered;
  int passedUninitializations;  // after one Uninitialize
};

class HostedComRuntimeTest : public ::testing::TestWithParam<RuntimeCase> {};

TEST_P(HostedComRuntimeTest, Answers) {
  const RuntimeCase& runtimeCase = GetParam();
  ScriptedWmi script;
  script.SetStatus(runtimeCase.step, 1, runtimeCase.scripted);
  library::HostedComRuntime runtime(script);
  const HRESULT answer =
      runtimeCase.step == Step::CoInitializeEx
          ? runtime.InitializeEx(nullptr, COINIT_APARTMENTTHREADED)
          : runtime.InitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                       RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  EXPECT_EQ(answer, runtimeCase.answered);
  runtime.Uninitialize();
  EXPECT_EQ(script.Uninitializations(), runtimeCase.passedUninitializations);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HostedComRuntimeTest,
    ::testing::Values(
        RuntimeCase{"FirstInitialization", Step::CoInitializeEx, S_OK, S_OK, 1},
        RuntimeCase{"AgainOnTheThread", Step::CoInitializeEx, S_FALSE, S_FALSE, 1},
        // The apartment is the host's: uninitialising it would pull COM from under the host.
        RuntimeCase{"OtherApartment", Step::CoInitializeEx, RPC_E_CHANGED_MODE, S_FALSE, 0},
        RuntimeCase{"InitializationFails", Step::CoInitializeEx, E_OUTOFMEMORY, E_OUTOFMEMORY, 1},
        RuntimeCase{"SecuritySet", Step::CoInitializeSecurity, S_OK, S_OK, 1},
        RuntimeCase{"SecuritySetBefore", Step::CoInitializeSecurity, RPC_E_TOO_LATE, S_OK, 1},
        RuntimeCase{"SecurityFails", Step::CoInitializeSecurity, E_FAIL, E_FAIL, 1}),
    ::hwid::testing::CaseName());

// After a reading, the thread leaves exactly the apartments the base runtime let it enter: not the
// host's (changed mode), not one that failed, and not one the reading already left.
TEST(HostedComRuntimeTest, LeavesOnlyTheApartmentsItEntered) {
  ScriptedWmi script;
  script.SetStatus(Step::CoInitializeEx, 2, S_FALSE);
  script.SetStatus(Step::CoInitializeEx, 3, RPC_E_CHANGED_MODE);
  script.SetStatus(Step::CoInitializeEx, 4, E_OUTOFMEMORY);
  library::HostedComRuntime runtime(script);
  for (int call = 0; call < 5; ++call) {
    static_cast<void>(runtime.InitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  }
  runtime.Uninitialize();  // the reading left one itself
  runtime.LeaveApartments();
  EXPECT_EQ(script.Uninitializations(), 3);  // of the three entered: S_OK, S_FALSE, S_OK
  runtime.LeaveApartments();
  EXPECT_EQ(script.Uninitializations(), 3);
}

// A machine whose WMI stops answering: on every thread the first Next waits until `answers` opens.
struct Stall {
  fakes::Gate answers;
  testing::ScriptPerThread runtime{[this](ScriptedWmi& script) {
    ScriptAdapters(script, testing::kLibraryAdapters);
    script.HangUntil(Step::Next, 1, answers);
  }};
};

// Threads stuck in it may outlive the test: never destroyed, always reachable.
Stall& LastingStall() {
  static auto* const stalls = new std::vector<std::unique_ptr<Stall>>();
  return *stalls->emplace_back(std::make_unique<Stall>());
}

// Whether this process's threads fall to `count` within 30 s.
bool ThreadsFallTo(std::size_t count) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (testing::ThreadCount() > count) {
    if (std::chrono::steady_clock::now() > giveUp) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

constexpr auto kLibraryThreads = static_cast<std::size_t>(library::kThreadLimit);

// The time limit is long enough for a fresh thread to reach the stuck call (so every time-out
// leaves one thread stuck) and short enough for a quick test. In the end the machine answers
// again, and the test waits for its stuck threads to end, so that later tests find none held.
class StalledMachineTest : public ::testing::Test {
 protected:
  static constexpr auto kLimit = std::chrono::milliseconds(100);

  void SetUp() override {
    // A thread started and joined first, so that what a runtime starts along with a process's
    // first thread (ThreadSanitizer's own) is counted here. An idle thread of an earlier test in
    // this process may be counted too; it ends once the runtime changes, which leaves the checks
    // below no looser than one thread.
    std::thread([] {}).join();
    baseline_ = testing::ThreadCount();
    library::UseComRuntime(stall_.runtime);
    ASSERT_TRUE(SetTimeLimit(kLimit));
  }

  void TearDown() override {
    stall_.answers.Open();
    library::UseComRuntime(SystemComRuntime());
    EXPECT_TRUE(ThreadsFallTo(baseline_)) << "stuck threads did not end";
    EXPECT_TRUE(SetTimeLimit(limit_));
  }

  static ReadStatus Read() { return ReadOutput(Output::CurrentIdentifier).status; }

  // Calls until one is refused; every call before it timed out.
  void StallEveryThread() {
    for (int call = 0; call <= library::kThreadLimit; ++call) {
      if (const ReadStatus status = Read(); status != ReadStatus::TimedOut) {
        ASSERT_EQ(status, ReadStatus::NotResponding);
        return;
      }
    }
    FAIL() << "no call refused after " << library::kThreadLimit + 1 << " time-outs";
  }

  Stall& stall_ = LastingStall();
  std::size_t baseline_ = 0;
  const std::chrono::milliseconds limit_ = TimeLimit();
};

TEST_F(StalledMachineTest, HoldsAtMostItsThreadsHoweverManyCallsTimeOut) {
  constexpr int kCalls = 200;
  int timedOut = 0;
  int refusedAfterward = 0;  // calls after the first refusal: all of them must be refused
  std::size_t most = 0;
  for (int call = 0; call < kCalls; ++call) {
    const ReadStatus status = Read();
    if (refusedAfterward > 0 || status == ReadStatus::NotResponding) {
      EXPECT_EQ(status, ReadStatus::NotResponding) << "call " << call;
      ++refusedAfterward;
    } else {
      EXPECT_EQ(status, ReadStatus::TimedOut) << "call " << call;
      ++timedOut;
    }
    most = std::max(most, testing::ThreadCount());
  }
  EXPECT_GE(timedOut, library::kThreadLimit);
  EXPECT_GT(refusedAfterward, kCalls / 2);
  EXPECT_LE(most, baseline_ + kLibraryThreads);
  // Every thread that read is still stuck in it.
  EXPECT_EQ(stall_.runtime.Readers(), kLibraryThreads);
}

TEST_F(StalledMachineTest, RefusesAtOnceWhenEveryThreadIsStuck) {
  StallEveryThread();
  ASSERT_TRUE(SetTimeLimit(std::chrono::seconds(20)));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Read(), ReadStatus::NotResponding);
  // Through the C interface too, for a reading that needs no WMI as well: no thread is free.
  std::string buffer(8, 'x');
  std::size_t needed = 12345;
  EXPECT_EQ(hwid_identifier(HWID_LAYOUT_CURRENT, buffer.data(), buffer.size(), &needed),
            HWID_STATUS_NOT_RESPONDING);
  EXPECT_EQ(needed, 0U);
  EXPECT_EQ(hwid_bare_serial(buffer.data(), buffer.size(), &needed), HWID_STATUS_NOT_RESPONDING);
  EXPECT_EQ(buffer, "xxxxxxxx");
  // Not a measure of speed: a call that waited for the machine would take the whole limit.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(StalledMachineTest, AnswersOnceTheStuckReadingsReturn) {
  StallEveryThread();
  ASSERT_EQ(Read(), ReadStatus::NotResponding);
  stall_.answers.Open();
  // Their readings done, the stuck threads end and give their places back.
  ASSERT_TRUE(ThreadsFallTo(baseline_));
  const Reading reading = ReadOutput(Output::CurrentIdentifier);
  EXPECT_EQ(reading.status, ReadStatus::Ok);
  EXPECT_EQ(reading.text, DirectOutput(Output::CurrentIdentifier));
}

TEST_F(StalledMachineTest, HostThreadsCallingAtOnceObeyTheSameLimit) {
  constexpr std::size_t kHosts = 8;
  constexpr int kCallsEach = 10;
  std::atomic<std::size_t> running{kHosts};
  std::array<std::vector<ReadStatus>, kHosts> statuses;
  std::vector<std::thread> hosts;
  hosts.reserve(kHosts);
  for (std::vector<ReadStatus>& mine : statuses) {
    hosts.emplace_back([&mine, &running] {
      for (int call = 0; call < kCallsEach; ++call) {
        mine.push_back(Read());
      }
      running.fetch_sub(1);
    });
  }
  std::size_t most = 0;
  while (running.load() > 0) {
    most = std::max(most, testing::ThreadCount());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (std::thread& host : hosts) {
    host.join();
  }
  EXPECT_LE(most, baseline_ + kHosts + kLibraryThreads);
  EXPECT_LE(stall_.runtime.Readers(), kLibraryThreads);
  int refused = 0;
  for (const std::vector<ReadStatus>& mine : statuses) {
    for (const ReadStatus status : mine) {
      EXPECT_TRUE(status == ReadStatus::TimedOut || status == ReadStatus::NotResponding);
      refused += status == ReadStatus::NotResponding ? 1 : 0;
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_EQ(Read(), ReadStatus::NotResponding);
}

TEST(TimeLimitTest, AcceptsOnlyWhatFitsItsRange) {
  const std::chrono::milliseconds before = TimeLimit();
  EXPECT_EQ(before, std::chrono::seconds(30));
  EXPECT_FALSE(SetTimeLimit(std::chrono::milliseconds(0)));
  EXPECT_FALSE(SetTimeLimit(std::chrono::milliseconds(-5)));
  EXPECT_FALSE(SetTimeLimit(std::chrono::milliseconds(0x1'0000'0000LL)));
  EXPECT_EQ(TimeLimit(), before);
  EXPECT_TRUE(SetTimeLimit(std::chrono::milliseconds(0xFFFF'FFFFLL)));
  EXPECT_EQ(TimeLimit(), std::chrono::milliseconds(0xFFFF'FFFFLL));
  EXPECT_TRUE(SetTimeLimit(before));
}

}  // namespace
}  // namespace hwid
