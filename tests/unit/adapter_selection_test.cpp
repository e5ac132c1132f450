#include "identifier/adapter_selection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/case_name.h"
#include "tests/unit/wmi_fixture.h"

namespace hwid::testing {
namespace {

using fakes::PropertyValue;
using fakes::Step;
using fakes::WithAddress;
using ::testing::ElementsAre;

constexpr wchar_t kIrq[] = L"Win32_IRQResource";
constexpr wchar_t kMemory[] = L"Win32_DeviceMemoryAddress";
constexpr wchar_t kPort[] = L"Win32_PortResource";
constexpr wchar_t kPnp[] = L"Win32_PnPEntity";

using AdapterSelectionTest = ScriptedWmiTest;

TEST_F(AdapterSelectionTest, SingleAddressIsUsedWithoutFurtherQueryEvenIfVirtual) {
  ScriptAdapters(script, {{7, L"02:42:AC:11:00:02", {}}});

  EXPECT_EQ(AdapterAddressText(Wmi()), "02:42:AC:11:00:02");
  EXPECT_THAT(script.Queries(), ElementsAre(kAllAddressesQuery));
}

TEST_F(AdapterSelectionTest, WithoutHardwareResourcesAllAddressesCountInWmiOrder) {
  ScriptAdapters(script, {{3, L"CC", {kPnp}}, {1, L"AA", {}}, {2, L"BB", {kPnp}}});

  EXPECT_EQ(AdapterAddressText(Wmi()), "CC\tAA\tBB");
  EXPECT_THAT(script.Queries(),
              ElementsAre(kAllAddressesQuery, kIndexesQuery, AssociatedClassesQuery(L"3"),
                          AssociatedClassesQuery(L"1"), AssociatedClassesQuery(L"2")));
}

TEST_F(AdapterSelectionTest, OnlyAdaptersOwningHardwareResourcesCount) {
  ScriptAdapters(script, {{1, L"AA", {kPnp, kIrq}}, {2, L"BB", {kPnp}}, {3, L"CC", {kMemory}}});

  EXPECT_EQ(AdapterAddressText(Wmi()), "AA\tCC");
  EXPECT_THAT(script.Queries(),
              ElementsAre(kAllAddressesQuery, kIndexesQuery, AssociatedClassesQuery(L"1"),
                          AssociatedClassesQuery(L"2"), AssociatedClassesQuery(L"3"),
                          AdapterAddressQuery(L"1"), AdapterAddressQuery(L"3")));
  EXPECT_EQ(script.CallCount(Step::ConnectServer), 1);
}

TEST_F(AdapterSelectionTest, OnePhysicalAdapterGivesItsAddressAlone) {
  ScriptAdapters(script, {{1, L"AA", {}}, {12, L"BB", {kPort}}});

  EXPECT_EQ(AdapterAddressText(Wmi()), "BB");
}

TEST_F(AdapterSelectionTest, NoAdaptersGiveEmptyText) {
  ScriptAdapters(script, {});

  EXPECT_EQ(AdapterAddressText(Wmi()), "");
  EXPECT_THAT(script.Queries(), ElementsAre(kAllAddressesQuery, kIndexesQuery));
}

TEST_F(AdapterSelectionTest, FailedClassesQueryMakesThatAdapterNonPhysical) {
  ScriptAdapters(script, {{1, L"AA", {kIrq}}, {2, L"BB", {kPort}}, {3, L"CC", {}}});
  script.Fail(Step::ExecQuery, 3);

  EXPECT_EQ(AdapterAddressText(Wmi()), "BB");
  EXPECT_EQ(script.CallCount(Step::ConnectServer), 2);
}

TEST_F(AdapterSelectionTest, FailedIndexesQueryFallsBackToAllAddresses) {
  ScriptAdapters(script, {{1, L"AA", {kIrq}}, {2, L"BB", {kPort}}});
  script.Fail(Step::ExecQuery, 2);

  EXPECT_EQ(AdapterAddressText(Wmi()), "AA\tBB");
}

TEST_F(AdapterSelectionTest, AddressQueryGivingNothingLeavesNoDoubledOrTrailingTab) {
  ScriptAdapters(script, {{1, L"AA", {kIrq}}, {2, L"BB", {kIrq}}, {3, L"CC", {kIrq}}});
  script.Answer(AdapterAddressQuery(L"2"), {});
  script.Answer(AdapterAddressQuery(L"3"), {WithAddress(L"")});

  EXPECT_EQ(AdapterAddressText(Wmi()), "AA");
}

TEST_F(AdapterSelectionTest, FailedAddressQueryAddsNothing) {
  ScriptAdapters(script, {{1, L"AA", {kIrq}}, {2, L"BB", {kIrq}}, {3, L"CC", {kIrq}}});
  script.Fail(Step::ExecQuery, 7);

  EXPECT_EQ(AdapterAddressText(Wmi()), "AA\tCC");
}

TEST_F(AdapterSelectionTest, TabsInsideAPhysicalAddressAreRemoved) {
  ScriptAdapters(script, {{1, L"AA", {kIrq}}, {2, L"BB", {kIrq}}});
  script.Answer(AdapterAddressQuery(L"1"), {WithAddress(L"00:11\t22"), WithAddress(L"33")});

  EXPECT_EQ(PhysicalAdapterAddresses(Wmi()), "00:112233\tBB");
}

TEST_F(AdapterSelectionTest, AllAddressesKeepTheValuesAsTheyCome) {
  script.Answer(kAllAddressesQuery, {WithAddress(L"a b"), WithAddress(L"c\r\nd")});

  EXPECT_EQ(AllAdapterAddresses(Wmi()), "a b\tc\r\nd");
}

TEST_F(AdapterSelectionTest, WmiUnreachableGivesEmptyText) {
  ScriptAdapters(script, {{1, L"AA", {kIrq}}, {2, L"BB", {kIrq}}});
  script.Fail(Step::CoCreateInstance, 1, REGDB_E_CLASSNOTREG);
  script.Fail(Step::CoCreateInstance, 2, REGDB_E_CLASSNOTREG);

  EXPECT_EQ(AdapterAddressText(Wmi()), "");
  EXPECT_EQ(script.CallCount(Step::CoInitializeEx), 2);
  EXPECT_EQ(script.Uninitializations(), 2);
}

struct MarkerCase {
  const char* name;
  const char* classNames;
  bool physical;
};

class NamesHardwareResourceTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(NamesHardwareResourceTest, FindsAMarkerInAnyLetterCase) {
  EXPECT_EQ(NamesHardwareResource(GetParam().classNames), GetParam().physical);
}

INSTANTIATE_TEST_SUITE_P(
    ClassLists, NamesHardwareResourceTest,
    ::testing::Values(MarkerCase{"Irq", "Win32_IRQResource", true},
                      MarkerCase{"DeviceMemoryOnly", "Win32_DeviceMemoryAddress", true},
                      MarkerCase{"Port", "Win32_PortResource", true},
                      MarkerCase{"UpperCase", "WIN32_PORTRESOURCE", true},
                      MarkerCase{"AmongOthers", "Win32_PnPEntity\tWin32_IRQResource", true},
                      MarkerCase{"OtherResourceClass", "Win32_DMAChannel", false},
                      MarkerCase{"PnpOnly", "Win32_PnPEntity\tWin32_NetworkProtocol", false},
                      MarkerCase{"Nothing", "", false},
                      MarkerCase{"MarkerCutByTab", "Win32_IRQ\tResource", false}),
    ::hwid::testing::CaseName());

TEST(SplitIndexList, SkipsBreaksAndEmptyPieces) {
  EXPECT_THAT(SplitIndexList("1\t12"), ElementsAre("1", "12"));
  EXPECT_THAT(SplitIndexList("\r\n1\r\n2\t\t3\t"), ElementsAre("1", "2", "3"));
  EXPECT_THAT(SplitIndexList(""), ElementsAre());
  EXPECT_THAT(SplitIndexList("\t\r\n"), ElementsAre());
}

TEST(AdapterQueries, AreBuiltAroundTheIndex) {
  EXPECT_EQ(hwid::AssociatedClassesQuery("12"),
            "associators of {Win32_NetworkAdapter.DeviceID='12'} WHERE ClassDefsOnly");
  EXPECT_EQ(hwid::AdapterAddressQuery("12"),
            "select * from win32_networkadapter where DeviceID='12'");
}

}  // namespace
}  // namespace hwid::testing
