// Each call of a reading failing the way Windows fails it: the program's text is what it always
// was, while the library, the C interface and the inspector all say which call failed, so no
// caller can take the degraded identifier for a good one.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "hwid/fault.h"
#include "hwid/hwid.h"
#include "identifier/identifier.h"
#include "inspect/inspector.h"
#include "library/worker.h"
#include "tests/case_name.h"
#include "tests/library/library_fixture.h"

namespace hwid {
namespace {

using fakes::ScriptedWmi;
using fakes::Step;

constexpr char kAllQuery[] =
    "select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null";
constexpr char kAdapter7Classes[] =
    "associators of {Win32_NetworkAdapter.DeviceID='7'} WHERE ClassDefsOnly";
// kLibraryAdapters: 1 and 7 own a resource, 2 does not.
constexpr char kPhysical[] = "00:50:56:C0:00:08\t00:1A:2B:3C:4D:5E";

struct FaultCase {
  const char* name;
  Step step;
  int occurrence;  // 0: every call of the step fails
  HRESULT code;
  const char* addressText;  // what the selection then gives
  Fault fault;
  const char* words;  // what support staff read
};

const FaultCase kFaultCases[] = {
    {"ComNotInitialised",
     Step::CoInitializeEx,
     0,
     E_OUTOFMEMORY,
     "",
     {FaultStage::ComInitialize, 0x8007000E, {}, {}, {}},
     "WMI could not be reached: CoInitializeEx failed with 0x8007000E, not enough memory"},
    // Refused once, the security call is not made again: the next query connects without it.
    {"SecurityRefused",
     Step::CoInitializeSecurity,
     1,
     static_cast<HRESULT>(0x80070005),
     kPhysical,
     {FaultStage::ComSecurity, 0x80070005, {}, {}, {}},
     "WMI could not be reached: CoInitializeSecurity failed with 0x80070005, access denied"},
    {"WmiNotRegistered",
     Step::CoCreateInstance,
     0,
     REGDB_E_CLASSNOTREG,
     "",
     {FaultStage::CreateLocator, 0x80040154, {}, {}, {}},
     "WMI could not be reached: CoCreateInstance failed with 0x80040154, class not registered"},
    {"ConnectAccessDenied",
     Step::ConnectServer,
     0,
     static_cast<HRESULT>(0x80041003),
     "",
     {FaultStage::ConnectServer, 0x80041003, {}, {}, {}},
     "WMI could not be reached: ConnectServer failed with 0x80041003, access denied"},
    {"ServiceRestarting",
     Step::ConnectServer,
     0,
     static_cast<HRESULT>(0x800706BA),
     "",
     {FaultStage::ConnectServer, 0x800706BA, {}, {}, {}},
     "WMI could not be reached: ConnectServer failed with 0x800706BA, the RPC server is "
     "unavailable"},
    {"ProxyBlanketRefused",
     Step::CoSetProxyBlanket,
     0,
     static_cast<HRESULT>(0x80070005),
     "",
     {FaultStage::ProxyBlanket, 0x80070005, {}, {}, {}},
     "WMI could not be reached: CoSetProxyBlanket failed with 0x80070005, access denied"},
    {"QueryOverQuota",
     Step::ExecQuery,
     1,
     static_cast<HRESULT>(0x8004106C),
     kPhysical,
     {FaultStage::ExecQuery, 0x8004106C, kAllQuery, {}, {}},
     "a WMI query failed: ExecQuery failed with 0x8004106C, quota violation; query: "
     "select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null"},
    // The fifth query asks for adapter 7's classes: without them it stops counting.
    {"OneAdaptersAssociatorsFail",
     Step::ExecQuery,
     5,
     static_cast<HRESULT>(0x80041004),
     "00:50:56:C0:00:08",
     {FaultStage::ExecQuery, 0x80041004, kAdapter7Classes, {}, "7"},
     "adapter 7 could not be read: ExecQuery failed with 0x80041004, provider failure; query: "
     "associators of {Win32_NetworkAdapter.DeviceID='7'} WHERE ClassDefsOnly"},
    {"EnumerationBroken",
     Step::Next,
     1,
     static_cast<HRESULT>(0x80041015),
     kPhysical,
     {FaultStage::NextObject, 0x80041015, kAllQuery, {}, {}},
     "a WMI query stopped early: Next failed with 0x80041015, transport failure; query: "
     "select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null"},
    {"AddressMissing",
     Step::Get,
     1,
     static_cast<HRESULT>(0x80041002),
     kPhysical,
     {FaultStage::GetProperty, 0x80041002, kAllQuery, "MACAddress", {}},
     "a WMI query failed: Get of MACAddress failed with 0x80041002, not found; query: "
     "select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null"},
};

void Script(ScriptedWmi& script, const FaultCase& testCase) {
  testing::ScriptAdapters(script, testing::kLibraryAdapters);
  if (testCase.occurrence > 0) {
    script.Fail(testCase.step, testCase.occurrence, testCase.code);
    return;
  }
  // More calls than any run makes: WMI stays unreachable for the whole reading.
  for (int occurrence = 1; occurrence <= 32; ++occurrence) {
    script.Fail(testCase.step, occurrence, testCase.code);
  }
}

class FaultReportTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override {
    ScriptedWmi& script = testing::LastingScript();
    Script(script, GetParam());
    library::UseComRuntime(script);
  }

  // What `hwid x` prints under the fault.
  [[nodiscard]] std::string ProgramText() const {
    ScriptedWmi script;
    Script(script, GetParam());
    TWMIOperations wmi(script);
    return OutputText(Output::CurrentIdentifier, wmi);
  }
};

TEST_P(FaultReportTest, TheProgramPrintsWhatItAlwaysDid) {
  EXPECT_EQ(ProgramText(), ComposeCurrentIdentifier(VolumeSerialText(), GetParam().addressText));
}

TEST_P(FaultReportTest, TheLibraryAnswersIncompleteWithTheFault) {
  const Reading reading = ReadOutput(Output::CurrentIdentifier);
  EXPECT_EQ(reading.status, ReadStatus::Incomplete);
  EXPECT_EQ(reading.text, ProgramText());
  ASSERT_EQ(reading.faults, std::vector<Fault>{GetParam().fault});
  EXPECT_EQ(FaultText(reading.faults.front()), GetParam().words);
}

TEST_P(FaultReportTest, TheCInterfaceWritesTheTextAndSaysWhatFailed) {
  std::array<char, 256> text{};
  std::size_t needed = 0;
  EXPECT_EQ(hwid_identifier(HWID_LAYOUT_CURRENT, text.data(), text.size(), &needed),
            HWID_STATUS_INCOMPLETE);
  EXPECT_EQ(text.data(), ProgramText());
  EXPECT_EQ(needed, ProgramText().size() + 1);

  std::array<char, 1024> faults{};
  ASSERT_EQ(hwid_last_faults(faults.data(), faults.size(), &needed), HWID_STATUS_OK);
  const Fault& fault = GetParam().fault;
  EXPECT_EQ(std::string(faults.data()),
            std::string(FaultCall(fault.stage)) + '\t' + FaultCode(fault) + '\t' + fault.adapter +
                '\t' + fault.query + '\t' + fault.property + '\t' +
                std::string(FaultMessage(fault)) + '\t' + GetParam().words + '\n');
}

TEST_P(FaultReportTest, TheInspectorNamesItAndExitsIncomplete) {
  inspect::MachineFacts facts;
  facts.faults = ReadOutput(Output::CurrentIdentifier).faults;
  const inspect::Output report = inspect::MachineCommand(facts, false);
  EXPECT_EQ(report.status, inspect::kExitIncomplete);
  EXPECT_NE(report.out.find(std::string("\n  ") + GetParam().words + "\n"), std::string::npos)
      << report.out;
}

INSTANTIATE_TEST_SUITE_P(Stages, FaultReportTest, ::testing::ValuesIn(kFaultCases),
                         testing::CaseName());

// A good reading records nothing, and the last faults belong to the last reading alone.
TEST(LastFaults, AGoodReadingAfterABadOneIsOkWithoutFaults) {
  ScriptedWmi& failing = testing::LastingScript();
  Script(failing, kFaultCases[3]);
  library::UseComRuntime(failing);
  std::array<char, 256> text{};
  ASSERT_EQ(hwid_identifier(HWID_LAYOUT_CURRENT, text.data(), text.size(), nullptr),
            HWID_STATUS_INCOMPLETE);

  library::UseComRuntime(testing::LastingScript());
  const Reading reading = ReadOutput(Output::CurrentIdentifier);
  EXPECT_EQ(reading.status, ReadStatus::Ok);
  EXPECT_TRUE(reading.faults.empty());
  ASSERT_EQ(hwid_identifier(HWID_LAYOUT_CURRENT, text.data(), text.size(), nullptr),
            HWID_STATUS_OK);
  std::size_t needed = 0;
  EXPECT_EQ(hwid_last_faults(nullptr, 0, &needed), HWID_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(needed, 1U) << "no fault: the empty text";
}

}  // namespace
}  // namespace hwid
