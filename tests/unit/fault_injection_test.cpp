// Every fallible COM and WMI call of a run made to fail, one at a time and two at a time: the
// result is the documented fallback, and the run leaves no reference behind and CoUninitialize
// balanced (the fixture checks both after every test).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "Wmioperationsunit/ansi_text.h"
#include "identifier/adapter_selection.h"
#include "tests/case_name.h"
#include "tests/unit/wmi_fixture.h"

namespace hwid::testing {
namespace {

using fakes::ClassDefinition;
using fakes::FaultPoint;
using fakes::Step;
using fakes::WithAddress;

struct Fault {
  const char* name;
  Step step;
  int occurrence;
  const wchar_t* result;
  const wchar_t* secondQueryResult = nullptr;  // two-query runs only
};

std::vector<FaultPoint> PointsOf(const std::vector<Fault>& faults) {
  std::vector<FaultPoint> points;
  points.reserve(faults.size());
  for (const Fault& fault : faults) {
    points.push_back({fault.step, fault.occurrence});
  }
  return points;
}

// Two queries: the first connects, the second reuses the connection.
const std::wstring kAddressQuery = kAllAddressesQuery;
const std::wstring kClassQuery = AssociatedClassesQuery(L"1");
constexpr wchar_t kAddresses[] = L"AA\tBB";
constexpr wchar_t kClasses[] = L"Win32_PnPEntity\tWin32_IRQResource";

void ScriptTwoQueries(fakes::ScriptedWmi& script) {
  script.Answer(kAddressQuery, {WithAddress(L"AA"), WithAddress(L"BB")});
  script.Answer(kClassQuery,
                {ClassDefinition(L"Win32_PnPEntity"), ClassDefinition(L"Win32_IRQResource")});
}

const std::vector<Fault> kTwoQueryFaults = {
    {"First_CoInitializeEx", Step::CoInitializeEx, 1, L"", kClasses},
    {"First_CoInitializeSecurity", Step::CoInitializeSecurity, 1, L"", kClasses},
    {"First_CoCreateInstance", Step::CoCreateInstance, 1, L"", kClasses},
    {"First_ConnectServer", Step::ConnectServer, 1, L"", kClasses},
    {"First_CoSetProxyBlanket", Step::CoSetProxyBlanket, 1, L"", kClasses},
    {"First_ExecQuery", Step::ExecQuery, 1, L"", kClasses},
    {"First_Next1", Step::Next, 1, L"", kClasses},
    {"First_Get1", Step::Get, 1, L"BB", kClasses},
    {"First_Next2", Step::Next, 2, L"AA", kClasses},
    {"First_Get2", Step::Get, 2, L"AA", kClasses},
    {"First_Next3", Step::Next, 3, kAddresses, kClasses},
    {"Second_ExecQuery", Step::ExecQuery, 2, kAddresses, L""},
    {"Second_Next1", Step::Next, 4, kAddresses, L""},
    {"Second_Get1", Step::Get, 3, kAddresses, L"Win32_IRQResource"},
    {"Second_Next2", Step::Next, 5, kAddresses, L"Win32_PnPEntity"},
    {"Second_Get2", Step::Get, 4, kAddresses, L"Win32_PnPEntity"},
    {"Second_Next3", Step::Next, 6, kAddresses, kClasses},
};

class TwoQueryFaultTest : public ScriptedWmiTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(TwoQueryFaultTest, EachQueryGivesItsFallback) {
  ScriptTwoQueries(script);
  script.Fail(GetParam().step, GetParam().occurrence);

  EXPECT_EQ(Wmi().QueryPropertyText(kAddressQuery, L"MACAddress"), GetParam().result);
  EXPECT_EQ(Wmi().QueryClassNames(kClassQuery), GetParam().secondQueryResult);
}

INSTANTIATE_TEST_SUITE_P(EveryCall, TwoQueryFaultTest, ::testing::ValuesIn(kTwoQueryFaults),
                         CaseName());

using FaultTableTest = ScriptedWmiTest;

TEST_F(FaultTableTest, TwoQueryTableCoversEveryFallibleCall) {
  ScriptTwoQueries(script);

  EXPECT_EQ(Wmi().QueryPropertyText(kAddressQuery, L"MACAddress"), kAddresses);
  EXPECT_EQ(Wmi().QueryClassNames(kClassQuery), kClasses);
  EXPECT_EQ(script.FaultPoints(), PointsOf(kTwoQueryFaults));
}

// Three adapters: AA owns an interrupt, BB nothing, CC a memory range; the selection gives
// "AA\tCC" when nothing fails.
void ScriptThreeAdapters(fakes::ScriptedWmi& script) {
  ScriptAdapters(script, {{1, L"AA", {L"Win32_PnPEntity", L"Win32_IRQResource"}},
                          {2, L"BB", {L"Win32_PnPEntity"}},
                          {3, L"CC", {L"Win32_DeviceMemoryAddress"}}});
}

constexpr wchar_t kPhysical[] = L"AA\tCC";

const std::vector<Fault> kSelectionFaults = {
    // All addresses: an empty or shortened list of several still leads to the physical ones;
    // one left alone is used as it is.
    {"All_CoInitializeEx", Step::CoInitializeEx, 1, kPhysical},
    {"All_CoInitializeSecurity", Step::CoInitializeSecurity, 1, kPhysical},
    {"All_CoCreateInstance", Step::CoCreateInstance, 1, kPhysical},
    {"All_ConnectServer", Step::ConnectServer, 1, kPhysical},
    {"All_CoSetProxyBlanket", Step::CoSetProxyBlanket, 1, kPhysical},
    {"All_ExecQuery", Step::ExecQuery, 1, kPhysical},
    {"All_Next1", Step::Next, 1, kPhysical},
    {"All_Get1", Step::Get, 1, kPhysical},
    {"All_Next2", Step::Next, 2, L"AA"},
    {"All_Get2", Step::Get, 2, kPhysical},
    {"All_Next3", Step::Next, 3, kPhysical},
    {"All_Get3", Step::Get, 3, kPhysical},
    {"All_Next4", Step::Next, 4, kPhysical},
    // Indexes: no index means no physical adapter, so all addresses count.
    {"Indexes_ExecQuery", Step::ExecQuery, 2, L"AA\tBB\tCC"},
    {"Indexes_Next1", Step::Next, 5, L"AA\tBB\tCC"},
    {"Indexes_Get1", Step::Get, 4, L"CC"},
    {"Indexes_Next2", Step::Next, 6, L"AA"},
    {"Indexes_Get2", Step::Get, 5, kPhysical},
    {"Indexes_Next3", Step::Next, 7, L"AA"},
    {"Indexes_Get3", Step::Get, 6, L"AA"},
    {"Indexes_Next4", Step::Next, 8, kPhysical},
    // Classes of adapter 1: losing its interrupt makes it non-physical.
    {"Classes1_ExecQuery", Step::ExecQuery, 3, L"CC"},
    {"Classes1_Next1", Step::Next, 9, L"CC"},
    {"Classes1_Get1", Step::Get, 7, kPhysical},
    {"Classes1_Next2", Step::Next, 10, L"CC"},
    {"Classes1_Get2", Step::Get, 8, L"CC"},
    {"Classes1_Next3", Step::Next, 11, kPhysical},
    // Classes of adapter 2: it is not physical anyway.
    {"Classes2_ExecQuery", Step::ExecQuery, 4, kPhysical},
    {"Classes2_Next1", Step::Next, 12, kPhysical},
    {"Classes2_Get1", Step::Get, 9, kPhysical},
    {"Classes2_Next2", Step::Next, 13, kPhysical},
    {"Classes3_ExecQuery", Step::ExecQuery, 5, L"AA"},
    {"Classes3_Next1", Step::Next, 14, L"AA"},
    {"Classes3_Get1", Step::Get, 10, L"AA"},
    {"Classes3_Next2", Step::Next, 15, kPhysical},
    {"Address1_ExecQuery", Step::ExecQuery, 6, L"CC"},
    {"Address1_Next1", Step::Next, 16, L"CC"},
    {"Address1_Get1", Step::Get, 11, L"CC"},
    {"Address1_Next2", Step::Next, 17, kPhysical},
    {"Address3_ExecQuery", Step::ExecQuery, 7, L"AA"},
    {"Address3_Next1", Step::Next, 18, L"AA"},
    {"Address3_Get1", Step::Get, 12, L"AA"},
    {"Address3_Next2", Step::Next, 19, kPhysical},
};

class SelectionFaultTest : public ScriptedWmiTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(SelectionFaultTest, SelectionGivesItsFallback) {
  ScriptThreeAdapters(script);
  script.Fail(GetParam().step, GetParam().occurrence);

  EXPECT_EQ(WideText(AdapterAddressText(Wmi())), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(EveryCall, SelectionFaultTest, ::testing::ValuesIn(kSelectionFaults),
                         CaseName());

TEST_F(FaultTableTest, SelectionTableCoversEveryFallibleCall) {
  ScriptThreeAdapters(script);

  EXPECT_EQ(AdapterAddressText(Wmi()), "AA\tCC");
  EXPECT_EQ(script.FaultPoints(), PointsOf(kSelectionFaults));
}

// Whether `text` is a tab-joined list drawn from AA, BB, CC in that order, each at most once.
bool IsOrderedSubsetOfAllAddresses(std::string_view text) {
  if (text.empty()) {
    return true;
  }
  std::string_view remaining = "AA\tBB\tCC";
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\t', start), text.size());
    const std::string_view address = text.substr(start, end - start);
    if (address.size() != 2) {
      return false;
    }
    const std::size_t found = remaining.find(address);
    if (found == std::string_view::npos) {
      return false;
    }
    remaining.remove_prefix(found + address.size());
    start = end + 1;
  }
  return true;
}

TEST(CombinedFaults, EveryPairOfFailingCallsLeavesADefinedResultAndNoLeak) {
  std::vector<FaultPoint> points = PointsOf(kSelectionFaults);
  for (std::size_t first = 0; first < points.size(); ++first) {
    for (std::size_t second = first + 1; second < points.size(); ++second) {
      SCOPED_TRACE(std::string(kSelectionFaults[first].name) + " and " +
                   kSelectionFaults[second].name);
      fakes::ScriptedWmi script;
      ScriptThreeAdapters(script);
      script.Fail(points[first].step, points[first].occurrence);
      script.Fail(points[second].step, points[second].occurrence, fakes::kWbemFailed);
      int liveConnections = 0;
      {
        TWMIOperations wmi(script);
        const std::string result = AdapterAddressText(wmi);
        EXPECT_TRUE(IsOrderedSubsetOfAllAddresses(result)) << result;
        liveConnections = script.LiveConnections();
      }
      ExpectBalanced(script, liveConnections);
      if (::testing::Test::HasFailure()) {
        return;
      }
    }
  }
}

}  // namespace
}  // namespace hwid::testing
