// The library's readings on its own thread over a scripted COM runtime: what a host's COM state
// makes the runtime answer must not change them.
#include "library/worker.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/modes.h"
#include "hwid/adapter_selection.h"
#include "library/hosted_com_runtime.h"
#include "tests/case_name.h"
#include "tests/library/library_fixture.h"

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
