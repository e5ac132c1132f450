#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/case_name.h"
#include "tests/unit/wmi_fixture.h"

namespace hwid::testing {
namespace {

using fakes::ClassDefinition;
using fakes::PropertyValue;
using fakes::Step;
using fakes::WithAddress;
using fakes::WithProperty;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr char kCoInitializeEx[] = "CoInitializeEx(null, 0x2)";
constexpr char kCoInitializeSecurity[] =
    "CoInitializeSecurity(null, -1, null, null, 0, 3, null, 0x0, null)";
constexpr char kCoCreateInstance[] =
    "CoCreateInstance(CLSID_WbemLocator, null, 0x1, IID_IWbemLocator)";
constexpr char kCoUninitialize[] = "CoUninitialize()";

std::string ConnectServer(const std::string& locator) {
  return "ConnectServer(" + locator + ", \"ROOT\\CIMV2\", null, null, null, 0, null, null)";
}
std::string SetProxyBlanket(const std::string& services) {
  return "CoSetProxyBlanket(" + services + ", 10, 0, null, 3, 3, null, 0x0)";
}
std::string ExecQuery(const std::string& services, const std::wstring& query) {
  return "ExecQuery(" + services + ", \"WQL\", \"" + fakes::LogText(query) + "\", 0x30, null)";
}
std::string Next(const std::string& enumerator) {
  return "Next(" + enumerator + ", -1, 1, ptr, ptr)";
}
std::string Get(const std::string& object, const std::string& property) {
  return "Get(" + object + ", \"" + property + "\", 0, ptr, null, null)";
}

const std::wstring kQuery =
    L"select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null";
const std::wstring kOtherQuery = L"select * from win32_networkadapter where DeviceID='1'";

using WmiOperationsTest = ScriptedWmiTest;

TEST_F(WmiOperationsTest, FirstQueryMakesTheDocumentedCallsInOrder) {
  script.Answer(kQuery, {WithAddress(L"00:1A:2B:3C:4D:5E"), WithAddress(L"00:1A:2B:3C:4D:5F")});

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"),
            L"00:1A:2B:3C:4D:5E\t00:1A:2B:3C:4D:5F");
  Finish();

  EXPECT_THAT(
      script.Log(),
      ElementsAre(kCoInitializeEx, kCoInitializeSecurity, kCoCreateInstance,
                  ConnectServer("locator1"), SetProxyBlanket("services1"),
                  ExecQuery("services1", kQuery), Next("enumerator1"), Get("object1", "MACAddress"),
                  "Release(object1)", Next("enumerator1"), Get("object2", "MACAddress"),
                  "Release(object2)", Next("enumerator1"), "Release(enumerator1)",
                  // Destroying the service: services before locator, no CoUninitialize.
                  "Release(services1)", "Release(locator1)"));
}

TEST_F(WmiOperationsTest, ManyQueriesShareOneConnection) {
  script.Answer(kQuery, {WithAddress(L"A")});
  script.Answer(kOtherQuery, {WithAddress(L"B")});

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A");
  EXPECT_EQ(Wmi().QueryPropertyText(kOtherQuery, L"MACAddress"), L"B");
  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A");
  IWbemServices* const connection = Wmi().Connect();

  EXPECT_NE(connection, nullptr);
  EXPECT_EQ(connection, Wmi().Connect());
  EXPECT_EQ(script.CallCount(Step::CoInitializeEx), 1);
  EXPECT_EQ(script.CallCount(Step::ConnectServer), 1);
  EXPECT_EQ(script.CallCount(Step::ExecQuery), 3);
  EXPECT_EQ(script.Uninitializations(), 0);
}

TEST_F(WmiOperationsTest, QueryMatchingNothingReleasesOnlyTheEnumerator) {
  script.Answer(kQuery, {});

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"");
  Finish();

  EXPECT_THAT(std::vector(script.Log().begin() + 5, script.Log().end()),
              ElementsAre(ExecQuery("services1", kQuery), Next("enumerator1"),
                          "Release(enumerator1)", "Release(services1)", "Release(locator1)"));
}

TEST_F(WmiOperationsTest, EmptyValuesAreSkippedWithoutDoubledTabs) {
  script.Answer(kQuery, {WithAddress(L"A"), WithAddress(L""), WithAddress(L"B"), WithAddress(L"")});

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A\tB");
}

TEST_F(WmiOperationsTest, ValuesAreConvertedByType) {
  script.Answer(kQuery, {WithProperty(L"Index", PropertyValue::I4(-1)),
                         WithProperty(L"Index", PropertyValue::Uint(7)),
                         WithProperty(L"Index", PropertyValue::Null()),
                         WithProperty(L"Index", PropertyValue::Integer(VT_BOOL, -1)),
                         WithProperty(L"Index", PropertyValue::Date(100))});

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"Index"), L"4294967295\t7\t100");
}

TEST_F(WmiOperationsTest, AlreadyInitialisedApartmentCountsAsSuccess) {
  script.SetStatus(Step::CoInitializeEx, 1, S_FALSE);
  script.Answer(kQuery, {WithAddress(L"A")});

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A");
  EXPECT_EQ(script.CallCount(Step::ConnectServer), 1);
}

struct ConnectFailure {
  const char* name;
  Step step;
  // Every call of the failed attempt, references included.
  std::vector<std::string> attempt;
};

class ConnectFailureTest : public ScriptedWmiTest,
                           public ::testing::WithParamInterface<ConnectFailure> {};

TEST_P(ConnectFailureTest, GivesEmptyTextUndoesTheAttemptAndRetriesOnTheNextQuery) {
  script.Fail(GetParam().step, 1);
  script.Answer(kQuery, {WithAddress(L"A")});

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"");
  EXPECT_THAT(script.Log(), ElementsAreArray(GetParam().attempt));
  EXPECT_EQ(script.ReferencesHeld(), 0) << script.LedgerReport();
  EXPECT_EQ(script.Uninitializations(), script.SuccessfulInitializations());

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A");
  EXPECT_EQ(script.CallCount(Step::CoInitializeEx), 2);
  EXPECT_EQ(script.CallCount(Step::CoInitializeSecurity), 1);
  EXPECT_EQ(script.CallCount(Step::ConnectServer), GetParam().step >= Step::ConnectServer ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, ConnectFailureTest,
    ::testing::Values(ConnectFailure{"CoInitializeEx", Step::CoInitializeEx, {kCoInitializeEx}},
                      ConnectFailure{"CoInitializeSecurity",
                                     Step::CoInitializeSecurity,
                                     {kCoInitializeEx, kCoInitializeSecurity, kCoUninitialize}},
                      ConnectFailure{"CoCreateInstance",
                                     Step::CoCreateInstance,
                                     {kCoInitializeEx, kCoInitializeSecurity, kCoCreateInstance,
                                      kCoUninitialize}},
                      ConnectFailure{
                          "ConnectServer",
                          Step::ConnectServer,
                          {kCoInitializeEx, kCoInitializeSecurity, kCoCreateInstance,
                           ConnectServer("locator1"), "Release(locator1)", kCoUninitialize}},
                      ConnectFailure{"CoSetProxyBlanket",
                                     Step::CoSetProxyBlanket,
                                     {kCoInitializeEx, kCoInitializeSecurity, kCoCreateInstance,
                                      ConnectServer("locator1"), SetProxyBlanket("services1"),
                                      "Release(services1)", "Release(locator1)", kCoUninitialize}}),
    ::hwid::testing::CaseName());

TEST_F(WmiOperationsTest, FailedExecQueryDisconnectsAndTheNextQueryReconnects) {
  script.Fail(Step::ExecQuery, 1, fakes::kWbemInvalidQuery);
  script.Answer(kQuery, {WithAddress(L"A")});

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"");
  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A");

  EXPECT_THAT(
      std::vector(script.Log().begin() + 5, script.Log().end()),
      ElementsAre(ExecQuery("services1", kQuery), "Release(services1)", "Release(locator1)",
                  kCoUninitialize, kCoInitializeEx, kCoCreateInstance, ConnectServer("locator2"),
                  SetProxyBlanket("services2"), ExecQuery("services2", kQuery), Next("enumerator1"),
                  Get("object1", "MACAddress"), "Release(object1)", Next("enumerator1"),
                  "Release(enumerator1)"));
}

TEST_F(WmiOperationsTest, UnansweredQueryCountsAsFailedQuery) {
  script.Answer(kQuery, {WithAddress(L"A")});

  EXPECT_EQ(Wmi().QueryPropertyText(kOtherQuery, L"MACAddress"), L"");
  EXPECT_EQ(script.Uninitializations(), 1);
  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A");
  EXPECT_EQ(script.CallCount(Step::ConnectServer), 2);
}

TEST_F(WmiOperationsTest, NextFailingPartWayKeepsTheValuesSoFarAndTheConnection) {
  script.Answer(kQuery, {WithAddress(L"A"), WithAddress(L"B"), WithAddress(L"C")});
  script.Fail(Step::Next, 3);

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A\tB");
  EXPECT_EQ(script.LiveConnections(), 1);
  EXPECT_EQ(script.Uninitializations(), 0);
  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A\tB\tC");
  EXPECT_EQ(script.CallCount(Step::ConnectServer), 1);
}

TEST_F(WmiOperationsTest, ValueThatCannotBeReadIsSkipped) {
  fakes::ScriptedObject failingWithValue = WithAddress(L"written anyway");
  failingWithValue.getStatus = fakes::kWbemFailed;
  script.Answer(kQuery, {WithAddress(L"A"), WithProperty(L"Other", PropertyValue::Bstr(L"X")),
                         failingWithValue, WithAddress(L"B"), WithAddress(L"C")});
  script.Fail(Step::Get, 5);

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A\tB");
}

TEST_F(WmiOperationsTest, PropertyTextTakesEveryObjectNextHandsOutWhateverItsStatus) {
  fakes::ScriptedObject withFailedNext = WithAddress(L"B");
  withFailedNext.nextStatus = fakes::kWbemFailed;
  script.Answer(kQuery, {WithAddress(L"A"), withFailedNext});

  EXPECT_EQ(Wmi().QueryPropertyText(kQuery, L"MACAddress"), L"A\tB");
}

TEST_F(WmiOperationsTest, ClassNamesReadTheClassPropertyOfEveryObject) {
  script.Answer(kQuery,
                {ClassDefinition(L"Win32_PnPEntity"), ClassDefinition(L"Win32_IRQResource")});

  EXPECT_EQ(Wmi().QueryClassNames(kQuery), L"Win32_PnPEntity\tWin32_IRQResource");
  EXPECT_THAT(script.Calls(), Contains(Get("object2", "__CLASS")));
}

TEST_F(WmiOperationsTest, ClassNamesUseOnlyStringsHandedOutBySuccessfulNext) {
  fakes::ScriptedObject withFailedNext = ClassDefinition(L"Win32_PortResource");
  withFailedNext.nextStatus = fakes::kWbemFailed;
  script.Answer(
      kQuery, {ClassDefinition(L"A"), WithProperty(L"__CLASS", PropertyValue::I4(5)),
               withFailedNext, ClassDefinition(L""), ClassDefinition(L"B"), ClassDefinition(L"C")});
  script.Fail(Step::Get, 6);

  EXPECT_EQ(Wmi().QueryClassNames(kQuery), L"A\tB");
}

}  // namespace
}  // namespace hwid::testing
