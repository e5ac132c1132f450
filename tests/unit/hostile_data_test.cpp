// Strange data from WMI: the identifier stays defined, every value that cannot be read is
// skipped, and the run stays balanced (the fixture checks references and CoUninitialize).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "identifier/adapter_selection.h"
#include "identifier/identifier.h"
#include "tests/unit/wmi_fixture.h"

namespace hwid::testing {
namespace {

using fakes::PropertyValue;
using fakes::WithAddress;
using fakes::WithProperty;
using ::testing::Contains;

constexpr wchar_t kIrq[] = L"Win32_IRQResource";

class HostileDataTest : public ScriptedWmiTest {
 protected:
  std::string Current() { return ComposeCurrentIdentifier("1", AdapterAddressText(Wmi())); }
};

TEST_F(HostileDataTest, TabInsideTheOnlyPhysicalAddressIsRemoved) {
  // The tab makes one address look like two, so the physical selection runs and drops it.
  ScriptAdapters(script, {{1, L"00:11\t22", {kIrq}}});

  EXPECT_EQ(Current(), "1010\t484858494950501310");
}

TEST_F(HostileDataTest, TabInsideAVirtualAddressSplitsIt) {
  ScriptAdapters(script, {{1, L"22\t00:11", {}}});

  EXPECT_EQ(Current(), "1010\t48485849491310\t50501310");
}

TEST_F(HostileDataTest, LineBreakInsideAnAddressSplitsIt) {
  ScriptAdapters(script, {{1, L"CD\r\nAB", {}}});

  EXPECT_EQ(Current(), "1010\t65661310\t67681310");
  EXPECT_EQ(ComposeLegacyIdentifier("1", AdapterAddressText(Wmi())), "10106566131067681310");
}

TEST_F(HostileDataTest, NonAsciiCharactersGoThroughTheCodePage) {
  ScriptAdapters(script, {{1, L"A\u00c4", {}}, {2, L"B\u4e2d", {}}});

  EXPECT_EQ(Current(), "1010\t65-601310\t66631310");
}

TEST_F(HostileDataTest, VeryLongAddressIsEncodedWhole) {
  ScriptAdapters(script, {{1, std::wstring(100000, L'A'), {}}});

  std::string expected = "1010\t";
  for (int i = 0; i < 100000; ++i) {
    expected += "65";
  }
  expected += "1310";
  EXPECT_EQ(Current(), expected);
}

TEST_F(HostileDataTest, EmptyNullAndWronglyTypedAddressesAreSkipped) {
  script.Answer(kAllAddressesQuery,
                {WithAddress(L""), WithProperty(L"MACAddress", PropertyValue::Null()),
                 WithProperty(L"MACAddress", PropertyValue::Integer(VT_BOOL, -1)),
                 WithProperty(L"MACAddress", PropertyValue::Real(VT_R8, 1.5)),
                 WithProperty(L"Other", PropertyValue::Bstr(L"XX")), WithAddress(L"AA")});

  EXPECT_EQ(Current(), "1010\t65651310");
}

TEST_F(HostileDataTest, IndexesThatAreNotNumbersFindNoResources) {
  script.Answer(kAllAddressesQuery, {WithAddress(L"AA"), WithAddress(L"BB")});
  script.Answer(kIndexesQuery, {WithProperty(L"Index", PropertyValue::Bstr(L"eth0")),
                                WithProperty(L"Index", PropertyValue::Bstr(L"")),
                                WithProperty(L"Index", PropertyValue::Null()),
                                WithProperty(L"Index", PropertyValue::Real(VT_R8, 2)),
                                WithProperty(L"Index", PropertyValue::Bstr(L"1' or '2")),
                                WithProperty(L"Index", PropertyValue::Bstr(L"3\r\n4"))});
  script.Answer(AssociatedClassesQuery(L"4"), {fakes::ClassDefinition(kIrq)});
  script.Answer(AdapterAddressQuery(L"4"), {WithAddress(L"BB")});

  EXPECT_EQ(AdapterAddressText(Wmi()), "BB");
  EXPECT_THAT(script.Queries(), Contains(AssociatedClassesQuery(L"eth0")));
  EXPECT_THAT(script.Queries(), Contains(AssociatedClassesQuery(L"1' or '2")));
  EXPECT_THAT(script.Queries(), Contains(AssociatedClassesQuery(L"3")));
}

TEST_F(HostileDataTest, TensOfThousandsOfAdaptersGiveTheirPhysicalAddressesSorted) {
  // Adapter i has address 02:00:00:00:hh:ll (i in hex); the even ones own an interrupt. WMI
  // lists them in descending order, so the sort has work to do.
  constexpr int kAdapters = 20000;
  std::vector<Adapter> adapters;
  std::string physical;
  for (int i = kAdapters - 1; i >= 0; --i) {
    char address[18];
    static_cast<void>(
        std::snprintf(address, sizeof address, "02:00:00:00:%02X:%02X", i >> 8, i & 0xFF));
    adapters.push_back(
        {static_cast<std::uint32_t>(i), std::wstring(address, address + 17),
         i % 2 == 0 ? std::vector<std::wstring>{kIrq} : std::vector<std::wstring>{}});
    if (i % 2 == 0) {
      physical += physical.empty() ? "" : "\t";
      physical += address;
    }
  }
  ScriptAdapters(script, adapters);

  const std::string selected = AdapterAddressText(Wmi());
  EXPECT_EQ(selected, physical);

  const std::string identifier = ComposeCurrentIdentifier("1", selected);
  EXPECT_EQ(std::count(identifier.begin(), identifier.end(), '\t'), kAdapters / 2);
  // 02:00:00:00:00:00 first, 02:00:00:00:4E:1E (19998) last.
  EXPECT_TRUE(identifier.starts_with("1010\t48505848485848485848485848485848481310\t"));
  EXPECT_TRUE(identifier.ends_with("\t48505848485848485848485852695849691310"));
}

}  // namespace
}  // namespace hwid::testing
